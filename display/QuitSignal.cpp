// Signal handlers that only set a flag; the window's update() takes it as the
// quit message at its next call.
#include "display/QuitSignal.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t received = 0;
struct sigaction previousInt {};
struct sigaction previousTerm {};
bool installed = false;

extern "C" void onQuitSignal(int)
{
    received = 1;
}

} // namespace

namespace quitSignal {

void install()
{
    if (installed)
        return;
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
    installed = true;
}

void restore()
{
    if (!installed)
        return;
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    installed = false;
}

bool take()
{
    if (!received)
        return false;
    received = 0;
    return true;
}

} // namespace quitSignal
