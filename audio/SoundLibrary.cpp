// The library's process-wide state and its calls, over AudioOutput, StreamDecoder,
// Playback and FrequencyAnalyser.
#include "audio/SoundLibrary.h"

#include "audio/AudioOutput.h"
#include "audio/FrequencyAnalyser.h"
#include "audio/Playback.h"
#include "audio/ServerLatency.h"
#include "audio/StreamDecoder.h"

#include <SDL.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <tuple>

namespace sound {
namespace {

struct Library {
    // Destroyed in reverse: the device (and with it the callback) goes before the
    // playback state and the stream it reads.
    std::unique_ptr<StreamDecoder> stream;
    Handle streamHandle = 0;
    Handle lastHandle = 0;
    int rate = 0;
    Playback playback;
    FrequencyAnalyser analyser;
    std::array<std::int16_t, Playback::windowFrames * Playback::channelsPerFrame> window{};
    // Seconds from a period being handed over to its last frame being heard: one
    // period until the sound server reports better.
    double latency = 0;
    std::array<double, 12> reports{}; // the sound server's last reports of what it holds
    std::size_t reportCount = 0;
    // The moment the last position was asked for, seconds ahead of the asking; the
    // spectrum is taken of what is heard then.
    double ahead = 0;
    ServerLatency server;
    std::unique_ptr<AudioOutput> output; // made by init, never null after it
    std::uint64_t lastReopen = 0;        // SDL counter of the last attempt to reopen
};

// Takes in the sound server's newest report. SDL hands a period to the server piece by
// piece, as the server asks for more, and calls for the next period the moment the last
// piece of the one before is written: the server's queue is then at its fullest, and it
// holds everything up to the first frame of the new period. So the last frame of a
// period is heard one period plus that fullest queue after it was handed over. The
// fullest queue is taken as the upper quarter of the last three seconds of reports: a
// report taken later in a period finds the queue partly drained, and the server's
// refill after an underrun briefly overfills it.
//
// A server that answers 0 for both what it holds unmixed and what it holds mixed
// (PipeWire's PulseAudio server does, for every stream) is not telling; no real
// stream is ever held for nothing. Such a report stands for what the stream was set
// up to hold: SDL asks for a target length of one period and lets the server fit its
// own latency into it, so at its fullest the server holds one period.
//
// On PipeWire, what is handed over waits for the graph's next cycle, which neither
// of SDL's paths reports. The graph cycles at the shortest latency any of its
// clients asks for; both of SDL's paths ask for one period, so with the demo playing
// alone (or beside clients as patient) the wait is one period. Beside a client that
// asks for less, the wait is shorter and the picture up to a period late.
//
// SDL's own PipeWire driver has no server to ask, and needs none: its callback runs
// as a cycle begins, and what it hands over plays from the next one. Nothing queues
// ahead of it, not even after a stall (it then asks for two periods at once, yet what
// it hands over is heard no later than before). So its latency is fixed: see openDevice.
constexpr double graphWaitInPeriods = 1;

void updateLatency(Library& lib, const Playback::Clock& clock)
{
    double held = 0;
    if (!lib.server.take(held))
        return;
    if (held <= 0) {
        const double period = static_cast<double>(clock.bufferFrames) / clock.rate;
        held = period + graphWaitInPeriods * period;
    }
    lib.reports[lib.reportCount++ % lib.reports.size()] = held;
    const std::size_t kept = std::min(lib.reportCount, lib.reports.size());
    std::array<double, std::tuple_size_v<decltype(lib.reports)>> sorted = lib.reports;
    const auto upper = sorted.begin() + static_cast<std::ptrdiff_t>(kept * 3 / 4);
    std::nth_element(sorted.begin(), upper, sorted.begin() + static_cast<std::ptrdiff_t>(kept));
    lib.latency = static_cast<double>(clock.bufferFrames) / clock.rate + *upper;
}

std::unique_ptr<Library> library;

// The library's stream when `handle` names it, else null.
StreamDecoder* streamOf(Handle handle)
{
    if (library == nullptr || handle == 0 || handle != library->streamHandle)
        return nullptr;
    return library->stream.get();
}

// The device lock for a scope; nothing to lock when there is no device.
class DeviceLock {
public:
    explicit DeviceLock(AudioOutput& device) : output(device) { output.lock(); }
    ~DeviceLock() { output.unlock(); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    AudioOutput& output;
};

// Opens the default device for the library, with the latency of one period
// until the sound server (where there is one to ask) reports better; on SDL's
// PipeWire driver, one period and the graph's wait.
bool openDevice(Library& lib)
{
    lib.output = std::make_unique<AudioOutput>(lib.rate, lib.playback);
    if (!lib.output->ok())
        return false;
    const double period = static_cast<double>(lib.output->bufferFrames()) / lib.output->rate();
    lib.latency = period;
    lib.reportCount = 0;
    const std::string driver = SDL_GetCurrentAudioDriver() != nullptr ? SDL_GetCurrentAudioDriver() : "";
    if (driver == "pipewire")
        lib.latency += graphWaitInPeriods * period;
    if (driver == "pulseaudio")
        lib.server.start();
    return true;
}

} // namespace

bool init(int device, std::uint32_t freq, std::uint32_t /*flags*/, const void* /*window*/, const void* /*deviceId*/)
{
    if (library != nullptr)
        return false;
    library = std::make_unique<Library>();
    library->rate = static_cast<int>(std::min<std::uint32_t>(freq, 384000));
    if (device != 1) {
        library->output = std::make_unique<AudioOutput>(0, library->playback); // no device
        return false;
    }
    return openDevice(*library);
}

Handle streamCreateFile(bool fromMemory, const void* file, std::uint32_t offset, std::uint32_t length,
                        std::uint32_t flags)
{
    if (library == nullptr || library->stream != nullptr || fromMemory || file == nullptr || offset != 0 || length != 0)
        return 0;
    const int rate = library->output->ok() ? library->output->rate() : library->rate;
    if (rate <= 0)
        return 0;
    auto stream = std::make_unique<StreamDecoder>(static_cast<const char*>(file), (flags & streamPrescan) != 0, rate);
    if (!stream->ok())
        return 0;
    DeviceLock lock(*library->output);
    library->stream = std::move(stream);
    library->playback.attach(library->stream.get());
    library->lastHandle = library->lastHandle == UINT32_MAX ? 1 : library->lastHandle + 1;
    library->streamHandle = library->lastHandle;
    return library->streamHandle;
}

bool streamPlay(Handle stream, bool /*flush*/, std::uint32_t /*flags*/)
{
    if (streamOf(stream) == nullptr || !library->output->ok())
        return false;
    DeviceLock lock(*library->output);
    library->playback.start();
    return true;
}

bool channelSetPosition(Handle channel, std::uint64_t position)
{
    StreamDecoder* stream = streamOf(channel);
    if (stream == nullptr)
        return false;
    const std::uint64_t frameBytes = sizeof(std::int16_t) * static_cast<std::uint64_t>(stream->fileChannels());
    const std::uint64_t frame = std::min<std::uint64_t>(position / frameBytes, INT64_MAX);
    DeviceLock lock(*library->output);
    library->playback.rewind(static_cast<std::int64_t>(frame));
    stream->requestPosition(static_cast<std::int64_t>(frame));
    return true;
}

bool channelSetAttributes(Handle channel, int /*freq*/, int volume, int /*pan*/)
{
    if (streamOf(channel) == nullptr)
        return false;
    library->playback.setVolume(std::clamp(volume, 0, 100));
    return true;
}

int channelGetData(Handle channel, void* buffer, std::uint32_t length)
{
    if (streamOf(channel) == nullptr || !library->output->ok() || length != dataFft512 || buffer == nullptr ||
        !library->analyser.valid())
        return -1;
    Playback::Clock clock;
    clock.ticksPerSecond = SDL_GetPerformanceFrequency();
    clock.rate = library->output->rate();
    clock.bufferFrames = library->output->bufferFrames();
    clock.ahead = library->ahead;
    bool playing = false;
    {
        // The callback waits at most for this copy of 2 KiB.
        DeviceLock lock(*library->output);
        clock.now = SDL_GetPerformanceCounter();
        updateLatency(*library, clock);
        clock.latency = library->latency;
        playing = library->playback.snapshot(library->window.data(), clock);
    }
    if (!playing)
        return -1;
    library->analyser.analyseStereo(library->window.data(), static_cast<float*>(buffer));
    return static_cast<int>(library->window.size() * sizeof(std::int16_t));
}

bool channelGetHeard(Handle channel, double ahead, double* seconds)
{
    if (streamOf(channel) == nullptr || !library->output->ok() || library->output->lost() || seconds == nullptr)
        return false;
    Playback::Clock clock;
    clock.ticksPerSecond = SDL_GetPerformanceFrequency();
    clock.rate = library->output->rate();
    clock.bufferFrames = library->output->bufferFrames();
    double frame = 0;
    {
        DeviceLock lock(*library->output);
        clock.now = SDL_GetPerformanceCounter();
        updateLatency(*library, clock);
        library->ahead = ahead;
        if (!library->playback.heardFrame(clock, ahead, library->latency, frame))
            return false;
    }
    *seconds = frame / clock.rate;
    return true;
}

bool deviceLost()
{
    return library != nullptr && library->output->lost();
}

bool deviceReopen()
{
    if (!deviceLost() && !(library != nullptr && !library->output->ok() && library->lastReopen != 0))
        return false;
    const std::uint64_t now = SDL_GetPerformanceCounter();
    if (library->lastReopen != 0 && now - library->lastReopen < SDL_GetPerformanceFrequency())
        return false;
    library->lastReopen = now;
    // The old device and its server connection go first: a restarted server
    // is reached through a new connection, which only a fresh start of the
    // audio subsystem makes.
    library->server.stop();
    library->output->close();
    library->playback.newDevice();
    if (!openDevice(*library))
        return false;
    if (library->output->rate() != library->rate) {
        // A stream decodes at the rate it was opened with; a device that
        // insists on another one cannot play it.
        library->output->close();
        return false;
    }
    return true;
}

bool channelLock(Handle channel, bool lock)
{
    if (streamOf(channel) == nullptr || !library->output->ok())
        return false;
    if (lock)
        library->output->lock();
    else
        library->output->unlock();
    return true;
}

bool free()
{
    if (library == nullptr)
        return false;
    library->output->close();
    library.reset();
    return true;
}

} // namespace sound
