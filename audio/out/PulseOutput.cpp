// libpulse behind PulseOutput.
#include "audio/out/PulseOutput.h"

#include "audio/MonotonicTime.h"
#include "audio/Playback.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <pulse/pulseaudio.h>
#include <vector>

namespace {

constexpr std::size_t bytesPerFrame = 2 * sizeof(std::int16_t);
// The frames rendered at a time, each piece with its own moment.
constexpr std::uint32_t periodFrames = 1024;
// What the stream asks the server to hold: eight periods (0.19 s), so that a
// busy machine, or the process standing still for less than that, does not
// run the server dry. The picture waits for what is heard, however long that
// takes, so holding more costs nothing but a later first sound.
// PULSE_LATENCY_MSEC, which libpulse applies itself, overrides it.
constexpr std::uint32_t targetFrames = 8 * periodFrames;
// How often the server's timing is asked for anew while the stream is written.
constexpr std::int64_t timingEveryNs = 100'000'000;

} // namespace

struct PulseOutput::Connection {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    Playback* playback = nullptr;
    int rate = 0;
    std::int64_t timingAskedAt = 0;
    std::vector<std::int16_t> scratch;
    std::atomic<bool> gone{false};
    bool onPipeWire = false;
    bool serverKnown = false;

    ~Connection()
    {
        if (loop != nullptr)
            pa_threaded_mainloop_stop(loop);
        if (stream != nullptr) {
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
        }
        if (context != nullptr) {
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        if (loop != nullptr)
            pa_threaded_mainloop_free(loop);
    }

    static void contextState(pa_context* context, void* self)
    {
        auto& c = *static_cast<Connection*>(self);
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
            c.gone.store(true, std::memory_order_release);
        pa_threaded_mainloop_signal(c.loop, 0);
    }

    static void streamState(pa_stream* stream, void* self)
    {
        auto& c = *static_cast<Connection*>(self);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
            c.gone.store(true, std::memory_order_release);
        pa_threaded_mainloop_signal(c.loop, 0);
    }

    // The server has run dry (the process stood still): its read position has
    // jumped, so the timing is asked for at once.
    static void underflow(pa_stream* stream, void* self)
    {
        auto& c = *static_cast<Connection*>(self);
        c.askTiming(stream);
    }

    void askTiming(pa_stream* s)
    {
        pa_operation* op = pa_stream_update_timing_info(s, nullptr, nullptr);
        if (op != nullptr)
            pa_operation_unref(op);
        timingAskedAt = monotonicNanoseconds();
    }

    // What is written now is heard after all that was written before it and not
    // yet played: from the server's last timing report, the frame at its read
    // position was heard its sink's latency after the report, and each byte
    // written since follows at the stream's rate. While the stream does not play
    // (filling up before it starts, or after running dry) it starts as soon as
    // it has enough, so its read position is heard a sink's latency from now.
    std::int64_t heardAt(pa_stream* s) const
    {
        const std::int64_t now = monotonicNanoseconds();
        const pa_timing_info* info = pa_stream_get_timing_info(s);
        if (info == nullptr || info->write_index_corrupt != 0 || info->read_index_corrupt != 0) {
            pa_usec_t latency = 0;
            int negative = 0;
            if (pa_stream_get_latency(s, &latency, &negative) != 0 || negative != 0)
                return now;
            return now + static_cast<std::int64_t>(latency) * 1000;
        }
        // The report's moment is on the wall clock; moved onto the monotonic one.
        timespec wall{};
        clock_gettime(CLOCK_REALTIME, &wall);
        const std::int64_t wallNow = static_cast<std::int64_t>(wall.tv_sec) * 1'000'000'000 + wall.tv_nsec;
        const std::int64_t reported = static_cast<std::int64_t>(info->timestamp.tv_sec) * 1'000'000'000 +
                                      static_cast<std::int64_t>(info->timestamp.tv_usec) * 1000 - (wallNow - now);
        const auto sink = static_cast<std::int64_t>(info->sink_usec) * 1000;
        std::int64_t readHeard = reported + sink;
        if (info->playing == 0)
            readHeard = std::max(readHeard, now + sink);
        const double ahead = static_cast<double>(info->write_index - info->read_index) / (bytesPerFrame * rate);
        return std::max(now, readHeard + static_cast<std::int64_t>(ahead * 1e9));
    }

    // The server asks for `bytes`: rendered a period at a time, each with its moment.
    static void write(pa_stream* s, std::size_t bytes, void* self)
    {
        auto& c = *static_cast<Connection*>(self);
        if (monotonicNanoseconds() - c.timingAskedAt > timingEveryNs)
            c.askTiming(s);
        std::size_t frames = bytes / bytesPerFrame;
        std::int64_t at = c.heardAt(s);
        while (frames > 0) {
            const std::size_t piece = std::min<std::size_t>(frames, periodFrames);
            c.playback->render(c.scratch.data(), static_cast<int>(piece), at);
            if (pa_stream_write(s, c.scratch.data(), piece * bytesPerFrame, nullptr, 0, PA_SEEK_RELATIVE) != 0)
                return;
            at += static_cast<std::int64_t>(static_cast<double>(piece) * 1e9 / c.rate);
            frames -= piece;
        }
    }

    // With the loop locked: waits until the context is ready; false when it failed.
    bool connect()
    {
        pa_context_set_state_callback(context, contextState, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (state == PA_CONTEXT_READY)
                return true;
            if (!PA_CONTEXT_IS_GOOD(state))
                return false;
            pa_threaded_mainloop_wait(loop);
        }
    }

    static void serverInfo(pa_context*, const pa_server_info* info, void* self)
    {
        auto& c = *static_cast<Connection*>(self);
        c.onPipeWire = info != nullptr && info->server_name != nullptr &&
                       std::strstr(info->server_name, "PipeWire") != nullptr; // "PulseAudio (on PipeWire 1.4.2)"
        c.serverKnown = true;
        pa_threaded_mainloop_signal(c.loop, 0);
    }

    // With the loop locked: asks which server this is and waits for the answer.
    void askServer()
    {
        pa_operation* op = pa_context_get_server_info(context, serverInfo, this);
        if (op == nullptr)
            return;
        while (!serverKnown && pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(loop);
        pa_operation_unref(op);
    }

    // With the loop locked: opens the stream and waits until it is ready to be
    // written (it starts playing once the server holds enough).
    bool openStream()
    {
        pa_sample_spec spec{};
        spec.format = PA_SAMPLE_S16NE;
        spec.rate = static_cast<std::uint32_t>(rate);
        spec.channels = 2;
        stream = pa_stream_new(context, "Brakvane", &spec, nullptr);
        if (stream == nullptr)
            return false;
        scratch.resize(static_cast<std::size_t>(periodFrames) * 2);
        pa_stream_set_state_callback(stream, streamState, this);
        pa_stream_set_write_callback(stream, write, this);
        pa_stream_set_underflow_callback(stream, underflow, this);
        pa_buffer_attr attr{};
        attr.maxlength = UINT32_MAX;
        attr.tlength = static_cast<std::uint32_t>(targetFrames * bytesPerFrame);
        attr.prebuf = UINT32_MAX;
        attr.minreq = static_cast<std::uint32_t>(periodFrames * bytesPerFrame);
        attr.fragsize = UINT32_MAX;
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
                                                          PA_STREAM_INTERPOLATE_TIMING);
        if (pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
            return false;
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            if (state == PA_STREAM_READY)
                return true;
            if (!PA_STREAM_IS_GOOD(state))
                return false;
            pa_threaded_mainloop_wait(loop);
        }
    }
};

PulseOutput::PulseOutput(int rate, Playback& playback)
{
    if (rate <= 0)
        return;
    auto c = std::make_unique<Connection>();
    c->playback = &playback;
    c->rate = rate;
    c->loop = pa_threaded_mainloop_new();
    if (c->loop == nullptr) {
        failure = "no PulseAudio main loop (out of memory)";
        return;
    }
    c->context = pa_context_new(pa_threaded_mainloop_get_api(c->loop), "Brakvane");
    if (c->context == nullptr || pa_threaded_mainloop_start(c->loop) < 0) {
        failure = "no PulseAudio client";
        return;
    }
    pa_threaded_mainloop_lock(c->loop);
    bool opened = false;
    if (!c->connect()) {
        failure = std::string("no PulseAudio server (") + pa_strerror(pa_context_errno(c->context)) + ")";
    } else {
        c->askServer();
        if (!c->openStream())
            failure = std::string("PulseAudio refused the stream (") + pa_strerror(pa_context_errno(c->context)) + ")";
        else
            opened = true;
    }
    pa_threaded_mainloop_unlock(c->loop);
    if (!opened)
        return;
    frameRate = rate;
    pipeWireServer = c->onPipeWire;
    connection = std::move(c);
}

PulseOutput::~PulseOutput()
{
    close();
}

bool PulseOutput::lost() const
{
    return connection != nullptr && connection->gone.load(std::memory_order_acquire);
}

void PulseOutput::close()
{
    connection.reset();
}
