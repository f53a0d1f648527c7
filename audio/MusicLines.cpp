// The console lines of opening the music, apart from the sound library so
// that every program that opens the track (the demo, the offline renderer,
// the web page) writes them without playing through it.
#include "audio/Music.h"

#include <iostream>

void announceMusic(const std::string& path)
{
    std::cout << "Loading Music: " << path << std::endl;
}

void reportMusicMissing()
{
    std::cout << "Musioc file not found" << std::endl;
}
