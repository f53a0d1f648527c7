// How long the sound server takes to play what this process hands it, asked of
// the server itself. SDL's audio layer does not report its output latency;
// where SDL plays through a PulseAudio server (or one speaking its protocol),
// the server says for this process's stream how much it still holds: written
// but not yet mixed, and mixed but not yet played. Asked four times a second
// on a thread of the client library's own.
#pragma once

#include <mutex>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_time_event;
struct pa_sink_input_info;

class ServerLatency {
public:
    ServerLatency() = default;
    ~ServerLatency() { stop(); }
    ServerLatency(const ServerLatency&) = delete;
    ServerLatency& operator=(const ServerLatency&) = delete;

    // Connects to the server SDL plays to (the same default, or PULSE_SERVER)
    // and starts asking. False when there is no such server.
    bool start();
    void stop();

    // The newest answer since the last one taken: how long the server would
    // take to play all it holds of this process's stream. False when there is none.
    bool take(double& seconds);

private:
    static void contextState(pa_context* context, void* self);
    static void ask(struct pa_mainloop_api* api, pa_time_event* event, const struct timeval* when, void* self);
    static void answer(pa_context* context, const pa_sink_input_info* info, int last, void* self);

    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_time_event* timer = nullptr;
    std::mutex lock;
    double newest = 0;
    bool fresh = false;
};
