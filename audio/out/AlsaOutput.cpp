// libasound behind AlsaOutput.
#include "audio/out/AlsaOutput.h"

#include "audio/MonotonicTime.h"
#include "audio/Playback.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <vector>

namespace {

constexpr int channels = 2;
// The frames rendered at a time, each piece with its own moment: 23 ms at
// 44.1 kHz, as the other outputs hand over.
constexpr snd_pcm_uframes_t periodFrames = 1024;
// What the device is asked to hold: sixteen periods (0.37 s), as eight ran a
// plugin's sound server dry on a loaded machine; it costs only a later first sound.
constexpr snd_pcm_uframes_t bufferFrames = 16 * periodFrames;
// How long the thread waits for room at most before it looks whether it is to end.
constexpr int waitMilliseconds = 20;
// A status moment further than this from now is on some other clock.
constexpr std::int64_t trustedNs = 1'000'000'000;

// The thread runs at real-time priority where the system allows (as
// PipeWire's does), so that a busy machine does not run the device dry; where
// it does not, it runs as it was.
void raisePriority()
{
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

extern "C" void keepAlsaQuiet(const char*, int, const char*, int, const char*, ...) {}

std::int64_t nanoseconds(const snd_htimestamp_t& t)
{
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::string reason(const char* what, int error)
{
    return std::string(what) + " (" + snd_strerror(error) + ")";
}

} // namespace

struct AlsaOutput::Device {
    snd_pcm_t* pcm = nullptr;
    Playback* playback = nullptr;
    int rate = 0;
    snd_pcm_uframes_t period = periodFrames; // the device's: room enough to write again
    snd_pcm_uframes_t buffer = bufferFrames; // the device's
    std::vector<std::int16_t> scratch;
    std::thread thread;
    std::atomic<bool> quit{false};
    std::atomic<bool> gone{false};

    ~Device()
    {
        if (thread.joinable()) {
            quit.store(true, std::memory_order_relaxed);
            thread.join();
        }
        if (pcm != nullptr) {
            snd_pcm_drop(pcm);
            snd_pcm_close(pcm);
        }
    }

    // Stereo 16-bit frames at the rate asked for or the nearest, the periods and
    // buffer as near as the device allows; moments on CLOCK_MONOTONIC; the device
    // starts once it is full.
    std::string setUp(int wantedRate)
    {
        snd_pcm_hw_params_t* hw = nullptr;
        snd_pcm_hw_params_alloca(&hw);
        unsigned int chosenRate = static_cast<unsigned int>(wantedRate);
        int error = snd_pcm_hw_params_any(pcm, hw);
        if (error >= 0)
            error = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
        if (error >= 0)
            error = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16);
        if (error >= 0)
            error = snd_pcm_hw_params_set_channels(pcm, hw, channels);
        if (error >= 0)
            error = snd_pcm_hw_params_set_rate_near(pcm, hw, &chosenRate, nullptr);
        if (error >= 0)
            error = snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr);
        if (error >= 0)
            error = snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer);
        if (error >= 0)
            error = snd_pcm_hw_params(pcm, hw);
        if (error < 0)
            return reason("the device refuses stereo 16-bit frames", error);
        snd_pcm_hw_params_get_buffer_size(hw, &buffer);
        snd_pcm_hw_params_get_period_size(hw, &period, nullptr);

