// The library's process-wide state and its calls, over SoundOutput, StreamDecoder,
// Playback and FrequencyAnalyser.
#include "audio/SoundLibrary.h"

#include "audio/FrequencyAnalyser.h"
#include "audio/MonotonicTime.h"
#include "audio/Playback.h"
#include "audio/StreamDecoder.h"
#include "audio/out/SoundOutput.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <iostream>
#include <memory>

namespace sound {
namespace {

struct Library {
    // Destroyed in reverse: the output (and with it the callback) goes before the
    // playback state and the stream it reads.
    std::unique_ptr<StreamDecoder> stream;
    Handle streamHandle = 0;
    Handle lastHandle = 0;
    int rate = 0;
    Playback playback;
    FrequencyAnalyser analyser;
    std::array<std::int16_t, Playback::windowFrames * Playback::channelsPerFrame> window{};
    // The moment the last position was asked for, nanoseconds ahead of the asking;
    // the spectrum is taken of what is heard then.
    std::int64_t ahead = 0;
    std::unique_ptr<SoundOutput> output; // made by init, never null after it
    std::string lastOutput;              // the output that played before it went
};

std::unique_ptr<Library> library;

// The library's stream when `handle` names it, else null.
StreamDecoder* streamOf(Handle handle)
{
    if (library == nullptr || handle == 0 || handle != library->streamHandle)
        return nullptr;
    return library->stream.get();
}

// Opens the output for the library; only the first opening says which it is,
// and a reopening keeps to the same kind of output.
bool openDevice(Library& lib, bool report, const std::string& same = {})
{
    lib.output = std::make_unique<SoundOutput>(lib.rate, lib.playback, report, same);
    return lib.output->ok();
}

} // namespace

bool init(int device, std::uint32_t freq, std::uint32_t /*flags*/, const void* /*window*/, const void* /*deviceId*/)
{
    if (library != nullptr)
        return false;
    library = std::make_unique<Library>();
    library->rate = static_cast<int>(std::min<std::uint32_t>(freq, 384000));
    if (device != 1) {
        library->output = std::make_unique<SoundOutput>(0, library->playback, false); // no device
        return false;
    }
    return openDevice(*library, true);
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
    // Attached before the output asks for it: the callback pulls only once started.
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
    library->playback.moveTo(static_cast<std::int64_t>(frame));
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
    const std::int64_t now = monotonicNanoseconds();
    if (!library->playback.snapshot(library->window.data(), now + library->ahead, now))
        return -1;
    library->analyser.analyseStereo(library->window.data(), static_cast<float*>(buffer));
    return static_cast<int>(library->window.size() * sizeof(std::int16_t));
}

bool channelGetHeard(Handle channel, double ahead, double* seconds)
{
    if (streamOf(channel) == nullptr || !library->output->ok() || library->output->lost() || seconds == nullptr)
        return false;
    library->ahead = static_cast<std::int64_t>(ahead * 1e9);
    double frame = 0;
    const std::int64_t now = monotonicNanoseconds();
    if (!library->playback.heardFrame(now + library->ahead, now, frame))
        return false;
    *seconds = frame / library->output->rate();
    return true;
}

bool deviceLost()
{
    return library != nullptr && library->output->lost();
}

bool deviceReopen()
{
    if (library == nullptr)
        return false;
    // Lost, or closed by an attempt that failed: a device that never opened is not looked for.
    const bool retrying = !library->output->ok() && !library->lastOutput.empty();
    if (!deviceLost() && !retrying)
        return false;
    // The old output goes first: a restarted server is reached through a new
    // connection. Its callback has ended, so the playback state is ours to reset.
    if (library->output->ok())
        library->lastOutput = library->output->which();
    library->output->close();
    library->playback.newDevice();
    if (!openDevice(*library, false, library->lastOutput))
        return false;
    if (library->output->rate() != library->rate) {
        // A stream decodes at the rate it was opened with; a device that
        // insists on another one cannot play it.
        library->output->close();
        return false;
    }
    return true;
}

bool free()
{
    if (library == nullptr)
        return false;
    library->output->close();
    if (const std::uint64_t dry = library->playback.dryFrames(); dry > 0 && library->rate > 0)
        std::cerr << program_invocation_short_name
                  << ": the decoder fell behind: " << dry * 1000 / static_cast<std::uint64_t>(library->rate)
                  << " ms of silence in the middle of the track" << std::endl;
    library.reset();
    return true;
}

} // namespace sound
