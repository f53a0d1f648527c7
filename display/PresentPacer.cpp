// Pacing new frames to the display.
#include "display/PresentPacer.h"

#include <algorithm>

PresentPacer::PresentPacer(double refreshRate, bool paced, bool waitForDisplay)
    : refresh(1.0 / (refreshRate > 0 ? refreshRate : 60.0)),
      cap(waitForDisplay && !paced),
      trustPacing(waitForDisplay && paced)
{}

double PresentPacer::dueIn(double now) const
{
    if (!cap || last < 0)
        return 0;
    return std::max(0.0, nextSlot - now);
}

void PresentPacer::presented(double now)
{
    if (last >= 0) {
        const double since = now - last;
        // Stalls and start-up hiccups say nothing about the display's rate.
        if (since < 0.1)
            interval = interval == 0 ? since : interval + 0.1 * (since - interval);
    }
    // The next slot is a refresh after this frame's. A frame presented before
    // its slot (nothing held it back) has its slot now; one that came later
    // than its slot by more than a refresh (a stall, a slow frame) starts the
    // slots anew.
    const bool behind = last < 0 || now - nextSlot > refresh;
    nextSlot = (behind ? now : std::min(nextSlot, now)) + refresh;
    last = now;
    // Presents that come back well inside a refresh, frame after frame, are
    // not waiting for the display, whatever the driver says.
    if (trustPacing && ++count >= judgedAfter && interval > 0 && interval < 0.7 * refresh) {
        trustPacing = false;
        cap = true;
    }
}

double PresentPacer::frameStep() const
{
    if (last < 0)
        return 0;
    return cap ? std::max(interval, refresh) : interval;
}

double PresentPacer::nextPresentIn(double now) const
{
    if (last < 0)
        return 0;
    return std::max(0.0, frameStep() - (now - last));
}
