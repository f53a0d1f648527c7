// The live show's policy with sources of the test's own: where play begins, the
// music started before the timer, the device looked after before each frame,
// the music asked about when the frame is seen, the end, and looping.
#include "demo/ShowClock.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct FakeSources {
    float timer = 0;
    std::vector<std::string> calls;

    ShowClock::Sources sources()
    {
        ShowClock::Sources s;
        s.timer = [this] { return timer; };
        s.restartTimer = [this] {
            timer = 0;
            calls.push_back("timer");
        };
        s.heard = [this](double seenAt) { // no music on a device
            calls.push_back("heard at " + std::to_string(seenAt).substr(0, 3));
            return std::optional<double>{};
        };
        s.play = [this](double seconds) { calls.push_back("play " + std::to_string(seconds).substr(0, 3)); };
        s.keepDevice = [this](double last) { calls.push_back("device " + std::to_string(last).substr(0, 3)); };
        return s;
    }
};

} // namespace

TEST(ShowClock, BeginsAtItsStartEndsPastTheEndOrLoops)
{
    struct Case {
        bool loop;
        std::vector<std::string> calls; // after begin, two frames, and the frame past the end
        bool goesOn;                    // after the frame past the end
    } cases[] = {
        {false, {"play 0.5", "timer", "device 0.5", "heard at 0.3", "device 0.7", "heard at 0.9"}, false},
        {true,
         {"play 0.5", "timer", "device 0.5", "heard at 0.3", "device 0.7", "heard at 0.9", "play 0.0", "timer"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loop ? "looping" : "once");
        FakeSources fake;
        ShowClock show(fake.sources(), 1.0f, 0.5, c.loop);
        show.begin();
        fake.timer = 0.25f;
        // The music is asked about the moment the driver says the frame is seen.
        const float first = show.next(0.3);
        EXPECT_FLOAT_EQ(first, 0.75f);
        EXPECT_TRUE(show.goOn(first));
        fake.timer = 0.75f;
        const float past = show.next(0.9);
        EXPECT_FLOAT_EQ(past, 1.25f);
        EXPECT_EQ(show.goOn(past), c.goesOn);
        EXPECT_EQ(fake.calls, c.calls);
        if (c.loop) {
            // From 0 again, on the restarted timer.
            fake.timer = 0.1f;
            EXPECT_FLOAT_EQ(show.next(0), 0.1f);
        }
    }
}
