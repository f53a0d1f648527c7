// Videos written through ffmpeg, checked with ffprobe: frame count, duration,
// sound and its timing; and what happens when ffmpeg is missing or fails.
#include "CaptureFixture.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

using namespace capturetest;
namespace fs = std::filesystem;

namespace {

// Runs a shell command (ffprobe, ffmpeg) and returns its standard output.
std::string commandOutput(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, got);
        pclose(pipe);
    }
    return text;
}

struct Stream {
    std::string codec;
    long frames = -1;
    double duration = -1;
};

// The file's video and audio streams as ffprobe sees them, frames counted by decoding.
std::map<std::string, Stream> probe(const std::string& path)
{
    std::istringstream lines(commandOutput(
        "ffprobe -v error -count_frames -show_entries stream=codec_type,codec_name,nb_read_frames,duration "
        "-of csv=p=0 '" +
        path + "'"));
    std::map<std::string, Stream> streams;
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string codec, type, duration, frames;
        std::getline(fields, codec, ',');
        std::getline(fields, type, ',');
        std::getline(fields, duration, ',');
        std::getline(fields, frames, ',');
        Stream& s = streams[type];
        s.codec = codec;
        s.duration = duration.empty() || duration == "N/A" ? -1 : std::stod(duration);
        s.frames = frames.empty() || frames == "N/A" ? -1 : std::stol(frames);
    }
    return streams;
}

double formatDuration(const std::string& path)
{
    const std::string text = commandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'");
    return text.empty() ? -1 : std::stod(text);
}

// The loudness (RMS, full scale 1) of the file's sound in [from, to) seconds.
double loudness(const std::string& path, double from, double to)
{
    std::ostringstream command;
    command << "ffmpeg -v error -i '" << path << "' -map 0:a -ss " << from << " -t " << (to - from)
            << " -ac 1 -ar 44100 -f s16le -";
    const std::string pcm = commandOutput(command.str());
    const std::size_t count = pcm.size() / 2;
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::int16_t sample = 0;
        std::memcpy(&sample, pcm.data() + 2 * i, 2);
        sum += (sample / 32768.0) * (sample / 32768.0);
    }
    return count ? std::sqrt(sum / static_cast<double>(count)) : -1;
}

} // namespace

TEST(CaptureVideo, EachContainerHoldsEveryFrameAndTheSpansSound)
{
    ASSERT_FALSE(steadyTrack().empty());
    Workspace work(steadyTrack());
    struct Case {
        const char* name;
        const char* video;
        const char* audio;
    };
    for (const Case& c :
         {Case{"clip.mp4", "h264", "aac"}, Case{"clip.mkv", "h264", "flac"}, Case{"clip.webm", "vp9", "opus"}}) {
        SCOPED_TRACE(c.name);
        // 49.5 s to 50.5 s at 30 fps: 30 frames, one second, the music
        // starting in the middle.
        CaptureRun run = capture(work.path(), {"--fps", "30", "--from", "49.5", "--to", "50.5", c.name});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, loadingLines(true));
        const std::string path = work.file(c.name);
        auto streams = probe(path);
        ASSERT_EQ(streams.size(), 2u);
        EXPECT_EQ(streams["video"].codec, c.video);
        EXPECT_EQ(streams["video"].frames, 30);
        EXPECT_EQ(streams["audio"].codec, c.audio);
        EXPECT_NEAR(formatDuration(path), 1.0, 0.05);
        const double audioDuration = streams["audio"].duration; // 0 when the container does not say
        EXPECT_TRUE(audioDuration <= 0 || std::abs(audioDuration - 1.0) <= 0.05) << "audio lasts " << audioDuration;
        // Silent for the first half second, the tone in the second.
        EXPECT_LT(loudness(path, 0.05, 0.45), 0.01);
        EXPECT_GT(loudness(path, 0.55, 0.95), 0.1);
    }
    EXPECT_EQ(folderNames(work.path()), (std::vector<std::string>{"clip.mkv", "clip.mp4", "clip.webm", "data"}));
}

