// The live show's moment policy.
#include "demo/ShowClock.h"

#include <utility>

ShowClock::ShowClock(Sources sources, float end, double start, bool loop)
    : from(std::move(sources)),
      music(start),
      endsAt(end),
      startsAt(start),
      looping(loop),
      last(static_cast<float>(start))
{}

void ShowClock::begin()
{
    music = MusicClock{startsAt};
    from.play(startsAt);
    from.restartTimer();
}

float ShowClock::next(double seenAt)
{
    if (from.keepDevice)
        from.keepDevice(last);
    last = music.frameTime(from.timer(), from.heard(seenAt));
    return last;
}

bool ShowClock::goOn(float t)
{
    if (t <= endsAt)
        return true;
    if (!looping)
        return false;
    // The last frame has been drawn; the next one is the timeline's 0 again,
    // with the music restarted under it.
    music = MusicClock{};
    last = 0;
    from.play(0);
    from.restartTimer();
    return true;
}
