// Pacing new frames: at once where the display paces presents; where nothing
// does (or the driver only claims to), no more than the mode's refresh, each
// frame swapped at the moment planned for it; and never a wait when told
// not to wait for the display.
#include "display/PresentPacer.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

TEST(PresentPacer, CapsNewFramesAtTheRefreshOnlyWhereNothingPacesThem)
{
    struct Case {
        const char* what;
        double refreshRate;
        bool paced;
        bool waitForDisplay;
        double drawTakes;    // from the plan to the frame ready to swap
        double slower;       // how much longer every third frame takes to draw
        double presentTakes; // how long each present of a new frame waits
        double spacing;      // the interval between new frames, once settled
        double lateAtMost;   // a swap after its planned moment, at worst (negative: unplanned)
    };
    // Capped, a present that takes 5 ms must not stretch the interval beyond
    // a refresh (it once made 60 Hz into 47 frames/s), nor move the swap off
    // the moment the frame was drawn for (it once strayed 4 to 12 ms).
    const Case cases[] = {
        {"paced by the display", 60, true, true, 0.004, 0, 1.0 / 60 - 0.004, 1.0 / 60, -1},
        {"paced by a slower compositor", 60, true, true, 0.004, 0, 1.0 / 42 - 0.004, 1.0 / 42, -1},
        {"nothing paces: capped at 75 Hz", 75, false, true, 0.004, 0.002, 0.005, 1.0 / 75, 0},
        {"refresh unknown: taken as 60 Hz", 0, false, true, 0.004, 0.002, 0.005, 1.0 / 60, 0},
        // Drawn in 24 ms, or 32: planned for the average, the slow frames late.
        {"nothing paces, drawing takes longer than a refresh", 60, false, true, 0.024, 0.008, 0.005, 0.0343, 0.0055},
        {"a swap interval that does not wait", 60, true, true, 0.004, 0.002, 0.005, 1.0 / 60, 0},
        {"told not to wait", 60, false, false, 0.004, 0.002, 0.005, 0.00967, -1},
        {"told not to wait, with an interval", 60, true, false, 0.004, 0.002, 0.005, 0.00967, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PresentPacer pacer(c.refreshRate, c.paced, c.waitForDisplay);
        double now = 5.0;
        EXPECT_EQ(pacer.nextPresentIn(now), 0) << "the first frame is planned for now";
        EXPECT_EQ(pacer.dueIn(now + c.drawTakes), 0) << "the first frame waits for nothing";
        double at100 = 0;
        double worstMiss = 0;
        for (int i = 0; i < 200; ++i) {
            const double plannedFor = now + pacer.nextPresentIn(now);
            now += c.drawTakes + (i % 3 == 2 ? c.slower : 0);
            now += pacer.dueIn(now);
            if (i >= 100)
                worstMiss = std::max(worstMiss, std::abs(now - plannedFor));
            now += c.presentTakes;
            pacer.presented(now);
            at100 = i == 99 ? now : at100;
        }
        EXPECT_NEAR((now - at100) / 100, c.spacing, 2e-4);
        const double missAllowed = c.lateAtMost >= 0 ? c.lateAtMost : 1.0;
        EXPECT_LE(worstMiss, missAllowed + 1e-9) << "a frame swapped off its planned moment";
        // The next frame is seen for a step: a refresh where capped.
        EXPECT_NEAR(pacer.frameStep(), c.spacing, 0.1 * c.spacing);
    }
}
