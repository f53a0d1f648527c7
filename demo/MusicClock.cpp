// Locking the frame time to the music heard.
#include "demo/MusicClock.h"

#include <algorithm>
#include <cmath>

float MusicClock::frameTime(float timer, std::optional<double> heard)
{
    const double now = static_cast<double>(timer);
    const double step = std::max(0.0, now - lastTimer);
    lastTimer = now;
    if (heard && *heard != lastHeard) {
        lastHeard = *heard;
        heardChangedAt = now;
    }
    // Music that stops moving for good (a device that went away) no longer
    // counts: the picture must not stop with it.
    if (heard && now - heardChangedAt > giveUpAfter)
        heard.reset();
    if (!following) {
        if (!heard || now > giveUpAfter)
            return timer; // no music: the frame timer alone, as it reads
        if (*heard <= 0)
            return 0.0f; // waiting for the first sound
        following = true;
        t = *heard;
        return static_cast<float>(t);
    }
    const double predicted = t + step;
    if (!heard) {
        // The music ended or went: run on from where it was.
        t = predicted;
        return static_cast<float>(t);
    }
    const double error = *heard - predicted;
    const double next = std::abs(error) > relockError ? *heard : predicted + slew * error;
    t = std::max(t, next);
    return static_cast<float>(t);
}
