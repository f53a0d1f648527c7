// The demo's data set, found and read the way the demo finds and reads it.
#include "capture/CaptureScene.h"

#include "audio/MusicLines.h"
#include "demo/DataFolder.h"
#include "demo/DataPaths.h"

void CaptureScene::load(const std::string& dataFolder, double untilSeconds, const char*& stage)
{
    // Only the loading happens in the data's folder: the outputs named on the
    // command line stay relative to the working directory the user chose.
    DataFolderVisit visit(dataFolder);
    stage = "decoding the music";
    announceMusic(dataPaths::music);
    musicLoaded = track.load(dataPaths::music, untilSeconds);
    if (!musicLoaded)
        reportMusicMissing();
    stage = "loading the pictures and models";
    frames.loadAssets();
}

void CaptureScene::draw(float t)
{
    frames.drawFrame(t, musicLoaded ? track.spectrum0At(static_cast<double>(t)) : 0.0f);
}
