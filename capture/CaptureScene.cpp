// The demo's data set, found and read the way the demo finds and reads it.
#include "capture/CaptureScene.h"

#include "audio/Music.h"
#include "demo/DataFolder.h"
#include "demo/DataPaths.h"

void CaptureScene::load(double untilSeconds)
{
    // Only the loading happens in the data's folder: the outputs named on the
    // command line stay relative to the working directory the user chose.
    DataFolderVisit visit(findDataFolder());
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
