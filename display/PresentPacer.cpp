// Pacing new frames to the display.
#include "display/PresentPacer.h"

#include <algorithm>

namespace {

// Longer than this between two frames is a stall or a start-up hiccup, which
// says nothing about the display's rate or how long frames take to draw.
constexpr double stallLength = 0.1;
// Kept between a frame's expected readiness and its planned swap: the
// drawing estimate is an average, and a frame a little slower than it would
// otherwise miss its moment.
constexpr double drawingMargin = 0.001;

} // namespace

PresentPacer::PresentPacer(double refreshRate, bool paced, bool waitForDisplay)
    : refresh(1.0 / (refreshRate > 0 ? refreshRate : 60.0)),
      cap(waitForDisplay && !paced),
      trustPacing(waitForDisplay && paced)
{}

double PresentPacer::nextPresentIn(double now)
{
    if (last < 0)
        return 0;
    if (!cap)
        return std::max(0.0, frameStep() - (now - last));
    // The slot a refresh after the last swap, unless the frame will not be
    // drawn by then; a slot long past (a stall) is not caught up on.
    planned = std::max(nextSlot, now + drawing + drawingMargin);
    plannedAt = now;
    return planned - now;
}

double PresentPacer::dueIn(double now)
{
    if (!cap || last < 0)
        return 0;
    const double moment = planned >= 0 ? planned : nextSlot;
    if (planned >= 0) {
        const double took = now - plannedAt;
        if (took < stallLength)
            drawing += 0.1 * (took - drawing);
    }
    swapped = std::max(moment, now);
    planned = -1;
    return swapped - now;
}

void PresentPacer::presented(double now)
{
    if (last >= 0) {
        const double since = now - last;
        if (since < stallLength)
            interval = interval == 0 ? since : interval + 0.1 * (since - interval);
    }
    // The next slot is a refresh after this frame's swap (or its return, for
    // the first frame and frames presented without a wait).
    nextSlot = (cap && swapped >= 0 ? swapped : now) + refresh;
    swapped = -1;
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
