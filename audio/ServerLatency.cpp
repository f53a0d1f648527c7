// ServerLatency over libpulse's asynchronous API. The stream is found by the
// process id the client library puts on every stream this process opens.
#include "audio/ServerLatency.h"

#include <pulse/pulseaudio.h>
#include <string>
#include <unistd.h>

namespace {

constexpr pa_usec_t askEvery = 250000; // microseconds

} // namespace

bool ServerLatency::start()
{
    if (loop)
        return true;
    loop = pa_threaded_mainloop_new();
    if (!loop)
        return false;
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "brakvane output latency");
    if (!context || pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        stop();
        return false;
    }
    pa_context_set_state_callback(context, contextState, this);
    if (pa_threaded_mainloop_start(loop) < 0) {
        stop();
        return false;
    }
    return true;
}

void ServerLatency::stop()
{
    if (!loop)
        return;
    pa_threaded_mainloop_stop(loop);
    if (timer)
        pa_threaded_mainloop_get_api(loop)->time_free(timer);
    timer = nullptr;
    if (context) {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    context = nullptr;
    pa_threaded_mainloop_free(loop);
    loop = nullptr;
}

bool ServerLatency::take(double& seconds)
{
    std::lock_guard<std::mutex> hold(lock);
    if (!fresh)
        return false;
    seconds = newest;
    fresh = false;
    return true;
}

void ServerLatency::contextState(pa_context* context, void* self)
{
    auto* server = static_cast<ServerLatency*>(self);
    if (pa_context_get_state(context) == PA_CONTEXT_READY && !server->timer)
        server->timer = pa_context_rttime_new(context, pa_rtclock_now(), ask, self);
}

void ServerLatency::ask(pa_mainloop_api*, pa_time_event* event, const struct timeval*, void* self)
{
    auto* server = static_cast<ServerLatency*>(self);
    if (pa_operation* op = pa_context_get_sink_input_info_list(server->context, answer, self))
        pa_operation_unref(op);
    pa_context_rttime_restart(server->context, event, pa_rtclock_now() + askEvery);
}

void ServerLatency::answer(pa_context*, const pa_sink_input_info* info, int last, void* self)
{
    if (last || !info || info->corked)
        return;
    const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
    if (!pid || std::to_string(getpid()) != pid)
        return;
    auto* server = static_cast<ServerLatency*>(self);
    std::lock_guard<std::mutex> hold(server->lock);
    server->newest = static_cast<double>(info->buffer_usec + info->sink_usec) * 1e-6;
    server->fresh = true;
}
