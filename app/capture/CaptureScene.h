// What the capture draws from: the demo's pictures and models, loaded as the
// demo loads them (same console lines, same order), and its music decoded as a
// whole for the spectrum. Each frame goes through the demo's own timeline.
// Needs a current OpenGL context for its whole life.
#pragma once

#include "assets/Model.h"
#include "assets/ResourceCache.h"
#include "assets/Texture.h"
#include "audio/TrackSpectrum.h"

#include <array>

class CaptureScene {
public:
    // Writes "Loading Music: " with the path, and "Musioc file not found" when
    // it cannot be read (the frames then see a silent spectrum), then loads
    // every texture and every model. The music is decoded up to untilSeconds.
    void load(double untilSeconds);

    bool hasMusic() const { return musicLoaded; }
    const TrackSpectrum& music() const { return track; }

    // Draws moment t into the current frame as the demo's frame does: clear,
    // the spectrum of the music ending at t, the scene.
    void draw(float t);

private:
    ResourceCache<Texture> textures;
    ResourceCache<Model> models;
    TrackSpectrum track;
    bool musicLoaded = false;
    std::array<float, 512> spectrum{};
};
