// The music on the page. Without threads there is no decoder thread to stream
// the track, so the whole track is decoded up front (TrackSpectrum, the same
// decoding and spectrum as the offline renderer) and handed to SDL's audio
// device from there; on the web SDL runs the audio callback on the page's
// main thread, between frames.
//
// The position being heard comes from the Web Audio clock: the output time
// of the buffer that carries the track's first frame is recorded, and the
// audio context's current time counts on from it. The browser may hold the
// context suspended until the viewer clicks; the position then stays 0.
// Where no audio device can be opened, a plain clock started at the first
// frame stands in, so the demo still runs, silently.
#pragma once

#include "audio/TrackSpectrum.h"

#include <cstdint>
#include <string>

class WebMusic {
public:
    // Opens the audio device (withSound) and decodes the file up to
    // untilSeconds (a fixed moment needs no more), with the music's console
    // lines. Nothing plays yet.
    WebMusic(const std::string& path, bool withSound, double untilSeconds);
    ~WebMusic();
    WebMusic(const WebMusic&) = delete;
    WebMusic& operator=(const WebMusic&) = delete;

    // Starts the track from its beginning, once the browser lets sound run.
    void play();
    // Seconds of the track heard so far.
    double position();
    // The first value of the spectrum of what is heard at t.
    float spectrumAt(double t);

private:
    bool openDevice();
    static void callback(void* self, std::uint8_t* stream, int length);
    void render(std::int16_t* out, int frames);

    TrackSpectrum track;
    bool decoded = false;
    std::uint32_t device = 0;
    bool audioUp = false;
    std::int64_t handed = 0; // track frames handed to the device
    double startedAt = -1;   // audio context time at which frame 0 is heard
    double clockStart = -1;  // fallback clock, ms, when there is no device
};
