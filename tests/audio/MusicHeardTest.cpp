// The position of the music being heard, as the demo's clock asks for it: from the
// periods handed to SDL's disk audio driver and when. That device drains faster than
// real time, so the tests hold to what does not depend on the pace: where the
// position starts, that it never runs back, how it looks ahead, and when it ends.
#include "MusicHarness.h"
#include "TestTracks.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace testtracks;

namespace {

class MusicHeard : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(tracks.path().empty()); }

    TrackDirectory tracks;
};

} // namespace

TEST_F(MusicHeard, StartsAtThePlayPositionMovesOnAndEndsWithTheTrack)
{
    useDiskAudio(tracks.file("played.raw"));
    const std::string path = tracks.makeMp3("busy", 44100, 2, 12.0, busySignal);
    ASSERT_FALSE(path.empty());
    ConsoleCapture console;
    Music music(nullptr, path);
    double seconds = -1;
    EXPECT_FALSE(music.heardPosition(0, seconds)) << "heard before playing";
    EXPECT_EQ(seconds, -1);

    music.play(10.5);
    std::vector<double> heard;
    std::vector<double> lookedAhead;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        double now = 0;
        if (!music.heardPosition(0, now)) {
            if (!heard.empty())
                break; // the track has been heard to its end
            continue;  // the device has not been handed a period yet
        }
        heard.push_back(now);
        double ahead = 0;
        if (music.heardPosition(0.05, ahead))
            lookedAhead.push_back(ahead - now);
    }
    ASSERT_GT(heard.size(), 10u);
    // Before its first frame is heard, the position counts up to 10.5 s from
    // less than the device's latency below it.
    EXPECT_GT(heard.front(), 10.3);
    EXPECT_LT(heard.front(), 10.6);
    // Once the first frame is heard, the position moves on with the music. A
    // late device makes it waver: what was reckoned played past the frames
    // handed over may turn out not to be, by less than a period (23 ms); the
    // demo's clock smooths that out and never runs back.
    // (Before the first frame, a period of silence handed over while the
    // decoder seeks moves that frame later, and the count to it starts again.)
    const auto started = std::find_if(heard.begin(), heard.end(), [](double s) { return s > 10.5; });
    ASSERT_NE(started, heard.end());
    double highest = *started;
    for (auto it = started + 1; it != heard.end(); ++it) {
        ASSERT_GT(*it, highest - 0.025) << "position " << (it - heard.begin()) << " runs back";
        highest = std::max(highest, *it);
    }
    EXPECT_GT(heard.back(), 11.5);
    EXPECT_LT(heard.back(), 12.1);
    // Looking ahead adds the time looked ahead, as long as the device is fed
    // (a period handed over in between, or a decoder behind the fast device,
    // changes single readings).
    EXPECT_NEAR(median(std::vector<float>(lookedAhead.begin(), lookedAhead.end())), 0.05, 0.01);
}

TEST_F(MusicHeard, NothingIsHeardWithoutADevice)
{
    useNoAudioDevice();
    const std::string path = tracks.makeMp3("busy", 44100, 2, 1.0, busySignal);
    ConsoleCapture console;
    Music music(nullptr, path);
    music.play(0);
    double seconds = 0;
    EXPECT_FALSE(music.heardPosition(0, seconds));
    EXPECT_FALSE(music.heardPosition(0.1, seconds));
}
