// Command-line parsing with getopt_long: "--start 40" and "--start=40" alike.
// getopt's own messages are silenced so that every mistake gets exactly one
// line of ours, and everything is checked before anything starts.
#include "app/DemoOptions.h"

#include "demo/OptionMistake.h"
#include "demo/OptionValues.h"

#include "demo/DemoFrames.h"

#include <charconv>
#include <cmath>
#include <getopt.h>
#include <string_view>

namespace {

enum OptionId {
    optWindow = 1,
    optSize,
    optDesktop,
    optDisplay,
    optStart,
    optLoop,
    optNoVsync,
    optVersion,
    optHelp = 'h'
};

const option longOptions[] = {
    {"window", no_argument, nullptr, optWindow},     {"size", required_argument, nullptr, optSize},
    {"desktop", no_argument, nullptr, optDesktop},   {"display", required_argument, nullptr, optDisplay},
    {"start", required_argument, nullptr, optStart}, {"loop", no_argument, nullptr, optLoop},
    {"no-vsync", no_argument, nullptr, optNoVsync},  {"version", no_argument, nullptr, optVersion},
    {"help", no_argument, nullptr, optHelp},         {nullptr, 0, nullptr, 0},
};

bool parseSize(const char* text, DemoOptions& options, std::string& error)
{
    const std::string_view view(text);
    if (!::parseSize(view, "xX", maxWindowSide, options.width, options.height)) {
        error = std::string("--size: '") + text + "' is not WIDTHxHEIGHT with each from 1 to " +
                std::to_string(maxWindowSide);
        return false;
    }
    return true;
}

bool parseStart(const char* text, double& value, std::string& error)
{
    if (!parseDecimal(text, value) || value < 0 || value > static_cast<double>(DemoFrames::end)) {
        char last[16];
        const auto written = std::to_chars(last, last + sizeof last, DemoFrames::end);
        error = std::string("--start: '") + text + "' is not a number of seconds from 0 to " +
                std::string(last, written.ptr);
        return false;
    }
    return true;
}

} // namespace

bool parseDemoOptions(int argc, char** argv, DemoOptions& options, std::string& error)
{
    options = DemoOptions{};
    bool sizeGiven = false;
    opterr = 0;
    optind = 0; // a fresh scan, also on a second call in the same process
    for (;;) {
        const int id = getopt_long(argc, argv, ":h", longOptions, nullptr);
        if (id == -1)
            break;
        // The argument getopt has just stepped over, for the messages.
        const char* seen = optind > 0 && optind <= argc ? argv[optind - 1] : "";
        switch (id) {
        case optWindow:
            options.windowed = true;
            break;
        case optSize:
            sizeGiven = true;
            if (!parseSize(optarg, options, error))
                return false;
            break;
        case optDesktop:
            options.desktop = true;
            break;
        case optDisplay:
            options.displayGiven = true;
            if (!parseWhole(optarg, 0, 255, options.display)) {
                error = std::string("--display: '") + optarg + "' is not a display number from 0 to 255";
                return false;
            }
            break;
        case optStart:
            if (!parseStart(optarg, options.start, error))
                return false;
            break;
        case optLoop:
            options.loop = true;
            break;
        case optNoVsync:
            options.vsync = false;
            break;
        case optVersion:
            options.version = true;
            return true;
        case optHelp:
            options.help = true;
            return true;
        case ':':
            error = std::string("option '") + seen + "' needs a value";
            return false;
        default:
            error = optionMistake(seen, longOptions);
            return false;
        }
    }
    if (optind < argc) {
        error = std::string("unexpected argument '") + argv[optind] + "' (see --help)";
        return false;
    }
    if (options.desktop && options.windowed) {
        error = "--desktop is full screen and goes with no --window";
        return false;
    }
    if (options.desktop && sizeGiven) {
        error = "--desktop uses the desktop's own size and goes with no --size";
        return false;
    }
    return true;
}

std::string demoUsage()
{
    return "Usage: brakvane [OPTION]...\n"
           "\n"
           "Plays the Brakvane demo: about 99 seconds of pictures in step with music.\n"
           "Escape, closing the window or Ctrl+C end it. With no options it switches\n"
           "the display to 800 x 600 (or scales the picture to fit the display's own\n"
           "mode when it has no such mode) and plays once from the start.\n"
           "\n"
           "  --window          show it in a resizable window instead of full screen\n"
           "  --size WxH        the window's size, or with full screen the mode asked for\n"
           "                    (default 800x600); the picture is scaled to fit,\n"
           "                    aspect kept\n"
           "  --desktop         full screen at the desktop's own mode, without a mode\n"
           "                    switch, the picture scaled to fit with its aspect kept\n"
           "  --display N       the monitor to use (0 is the first)\n"
           "  --start SECONDS   begin at that moment, 0 to 98.9; the music starts there too\n"
           "  --loop            start again from the beginning at the end\n"
           "  --no-vsync        never wait for the display when presenting\n"
           "  --version         print the name and version\n"
           "  -h, --help        this text\n"
           "\n"
           "The demo reads its data/ folder from the working directory if it has one,\n"
           "else from beside the installed program (../share/brakvane), else from the\n"
           "folder named by the BRAKVANE_DATA environment variable.\n";
}
