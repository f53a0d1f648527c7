// Over the window's quit-signal flag, which the capture shares with the demo.
#include "app/capture/Interrupt.h"

#include "display/QuitSignal.h"

#include <csignal>

namespace {

bool seen = false;

} // namespace

void watchInterrupts()
{
    quitSignal::install();
    std::signal(SIGPIPE, SIG_IGN);
}

bool captureInterrupted()
{
    if (!seen)
        seen = quitSignal::take();
    return seen;
}
