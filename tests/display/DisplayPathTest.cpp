// The display path a desktop's environment chooses: natively on Wayland
// wherever a Wayland display is named, X11 where only DISPLAY is, and the
// viewer's SDL_VIDEODRIVER above both; and the line that says so.
#include "display/DisplayPath.h"

#include <gtest/gtest.h>

TEST(DisplayPath, WaylandWhereItIsNamedUnlessTheViewerNamesADriver)
{
    struct Case {
        const char* videoDriver;
        const char* waylandDisplay;
        const char* display;
        const char* driver;  // asked of SDL; null: SDL's own choice
        const char* shownAs; // the driver SDL then runs
        const char* line;
    };
    const Case cases[] = {
        {nullptr, "wayland-0", ":0", "wayland", "wayland",
         "picture through Wayland (WAYLAND_DISPLAY=wayland-0; chosen over X11 through Xwayland at DISPLAY=:0: "
         "natively the compositor paces presents)"},
        {nullptr, "wayland-0", nullptr, "wayland", "wayland", "picture through Wayland (WAYLAND_DISPLAY=wayland-0)"},
        {"x11", "wayland-0", ":0", nullptr, "x11", "picture through X11 (SDL_VIDEODRIVER=x11)"},
        {"wayland", nullptr, ":0", nullptr, "wayland", "picture through Wayland (SDL_VIDEODRIVER=wayland)"},
        {nullptr, "", ":1", nullptr, "x11", "picture through X11 (DISPLAY=:1)"},
        {"", nullptr, ":1\nbrakvane: fine", nullptr, "x11", "picture through X11 (DISPLAY=:1\\nbrakvane: fine)"},
        {nullptr, nullptr, nullptr, nullptr, "KMSDRM", "picture through KMSDRM"},
    };
    for (const Case& c : cases) {
        const DisplayPath path = chooseDisplayPath(c.videoDriver, c.waylandDisplay, c.display);
        EXPECT_STREQ(path.driver, c.driver) << c.line;
        EXPECT_EQ(displayPathLine(c.shownAs, path), c.line);
    }
}
