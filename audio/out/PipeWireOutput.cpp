// libpipewire behind PipeWireOutput.
#include "audio/out/PipeWireOutput.h"

#include "audio/MonotonicTime.h"
#include "audio/Playback.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <string>

namespace {

constexpr std::uint32_t bytesPerFrame = 2 * sizeof(std::int16_t);
// The frames the stream asks the graph to cycle at: the graph may run shorter
// or longer cycles for other clients, and each is rendered as asked.
constexpr int periodFrames = 1024;
// How long the daemon has to list its objects; it answers in milliseconds.
constexpr int answerSeconds = 2;

// The library's own log lines ("[W][...] pw.conf | ...") would land on standard
// error among the demo's; what matters of a failure, one line of ours says.
// PIPEWIRE_DEBUG, set by someone looking into PipeWire, keeps them.
void initialiseOnce()
{
    static const bool initialised = [] {
        pw_init(nullptr, nullptr);
        const char* debug = std::getenv("PIPEWIRE_DEBUG");
        if (debug == nullptr || *debug == '\0')
            pw_log_set_level(SPA_LOG_LEVEL_NONE);
        return true;
    }();
    (void)initialised;
}

// The client set-up that runs each cycle's thread at real-time priority where
// the system allows, so a busy machine does not make it miss the graph's cycle:
// client-rt.conf until PipeWire 1.3.81, which made that the plain client.conf
// and warns about the old name. The library that runs decides, not the
// headers the demo was built against.
const char* realTimeClientConfig()
{
    int major = 0;
    int minor = 0;
    int micro = 0;
    std::sscanf(pw_get_library_version(), "%d.%d.%d", &major, &minor, &micro);
    const bool merged = major > 1 || (major == 1 && (minor > 3 || (minor == 3 && micro >= 81)));
    return merged ? "client.conf" : "client-rt.conf";
}

} // namespace

struct PipeWireOutput::Connection {
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    pw_stream* stream = nullptr;
    spa_hook coreHook{};
    spa_hook registryHook{};
    spa_hook streamHook{};
    pw_core_events coreEvents{};
    pw_registry_events registryEvents{};
    pw_stream_events streamEvents{};
    Playback* playback = nullptr;
    int rate = 0;
    int syncSeq = -1;
    bool synced = false;
    bool sinkSeen = false;
    std::atomic<bool> gone{false};

    ~Connection()
    {
        // The loop's thread goes first, so no event of ours runs while the rest
        // is taken apart; the cycles run on PipeWire's real-time data thread,
        // and destroying the stream takes it out of them before the playback
        // it renders through can go.
        if (loop != nullptr)
            pw_thread_loop_stop(loop);
        if (stream != nullptr)
            pw_stream_destroy(stream);
        if (registry != nullptr)
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
        if (core != nullptr)
            pw_core_disconnect(core);
        if (context != nullptr)
            pw_context_destroy(context);
        if (loop != nullptr)
            pw_thread_loop_destroy(loop);
    }

    // Each graph cycle: exactly the frames asked for, and when the first is heard.
    static void process(void* self)
    {
        auto& c = *static_cast<Connection*>(self);
        pw_buffer* buffer = pw_stream_dequeue_buffer(c.stream);
        if (buffer == nullptr)
            return;
        spa_data& data = buffer->buffer->datas[0];
        if (data.data == nullptr) {
            pw_stream_queue_buffer(c.stream, buffer);
            return;
        }
        const std::uint64_t room = data.maxsize / bytesPerFrame;
        const std::uint64_t asked = buffer->requested > 0 ? buffer->requested : periodFrames;
        const auto frames = static_cast<std::uint32_t>(std::min(room, asked));
        c.playback->render(static_cast<std::int16_t*>(data.data), static_cast<int>(frames), c.heardAt());
        data.chunk->offset = 0;
        data.chunk->stride = bytesPerFrame;
        data.chunk->size = frames * bytesPerFrame;
        buffer->size = frames; // counted in frames, so what is queued is too
        pw_stream_queue_buffer(c.stream, buffer);
    }

    // The next frame handed over is heard after the graph's delay to the device
    // (from the start of this cycle), what the resampler holds and what is
    // queued in the stream ahead of it.
    std::int64_t heardAt() const
    {
        pw_time time{};
        if (pw_stream_get_time_n(stream, &time, sizeof time) != 0 || time.now <= 0 || time.rate.denom == 0)
            return monotonicNanoseconds();
        const double delay = static_cast<double>(time.delay) * time.rate.num / time.rate.denom;
        const double held = static_cast<double>(time.buffered + time.queued) / rate;
        return time.now + static_cast<std::int64_t>((delay + held) * 1e9);
    }

    static void stateChanged(void* self, pw_stream_state, pw_stream_state state, const char*)
    {
        auto& c = *static_cast<Connection*>(self);
        if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
            c.gone.store(true, std::memory_order_release);
        pw_thread_loop_signal(c.loop, false);
    }

    static void coreError(void* self, std::uint32_t id, int, int res, const char*)
    {
        auto& c = *static_cast<Connection*>(self);
        // The daemon went away (or refused us): nothing more will be played.
        if (id == PW_ID_CORE && res == -EPIPE)
            c.gone.store(true, std::memory_order_release);
        c.synced = true;
        pw_thread_loop_signal(c.loop, false);
    }

