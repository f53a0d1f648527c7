// The sound library the music is written against: a process-wide device, one MP3 stream
// at a time, its position, volume and spectrum. Calls come from the main thread only;
// playback runs on the sound output's thread and decoding on a thread of the stream's
// own, and neither ever waits for the main thread.
#pragma once

#include <cstdint>

namespace sound {

using Handle = std::uint32_t; // 0 is never a valid stream

// streamCreateFile flag: scan the whole file's frame index at open, for exact seeking.
inline constexpr std::uint32_t streamPrescan = 0x20000;
// channelGetData request: the 512-frame magnitude spectrum, 256 floats.
inline constexpr std::uint32_t dataFft512 = 0x80000000;

// Opens output `device` (1: the output the environment asks for, else the first
// that answers; see SoundOutput.h) at `freq` frames per second, stereo.
// The window and device identifier are accepted for the caller's sake and not needed.
// False when the device cannot be opened or the library is already initialised; streams
// can still be opened, but not played.
bool init(int device, std::uint32_t freq, std::uint32_t flags, const void* window, const void* deviceId);

// Opens an MP3 file (fromMemory false, `file` a path; offset 0 and length 0 for the whole
// file) and starts decoding it, not yet playing. 0 when the file cannot be opened or is
// not MP3, when init was not called, or when a stream is already open.
Handle streamCreateFile(bool fromMemory, const void* file, std::uint32_t offset, std::uint32_t length,
                        std::uint32_t flags);

// Starts playing the stream from its current position. False when there is no device to
// play on or no such stream.
bool streamPlay(Handle stream, bool flush, std::uint32_t flags);

// Moves playback to a byte offset of the decoded stream in its own format: 16-bit
// samples, so offset / (2 * channels) sample frames. Past the end, nothing more plays.
bool channelSetPosition(Handle channel, std::uint64_t position);

// Sets the volume, a linear gain from 0 (silent) to 100 (full). The stream always plays
// at its own rate and centred, whatever `freq` and `pan` say.
bool channelSetAttributes(Handle channel, int freq, int volume, int pan);

// With dataFft512: writes |X[k]| * 2 / 512 for k = 0 .. 255 of the Hann-windowed 512
// frames now being heard, mixed to mono, and returns the bytes analysed (512 stereo
// 16-bit frames). -1, with the buffer untouched, when nothing is playing. Allocates nothing.
int channelGetData(Handle channel, void* buffer, std::uint32_t length);

// The position of the stream, in seconds, that will be heard `ahead` seconds from now:
// from the periods handed over and the moment the output said each would be heard.
// Negative until the stream's first frame is heard; after a stall it holds until the
// device is fed again. False, with `seconds` untouched, when nothing is playing or the
// device has gone away.
bool channelGetHeard(Handle channel, double ahead, double* seconds);

// True when the device that was opened has gone away (its sound server died, the
// hardware was removed); channelGetHeard then reports nothing.
bool deviceLost();

// After the device went away: closes it and tries once to open the same kind
// of output anew (the same server or device, reached through a new
// connection). True when one is open; the stream is then stopped where it
// was, to be placed and started again. How often to try is the caller's.
bool deviceReopen();

// Ends playback, closes the stream and the device, and shuts the audio subsystem down.
// False when the library was not initialised.
bool free();

} // namespace sound
