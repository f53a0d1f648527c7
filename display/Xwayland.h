// Whether the X server the window talks to is Xwayland. Xwayland offers the
// modes a game asks for but only emulates them: the screen keeps its own
// mode and the compositor scales the window, and GNOME's mutter stretches an
// 800 x 600 window over a 16:9 monitor. So on Xwayland the window never
// switches modes; it covers the desktop and scales the picture itself.
#pragma once

// Asks the X server that DISPLAY names, over a connection of its own (closed
// again). False where none answers.
bool xServerIsXwayland();
