// The console lines of opening the music (see MusicLines.h).
#include "audio/MusicLines.h"

#include <iostream>

void announceMusic(const std::string& path)
{
    std::cout << "Loading Music: " << path << std::endl;
}

void reportMusicMissing()
{
    std::cout << "Musioc file not found" << std::endl;
}
