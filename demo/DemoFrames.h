// What every frame of the demo is drawn from, and the one way a frame is
// drawn: the texture and model caches and their loading, the frame's size,
// the end of the timeline, and drawFrame(t, spectrum0).
//
// The live demo drives it from its clock and the music being heard; the
// offline renderer from a fixed step and the decoded track. Neither draws a
// frame any other way, so both show the same pixels for the same moment.
// Needs a current OpenGL context for loading and drawing.
#pragma once

#include "assets/Model.h"
#include "assets/ResourceCache.h"
#include "assets/Texture.h"
#include "demo/Timeline.h"

class DemoFrames {
public:
    // The frame the timeline is drawn for, in pixels.
    static constexpr int width = 800;
    static constexpr int height = 600;
    // The spectrum buffer a frame's spectrum value is taken from: the music
    // writes 256 values, the buffer has room for twice that.
    static constexpr int spectrumSize = 512;
    // The last moment of the schedule, compared in single precision.
    static constexpr float end = 98.9f;

    // Fills the texture cache from "data/textures/", then the model cache
    // from "data/models/", with the caches' console lines.
    void loadAssets();

    // Clears the frame and draws the scene of moment t (seconds since the
    // music started) with the first value of the music's spectrum.
    void drawFrame(float t, float spectrum0) const;

    // True once the schedule is over: the frame for t is still drawn, then
    // the demo ends.
    static bool over(float t);

    const ResourceCache<Texture>& textures() const { return textureCache; }
    const ResourceCache<Model>& models() const { return modelCache; }

private:
    // Declared in this order so the model cache is released before the
    // texture cache.
    ResourceCache<Texture> textureCache;
    ResourceCache<Model> modelCache;
};
