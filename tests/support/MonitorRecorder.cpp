// The recorder runs libpulse's own main loop on a thread of its own, with
// small fragments so that each block is timed on arrival.
#include "MonitorRecorder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <pulse/pulseaudio.h>

namespace testsupport {

namespace {

double monotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return std::nan("");
    auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

MonitorRecorder::MonitorRecorder(const std::string& server, const std::string& source, PlayedTiming how) : timing(how)
{
    recorded.reserve(static_cast<std::size_t>(rate) * channels * 120);
    loop = pa_mainloop_new();
    worker = std::thread(&MonitorRecorder::run, this, server, source);
}

MonitorRecorder::~MonitorRecorder()
{
    stop();
}

bool MonitorRecorder::waitUntilRecording(int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (recording)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool MonitorRecorder::waitUntilSettled(double seconds, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (settledSince > 0 && monotonicSeconds() - settledSince >= seconds)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void MonitorRecorder::stop()
{
    {
        std::lock_guard<std::mutex> hold(lock);
        quit = true;
    }
    if (loop)
        pa_mainloop_wakeup(loop);
    if (worker.joinable())
        worker.join();
    if (loop)
        pa_mainloop_free(loop);
    loop = nullptr;
}

void MonitorRecorder::run(std::string server, std::string source)
{
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "brakvane-monitor");
    pa_stream* stream = nullptr;
    bool failed = pa_context_connect(context, server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0;
    while (!failed) {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (quit)
                break;
        }
        if (pa_mainloop_iterate(loop, 1, nullptr) < 0)
            break;
        const pa_context_state_t state = pa_context_get_state(context);
        if (!PA_CONTEXT_IS_GOOD(state)) {
            failed = true;
            break;
        }
        if (state == PA_CONTEXT_READY && stream == nullptr) {
            const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate),
                                      static_cast<std::uint8_t>(channels)};
            stream = pa_stream_new(context, "monitor", &spec, nullptr);
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<std::uint32_t>(-1);
            attr.fragsize = static_cast<std::uint32_t>(rate / 200 * channels * 2); // 5 ms
            const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING |
                                                              PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
            if (pa_stream_connect_record(stream, source.c_str(), &attr, flags) < 0)
                failed = true;
            continue;
        }
        if (stream == nullptr || pa_stream_get_state(stream) != PA_STREAM_READY)
            continue;
        {
            std::lock_guard<std::mutex> hold(lock);
            recording = true;
        }
        bool read = false;
        while (pa_stream_readable_size(stream) > 0) {
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
                break;
            const std::size_t count = bytes / sizeof(std::int16_t);
            std::lock_guard<std::mutex> hold(lock);
            if (data)
                recorded.insert(recorded.end(), static_cast<const std::int16_t*>(data),
                                static_cast<const std::int16_t*>(data) + count);
            else
                recorded.insert(recorded.end(), count, 0); // a hole: nothing was played
            pa_stream_drop(stream);
            read = true;
        }
        if (!read)
            continue;
        {
            std::lock_guard<std::mutex> hold(lock);
            arrivals.push_back({recorded.size() / channels, monotonicSeconds()});
        }
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(stream, &latency, &negative) < 0)
            continue;
        const double seconds = static_cast<double>(latency) * 1e-6;
        std::lock_guard<std::mutex> hold(lock);
        const double ahead = negative ? -seconds : seconds;
        points.push_back({recorded.size() / channels, monotonicSeconds() - ahead});
        settledSince = std::abs(ahead) > settledLatency ? 0.0 : settledSince > 0 ? settledSince : monotonicSeconds();
    }
    if (stream) {
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
    pa_context_disconnect(context);
    pa_context_unref(context);
}

double MonitorRecorder::playedAt(double frame) const
{
    return timing == PlayedTiming::serverLatency ? reportedPlayedAt(frame) : arrivedAt(frame);
}

double MonitorRecorder::reportedPlayedAt(double frame) const
{
    // The sink's clock drifts from the monotonic one by some hundred parts per
    // million, so only nearby points count.
    const double window = 3.0 * rate;
    std::vector<double> offsets;
    for (const auto& p : points)
        if (std::abs(static_cast<double>(p.frame) - frame) < window)
            offsets.push_back(p.played - static_cast<double>(p.frame) / rate);
    return frame / rate + median(offsets);
}

double MonitorRecorder::arrivedAt(double frame) const
{
    // A block is never read before it was there, only later when the reader
    // is late: the earliest nearby reading is the truest. A stopped server
    // shifts every reading after the stop by its length, so only readings
    // within a step of the nearest one count.
    const double window = 1.0 * rate;
    const double step = 0.1;
    const TimingPoint* nearest = nullptr;
    for (const auto& p : arrivals)
        if (!nearest ||
            std::abs(static_cast<double>(p.frame) - frame) < std::abs(static_cast<double>(nearest->frame) - frame))
            nearest = &p;
    if (!nearest || std::abs(static_cast<double>(nearest->frame) - frame) > window)
        return std::nan("");
    const double near = nearest->played - static_cast<double>(nearest->frame) / rate;
    double earliest = near;
    for (const auto& p : arrivals) {
        const double offset = p.played - static_cast<double>(p.frame) / rate;
        if (std::abs(static_cast<double>(p.frame) - frame) < window && std::abs(offset - near) < step)
            earliest = std::min(earliest, offset);
    }
    return frame / rate + earliest;
}

double MonitorRecorder::timingSpread() const
{
    const auto& readings = timing == PlayedTiming::serverLatency ? points : arrivals;
    std::vector<double> deviations;
    for (std::size_t i = 0; i < readings.size(); i += 7)
        deviations.push_back(std::abs(readings[i].played - playedAt(static_cast<double>(readings[i].frame))));
    return median(deviations);
}

} // namespace testsupport
