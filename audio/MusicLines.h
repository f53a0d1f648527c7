// The console lines of opening the music, shared by every program that opens
// the track (the demo, the offline renderer, the web page), whether or not it
// plays through the sound library.
#pragma once

#include <string>

// "Loading Music: " with the path.
void announceMusic(const std::string& path);
// The line for a music file that cannot be read.
void reportMusicMissing();
