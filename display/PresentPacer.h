// When a new frame may be presented, and when the frame drawn next will be
// seen. Where the display paces presents (a swap interval the driver honours,
// a compositor's frame callbacks), a new frame is presented at once and the
// present itself waits. Where nothing paces them, no more frames are
// presented than the display's mode refreshes: a frame drawn sooner would
// never be seen. A driver that accepts a swap interval and does not wait is
// found out by the pace of its presents and capped the same way. Told not to
// wait for the display, it never waits.
//
// Plain arithmetic on seconds of one monotonic clock, so the window's
// pacing can be checked without a display.
#pragma once

class PresentPacer {
public:
    // refreshRate: the display mode's, in Hz (0 or less: unknown, taken as 60).
    // paced: the driver says presents wait for the display. waitForDisplay:
    // false leaves every present unpaced and uncapped.
    PresentPacer(double refreshRate, bool paced, bool waitForDisplay);

    // Seconds to wait, at `now`, before presenting a new frame: 0 where the
    // display paces presents or the last one is a refresh ago.
    double dueIn(double now) const;
    // A present of a new frame returned at `now`.
    void presented(double now);
    // Seconds from `now` to the present of the frame drawn next: one frame
    // step after the last one. 0 before frames have been presented.
    double nextPresentIn(double now) const;
    // How long a new frame stays on screen: the step between new frames (0
    // until it is known and nothing caps them).
    double frameStep() const;

    bool capping() const { return cap; }
    double refreshInterval() const { return refresh; }

private:
    // New frames the driver's pacing is judged over.
    static constexpr int judgedAfter = 30;

    double refresh;
    bool cap;
    bool trustPacing; // paced, and not yet found out presenting faster than the display
    double last = -1; // when the last new frame's present returned; negative: none yet
    // Capped, when the next new frame is due: slots a refresh apart, so the
    // time a present takes does not stretch the interval between frames.
    double nextSlot = 0;
    double interval = 0;
    int count = 0;
};