TEST(CaptureVideo, WithoutMusicTheVideoHasNoSound)
{
    Workspace work;
    CaptureRun run = capture(work.path(), {"--fps", "10", "--to", "0.5", "quiet.mp4"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, loadingLines(false));
    EXPECT_NE(run.err.find("no sound"), std::string::npos) << run.err;
    auto streams = probe(work.file("quiet.mp4"));
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams["video"].frames, 5);
}

TEST(CaptureVideo, MissingOrFailingFfmpegIsAClearErrorAndLeavesNothing)
{
    ASSERT_FALSE(steadyTrack().empty());
    Workspace work(steadyTrack());
    // Not installed: said before anything is loaded.
    CaptureRun run = capture(work.path(), {"--to", "1", "out.mp4"}, {.env = {{"PATH", work.path() + "/nowhere"}}});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("ffmpeg"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("not found"), std::string::npos) << run.err;

    // Installed but failing: its own words are passed on.
    fs::create_directories(work.file("bin"));
    {
        std::ofstream script(work.file("bin/ffmpeg"));
        script << "#!/bin/sh\necho 'Unknown encoder libx264' >&2\nexit 1\n";
    }
    fs::permissions(work.file("bin/ffmpeg"), fs::perms::owner_all);
    run = capture(work.path(), {"--to", "1", "out.mp4"}, {.env = {{"PATH", work.file("bin")}}});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ffmpeg"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Unknown encoder libx264"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;

    // Failing after it has taken frames: the half-written file goes too.
    {
        std::ofstream script(work.file("bin/ffmpeg"));
        script
            << "#!/bin/sh\nfor last; do :; done\nhead -c 3000000 > \"${last#file:}\"\necho 'disk full' >&2\nexit 1\n";
    }
    run = capture(work.path(), {"--to", "1", "out.mp4"}, {.env = {{"PATH", work.file("bin")}}});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("disk full"), std::string::npos) << run.err;
    EXPECT_EQ(folderNames(work.path()), (std::vector<std::string>{"bin", "data"}));
}

TEST(CaptureVideo, AnFfmpegThatEndsWellIsNotTakenAtItsWord)
{
    Workspace work;
    fs::create_directories(work.file("bin"));
    // Stand-ins for ffmpeg that read every frame, write a file where the
    // video goes (the last argument, after "file:") and exit 0.
    const std::string whole = "\\000\\000\\000\\020ftypisom\\000\\000\\002\\000\\000\\000\\000\\010moov"
                              "\\000\\000\\000\\010mdat";
    const std::string noIndex = "\\000\\000\\000\\020ftypisom\\000\\000\\002\\000\\000\\000\\000\\010mdat";
    auto standIn = [&](const std::string& body) {
        std::ofstream script(work.file("bin/ffmpeg"));
        script << "#!/bin/sh\nfor last; do :; done\nout=${last#file:}\n" << body << "exit 0\n";
        script.close();
        fs::permissions(work.file("bin/ffmpeg"), fs::perms::owner_all);
    };
    const RunOptions withStandIn{.env = {{"PATH", work.file("bin") + ":/usr/bin:/bin"}}};
    const std::vector<std::string> args = {"--size", "64x48", "--fps", "10", "--to", "0.5", "clip.mp4"};

    // The stand-in writes a whole file: taken.
    standIn("cat >/dev/null\nprintf '" + whole + "' >\"$out\"\n");
    CaptureRun run = capture(work.path(), args, withStandIn);
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(fs::exists(work.file("clip.mp4")));
    fs::remove(work.file("clip.mp4"));

    // It says an error (as ffmpeg 5.1 does when closing the file fails, and exits 0).
    standIn("cat >/dev/null\nprintf '" + whole + "' >\"$out\"\necho 'Error closing file: No space left' >&2\n");
    run = capture(work.path(), args, withStandIn);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Error closing file: No space left"), std::string::npos) << run.err;

    // It leaves an .mp4 without its index, or nothing at all.
    standIn("cat >/dev/null\nprintf '" + noIndex + "' >\"$out\"\n");
    run = capture(work.path(), args, withStandIn);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no index"), std::string::npos) << run.err;
    standIn("cat >/dev/null\n");
    run = capture(work.path(), args, withStandIn);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("empty"), std::string::npos) << run.err;

    // Ctrl+C arrives while the last frame goes down the pipe (five frames of
    // 64 x 48 at 12 bits a pixel): interrupted, whatever ffmpeg then does.
    standIn("head -c 23039 >/dev/null\nkill -INT $PPID\ncat >/dev/null\nprintf '" + whole + "' >\"$out\"\n");
    run = capture(work.path(), args, withStandIn);
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_EQ(folderNames(work.path()), (std::vector<std::string>{"bin", "data"}));
}

