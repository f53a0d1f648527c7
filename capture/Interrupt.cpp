// The four signals over the window's quit-signal flag, which the capture
// shares with the demo. None of the handlers restarts a system call, so a
// blocked write or wait returns at once to look at the flag.
#include "capture/Interrupt.h"

#include "display/QuitSignal.h"

#include <csignal>

namespace {

bool seen = false;

sigset_t interruptingSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&signals, sig);
    return signals;
}

} // namespace

void watchInterrupts()
{
    quitSignal::install();
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit a write then fails with EFBIG, which the usual error
    // path reports and cleans up after, instead of the signal ending the capture
    // silently with its files left behind. ffmpeg inherits the setting and
    // reports the failed write itself.
    std::signal(SIGXFSZ, SIG_IGN);
}

bool captureInterrupted()
{
    if (!seen)
        seen = quitSignal::take();
    return seen;
}

bool runUnlessInterrupted(const std::function<void()>& step)
{
    const sigset_t signals = interruptingSignals();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &signals, &previous);
    const bool run = !captureInterrupted();
    if (run)
        step();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return run;
}
