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
        double spacing;      // the interval between new frames, once settled
    };
    // A frame is drawn in 4 ms. Capped, a present that takes 5 ms must not
    // stretch the interval beyond a refresh (it once made 60 Hz into 47 frames/s).
    const Case cases[] = {
        {"paced by the display", 60, true, true, 1.0 / 60 - 0.004, 1.0 / 60},
        {"paced by a slower compositor", 60, true, true, 1.0 / 42 - 0.004, 1.0 / 42},
        {"nothing paces: capped at 75 Hz", 75, false, true, 0.005, 1.0 / 75},
        {"refresh unknown: taken as 60 Hz", 0, false, true, 0.005, 1.0 / 60},
        {"a swap interval that does not wait", 60, true, true, 0.005, 1.0 / 60},
        {"told not to wait", 60, false, false, 0.005, 0.009},
        {"told not to wait, with an interval", 60, true, false, 0.005, 0.009},
    };
    constexpr double drawTakes = 0.004;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PresentPacer pacer(c.refreshRate, c.paced, c.waitForDisplay);
        EXPECT_EQ(pacer.dueIn(5.0), 0) << "the first frame waits for nothing";
        double now = 5.0;
        double at100 = 0;
        for (int i = 0; i < 200; ++i) {
            now += pacer.dueIn(now) + c.presentTakes;
            pacer.presented(now);
            at100 = i == 99 ? now : at100;
            now += drawTakes;
        }
        EXPECT_NEAR((now - drawTakes - at100) / 100, c.spacing, 1e-6);
        // Drawn at once, the next frame is presented a wait (or, paced, a
        // present) from now, and stays up for a step.
        now -= drawTakes;
        EXPECT_NEAR(pacer.nextPresentIn(now), c.spacing, 0.1 * c.spacing);
        EXPECT_NEAR(pacer.frameStep(), c.spacing, 0.1 * c.spacing);
    }
}
