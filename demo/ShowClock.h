// The moment each frame of a live show is drawn for, and what happens when the
// schedule is over: one policy for every live driver (the demo's window and the
// web page), each of which only supplies its sources: a frame timer, the music
// heard, and a way to start the music.
//
// Every driver draws each frame for the music heard at the middle of the
// frame's time on screen (seenAt: the one rule, for the desktop's presents
// and the page's composites alike); the driver says when that is, on its own
// monotonic clock, and the music's position heard then is the frame's moment
// (MusicClock locks to it, and runs on the frame timer where there is no
// music); once the frame of the schedule's end has been drawn the show is
// over, or, looping, starts again from 0 with the music under it. A sound
// device that went away is looked for again before each frame, and the music,
// once one is back, goes on where the picture is.
#pragma once

#include "demo/MusicClock.h"

#include <functional>
#include <optional>

class ShowClock {
public:
    struct Sources {
        // Seconds since the frame timer was last restarted.
        std::function<float()> timer;
        std::function<void()> restartTimer;
        // The music's position (seconds of the track) heard at `seenAt` (the
        // driver's clock, seconds; now or a moment ahead); none while no music
        // plays on a device.
        std::function<std::optional<double>(double seenAt)> heard;
        // Starts the music (again) at `seconds` of the track.
        std::function<void(double seconds)> play;
        // Before each frame, with the moment of the last one; may be empty.
        std::function<void(double lastMoment)> keepDevice;
    };

    // end: the schedule is over once a frame past it has been drawn; start: the
    // moment play begins (0 to the end); loop: start again at the end.
    ShowClock(Sources sources, float end, double start = 0, bool loop = false);

    // The music from the start, the frame timer restarted last so that its 0 is
    // the moment the music starts.
    void begin();
    // When a frame presented at `presentedAt` that stays up for `step` is
    // seen: the middle of its time on screen (seconds of the driver's clock).
    static double seenAt(double presentedAt, double step) { return presentedAt + step / 2; }
    // The moment for the next frame, which will be seen at `seenAt`.
    float next(double seenAt);
    // After the frame for `t` has been drawn: false once the show is over. Looping,
    // the music and the clock start again from 0 and the show goes on.
    bool goOn(float t);

    float lastMoment() const { return last; }

private:
    Sources from;
    MusicClock music;
    float endsAt;
    double startsAt;
    bool looping;
    float last = 0;
};
