// Picture against sound at the demo's scene cuts. The demo, run with
// BRAKVANE_FRAME_LOG=1, writes for every frame it draws the time t it drew
// for and the moment its present returned; the sink's monitor recording says
// when each frame of the music was played. A cut's crash is found in the
// recording by matching the decoded track's own samples around the cut (what
// the demo plays reaches the null sink unchanged), so silences from stalls
// anywhere do not disturb it.
#pragma once

#include "MonitorRecorder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// The moments of the timeline whose picture change comes with a crash in the
// music: the bars starting, the picture sequence and its cuts, the end scroller.
inline const std::vector<double> crashCuts{10.2, 40.1, 54.8, 58.2, 62.2, 65.8, 68.5};

struct LoggedFrame {
    double t;       // the timeline time the frame was drawn for
    double present; // CLOCK_MONOTONIC seconds when its present returned
};

// The frame lines ("frame <t> <present>") of the demo's standard error.
std::vector<LoggedFrame> parseFrameLog(const std::string& errorOutput);

// The demo's music decoded as the demo decodes it: 16-bit stereo at 44.1 kHz.
std::vector<std::int16_t> decodeTrack(const std::string& path);

// Where music frame `musicFrame` of `track` lies in `recorded` (both
// interleaved stereo), searching from recorded frame `from`; nullopt when not found.
std::optional<std::size_t> findInRecording(const std::vector<std::int16_t>& track, std::size_t musicFrame,
                                           const std::vector<std::int16_t>& recorded, std::size_t from = 0);

struct CutOffset {
    double cut;       // the cut's time in the timeline, seconds
    double offset;    // first frame past the cut presented minus its crash played, seconds
    double lockError; // the same without the frame's own step past the cut: presented
                      // minus when the music at that frame's t was played
    // The frame shows its t from its present for one frame interval, so it
    // puts the crash at present + interval/2 - (t - cut): when the crash was
    // played minus that (above zero: the picture ahead of the sound). Zero
    // for a demo exactly in step, whatever the phase of the cut between two
    // frames, which the first frame's offset is not.
    double error;
};

// A span of CLOCK_MONOTONIC seconds during which the demo was stopped.
struct Stall {
    double begin;
    double end;
};

// Offsets at each of `moments` (timeline seconds) that both the frames and the
// recording cover; at a crash cut, `offset` is the picture-to-crash offset. A
// moment whose first frame was drawn before a stall and presented after it is
// left out: no program can show a frame while it is stopped.
std::vector<CutOffset> cutOffsets(const std::vector<LoggedFrame>& frames, const std::vector<std::int16_t>& track,
                                  const MonitorRecorder& recording, const std::vector<double>& moments = crashCuts,
                                  const std::vector<Stall>& stalls = {});

} // namespace testsupport
