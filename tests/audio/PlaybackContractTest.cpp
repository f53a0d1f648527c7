// What every sound output promises Playback, held to with a clock of the test's
// own: each period comes with the moment its first frame is heard, and the heard
// position is read from those moments alone, whatever the output's latency, its
// stalls or the size of its requests.
#include "MusicHarness.h"
#include "TestTracks.h"
#include "audio/Playback.h"
#include "audio/StreamDecoder.h"

#include <chrono>
#include <gtest/gtest.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testtracks;

namespace {

constexpr int rate = 44100;
constexpr int period = 1024;
constexpr std::int64_t second = 1'000'000'000;

// Nanoseconds that `frames` frames last.
std::int64_t lasting(double frames)
{
    return static_cast<std::int64_t>(frames * second / rate);
}

class PlaybackContract : public testing::Test {
protected:
    void SetUp() override
    {
        path = tracks.makeMp3("busy", rate, 2, 16.0, busySignal);
        ASSERT_FALSE(path.empty());
        decoder = std::make_unique<StreamDecoder>(path, true, rate);
        ASSERT_TRUE(decoder->ok());
        // The decoder runs ahead of the output on its own: let it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (decoder->decodedAhead() < 15 * rate && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GE(decoder->decodedAhead(), 15u * rate);
        playback.attach(decoder.get());
        playback.setRate(rate);
    }

    // Hands `count` periods over back to back, the first heard at `heardAt`.
    std::vector<std::int16_t> hand(int count, std::int64_t heardAt)
    {
        std::vector<std::int16_t> out(static_cast<std::size_t>(count) * period * 2);
        for (int i = 0; i < count; ++i)
            playback.render(out.data() + static_cast<std::size_t>(i) * period * 2, period,
                            heardAt + lasting(static_cast<double>(i) * period));
        return out;
    }

    TrackDirectory tracks;
    std::string path;
    std::unique_ptr<StreamDecoder> decoder;
    Playback playback;
};

} // namespace

// Three periods from stream frame 0, the first heard 1.5 s after the epoch (an
// output that holds that much): the position at moments around them, asked at
// moments when the output is fed or has stopped.
TEST_F(PlaybackContract, TheHeardPositionComesFromThePeriodsMoments)
{
    playback.moveTo(0);
    double frame = 0;
    EXPECT_FALSE(playback.heardFrame(0, 0, frame)) << "heard before the start";
    playback.start();
    ASSERT_TRUE(playback.heardFrame(0, 0, frame));
    EXPECT_LT(frame, 0) << "nothing handed over yet, yet heard";

    const std::int64_t first = 3 * second / 2;
    hand(3, first);
    const std::int64_t lastEnds = first + lasting(3 * period);
    struct Case {
        const char* what;
        std::int64_t at;
        std::int64_t now;
        double expected;
    } cases[] = {
        {"10 ms before the first sound, counting down", first - second / 100, first - second, -441},
        {"the first frame", first, first - second, 0},
        {"inside the second period", first + lasting(1500), first, 1500},
        {"ahead of the last period, the output fed", lastEnds + lasting(2000), lastEnds, 3 * period + 2000},
        {"the output overdue by two periods: what was handed holds", lastEnds + lasting(2 * period),
         lastEnds + lasting(2 * period), 3 * period},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(playback.heardFrame(c.at, c.now, frame)) << c.what;
        EXPECT_NEAR(frame, c.expected, 1.0) << c.what;
    }
}

// A server catching up after a stall asks for seconds at once (SDL's PulseAudio
// path asked for 14 s after a 1-s stop): every frame asked for is the track's
// next, none is silence, and the heard position follows the moments given.
TEST_F(PlaybackContract, ABurstOfFourteenSecondsIsTheTrackWithoutAGap)
{
    playback.moveTo(0);
    playback.start();
    const int periods = 14 * rate / period;
    const std::vector<std::int16_t> handed = hand(periods, second);
    const Decoded reference = decodeWithMpg123(path);
    ASSERT_GE(reference.samples.size(), handed.size());
    for (int p = 0; p < periods; ++p) {
        const auto from = static_cast<std::ptrdiff_t>(p) * period * 2;
        ASSERT_TRUE(
            std::equal(handed.begin() + from, handed.begin() + from + period * 2, reference.samples.begin() + from))
            << "period " << p << " is not the track's";
    }
    double frame = 0;
    ASSERT_TRUE(playback.heardFrame(second + 13 * second, second + 13 * second, frame));
    EXPECT_NEAR(frame, 13.0 * rate, 1.0);
}

// The output's thread makes no system call, not even to wake the decoder: a
// child process hands periods over in the kernel's strict mode, which kills it
// at any call but read, write and exit. The decoder's thread, asleep on its
// full ring, stays behind in the parent, as a waiter a wake-up would call for.
TEST_F(PlaybackContract, HandingOverMakesNoSystemCall)
{
    for (std::size_t ahead = 0; decoder->decodedAhead() != ahead;) {
        ahead = decoder->decodedAhead();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    playback.moveTo(0);
    playback.start();
    std::vector<std::int16_t> out(period * 2);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_STRICT) != 0)
            syscall(SYS_exit, 2);
        for (int i = 0; i < 8; ++i)
            playback.render(out.data(), period, lasting(static_cast<double>(i) * period));
        syscall(SYS_exit, 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "no strict mode here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "killed by signal " << WTERMSIG(status);
}
