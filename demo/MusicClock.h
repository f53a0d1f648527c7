// The time the timeline draws each frame for. While the music plays, it is
// the position of the music heard when the frame is shown: the picture is
// locked to what the viewer hears, however the process or the machine
// stalls. Without music it is the frame timer's reading, unchanged.
//
// Locking: the music's position is known only as well as the audio layer can
// tell it (a period at a time, with some jitter), so small differences
// between it and the frame timer are eased out over a few frames instead of
// jumped; a large one (a stall, the first sound) is taken at once. Either
// way the time never runs backwards: when the picture is ahead of the music
// it waits for the music to catch up.
#pragma once

#include <optional>

class MusicClock {
public:
    // Differences beyond this are taken at once, smaller ones eased out.
    static constexpr double relockError = 0.03;
    // The share of a small difference taken out per frame.
    static constexpr double slew = 0.1;
    // Music not heard within this long after the timer's start, or heard
    // standing still this long, is given up: the frame timer runs the picture.
    static constexpr double giveUpAfter = 1.0;

    // The time for a frame. timer: the frame timer's elapsed seconds; heard:
    // the music's position heard when the frame is shown, when music plays.
    // Before the music's first sound is heard, the time holds at 0.
    float frameTime(float timer, std::optional<double> heard);

    bool locked() const { return following; }

private:
    bool following = false; // the music has been heard
    double t = 0;
    double lastTimer = 0;
    double lastHeard = 0;
    double heardChangedAt = 0;
};
