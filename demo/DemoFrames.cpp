// Loading the demo's data and drawing one frame through the timeline.
#include "demo/DemoFrames.h"

#include "demo/DataPaths.h"

void DemoFrames::loadAssets()
{
    textureCache.loadDirectory(dataPaths::textures);
    modelCache.loadDirectory(dataPaths::models);
}

bool DemoFrames::loadNextAsset()
{
    if (loadingStage == 0) {
        textureCache.beginDirectory(dataPaths::textures);
        loadingStage = 1;
    }
    if (loadingStage == 1) {
        if (textureCache.loadNext())
            return true;
        modelCache.beginDirectory(dataPaths::models);
        loadingStage = 2;
        return true;
    }
    if (loadingStage == 2 && !modelCache.loadNext())
        loadingStage = 3;
    return loadingStage < 3;
}

void DemoFrames::drawFrame(float t, float spectrum0) const
{
    clearFrame();
    drawScene(t, spectrum0, textureCache);
}

bool DemoFrames::over(float t)
{
    return t > end;
}
