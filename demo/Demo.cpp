// Demo construction, set-up, frames and tear-down.
#include "demo/Demo.h"

#include "demo/DataPaths.h"

#include <optional>

Demo::Demo(const void* window) : hWnd(window)
{
    // Zeroed, so frames before the first successful fetch (or with no music
    // at all) show the picture sequence at window size.
    spectrum = std::make_unique<float[]>(DemoFrames::spectrumSize);
    music = std::make_unique<Music>(hWnd, dataPaths::music);
}

Demo::~Demo()
{
    music.reset();
    spectrum.reset();
    // The clock, the model cache and the texture cache follow, in that order.
}

void Demo::playFrom(double seconds, bool loop)
{
    start = seconds;
    looping = loop;
}

void Demo::setUp()
{
    frames.loadAssets();
    music->play(start);
    clock.start();
}

void Demo::frame()
{
    // The clock and the music both count from where play began (the chosen
    // start); the timeline's time is that start plus the locked time.
    double heard = 0;
    std::optional<double> heardThen;
    if (music->heardPosition(showDelay, heard))
        heardThen = heard - start;
    const float sinceStart = musicClock.frameTime(clock.elapsed(), heardThen);
    const float t = start == 0 ? sinceStart : static_cast<float>(start + static_cast<double>(sinceStart));
    lastFrameTime = t;
    music->fetchSpectrum(spectrum.get());
    frames.drawFrame(t, spectrum[0]);
    if (!DemoFrames::over(t))
        return;
    if (!looping) {
        finished = true;
        return;
    }
    // The last frame has been drawn; the next one is the timeline's 0 again,
    // with the music restarted under it.
    start = 0;
    musicClock = MusicClock{};
    music->play(0);
    clock.start();
}
