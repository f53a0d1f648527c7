// Decoding in pieces and handing the track to Web Audio as one buffer; the
// page's sound object (page.js) starts it at a known context time and says
// what is heard when.
#include "web/WebMusic.h"

#include "audio/MusicLines.h"

#include <algorithm>
#include <emscripten.h>
#include <iostream>
#include <vector>

namespace {

// Frames decoded between looks at the clock: about 10 ms of work.
constexpr std::int64_t decodeStep = 16384;
// Frames converted to the audio buffer's floats at a time.
constexpr std::size_t handStep = 65536;
// How far ahead of the context's clock the track is started, so the start
// lies in the future however late the audio thread reads it.
constexpr double startLead = 0.1;

// The visitor chose to go on without sound (page.js), after the track was
// asked for: it is then not played, as when there is no sound at all.
bool silenced()
{
    return EM_ASM_INT({ return Module['brakvaneSound'].silent ? 1 : 0; }) != 0;
}

// Where the page's audio context is. The page makes it once the first frame
// is drawn (page.js), so the program may well be asked before there is one.
enum class Context { refused, waiting, running };
Context pageContext()
{
    const int state = EM_ASM_INT({
        var sound = Module['brakvaneSound'];
        if (!sound.context)
            return sound.tried ? 0 : 1;
        return sound.context.state == 'running' ? 2 : 1;
    });
    return state == 0 ? Context::refused : state == 2 ? Context::running : Context::waiting;
}

} // namespace

WebMusic::WebMusic(const std::string& path, bool withSound, double untilSeconds)
{
    // The lines and their order are the live demo's: the path, the device, the file.
    announceMusic(path);
    if (withSound) {
        sound = EM_ASM_INT({ return Module['brakvaneSound'] && window['AudioContext'] ? 1 : 0; });
        if (!sound)
            std::cout << "Unable to init BASS" << std::endl;
    }
    decoded = track.begin(path, untilSeconds);
    if (!decoded)
        reportMusicMissing();
}

WebMusic::~WebMusic()
{
    stop();
}

bool WebMusic::decode(double budgetMs)
{
    const double until = emscripten_get_now() + budgetMs;
    bool more = decoded;
    while (more) {
        more = track.decodeMore(decodeStep);
        if (emscripten_get_now() >= until)
            break;
    }
    if (!more && sound && decoded)
        handOver();
    return more;
}

void WebMusic::handOver()
{
    const std::int64_t frames = track.frameCount();
    if (frames <= 0) {
        sound = false;
        return;
    }
    if (EM_ASM_INT({ return Module['brakvaneSound'].buffer ? 1 : 0; }))
        return;
    EM_ASM(
        { Module['brakvaneSound'].buffer = new AudioBuffer({length : $0, numberOfChannels : 2, sampleRate : $1}); },
        static_cast<double>(frames), TrackSpectrum::trackRate);
    std::vector<std::int16_t> interleaved(handStep * TrackSpectrum::channelsPerFrame);
    std::vector<float> left(handStep);
    std::vector<float> right(handStep);
    for (std::int64_t first = 0; first < frames; first += static_cast<std::int64_t>(handStep)) {
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(handStep, frames - first));
        track.copyFrames(first, count, interleaved.data());
        for (std::size_t i = 0; i < count; ++i) {
            left[i] = static_cast<float>(interleaved[2 * i]) / 32768.0f;
            right[i] = static_cast<float>(interleaved[2 * i + 1]) / 32768.0f;
        }
        EM_ASM(
            {
                var buffer = Module['brakvaneSound'].buffer;
                buffer.copyToChannel(HEAPF32.subarray($0 >> 2, ($0 >> 2) + $2), 0, $3);
                buffer.copyToChannel(HEAPF32.subarray($1 >> 2, ($1 >> 2) + $2), 1, $3);
            },
            left.data(), right.data(), static_cast<double>(count), static_cast<double>(first));
    }
}

bool WebMusic::ready() const
{
    if (track.progress() < 1.0)
        return false;
    if (!sound || silenced())
        return true;
    return pageContext() != Context::waiting;
}

void WebMusic::play()
{
    if (!sound || !decoded || silenced() || pageContext() != Context::running) {
        std::cout << "Unable to init BASS playback" << std::endl;
        return;
    }
    EM_ASM({ Module['brakvaneSound'].play($0); }, startLead);
    playing = true;
}

std::optional<double> WebMusic::heard(double when) const
{
    if (!playing)
        return std::nullopt;
    return EM_ASM_DOUBLE({ return Module['brakvaneSound'].heardAt($0); }, when);
}

void WebMusic::stop()
{
    if (!playing)
        return;
    playing = false;
    EM_ASM({ Module['brakvaneSound'].stop(); });
}

float WebMusic::spectrumAt(double t)
{
    return track.spectrum0At(t);
}
