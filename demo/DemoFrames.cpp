// Loading the demo's data and drawing one frame through the timeline.
#include "demo/DemoFrames.h"

#include "demo/DataPaths.h"

void DemoFrames::loadAssets()
{
    textureCache.loadDirectory(dataPaths::textures);
    modelCache.loadDirectory(dataPaths::models);
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
