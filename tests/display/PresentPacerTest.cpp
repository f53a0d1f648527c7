// Pacing new frames: at once where the display paces presents, no more than
// the mode's refresh where nothing does (or the driver only claims to), and
// never a wait when told not to wait for the display.
#include "display/PresentPacer.h"

#include <gtest/gtest.h>

TEST(PresentPacer, CapsNewFramesAtTheRefreshOnlyWhereNothingPacesThem)
{
    struct Case {
        const char* what;
        double refreshRate;
        bool paced;
        bool waitForDisplay;
        double presentTakes; // how long each present of a new frame waits
        double waitAfter100; // the wait asked for right after the 100th present
    };
    const Case cases[] = {
        {"paced by the display", 60, true, true, 1.0 / 60, 0},
        {"paced by a slower compositor", 60, true, true, 1.0 / 42, 0},
        {"nothing paces: capped at 75 Hz", 75, false, true, 0.001, 1.0 / 75},
        {"refresh unknown: taken as 60 Hz", 0, false, true, 0.001, 1.0 / 60},
        {"a swap interval that does not wait", 60, true, true, 0.001, 1.0 / 60},
        {"told not to wait", 60, false, false, 0.001, 0},
        {"told not to wait, with an interval", 60, true, false, 0.001, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PresentPacer pacer(c.refreshRate, c.paced, c.waitForDisplay);
        EXPECT_EQ(pacer.dueIn(5.0), 0) << "the first frame waits for nothing";
        double now = 5.0;
        for (int i = 0; i < 100; ++i) {
            now += pacer.dueIn(now) + c.presentTakes;
            pacer.presented(now);
        }
        EXPECT_NEAR(pacer.dueIn(now), c.waitAfter100, 1e-9);
        // Drawn at once, the next frame is shown a wait (or, paced, a present) from now.
        const double interval = c.waitAfter100 > 0 ? c.waitAfter100 + c.presentTakes : c.presentTakes;
        EXPECT_NEAR(pacer.nextShownIn(now), 1.5 * interval, 0.1 * interval);
    }
}
