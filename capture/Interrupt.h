// Ctrl+C, SIGTERM, a closed terminal or dropped connection (SIGHUP) and
// Ctrl+\ (SIGQUIT) during a capture. The handlers only note the signal; the
// frame loop and the writers look at it between steps and stop cleanly,
// removing whatever they had written.
#pragma once

#include <functional>

// Installs the handlers, and ignores SIGPIPE so that a video encoder that
// dies shows up as a failed write instead of killing the program, and SIGXFSZ
// so that a file-size limit shows up as a failed write too.
void watchInterrupts();
// True once a signal has arrived (and from then on).
bool captureInterrupted();
// Runs step with those signals held back, unless one has arrived already
// (false, step not run). A signal then comes either before the step, which
// does not run, or after it has run whole: a capture is either interrupted
// or done, never both.
bool runUnlessInterrupted(const std::function<void()>& step);
