// When a new frame may be presented, and when the frame drawn next will be
// seen. Where the display paces presents (a swap interval the driver honours,
// a compositor's frame callbacks), a new frame is presented at once and the
// present itself waits. Where nothing paces them, the pacer plans each new
// frame's present: a refresh after the last one, or later where drawing a
// frame takes longer than that, and the frame, once drawn, is held until that
// moment and swapped then, so that it reaches the screen at the moment it
// was drawn for, and no more frames are presented than the display's mode
// refreshes. A driver that accepts a swap interval and does not wait is found
// out by the pace of its presents and planned for the same way. Told not to
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

    // Seconds from `now`, as the next frame is about to be drawn, to the
    // present of that frame; 0 before frames have been presented. Where
    // nothing paces presents this fixes the frame's planned present.
    double nextPresentIn(double now);
    // The new frame is drawn and ready to swap at `now`: seconds to wait
    // before swapping it (0 where the display paces presents, or the planned
    // moment has passed).
    double dueIn(double now);
    // A present of a new frame returned at `now`.
    void presented(double now);
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
    // Capped: the earliest moment for the next new frame, a refresh after the
    // last one's swap; the present planned for the frame being drawn (negative:
    // none); when it was planned; and when the last frame was swapped.
    double nextSlot = 0;
    double planned = -1;
    double plannedAt = 0;
    double swapped = -1;
    // How long a frame takes from its plan to being ready to swap, averaged
    // over the last frames: a frame slower than that is swapped late, so that
    // a machine too slow for the refresh keeps its frame rate.
    double drawing = 0;
    double interval = 0;
    int count = 0;
};
