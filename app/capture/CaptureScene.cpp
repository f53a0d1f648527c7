// The demo's data set, read from the working directory like the demo reads it.
#include "app/capture/CaptureScene.h"

#include "demo/DataPaths.h"
#include "demo/Timeline.h"

#include <iostream>

void CaptureScene::load(double untilSeconds)
{
    std::cout << "Loading Music: " << dataPaths::music << std::endl;
    musicLoaded = track.load(dataPaths::music, untilSeconds);
    if (!musicLoaded)
        std::cout << "Musioc file not found" << std::endl;
    textures.loadDirectory(dataPaths::textures);
    models.loadDirectory(dataPaths::models);
}

void CaptureScene::draw(float t)
{
    clearFrame();
    if (musicLoaded)
        track.spectrumAt(static_cast<double>(t), spectrum.data());
    drawScene(t, spectrum[0], textures);
}
