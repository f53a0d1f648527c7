// Xwayland told apart from an X server of its own, asking the servers
// themselves: Xvfb, and the Xwayland of a Weston testbed.
#include "display/Xwayland.h"
#include "Testbeds.h"
#include "XServer.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace testsupport;

TEST(FullScreen, XwaylandIsToldApartFromAnXServerOfItsOwn)
{
    const char* before = std::getenv("DISPLAY");
    {
        XServer xvfb(1024, 768);
        ASSERT_TRUE(xvfb.ok());
        xvfb.exportDisplay();
        EXPECT_FALSE(xServerIsXwayland()) << "Xvfb";
    }
    Compositor weston(CompositorKind::weston, true);
    ASSERT_TRUE(weston.running()) << weston.problem();
    const auto client = weston.clientEnvironment();
    ASSERT_TRUE(client.at("DISPLAY"));
    setenv("DISPLAY", client.at("DISPLAY")->c_str(), 1);
    EXPECT_TRUE(xServerIsXwayland()) << "Weston's Xwayland";
    setenv("DISPLAY", ":65535", 1);
    EXPECT_FALSE(xServerIsXwayland()) << "no X server";
    if (before)
        setenv("DISPLAY", before, 1);
    else
        unsetenv("DISPLAY");
}
