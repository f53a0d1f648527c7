// Send effects of the music: a room reverb and a ping-pong echo. Both take a
// stereo send bus and return only the wet signal, the same length as the input.
#pragma once

#include "music/Synth.h"

namespace makedata {

// Eight damped feedback combs and four allpasses per channel, the right channel
// slightly detuned from the left for width.
StereoClip reverb(const StereoClip& send, float roomSize, float damping);

// Echo that alternates between the channels; the feedback path is low-passed
// so each repeat is darker than the one before.
StereoClip pingPong(const StereoClip& send, double delaySeconds, float feedback);

} // namespace makedata
