// The music on the page, played by the browser's Web Audio. The track is
// decoded by the decoder the offline renderer uses (TrackSpectrum), a piece
// at a time so that the page keeps drawing meanwhile, and only once it is
// whole is it handed to the page's audio context as one buffer, started at a
// known time on the context's clock. Nothing of the track is ever queued,
// lost or overwritten, so what is heard at any moment follows from when the
// speakers play which context time (page.js says how that is found in each
// browser).
//
// The page creates the audio context (page.js, once the first frame is
// drawn) as "brakvaneSound"; the browser may hold it suspended until the
// viewer clicks or taps, and the track then waits. Without Web Audio,
// without a track, or when the visitor chooses to go on without sound,
// nothing plays.
#pragma once

#include "audio/TrackSpectrum.h"

#include <optional>
#include <string>

class WebMusic {
public:
    // Opens the file to decode it up to untilSeconds (a fixed moment needs
    // no more), with the music's console lines. withSound: the track is to
    // be played. Nothing is decoded yet.
    WebMusic(const std::string& path, bool withSound, double untilSeconds);
    ~WebMusic();
    WebMusic(const WebMusic&) = delete;
    WebMusic& operator=(const WebMusic&) = delete;

    // Decodes for about budgetMs milliseconds; true while there is more.
    // The whole track goes to the audio context when it is done.
    bool decode(double budgetMs);
    // How much of the track is decoded, from 0 to 1.
    double progress() const { return track.progress(); }

    // True once the track is decoded, and the browser lets sound run or
    // there is no sound to wait for (none, or the visitor chose to go on
    // without it).
    bool ready() const;
    // Starts the track from its beginning a moment from now, or says (as
    // the live demo does) that there is nothing to play.
    void play();
    // Seconds of the track heard at `when` (emscripten_get_now()'s clock, ms;
    // now or a moment ahead; negative before its first sample); none when
    // nothing plays.
    std::optional<double> heard(double when) const;
    // Stops the sound.
    void stop();
    // The first value of the spectrum of what is heard at t.
    float spectrumAt(double t);

private:
    void handOver();

    TrackSpectrum track;
    bool sound = false;   // the track is to be played, on Web Audio
    bool decoded = false; // the file opened and holds MPEG audio
    bool playing = false;
};
