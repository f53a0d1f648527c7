// The root object of the presentation. It owns everything the timeline needs:
// the frames' caches, the clock, the music and the spectrum buffer the music
// fills every frame, and the finished flag the main loop watches.
#pragma once

#include "app/Timer.h"
#include "audio/Music.h"
#include "demo/DemoFrames.h"
#include "demo/ShowClock.h"

#include <memory>

class Demo {
public:
    // Creates the music (which opens its file but does not start it); loads nothing yet.
    // window: the program window's native handle, opaque here and handed on to the music.
    explicit Demo(const void* window);
    // Shuts the music down first, then releases the buffer, the clock and both caches.
    ~Demo();
    Demo(const Demo&) = delete;
    Demo& operator=(const Demo&) = delete;

    // Where setUp starts (seconds of the timeline, the music at the same
    // place) and whether the end starts it again from 0. Set before setUp;
    // the defaults play once from the beginning.
    void playFrom(double seconds, bool loop);
    // Loads every texture and model, starts the music from its beginning (or
    // the chosen start) and restarts the clock last, so the clock's 0 is the
    // moment the music starts.
    void setUp();
    // Draws one frame for its moment (the show clock's); raises finished once
    // the timeline is over.
    void frame();
    // The window's estimate for the next frame: seconds from now to its
    // present, and how long it stays on screen.
    void showNextFrame(double presentIn, double step)
    {
        presentDelay = presentIn;
        frameStep = step;
    }
    // The time the last frame was drawn for.
    float frameTime() const { return show != nullptr ? show->lastMoment() : 0.0f; }

    bool finished = false;

    const ResourceCache<Texture>& textures() const { return frames.textures(); }
    const ResourceCache<Model>& models() const { return frames.models(); }

private:
    // Destroyed in reverse: the music, the buffer, the clock, then the caches.
    DemoFrames frames;
    Timer clock;
    double presentDelay = 0;
    double frameStep = 0;
    double frameReading = 0; // the clock's reading when the frame began
    std::unique_ptr<Music> music;
    std::unique_ptr<ShowClock> show; // made by setUp
    const void* hWnd;
    double start = 0; // where play begins, on the timeline
    bool looping = false;
    std::unique_ptr<float[]> spectrum;
};
