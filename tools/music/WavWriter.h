// Writes a 16-bit stereo PCM WAV file at the synthesiser's sample rate.
#pragma once

#include <string>

#include "music/Synth.h"

namespace makedata {

bool writeWav(const std::string& path, const StereoClip& audio);

} // namespace makedata
