// Signal handlers that only set a flag; the window's update() takes it as the
// quit message at its next call.
#include "display/QuitSignal.h"

#include <csignal>

namespace {

constexpr int quitting[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int quittingCount = sizeof quitting / sizeof quitting[0];

volatile std::sig_atomic_t received = 0;
struct sigaction previous[quittingCount]{};
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
    struct sigaction action{};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < quittingCount; ++i)
        sigaction(quitting[i], &action, &previous[i]);
    installed = true;
}

void restore()
{
    if (!installed)
        return;
    for (int i = 0; i < quittingCount; ++i)
        sigaction(quitting[i], &previous[i], nullptr);
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
