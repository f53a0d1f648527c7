// One run of the capture program, from a parsed command line to the exit
// status: 0 done, 1 failed (nothing under the name asked for; when only the
// last step failed, the rendered frames or video are kept under a name the
// message gives), 2 bad usage (also a size OpenGL cannot draw), 130
// interrupted (nothing written). Messages of its own go to standard error,
// one line each.
#pragma once

#include "capture/CaptureOptions.h"

inline constexpr int exitDone = 0;
inline constexpr int exitFailed = 1;
inline constexpr int exitUsage = 2;
inline constexpr int exitInterrupted = 130;

int runCapture(const CaptureOptions& options);

// Writes "brakvane-capture: " and the message as one line on standard error.
void captureMessage(const std::string& message);
