// Locking the frame time to the music heard.
#include "demo/MusicClock.h"

#include <algorithm>
#include <cmath>

float MusicClock::frameTime(float timer, std::optional<double> heard)
{
    const double now = static_cast<double>(timer);
    const double step = std::max(0.0, now - lastTimer);
    lastTimer = now;
    if (state == State::free) {
        if (!heard)
            return static_cast<float>(origin + now); // no music: the frame timer alone
        state = State::waiting;
    }
    if (!heard) {
        // The track is over or the device went: run on from where it was.
        t += step;
        return static_cast<float>(t);
    }
    if (state == State::waiting) {
        if (*heard <= origin)
            return static_cast<float>(t); // waiting for the first sound
        state = State::following;
        t = std::max(t, *heard);
        return static_cast<float>(t);
    }
    const double predicted = t + step;
    const double error = *heard - predicted;
    const double next = std::abs(error) > relockError ? *heard : predicted + slew * error;
    // The sound standing still (a stalled server) holds the picture with it;
    // when it moves on, so does the picture, from where both stood.
    t = std::max(t, next);
    return static_cast<float>(t);
}
