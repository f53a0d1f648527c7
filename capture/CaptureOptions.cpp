// Command-line parsing with getopt_long: "--fps 30" and "--fps=30" alike,
// options and the output name in any order. getopt's own messages are
// silenced so that every mistake gets exactly one line of ours.
#include "capture/CaptureOptions.h"

#include "capture/FrameSchedule.h"
#include "demo/OptionMistake.h"
#include "demo/OptionValues.h"

#include <charconv>
#include <cmath>
#include <getopt.h>
#include <string_view>
#include <vector>

namespace {

enum OptionId { optAt = 1, optFps, optFrom, optTo, optSize, optCrf, optHelp = 'h' };

const option longOptions[] = {
    {"at", required_argument, nullptr, optAt},     {"fps", required_argument, nullptr, optFps},
    {"from", required_argument, nullptr, optFrom}, {"to", required_argument, nullptr, optTo},
    {"size", required_argument, nullptr, optSize}, {"crf", required_argument, nullptr, optCrf},
    {"help", no_argument, nullptr, optHelp},       {nullptr, 0, nullptr, 0},
};

// A number in plain decimal or exponent notation that fills the whole text and is finite.
bool parseSeconds(const char* name, const char* text, double& value, std::string& error)
{
    if (!parseDecimal(text, value)) {
        error = std::string("--") + name + ": '" + text + "' is not a number of seconds";
        return false;
    }
    return true;
}

bool parseFps(const char* text, int& value, std::string& error)
{
    std::string_view view(text);
    const auto [end, status] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (view.empty() || status != std::errc() || end != view.data() + view.size() || value < 1 || value > maxFps) {
        error = std::string("--fps: '") + text + "' is not a whole number from 1 to " + std::to_string(maxFps);
        return false;
    }
    return true;
}

// WIDTHxHEIGHT, such as 1920x1080.
bool parseFrameSize(const char* text, int& width, int& height, std::string& error)
{
    if (!parseSize(text, "x", maxFrameSide, width, height)) {
        error = std::string("--size: '") + text + "' is not WIDTHxHEIGHT in pixels, such as 1920x1080";
        return false;
    }
    return true;
}

bool parseCrf(const char* text, int& value, std::string& error)
{
    if (!parseWhole(text, 0, 63, value)) {
        error = std::string("--crf: '") + text + "' is not a whole number from 0 to 63";
        return false;
    }
    return true;
}

bool endsWith(const std::string& text, std::string_view suffix)
{
    if (text.size() < suffix.size())
        return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = text[text.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return true;
}

// The video container a file name asks for, or "" when it names none.
std::string videoFormatOf(const std::string& name)
{
    if (endsWith(name, ".mp4"))
        return "mp4";
    if (endsWith(name, ".mkv"))
        return "matroska";
    if (endsWith(name, ".webm"))
        return "webm";
    return "";
}

std::string shortest(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// What only a video takes: --crf, and even sides for its 4:2:0 colour sampling.
bool checkVideoOptions(const CaptureOptions& options, std::string& error)
{
    if (options.output != CaptureOptions::Output::Video) {
        if (options.crf) {
            error = "--crf sets the quality of a video; pictures are lossless";
            return false;
        }
        return true;
    }
    if (options.width % 2 != 0 || options.height % 2 != 0) {
        error = "--size: a video needs an even width and height, not " + std::to_string(options.width) + "x" +
                std::to_string(options.height);
        return false;
    }
    // H.264's High profile has no lossless mode, which x264 gives for 0.
    const bool vp9 = options.videoFormat == "webm";
    const int minCrf = vp9 ? 0 : 1;
    const int maxCrf = vp9 ? 63 : 51;
    if (options.crf && (*options.crf < minCrf || *options.crf > maxCrf)) {
        error = "--crf: a ." + (options.videoFormat == "matroska" ? std::string("mkv") : options.videoFormat) +
                " video takes " + std::to_string(minCrf) + " to " + std::to_string(maxCrf) + ", not " +
                std::to_string(*options.crf);
        return false;
    }
    return true;
}

} // namespace

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error)
{
    options = CaptureOptions{};
    bool atGiven = false;
    bool spanGiven = false;
    int crf = 0;
    opterr = 0;
    optind = 0; // a fresh scan, also on a second call in the same process
    for (;;) {
        const int id = getopt_long(argc, argv, ":h", longOptions, nullptr);
        if (id == -1)
            break;
        // The argument getopt has just stepped over, for the messages.
        const char* seen = optind > 0 && optind <= argc ? argv[optind - 1] : "";
        switch (id) {
        case optAt:
            atGiven = true;
            if (!parseSeconds("at", optarg, options.at, error))
                return false;
            break;
        case optFps:
            spanGiven = true;
            if (!parseFps(optarg, options.fps, error))
                return false;
            break;
        case optFrom:
            spanGiven = true;
            if (!parseSeconds("from", optarg, options.from, error))
                return false;
            break;
        case optTo: {
            spanGiven = true;
            double to = 0;
            if (!parseSeconds("to", optarg, to, error))
                return false;
            options.to = to;
            break;
        }
        case optSize:
            if (!parseFrameSize(optarg, options.width, options.height, error))
                return false;
            break;
        case optCrf:
            if (!parseCrf(optarg, crf, error))
                return false;
            options.crf = crf;
            break;
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

    std::vector<std::string> outputs(argv + optind, argv + argc);
    if (outputs.empty()) {
        error = "no output named (see --help)";
        return false;
    }
    if (outputs.size() > 1) {
        error = "one output only, but got '" + outputs[0] + "' and '" + outputs[1] + "'";
        return false;
    }
    options.out = outputs[0];
    if (options.out.empty()) {
        error = "the output name is empty";
        return false;
    }
    if (atGiven && spanGiven) {
        error = "--at makes one picture and goes with none of --fps, --from, --to";
        return false;
    }
    if (options.to && !(options.from < *options.to)) {
        error = "--from (" + shortest(options.from) + ") must come before --to (" + shortest(*options.to) + ")";
        return false;
    }
    if (atGiven) {
        if (!endsWith(options.out, ".png")) {
            error = "--at writes a PNG picture: the output name must end in .png";
            return false;
        }
        options.output = CaptureOptions::Output::Picture;
        return checkVideoOptions(options, error);
    }
    if (endsWith(options.out, ".png")) {
        error = "a span of frames goes to a folder or a .mp4, .mkv or .webm video; use --at for one picture";
        return false;
    }
    options.frames =
        options.to ? framesBefore(options.from, options.fps, *options.to) : framesUntilOver(options.from, options.fps);
    if (options.frames < 0) {
        error = "the span has more than " + std::to_string(maxFrames) + " frames";
        return false;
    }
    options.videoFormat = videoFormatOf(options.out);
    options.output = options.videoFormat.empty() ? CaptureOptions::Output::Folder : CaptureOptions::Output::Video;
    return checkVideoOptions(options, error);
}

std::string captureUsage()
{
    return "Usage: brakvane-capture [--size WxH] --at SECONDS OUT.png\n"
           "       brakvane-capture [--size WxH] [--fps N] [--from SECONDS] [--to SECONDS] [--crf N] OUT\n"
           "\n"
           "Renders the demo offline, frame by frame, with no display and no sound device.\n"
           "It reads data/ as the demo does: from the working directory, else beside the\n"
           "installed program, else from the folder named by BRAKVANE_DATA.\n"
           "\n"
           "  --at SECONDS    one picture of that moment, written to OUT.png\n"
           "  --size WxH      frame size in pixels (default 800x600); the demo's 4:3 picture\n"
           "                  is centred in it with black bars at other aspect ratios\n"
           "  --fps N         frames per second of a span, 1 to 1000 (default 60)\n"
           "  --from SECONDS  time of the first frame (default 0)\n"
           "  --to SECONDS    end of the span, not included (default: up to and with the\n"
           "                  frame that ends the demo)\n"
           "  --crf N         video quality, lower is better: 1 to 51 for .mp4 and .mkv\n"
           "                  (default 18), 0 to 63 for .webm (default 24)\n"
           "  -h, --help      this text\n"
           "\n"
           "OUT names a folder for numbered PNG files (000000.png, 000001.png, ...) or a\n"
           "video file ending in .mp4, .mkv or .webm, which ffmpeg encodes with the music.\n"
           "Frame i shows the moment from + i / fps. A name that starts with '-' goes after --.\n";
}
