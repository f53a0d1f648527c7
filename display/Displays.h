// How many displays (monitors) the video system knows, asked before any
// window exists so that a bad monitor number is refused up front.
#pragma once

// The number of displays, or -1 when there is no video system to ask.
int countDisplays();
