// A diagnostic for timing tests: with BRAKVANE_FRAME_LOG=1 in the environment,
// every frame drawn writes a line "frame <t> <presented>" to standard error,
// t the time the timeline drew it for and presented the moment its present
// returned, in seconds of the system's monotonic clock (CLOCK_MONOTONIC),
// which another process can read too. Off by default; then it costs one test
// of a flag per frame.
#pragma once

namespace frameLog {

bool enabled();
void write(float t);

} // namespace frameLog
