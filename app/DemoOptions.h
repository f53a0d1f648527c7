// The demo's command line: how the picture is shown (full screen at a mode,
// full screen at the desktop's mode, or a window), where, from which moment,
// whether it loops, and whether presenting waits for the display. With no
// arguments every choice is the demo's fixed default.
#pragma once

#include <string>

struct DemoOptions {
    bool help = false;
    bool version = false;
    bool windowed = false; // --window
    bool desktop = false;  // --desktop
    int width = 0;         // --size; 0: the frame's own size
    int height = 0;
    int display = 0; // --display: SDL's display index
    bool displayGiven = false;
    double start = 0;  // --start, seconds of the timeline
    bool loop = false; // --loop
    bool vsync = true; // --no-vsync turns it off
};

inline constexpr int maxWindowSide = 16384;

// Fills options from the arguments (argv[0] is the program). False for bad
// usage, with a one-line reason (no program name, no line break) in error.
bool parseDemoOptions(int argc, char** argv, DemoOptions& options, std::string& error);

// The text --help prints.
std::string demoUsage();
