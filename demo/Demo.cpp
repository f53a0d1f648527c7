// Demo construction, set-up, frames and tear-down.
#include "demo/Demo.h"

#include "demo/DataPaths.h"
#include "demo/Timeline.h"

namespace {

// The music writes 256 values; the buffer has room for twice that.
constexpr int spectrumSize = 512;

} // namespace

Demo::Demo(WindowHandle window) : hWnd(window)
{
    // Zeroed, so frames before the first successful fetch (or with no music
    // at all) show the picture sequence at window size.
    spectrum = std::make_unique<float[]>(spectrumSize);
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
    textureCache.loadDirectory(dataPaths::textures);
    modelCache.loadDirectory(dataPaths::models);
    music->play(0);
    clock.start();
}

void Demo::frame()
{
    float t = clock.elapsed();
    clearFrame();
    music->fetchSpectrum(spectrum.get());
    drawScene(t, spectrum[0], textureCache);
    if (timelineOver(t))
        finished = true;
}
