// Demo construction, set-up, frames and tear-down.
#include "demo/Demo.h"

#include "demo/DataPaths.h"

#include <optional>
#include <utility>

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
    frames.warmUp();
    ShowClock::Sources sources;
    sources.timer = [this] { return clock.elapsed(); };
    sources.restartTimer = [this] { clock.start(); };
    // Counted from the reading the window's estimate goes with, so that a
    // device reopened before the frame does not move the moment asked about.
    sources.heard = [this](double seenAt) -> std::optional<double> {
        double heard = 0;
        if (music->heardPosition(seenAt - frameReading, heard))
            return heard;
        return std::nullopt;
    };
    sources.play = [this](double seconds) { music->play(seconds); };
    sources.keepDevice = [this](double lastMoment) { music->reopenIfGone(lastMoment); };
    show = std::make_unique<ShowClock>(std::move(sources), DemoFrames::end, start, looping);
    show->begin();
}

void Demo::frame()
{
    frameReading = clock.now();
    const float t = show->next(ShowClock::seenAt(frameReading + presentDelay, frameStep));
    music->fetchSpectrum(spectrum.get());
    frames.drawFrame(t, spectrum[0]);
    finished = !show->goOn(t);
}
