// Ctrl+C (SIGINT), SIGTERM, a closed terminal (SIGHUP) and Ctrl+\ (SIGQUIT)
// become the window's quit message, so the program leaves its main loop and
// tears down in order (display mode restored) instead of dying mid-frame.
// Works with or without a window or video subsystem.
#pragma once

namespace quitSignal {

// Installs the handlers; restore() puts the previous dispositions back.
void install();
void restore();
// True once if a signal arrived since the last take().
bool take();

} // namespace quitSignal
