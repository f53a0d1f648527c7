// The demo's data set, read from the working directory like the demo reads it.
#include "app/capture/CaptureScene.h"

#include "audio/Music.h"
#include "demo/DataPaths.h"

void CaptureScene::load(double untilSeconds)
{
    announceMusic(dataPaths::music);
    musicLoaded = track.load(dataPaths::music, untilSeconds);
    if (!musicLoaded)
        reportMusicMissing();
    frames.loadAssets();
}

void CaptureScene::draw(float t)
{
    if (musicLoaded)
        track.spectrumAt(static_cast<double>(t), spectrum.data());
    frames.drawFrame(t, spectrum[0]);
}