        snd_pcm_sw_params_t* sw = nullptr;
        snd_pcm_sw_params_alloca(&sw);
        error = snd_pcm_sw_params_current(pcm, sw);
        if (error >= 0)
            error = snd_pcm_sw_params_set_tstamp_mode(pcm, sw, SND_PCM_TSTAMP_ENABLE);
        if (error >= 0)
            error = snd_pcm_sw_params_set_tstamp_type(pcm, sw, SND_PCM_TSTAMP_TYPE_MONOTONIC);
        if (error >= 0)
            error = snd_pcm_sw_params_set_start_threshold(pcm, sw, buffer);
        if (error >= 0)
            error = snd_pcm_sw_params_set_avail_min(pcm, sw, period);
        if (error >= 0)
            error = snd_pcm_sw_params(pcm, sw);
        if (error < 0)
            return reason("the device refuses its timing set-up", error);
        rate = static_cast<int>(chosenRate);
        scratch.resize(periodFrames * channels);
        return {};
    }

    // When the next frame written is heard, from the device's status now.
    std::int64_t nextHeardAt() const
    {
        const std::int64_t now = monotonicNanoseconds();
        snd_pcm_status_t* status = nullptr;
        snd_pcm_status_alloca(&status);
        if (snd_pcm_status(pcm, status) < 0)
            return now;
        const snd_pcm_state_t state = snd_pcm_status_get_state(status);
        snd_htimestamp_t stamp{};
        snd_pcm_status_get_htstamp(status, &stamp);
        AlsaOutput::Status seen;
        seen.running = state == SND_PCM_STATE_RUNNING || state == SND_PCM_STATE_DRAINING;
        seen.stamp = nanoseconds(stamp);
        seen.delayFrames = snd_pcm_status_get_delay(status);
        seen.availFrames = static_cast<std::int64_t>(snd_pcm_status_get_avail(status));
        seen.bufferFrames = static_cast<std::int64_t>(buffer);
        return AlsaOutput::heardAt(seen, rate, now);
    }

    // After a failed call: an underrun (the process stood still) or a suspend is
    // mended by preparing the device again; it then starts anew once full, and
    // the moment of what is written next comes from its status as always, so
    // the track goes on where it was. False when the device is gone.
    bool recover(int error)
    {
        if (error == -EAGAIN || error == -EINTR) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return true;
        }
        if (error == -ESTRPIPE) {
            while ((error = snd_pcm_resume(pcm)) == -EAGAIN && !quit.load(std::memory_order_relaxed))
                std::this_thread::sleep_for(std::chrono::milliseconds(waitMilliseconds));
            if (error >= 0)
                return true;
            error = -EPIPE;
        }
        return error == -EPIPE && snd_pcm_prepare(pcm) >= 0;
    }

    // Writes all the room there is, a period at a time, each with its moment.
    // A period the device took only in part is finished all the same, so the
    // track plays on without a gap; after an underrun in the middle, what
    // follows is stamped anew from the restarted device's status.
    bool fill(snd_pcm_uframes_t room)
    {
        std::int64_t at = nextHeardAt();
        bool restarted = false;
        while (room > 0 && !restarted && !quit.load(std::memory_order_relaxed)) {
            const snd_pcm_uframes_t piece = std::min(room, periodFrames);
            playback->render(scratch.data(), static_cast<int>(piece), at);
            for (snd_pcm_uframes_t taken = 0; taken < piece && !quit.load(std::memory_order_relaxed);) {
                const snd_pcm_sframes_t done = snd_pcm_writei(pcm, scratch.data() + taken * channels, piece - taken);
                if (done >= 0)
                    taken += static_cast<snd_pcm_uframes_t>(done);
                else if (!recover(static_cast<int>(done)))
                    return false;
                else
                    restarted = restarted || done == -EPIPE || done == -ESTRPIPE;
            }
            at += static_cast<std::int64_t>(static_cast<double>(piece) * 1e9 / rate);
            room -= piece;
        }
        return true;
    }

    // Each pass waits for a period of room, sleeps, or writes, so the thread
    // never spins, which matters at real-time priority: woken with less room
    // than a period (a plugin may wake early), it writes what there is.
    void run()
    {
        raisePriority();
        bool woken = false;
        while (!quit.load(std::memory_order_relaxed)) {
            const snd_pcm_sframes_t room = snd_pcm_avail(pcm);
            if (room < 0) {
                if (!recover(static_cast<int>(room)))
                    break;
                continue;
            }
            const bool started = snd_pcm_state(pcm) == SND_PCM_STATE_RUNNING;
            if (started && static_cast<snd_pcm_uframes_t>(room) < period && !woken) {
                const int waited = snd_pcm_wait(pcm, waitMilliseconds);
                if (waited < 0 && !recover(waited))
                    break;
                woken = waited > 0;
                continue;
            }
            woken = false;
            if (room == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (!fill(static_cast<snd_pcm_uframes_t>(room)))
                break;
        }
        if (!quit.load(std::memory_order_relaxed))
            gone.store(true, std::memory_order_release);
    }
};

std::int64_t AlsaOutput::heardAt(const Status& status, int rate, std::int64_t now)
{
    const std::int64_t frames = status.running ? status.delayFrames : status.bufferFrames - status.availFrames;
    const std::int64_t delay = frames > 0 && rate > 0 ? frames * 1'000'000'000 / rate : 0;
    const bool stampTrusted = status.running && status.stamp > 0 && std::llabs(now - status.stamp) < trustedNs;
    return (stampTrusted ? status.stamp : now) + delay;
}

AlsaOutput::AlsaOutput(int rate, Playback& playback)
{
    if (rate <= 0)
        return;
    // ALSA's library writes its complaints ("ALSA lib pcm.c:...") straight to
    // standard error; when no device opens, one line of ours says so.
    snd_lib_error_set_handler(keepAlsaQuiet);
    const char* named = std::getenv("AUDIODEV");
    const std::string name = named != nullptr && *named != '\0' ? named : "default";
    auto d = std::make_unique<Device>();
    d->playback = &playback;
    // Opened without blocking, so that a device another program holds is
    // refused at once instead of waited for; written blocking after.
    int error = snd_pcm_open(&d->pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
        d->pcm = nullptr;
        failure = reason(("ALSA cannot open " + name).c_str(), error);
        return;
    }
    snd_pcm_nonblock(d->pcm, 0);
    const std::string refused = d->setUp(rate);
    if (!refused.empty()) {
        failure = "ALSA " + name + ": " + refused;
        return;
    }
    Device* raw = d.get();
    d->thread = std::thread([raw] { raw->run(); });
    frameRate = d->rate;
    device = std::move(d);
}

AlsaOutput::~AlsaOutput()
{
    close();
}

bool AlsaOutput::lost() const
{
    return device != nullptr && device->gone.load(std::memory_order_acquire);
}

void AlsaOutput::close()
{
    device.reset();
}
