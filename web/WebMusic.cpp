// Decoding in pieces, handing the track to Web Audio as one buffer, starting
// it at a known context time and reading what is heard from the context's
// output timestamp.
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
// Output timestamps whose clock offsets are kept for their median: about
// 0.2 s of Firefox's audio callbacks.
constexpr int stampsKept = 11;
// A change of the offset between the clocks beyond this is a step, not jitter.
constexpr double stampStep = 0.025;

// The visitor chose to go on without sound (shell.html), after the track was
// asked for: it is then not played, as when there is no sound at all.
bool silenced()
{
    return EM_ASM_INT({ return Module['brakvaneSound'].silent ? 1 : 0; }) != 0;
}

} // namespace

WebMusic::WebMusic(const std::string& path, bool withSound, double untilSeconds)
{
    // The lines and their order are the live demo's: the path, the device, the file.
    announceMusic(path);
    if (withSound) {
        sound = EM_ASM_INT({
            var sound = Module['brakvaneSound'];
            return sound && sound.open() ? 1 : 0;
        });
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
    return EM_ASM_INT({ return Module['brakvaneSound'].context.state == 'running' ? 1 : 0; }) != 0;
}

void WebMusic::play()
{
    if (!sound || !decoded || silenced()) {
        std::cout << "Unable to init BASS playback" << std::endl;
        return;
    }
    EM_ASM(
        {
            var sound = Module['brakvaneSound'];
            var context = sound.context;
            var source = context.createBufferSource();
            source.buffer = sound.buffer;
            source.connect(context.destination);
            sound.startAt = context.currentTime + $0;
            source.start(sound.startAt);
            sound.source = source;
        },
        startLead);
    playing = true;
}

std::optional<double> WebMusic::heard(double when) const
{
    if (!playing)
        return std::nullopt;
    return EM_ASM_DOUBLE(
        {
            var sound = Module['brakvaneSound'];
            var context = sound.context;
            // The output timestamp pairs the context time being played out with
            // the moment it was. Some browsers (Firefox) move that pair back and
            // forth by up to 20 ms from one audio callback to the next, so the
            // page keeps the offset between the two clocks from each new stamp
            // and takes the median of the last few (the context's clock and the
            // page's run at the same rate). An offset further than that from
            // the median is a real step (the output missed a beat) once the
            // next stamp confirms it, and the history starts anew from the
            // two; alone it is a stale stamp (read just after the page's
            // thread was held up) and left out. Counted on to `when` (the
            // context's own currentTime is no bound: Firefox leaves it behind
            // while the page's thread is held up). Before the first timestamp,
            // the rendered time less the output's latency.
            var stamp = context.getOutputTimestamp();
            var ahead = Math.max(0, $0 - performance.now()) / 1000;
            var at = context.currentTime + ahead - (context.outputLatency || context.baseLatency || 0);
            if (stamp.performanceTime > 0) {
                var offsets = sound.offsets || (sound.offsets = []);
                var median = function()
                {
                    var sorted = offsets.slice().sort(function(a, b) { return a - b; });
                    return sorted[sorted.length >> 1];
                };
                if (stamp.performanceTime != sound.lastStamp) {
                    sound.lastStamp = stamp.performanceTime;
                    var offset = stamp.contextTime - stamp.performanceTime / 1000;
                    if (!offsets.length || Math.abs(offset - median()) <= $2) {
                        sound.stepTo = null;
                        offsets.push(offset);
                    } else if (typeof sound.stepTo == 'number' && Math.abs(offset - sound.stepTo) <= $2) {
                        offsets.splice(0, offsets.length, sound.stepTo, offset);
                        sound.stepTo = null;
                    } else {
                        sound.stepTo = offset;
                    }
                    if (offsets.length > $1)
                        offsets.shift();
                }
                at = $0 / 1000 + median();
            }
            return at - sound.startAt;
        },
        when, stampsKept, stampStep);
}

void WebMusic::stop()
{
    if (!playing)
        return;
    playing = false;
    EM_ASM({
        var sound = Module['brakvaneSound'];
        if (sound.source)
            sound.source.stop();
        sound.source = null;
    });
}

float WebMusic::spectrumAt(double t)
{
    return track.spectrum0At(t);
}
