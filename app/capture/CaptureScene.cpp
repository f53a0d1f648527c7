// The demo's data set, read from the working directory like the demo reads it.
#include "app/capture/CaptureScene.h"

#include "demo/Timeline.h"

#include <iostream>

namespace {

constexpr const char* musicPath = "data/music/skalmtone.mp3";
constexpr const char* textureDirectory = "data/textures/";
constexpr const char* modelDirectory = "data/models/";

} // namespace

void CaptureScene::load(double untilSeconds)
{
    std::cout << "Loading Music: " << musicPath << std::endl;
    musicLoaded = track.load(musicPath, untilSeconds);
    if (!musicLoaded)
        std::cout << "Musioc file not found" << std::endl;
    textures.loadDirectory(textureDirectory);
    models.loadDirectory(modelDirectory);
}

void CaptureScene::draw(float t)
{
    clearFrame();
    if (musicLoaded)
        track.spectrumAt(static_cast<double>(t), spectrum.data());
    drawScene(t, spectrum[0], textures);
}
