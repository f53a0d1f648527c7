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
//
// The lock never gives up on music that is still to come: the first sound may
// come late (a busy machine, a slow sink) and the sound may stand still for
// as long as its server does; the picture holds with it. Only when no
// position is reported any more (the track is over, or the device has gone)
// does the frame timer run the picture on, from where it is; a position
// reported again (a device opened anew) is followed again.
#pragma once

#include <optional>

class MusicClock {
public:
    // origin: the moment of the timeline where play begins (the music starts
    // there too); times and positions below are all on the timeline.
    explicit MusicClock(double start = 0) : origin(start), t(start) {}

    // Differences beyond this are taken at once, smaller ones eased out.
    static constexpr double relockError = 0.03;
    // The share of a small difference taken out per frame.
    static constexpr double slew = 0.1;

    // The time for a frame. timer: the frame timer's seconds since play
    // began; heard: the music's position heard when the frame is shown,
    // while music plays on a device (before the origin until its first
    // sound). Until music has been reported once, the origin plus the timer's
    // reading is the time; from then on the time holds at the origin until
    // the first sound is heard.
    float frameTime(float timer, std::optional<double> heard);

    bool locked() const { return state == State::following; }

private:
    enum class State {
        free,      // no music so far: the timer's reading
        waiting,   // music started, its first sound not yet heard
        following, // the music has been heard
    };
    State state = State::free;
    double origin;
    double t;
    double lastTimer = 0;
};
