// What the page was asked for in its address, handed to the program as
// arguments by the page: "?t=25.3" becomes --at 25.3 and "&spectrum=0.4"
// becomes --spectrum 0.4. With a moment fixed, the page draws that moment
// of the timeline and nothing else, and plays nothing: the hook the tests
// compare pictures through.
#pragma once

#include <optional>

struct PageOptions {
    std::optional<double> at;      // the moment to draw, in seconds
    std::optional<float> spectrum; // its spectrum value; else the track's at that moment
};

// Reads the arguments (argv[0] is the program). Values that are not finite
// numbers are reported on standard error and ignored.
PageOptions parsePageOptions(int argc, char** argv);
