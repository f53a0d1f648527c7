// How many displays (monitors) the video system knows, asked before any
// window exists so that a bad monitor number is refused up front; and why
// no display could be opened, when none can.
#pragma once

// The number of displays, or -1 when there is no video system to ask.
int countDisplays();

// One line on standard error saying that no display could be opened: the
// display variables as set, the SDL video driver named or those tried, and
// the reason (SDL's error, or the driver that answered without a screen).
// fellBackTo: the driver SDL settled on when it is not one that shows a
// picture, or null when the video subsystem did not start.
void explainNoDisplay(const char* fellBackTo);
