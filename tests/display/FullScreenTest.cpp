// How full screen is shown: a real mode switch only where the window system
// switches the screen, the picture scaled with one line saying why
// everywhere else.
#include "display/FullScreenWay.h"

#include <gtest/gtest.h>

TEST(FullScreen, TheModeIsSwitchedOnlyWhereTheSwitchIsReal)
{
    struct Case {
        FullScreenFacts facts; // desktop asked, Wayland, Xwayland, mode offered, the desktop's size
        FullScreenWay way;
        const char* line; // what standard error says after "brakvane: "
    };
    const Case cases[] = {
        {{false, false, false, true}, FullScreenWay::switchMode, ""},
        {{true, false, false, true}, FullScreenWay::desktopAsked, ""},
        {{true, true, false, false}, FullScreenWay::desktopAsked, ""},
        {{false, false, false, false},
         FullScreenWay::noSuchMode,
         "the display has no 800x600 mode at 32 bits per pixel; showing the picture scaled to 1280x720"},
        {{false, false, true, true},
         FullScreenWay::emulatedSwitch,
         "Xwayland only emulates a switch to 800x600; showing the picture scaled to 1280x720"},
        {{false, false, true, false},
         FullScreenWay::noSuchMode,
         "the display has no 800x600 mode at 32 bits per pixel; showing the picture scaled to 1280x720"},
        {{false, true, false, true},
         FullScreenWay::noSwitch,
         "Wayland does not switch the display to 800x600; showing the picture scaled to 1280x720"},
        // --size of the desktop's own mode: no switch to speak of.
        {{false, false, false, true, true}, FullScreenWay::switchMode, ""},
        {{false, false, true, true, true}, FullScreenWay::desktopAsked, ""},
        {{false, true, false, false, true}, FullScreenWay::desktopAsked, ""},
    };
    for (const Case& c : cases) {
        const FullScreenWay way = chooseFullScreen(c.facts);
        EXPECT_EQ(way, c.way) << c.line;
        EXPECT_EQ(scaledBecause(way, 800, 600, 32, 1280, 720), c.line);
    }
}
