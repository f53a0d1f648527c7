// What the capture draws from: the demo's frames (its pictures and models,
// loaded as the demo loads them, same console lines, same order) and its music
// decoded as a whole for the spectrum. Each frame is drawn as the live demo
// draws it. Needs a current OpenGL context for its whole life.
#pragma once

#include "audio/TrackSpectrum.h"
#include "demo/DemoFrames.h"

#include <string>

class CaptureScene {
public:
    // Writes "Loading Music: " with the path, and the missing-file line when
    // it cannot be read (the frames then see a silent spectrum), then loads
    // every texture and every model, from dataFolder (the folder holding
    // data/). The music is decoded up to untilSeconds. stage names the step
    // under way, for a message should memory run out.
    void load(const std::string& dataFolder, double untilSeconds, const char*& stage);

    bool hasMusic() const { return musicLoaded; }
    const TrackSpectrum& music() const { return track; }

    // Draws moment t into the current frame with the spectrum of the music ending at t.
    void draw(float t);

private:
    DemoFrames frames;
    TrackSpectrum track;
    bool musicLoaded = false;
};