TEST(CaptureVideo, AnMp4IsHighProfileH264AtTheSizeAskedInTheFramesColours)
{
    Workspace work;
    for (const char* crf : {"18", "1"}) {
        CaptureRun run = capture(work.path(), {"--size", "1280x720", "--crf", crf, "--fps", "10", "--from", "5", "--to",
                                               "5.2", std::string("crf") + crf + ".mp4"});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    const std::string path = work.file("crf18.mp4");
    EXPECT_EQ(commandOutput("ffprobe -v error -select_streams v:0 -show_entries "
                            "stream=codec_name,profile,pix_fmt,width,height,color_space -of csv=p=0 '" +
                            path + "'"),
              "h264,High,1280,720,yuv420p,bt709\n");
    // The index comes first, so a player can start before the file is all there.
    const std::string head = commandOutput("head -c 4096 '" + path + "'");
    EXPECT_NE(head.find("moov"), std::string::npos) << "+faststart";
    // x264 notes its settings in the stream: the quality asked for, the
    // High profile's 8x8 transform.
    const std::vector<unsigned char> bytes = fileBytes(path);
    const std::string stream(bytes.begin(), bytes.end());
    EXPECT_NE(stream.find("crf=18.0"), std::string::npos);
    EXPECT_NE(stream.find("8x8dct=1"), std::string::npos);
    const std::vector<unsigned char> other = fileBytes(work.file("crf1.mp4"));
    EXPECT_NE(std::string(other.begin(), other.end()).find("crf=1.0"), std::string::npos) << "--crf sets the quality";

    // The first frame decoded against the same moment as a picture, within 2
    // levels: the opening's red and yellow halves, centred between black bars
    // 160 wide. A second colour conversion in ffmpeg (one that takes the
    // frames for another matrix or range) shifts them by tens of levels.
    CaptureRun run = capture(work.path(), {"--size", "1280x720", "--at", "5", "shot.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    const PngImage shot = readPng(work.file("shot.png"));
    const std::string decoded = commandOutput("ffmpeg -v error -i '" + path +
                                              "' -frames:v 1 -vf scale=in_color_matrix=bt709:in_range=tv,"
                                              "format=rgb24 -f rawvideo -");
    ASSERT_EQ(decoded.size(), 1280u * 720 * 3);
    for (const auto& [x, y] : {std::pair{80, 360}, {1200, 100}, {640, 150}, {640, 560}, {170, 20}, {1100, 700}}) {
        const std::size_t i = (static_cast<std::size_t>(y) * 1280 + static_cast<std::size_t>(x)) * 3;
        const Rgb expected = pixel(shot, x, y);
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_NEAR(static_cast<unsigned char>(decoded[i + c]), expected[c], 2)
                << x << ", " << y << " channel " << c;
    }
    EXPECT_EQ(pixel(shot, 80, 360), black);
    EXPECT_EQ(pixel(shot, 640, 150), red);
    EXPECT_EQ(pixel(shot, 640, 560), yellow);
}