    static void coreDone(void* self, std::uint32_t id, int seq)
    {
        auto& c = *static_cast<Connection*>(self);
        if (id == PW_ID_CORE && seq == c.syncSeq) {
            c.synced = true;
            pw_thread_loop_signal(c.loop, false);
        }
    }

    static void global(void* self, std::uint32_t, std::uint32_t, const char* type, std::uint32_t, const spa_dict* props)
    {
        auto& c = *static_cast<Connection*>(self);
        if (props == nullptr || std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0)
            return;
        const char* kind = spa_dict_lookup(props, PW_KEY_MEDIA_CLASS);
        if (kind != nullptr && std::strcmp(kind, "Audio/Sink") == 0)
            c.sinkSeen = true;
    }

    // With the loop locked: whether the daemon knows a sound sink to play to.
    bool hasSink()
    {
        registry = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
        if (registry == nullptr)
            return false;
        registryEvents.version = PW_VERSION_REGISTRY_EVENTS;
        registryEvents.global = global;
        pw_registry_add_listener(registry, &registryHook, &registryEvents, this);
        syncSeq = pw_core_sync(core, PW_ID_CORE, 0);
        for (int waited = 0; !synced && waited < answerSeconds; ++waited)
            pw_thread_loop_timed_wait(loop, 1);
        spa_hook_remove(&registryHook);
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
        registry = nullptr;
        return sinkSeen && !gone.load(std::memory_order_acquire);
    }

    bool openStream()
    {
        const std::string latency = std::to_string(periodFrames) + "/" + std::to_string(rate);
        pw_properties* props = pw_properties_new(
            PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback", PW_KEY_MEDIA_ROLE, "Music", PW_KEY_APP_NAME,
            "Brakvane", PW_KEY_NODE_NAME, "brakvane", PW_KEY_NODE_LATENCY, latency.c_str(), nullptr);
        stream = pw_stream_new(core, "Brakvane", props);
        if (stream == nullptr)
            return false;
        streamEvents.version = PW_VERSION_STREAM_EVENTS;
        streamEvents.state_changed = stateChanged;
        streamEvents.process = process;
        pw_stream_add_listener(stream, &streamHook, &streamEvents, this);

        std::uint8_t podBuffer[1024];
        spa_pod_builder builder{};
        spa_pod_builder_init(&builder, podBuffer, sizeof podBuffer);
        spa_audio_info_raw info{};
        info.format = SPA_AUDIO_FORMAT_S16;
        info.rate = static_cast<std::uint32_t>(rate);
        info.channels = 2;
        info.position[0] = SPA_AUDIO_CHANNEL_FL;
        info.position[1] = SPA_AUDIO_CHANNEL_FR;
        const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
        const auto flags = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                                        PW_STREAM_FLAG_RT_PROCESS);
        return pw_stream_connect(stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) == 0;
    }
};

PipeWireOutput::PipeWireOutput(int rate, Playback& playback)
{
    if (rate <= 0)
        return;
    initialiseOnce();
    auto c = std::make_unique<Connection>();
    c->playback = &playback;
    c->rate = rate;
    c->loop = pw_thread_loop_new("brakvane sound", nullptr);
    if (c->loop == nullptr) {
        failure = "no PipeWire loop";
        return;
    }
    c->context = pw_context_new(pw_thread_loop_get_loop(c->loop),
                                pw_properties_new(PW_KEY_CONFIG_NAME, realTimeClientConfig(), nullptr), 0);
    if (c->context == nullptr || pw_thread_loop_start(c->loop) != 0) {
        failure = "no PipeWire context";
        return;
    }
    pw_thread_loop_lock(c->loop);
    c->core = pw_context_connect(c->context, nullptr, 0);
    bool opened = false;
    if (c->core == nullptr) {
        // No socket, or nobody listening on it: EHOSTDOWN, which reads like a
        // network fault, is PipeWire's word for that.
        failure = "no PipeWire daemon answered";
        if (errno != EHOSTDOWN && errno != ENOENT && errno != ECONNREFUSED)
            failure += std::string(" (") + std::strerror(errno) + ")";
    } else {
        c->coreEvents.version = PW_VERSION_CORE_EVENTS;
        c->coreEvents.done = Connection::coreDone;
        c->coreEvents.error = Connection::coreError;
        pw_core_add_listener(c->core, &c->coreHook, &c->coreEvents, c.get());
        if (!c->hasSink())
            failure = "PipeWire has no sound sink";
        else if (!c->openStream())
            failure = "PipeWire refused the stream";
        else
            opened = true;
    }
    pw_thread_loop_unlock(c->loop);
    if (!opened)
        return;
    frameRate = rate;
    connection = std::move(c);
}

PipeWireOutput::~PipeWireOutput()
{
    close();
}

bool PipeWireOutput::lost() const
{
    return connection != nullptr && connection->gone.load(std::memory_order_acquire);
}

void PipeWireOutput::close()
{
    connection.reset();
}
