// The choice of full-screen way and the line that explains a scaled picture.
#include "display/FullScreenWay.h"

FullScreenWay chooseFullScreen(const FullScreenFacts& facts)
{
    // Where no switch is made anyway, a mode of the desktop's own size is
    // simply the desktop's mode: nothing to say about scaling.
    if (facts.desktopAsked || (facts.desktopSize && (facts.wayland || facts.xwayland)))
        return FullScreenWay::desktopAsked;
    // SDL's Wayland driver lists modes it would emulate by scaling the
    // surface; asking for one only gets the compositor's full-screen size
    // later, and KWin answers a window made at the mode's size with that
    // size again once it activates it (the picture then sits in a corner).
    if (facts.wayland)
        return FullScreenWay::noSwitch;
    if (!facts.modeOffered)
        return FullScreenWay::noSuchMode;
    return facts.xwayland ? FullScreenWay::emulatedSwitch : FullScreenWay::switchMode;
}

std::string scaledBecause(FullScreenWay way, int width, int height, int bitsPerPixel, int desktopWidth,
                          int desktopHeight)
{
    const std::string mode = std::to_string(width) + "x" + std::to_string(height);
    const std::string scaled =
        "; showing the picture scaled to " + std::to_string(desktopWidth) + "x" + std::to_string(desktopHeight);
    switch (way) {
    case FullScreenWay::noSuchMode:
        return "the display has no " + mode + " mode at " + std::to_string(bitsPerPixel) + " bits per pixel" + scaled;
    case FullScreenWay::noSwitch:
        return "Wayland does not switch the display to " + mode + scaled;
    case FullScreenWay::emulatedSwitch:
        return "Xwayland only emulates a switch to " + mode + scaled;
    case FullScreenWay::switchMode:
    case FullScreenWay::desktopAsked:
        break;
    }
    return {};
}
