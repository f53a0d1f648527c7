// Demo construction, set-up, frames and tear-down.
#include "demo/Demo.h"

#include "demo/DataPaths.h"

#include <optional>

Demo::Demo(WindowHandle window) : hWnd(window)
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

void Demo::setUp()
{
    frames.loadAssets();
    music->play(0);
    clock.start();
}

void Demo::frame()
{
    double heard = 0;
    std::optional<double> heardThen;
    if (music->heardPosition(showDelay, heard))
        heardThen = heard;
    const float t = musicClock.frameTime(clock.elapsed(), heardThen);
    lastFrameTime = t;
    music->fetchSpectrum(spectrum.get());
    frames.drawFrame(t, spectrum[0]);
    if (DemoFrames::over(t))
        finished = true;
}
