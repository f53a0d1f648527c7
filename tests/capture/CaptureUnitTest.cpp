// The capture's command line, frame schedule, progress line, output files and
// PNG workers, in-process.
#include "TestFiles.h"
#include "assets/FileBytes.h"
#include "assets/PngDecode.h"
#include "capture/CaptureOptions.h"
#include "capture/FrameSchedule.h"
#include "capture/OutputFiles.h"
#include "capture/PngWorkers.h"
#include "capture/ProgressBar.h"
#include "capture/VideoFileCheck.h"
#include "capture/VideoWriter.h"
#include "capture/Yuv420.h"
#include "demo/DemoFrames.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Parsed {
    bool ok;
    CaptureOptions options;
    std::string error;
};

Parsed parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "brakvane-capture");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    Parsed result;
    result.ok = parseCaptureOptions(static_cast<int>(args.size()), argv.data(), result.options, result.error);
    return result;
}

std::vector<std::string> entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<unsigned char> testBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

mode_t modeOf(const std::string& path)
{
    struct stat status{};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

} // namespace

TEST(CaptureOptions, PictureSpanFolderAndVideo)
{
    Parsed p = parse({"--at", "12.5", "shot.png"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.output, CaptureOptions::Output::Picture);
    EXPECT_EQ(p.options.at, 12.5);
    EXPECT_EQ(p.options.out, "shot.png");

    p = parse({"--at=-3", "SHOT.PNG"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.at, -3.0);

    // Defaults: 60 frames per second from 0 up to the frame that ends the demo.
    p = parse({"frames"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.output, CaptureOptions::Output::Folder);
    EXPECT_EQ(p.options.fps, 60);
    EXPECT_EQ(p.options.from, 0.0);
    EXPECT_FALSE(p.options.to);
    EXPECT_EQ(p.options.frames, framesUntilOver(0, 60));

    // Options after the output name, and the "=" form.
    p = parse({"clip.MKV", "--fps=25", "--from", "1e1", "--to", "+12"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.output, CaptureOptions::Output::Video);
    EXPECT_EQ(p.options.videoFormat, "matroska");
    EXPECT_EQ(p.options.fps, 25);
    EXPECT_EQ(p.options.from, 10.0);
    EXPECT_EQ(p.options.to, 12.0);
    EXPECT_EQ(p.options.frames, 50);

    // Other sizes and qualities; the defaults the demo's own frame and none.
    EXPECT_EQ(p.options.width, 800);
    EXPECT_EQ(p.options.height, 600);
    EXPECT_FALSE(p.options.crf);
    p = parse({"--size", "1920x1080", "--crf=23", "a.mp4"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.width, 1920);
    EXPECT_EQ(p.options.height, 1080);
    EXPECT_EQ(p.options.crf, 23);
    p = parse({"--size=1x1", "--at", "2", "dot.png"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.width, 1);
    EXPECT_EQ(parse({"--crf", "0", "a.webm"}).options.crf, 0);
    // A name that starts with "-" goes after "--".
    p = parse({"--fps", "25", "--", "-take.mkv"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.out, "-take.mkv");

    EXPECT_EQ(parse({"a.mp4"}).options.videoFormat, "mp4");
    EXPECT_EQ(parse({"a.webm"}).options.videoFormat, "webm");
    EXPECT_TRUE(parse({"--help"}).options.help);
    EXPECT_TRUE(parse({"-h", "--bogus"}).options.help);
    // Too small for a double is the 0 it rounds to; an unambiguous
    // abbreviation is the option.
    p = parse({"--at", "1e-400", "--si", "64x48", "dot.png"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.at, 0.0);
    EXPECT_EQ(p.options.width, 64);
}

TEST(CaptureOptions, BadUsageIsRefusedWithAReason)
{
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const Case cases[] = {
        {{}, "no output"},
        {{"a", "b"}, "one output only"},
        {{""}, "empty"},
        {{"--bogus", "x"}, "unknown option '--bogus'"},
        {{"-x", "x"}, "unknown option '-x'"},
        {{"--f", "1", "x"}, "option '--f' is ambiguous: it may be --fps, --from (see --help)"},
        {{"--help=yes", "x"}, "option '--help' takes no value"},
        {{"x", "--at"}, "'--at' needs a value"},
        {{"--fps", "0", "x"}, "--fps: '0'"},
        {{"--fps", "1001", "x"}, "from 1 to 1000"},
        {{"--fps", "30.5", "x"}, "--fps: '30.5'"},
        {{"--fps", "", "x"}, "--fps: ''"},
        {{"--fps", "99999999999999999999", "x"}, "--fps"},
        {{"--at", "abc", "x.png"}, "--at: 'abc' is not a number"},
        {{"--at", "1.5s", "x.png"}, "--at: '1.5s'"},
        {{"--at", " 1", "x.png"}, "--at: ' 1'"},
        {{"--at", "inf", "x.png"}, "--at: 'inf'"},
        {{"--at", "nan", "x.png"}, "--at: 'nan'"},
        {{"--at", "1e999", "x.png"}, "--at: '1e999'"},
        {{"--from", "--to", "x"}, "--from: '--to'"},
        {{"--from", "5", "--to", "5", "x"}, "--from (5) must come before --to (5)"},
        {{"--from", "6", "--to", "5", "x"}, "must come before"},
        {{"--at", "3", "--fps", "30", "x.png"}, "--at makes one picture"},
        {{"--from", "1", "--at", "3", "x.png"}, "--at makes one picture"},
        {{"--at", "3", "x.mp4"}, "must end in .png"},
        {{"--to", "3", "x.png"}, "use --at for one picture"},
        {{"--size", "800", "x"}, "--size: '800' is not WIDTHxHEIGHT"},
        {{"--size", "800X600", "x"}, "--size: '800X600'"},
        {{"--size", "0x600", "x"}, "--size: '0x600'"},
        {{"--size", "-800x600", "x"}, "--size: '-800x600'"},
        {{"--size", "800x600x2", "x"}, "--size"},
        {{"--size", "+800x600", "x"}, "--size"},
        {{"--size", "70000x600", "x"}, "--size"},
        {{"--size", "801x600", "x.mp4"}, "even width and height, not 801x600"},
        {{"--size", "800x601", "x.webm"}, "even width and height"},
        {{"--crf", "20", "x"}, "--crf sets the quality of a video"},
        {{"--crf", "20", "--at", "1", "x.png"}, "--crf sets the quality of a video"},
        {{"--crf", "0", "x.mp4"}, "--crf: a .mp4 video takes 1 to 51, not 0"},
        {{"--crf", "52", "x.mkv"}, "--crf: a .mkv video takes 1 to 51, not 52"},
        {{"--crf", "64", "x.webm"}, "--crf: '64'"},
        {{"--crf", "1.5", "x.webm"}, "--crf: '1.5'"},
        {{"--fps", "1000", "--from", "-1e9", "x"}, "more than"},
        {{"--fps", "1000", "--to", "1e12", "x"}, "more than"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args)
            shown += "[" + arg + "] ";
        SCOPED_TRACE(shown);
        Parsed p = parse(c.args);
        EXPECT_FALSE(p.ok);
        EXPECT_NE(p.error.find(c.says), std::string::npos) << p.error;
        EXPECT_EQ(p.error.find('\n'), std::string::npos);
    }
}

TEST(FrameSchedule, EveryFrameTimeIsComputedAfresh)
{
    // Adding up 1/60 in single precision drifts by milliseconds over the
    // demo; each frame time here is the nearest float to from + i / fps.
    const FrameSchedule schedule{0, 60, 0};
    float summed = 0;
    for (std::int64_t i = 0; i <= 5935; ++i) {
        ASSERT_EQ(schedule.time(i), static_cast<float>(static_cast<double>(i) / 60.0)) << i;
        if (i > 0)
            summed += 1.0f / 60.0f;
    }
    EXPECT_GT(std::fabs(summed - schedule.time(5935)), 1e-4f) << "a running sum would not have been exact";
    EXPECT_EQ(schedule.time(5934), 98.9f);

    const FrameSchedule offset{54.7, 20, 0};
    EXPECT_EQ(offset.time(0), 54.7f);
    EXPECT_EQ(offset.time(2), 54.8f); // just below 54.8: still before the cut at 54.8
    EXPECT_DOUBLE_EQ((FrameSchedule{1, 30, 45}.duration()), 1.5);
}

TEST(FrameSchedule, ASpanEndsBeforeTo)
{
    EXPECT_EQ(framesBefore(0, 60, 10), 600);
    EXPECT_EQ(framesBefore(39, 30, 41), 60);
    EXPECT_EQ(framesBefore(20, 10, 20.05), 1);
    EXPECT_EQ(framesBefore(20, 10, 20.1), 1);
    EXPECT_EQ(framesBefore(20, 10, 20.1000001), 2);
    // 0.1 + 0.2 lies just above 0.3 in binary, so the frame at "0.3" is not
    // before it; the count follows the frames' own sums, not (to - from) * fps.
    EXPECT_EQ(framesBefore(0.1, 5, 0.3), 1);
    EXPECT_EQ(framesBefore(0.1, 5, std::nextafter(0.1 + 0.2, 1.0)), 2);
    EXPECT_EQ(framesBefore(-1, 4, 1), 8);
    EXPECT_EQ(framesBefore(0, 1000, 1e9), -1);
}

TEST(FrameSchedule, TheDefaultSpanEndsWithTheFrameThatEndsTheDemo)
{
    // At 60 fps frame 5934 is at exactly the single-precision 98.9, which does
    // not end the demo; frame 5935 does and is the last.
    EXPECT_EQ(framesUntilOver(0, 60), 5936);
    for (int fps : {1, 24, 25, 30, 60, 144, 1000}) {
        for (double from : {0.0, 12.34, 98.8, 98.9}) {
            SCOPED_TRACE(std::to_string(fps) + " fps from " + std::to_string(from));
            const std::int64_t count = framesUntilOver(from, fps);
            ASSERT_GT(count, 0);
            const FrameSchedule schedule{from, fps, count};
            EXPECT_TRUE(DemoFrames::over(schedule.time(count - 1)));
            EXPECT_TRUE(count == 1 || !DemoFrames::over(schedule.time(count - 2))) << "an earlier frame was over";
        }
    }
    EXPECT_EQ(framesUntilOver(120, 60), 1); // already over: the one frame the demo would draw
    EXPECT_EQ(framesUntilOver(-1e9, 1000), -1);
}

TEST(ProgressBar, LineShowsFramesRateAndTimeLeft)
{
    EXPECT_EQ(progressLine(0, 600, 0), "[------------------------]   0/600 frames");
    EXPECT_EQ(progressLine(150, 600, 2.0), "[######------------------] 150/600 frames    75.0 fps  0:06 left");
    EXPECT_EQ(progressLine(600, 600, 8.0), "[########################] 600/600 frames    75.0 fps  0:08 in all");
    EXPECT_EQ(progressLine(1, 300000, 1.0).substr(26), "      1/300000 frames     1.0 fps  83:19:59 left");
}

TEST(OutputFiles, AFileAppearsOnlyWhenCompleteAndNeverMixesWithAnother)
{
    testfiles::TempDir dir;
    std::string error;
    const std::string path = dir.prefix() + "shot.png";
    {
        PendingFile file;
        ASSERT_TRUE(file.open(path, error)) << error;
        EXPECT_EQ(file.temporaryPath().front(), '/');
        ASSERT_TRUE(file.write({1, 2, 3}, error)) << error;
        EXPECT_FALSE(fs::exists(path)) << "nothing under the name before the end";
        ASSERT_TRUE(file.commit(error)) << error;
    }
    EXPECT_EQ(fs::file_size(path), 3u);
    EXPECT_EQ(entries(dir.directory()), std::vector<std::string>{"shot.png"});
    struct stat status{};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~currentUmask()) << "a new file's permissions";

    // Given up: the temporary goes, the old file stays.
    {
        PendingFile file;
        ASSERT_TRUE(file.open(path, error));
        ASSERT_TRUE(file.write({9}, error));
    }
    EXPECT_EQ(entries(dir.directory()), std::vector<std::string>{"shot.png"});
    EXPECT_EQ(fs::file_size(path), 3u);

    // Two writers to one name: each has a temporary of its own, and the name
    // ends up with one whole file.
    {
        PendingFile first;
        PendingFile second;
        ASSERT_TRUE(first.open(path, error));
        ASSERT_TRUE(second.open(path, error));
        EXPECT_NE(first.temporaryPath(), second.temporaryPath());
        ASSERT_TRUE(first.write(std::vector<unsigned char>(5000, 1), error));
        ASSERT_TRUE(second.write(std::vector<unsigned char>(7000, 2), error));
        ASSERT_TRUE(second.commit(error));
        ASSERT_TRUE(first.commit(error));
    }
    EXPECT_TRUE(testBytes(path) == std::vector<unsigned char>(5000, 1));

    // Refused at once: a missing folder, a folder where a file is meant, a
    // file where a folder is meant.
    PendingFile refused;
    EXPECT_FALSE(refused.open(dir.prefix() + "missing/shot.png", error));
    EXPECT_NE(error.find("missing/shot.png"), std::string::npos) << error;
    fs::create_directory(dir.prefix() + "folder.png");
    EXPECT_FALSE(refused.open(dir.prefix() + "folder.png", error));
    EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
    EXPECT_FALSE(refused.open(dir.prefix() + "shot.png/inner.png", error));
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;

    // The last step fails (a folder took the name meanwhile): what was
    // written stays, under the name the error gives.
    const std::string late = dir.prefix() + "late.png";
    std::string kept;
    {
        PendingFile file;
        ASSERT_TRUE(file.open(late, error));
        ASSERT_TRUE(file.write({4, 5}, error));
        kept = file.temporaryPath();
        fs::create_directories(late + "/inside");
        EXPECT_FALSE(file.commit(error));
    }
    EXPECT_NE(error.find("kept in " + kept), std::string::npos) << error;
    EXPECT_EQ(fs::file_size(kept), 2u);
}

TEST(OutputFiles, FramesMoveIntoANewOrAnExistingFolder)
{
    testfiles::TempDir dir;
    std::string error;
    const std::string target = dir.prefix() + "frames";
    {
        FrameFolder folder;
        ASSERT_TRUE(folder.open(target, 3, error)) << error;
        EXPECT_EQ(folder.frameName(2), "000002.png");
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(folder.write(i, {static_cast<unsigned char>(i)}, error)) << error;
        EXPECT_FALSE(fs::exists(target)) << "nothing under the name before the end";
        ASSERT_TRUE(folder.commit(error)) << error;
    }
    EXPECT_TRUE(fs::exists(target + "/000002.png"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.directory()), fs::directory_iterator()), 1);

    // Into the existing folder: frames replaced, other files kept.
    std::ofstream(target + "/notes.txt") << "mine";
    {
        FrameFolder folder;
        ASSERT_TRUE(folder.open(target, 1, error)) << error;
        ASSERT_TRUE(folder.write(0, {7, 7}, error));
        ASSERT_TRUE(folder.commit(error)) << error;
    }
    EXPECT_EQ(fs::file_size(target + "/000000.png"), 2u);
    EXPECT_TRUE(fs::exists(target + "/notes.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.directory()), fs::directory_iterator()), 1);

    // Given up: the private folder goes, the target stays as it was.
    {
        FrameFolder folder;
        ASSERT_TRUE(folder.open(dir.prefix() + "other", 2, error));
        ASSERT_TRUE(folder.write(0, {1}, error));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.directory()), fs::directory_iterator()), 1);

    // Many frames get wider numbers.
    FrameFolder wide;
    ASSERT_TRUE(wide.open(dir.prefix() + "wide", 12'345'678, error));
    EXPECT_EQ(wide.frameName(5), "00000005.png");

    std::ofstream(dir.prefix() + "plain") << "x";
    FrameFolder refused;
    EXPECT_FALSE(refused.open(dir.prefix() + "plain", 2, error));
    EXPECT_NE(error.find("not a folder"), std::string::npos) << error;
    EXPECT_FALSE(refused.open(dir.prefix() + "no/such/frames", 2, error));
    EXPECT_NE(error.find("no/such/frames"), std::string::npos) << error;
    fs::create_symlink(dir.prefix() + "nowhere", dir.prefix() + "dangling");
    EXPECT_FALSE(refused.open(dir.prefix() + "dangling", 2, error));
    EXPECT_NE(error.find("not a folder"), std::string::npos) << error;
}

TEST(OutputFiles, ExistingFoldersKeepTheirPlaceAndMode)
{
    testfiles::TempDir dir;
    std::string error;
    auto capture = [&](const std::string& target, int count) {
        FrameFolder folder;
        if (!folder.open(target, count, error))
            return false;
        for (int i = 0; i < count; ++i)
            if (!folder.write(i, {static_cast<unsigned char>(i)}, error))
                return false;
        return folder.commit(error);
    };

    // A new folder: the permissions of a plain mkdir, not the private folder's 0700.
    ASSERT_TRUE(capture(dir.prefix() + "fresh", 2)) << error;
    EXPECT_EQ(modeOf(dir.prefix() + "fresh"), 0777 & ~currentUmask());

    // An existing empty folder keeps its own mode.
    fs::create_directory(dir.prefix() + "empty");
    ::chmod((dir.prefix() + "empty").c_str(), 0751);
    ASSERT_TRUE(capture(dir.prefix() + "empty", 2)) << error;
    EXPECT_EQ(modeOf(dir.prefix() + "empty"), 0751u);
    EXPECT_EQ(entries(dir.prefix() + "empty"), (std::vector<std::string>{"000000.png", "000001.png"}));

    // A symbolic link to a folder stays a link; the frames land in its folder,
    // also when the name ends in a slash.
    fs::create_directory(dir.prefix() + "real");
    fs::create_directory_symlink(dir.prefix() + "real", dir.prefix() + "link");
    ASSERT_TRUE(capture(dir.prefix() + "link", 1)) << error;
    ASSERT_TRUE(capture(dir.prefix() + "link/", 2)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.prefix() + "link"));
    EXPECT_EQ(entries(dir.prefix() + "real"), (std::vector<std::string>{"000000.png", "000001.png"}));

    // "." and "./": the working folder.
    const fs::path before = fs::current_path();
    fs::create_directory(dir.prefix() + "here");
    fs::current_path(dir.prefix() + "here");
    const bool dot = capture(".", 1);
    const bool dotSlash = capture("./", 2);
    fs::current_path(before);
    ASSERT_TRUE(dot && dotSlash) << error;
    EXPECT_EQ(entries(dir.prefix() + "here"), (std::vector<std::string>{"000000.png", "000001.png"}));
    EXPECT_EQ(entries(dir.directory()), (std::vector<std::string>{"empty", "fresh", "here", "link", "real"}))
        << "no private folder left anywhere";

    // The name taken by a file while the frames were made: they are kept
    // where the error says.
    {
        FrameFolder folder;
        ASSERT_TRUE(folder.open(dir.prefix() + "taken", 2, error));
        ASSERT_TRUE(folder.write(0, {1}, error));
        ASSERT_TRUE(folder.write(1, {2}, error));
        std::ofstream(dir.prefix() + "taken") << "x";
        EXPECT_FALSE(folder.commit(error));
    }
    const std::size_t at = error.find("kept in ");
    ASSERT_NE(at, std::string::npos) << error;
    EXPECT_EQ(entries(error.substr(at + 8)), (std::vector<std::string>{"000000.png", "000001.png"}));
}

TEST(OutputFiles, AReplacedFileKeepsItsModeAndGroup)
{
    testfiles::TempDir dir;
    std::string error;
    const gid_t otherGroup = getgid() + 4242; // root may give any group
    struct Case {
        const char* what;
        mode_t before; // 0: no file there before
        bool regroup;
        mode_t after;
    };
    const Case cases[] = {
        {"private", 0600, false, 0600},
        {"group-readable, another group", 0640, true, 0640},
        {"wider than the umask", 0666, false, 0666},
        {"set-user bit not carried over", 04755, false, 0755},
        {"new", 0, false, 0666 & ~currentUmask()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = dir.prefix() + c.what + ".png";
        const std::string frames = dir.prefix() + c.what;
        fs::create_directory(frames);
        for (const std::string& existing : {name, frames + "/000000.png"}) {
            if (c.before == 0)
                continue;
            std::ofstream(existing) << "old";
            ASSERT_EQ(::chmod(existing.c_str(), c.before), 0);
            const bool regroup = c.regroup && getuid() == 0;
            ASSERT_EQ(regroup ? ::chown(existing.c_str(), static_cast<uid_t>(-1), otherGroup) : 0, 0);
        }
        PendingFile file;
        ASSERT_TRUE(file.open(name, error) && file.write({1}, error) && file.commit(error)) << error;
        FrameFolder folder;
        ASSERT_TRUE(folder.open(frames, 1, error) && folder.write(0, {1}, error) && folder.commit(error)) << error;
        for (const std::string& replaced : {name, frames + "/000000.png"}) {
            EXPECT_EQ(modeOf(replaced), c.after) << replaced;
            struct stat status{};
            ASSERT_EQ(::stat(replaced.c_str(), &status), 0);
            EXPECT_EQ(status.st_gid, c.regroup && getuid() == 0 ? otherGroup : getgid()) << replaced;
        }
    }
}

TEST(OutputFiles, TemporaryFilesHaveNoNameAndAFailureNamesTheFolder)
{
    testfiles::TempDir dir;
    const char* saved = std::getenv("TMPDIR");
    const std::string before = saved ? saved : "";
    std::string error;
    ::setenv("TMPDIR", dir.directory().c_str(), 1);
    const int fd = anonymousTemporaryFile("brakvane-test", error);
    EXPECT_GE(fd, 0) << error;
    EXPECT_EQ(entries(dir.directory()), std::vector<std::string>{});
    EXPECT_EQ(::write(fd, "ok", 2), 2);
    EXPECT_EQ(fs::file_size(descriptorPath(fd)), 2u) << "the path reaches the file without a name";
    ::close(fd);
    ::setenv("TMPDIR", (dir.prefix() + "missing").c_str(), 1);
    EXPECT_EQ(anonymousTemporaryFile("brakvane-test", error), -1);
    EXPECT_EQ(error, dir.prefix() + "missing: No such file or directory");
    if (saved)
        ::setenv("TMPDIR", before.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

TEST(VideoWriter, HowFfmpegEndedIsSaidInWords)
{
    EXPECT_EQ(describeEnding(W_EXITCODE(1, 0)), "exit status 1");
    EXPECT_EQ(describeEnding(SIGXFSZ), "killed by SIGXFSZ: File size limit exceeded");
    EXPECT_EQ(describeEnding(SIGKILL), "killed by SIGKILL: Killed");
}

TEST(PngWorkers, EveryFrameIsWrittenAndAFailureStopsThem)
{
    testfiles::TempDir dir;
    std::string error;
    constexpr int width = 40;
    constexpr int height = 30;
    auto frame = [](int i) {
        std::vector<unsigned char> rgb(width * height * 3);
        for (std::size_t p = 0; p < rgb.size(); ++p)
            rgb[p] = static_cast<unsigned char>(p * 31 + static_cast<std::size_t>(i) * 17);
        return rgb;
    };
    {
        FrameFolder folder;
        ASSERT_TRUE(folder.open(dir.prefix() + "frames", 25, error));
        PngWorkers workers(folder, width, height);
        for (int i = 0; i < 25; ++i)
            ASSERT_TRUE(workers.add(i, frame(i).data()));
        ASSERT_TRUE(workers.finish(error)) << error;
        ASSERT_TRUE(folder.commit(error)) << error;
    }
    for (int i = 0; i < 25; ++i) {
        FileBytes bytes;
        ASSERT_TRUE(readFileBytes(dir.prefix() + "frames/" + FrameFolder().frameName(i), bytes)) << i;
        PngImage image;
        ASSERT_TRUE(decodePng(bytes.data.get(), bytes.size, image));
        ASSERT_EQ(image.channels, 3u);
        EXPECT_TRUE(std::equal(image.pixels.get(), image.pixels.get() + image.byteCount(), frame(i).begin())) << i;
    }

    // The private folder vanishes under the workers: the failure comes back
    // from add or finish with its reason.
    FrameFolder folder;
    ASSERT_TRUE(folder.open(dir.prefix() + "lost", 1000, error));
    for (const auto& entry : fs::directory_iterator(dir.directory()))
        if (entry.path().filename().string().starts_with("lost.partial-"))
            fs::remove_all(entry.path());
    PngWorkers workers(folder, width, height);
    bool added = true;
    for (int i = 0; i < 1000 && added; ++i)
        added = workers.add(i, frame(i).data());
    EXPECT_FALSE(workers.finish(error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}
