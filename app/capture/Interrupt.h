// Ctrl+C and SIGTERM during a capture. The handlers only note the signal; the
// frame loop and the writers look at it between steps and stop cleanly,
// removing whatever they had written.
#pragma once

// Installs the handlers, and ignores SIGPIPE so that a video encoder that
// dies shows up as a failed write instead of killing the program.
void watchInterrupts();
// True once a signal has arrived (and from then on).
bool captureInterrupted();
