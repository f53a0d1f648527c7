// brakvane-capture where outputs go wrong, run as a user runs it: disks that
// fill up in the middle of a video or at its very end, outputs that cannot be
// written, folders of every kind, a last step that fails, odd names, and two
// captures to one name at once.
#include "CaptureFixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace capturetest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// The size of the outer MP4 box of the given type, or 0.
std::uint64_t mp4BoxSize(const std::vector<unsigned char>& file, const std::string& type)
{
    std::size_t at = 0;
    while (at + 8 <= file.size()) {
        std::uint64_t size = 0;
        for (int i = 0; i < 4; ++i)
            size = size << 8 | file[at + i];
        if (std::string(file.begin() + static_cast<long>(at) + 4, file.begin() + static_cast<long>(at) + 8) == type)
            return size;
        if (size < 8)
            return 0;
        at += size;
    }
    return 0;
}

// Frames in a video, counted by decoding it; -1 when it cannot be read.
long videoFrames(const std::string& path)
{
    std::string text;
    const std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                "stream=nb_read_frames -of csv=p=0 '" +
                                path + "' 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            text += buffer;
        pclose(pipe);
    }
    return text.empty() || text[0] < '0' || text[0] > '9' ? -1 : std::stol(text);
}

mode_t modeOf(const std::string& path)
{
    struct stat status{};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

const std::vector<std::string> tinyVideo = {"--size", "64x48", "--fps", "200", "--from", "45", "--to", "55"};

std::vector<std::string> withOut(std::vector<std::string> args, const std::string& out)
{
    args.push_back(out);
    return args;
}

} // namespace

TEST(CaptureSafety, AFullDiskMidFileOrAtTheVeryEndIsAFailureAndLeavesNothing)
{
    // No music: the limit then falls on the video alone, not the sound file
    // the capture writes for ffmpeg.
    Workspace work;
    // The same small videos made whole first, to know where they end: 2000
    // frames, so that an .mp4's index is several kilobytes.
    for (const char* name : {"whole.mp4", "whole.mkv"}) {
        CaptureRun run = capture(work.path(), withOut(tinyVideo, name));
        ASSERT_EQ(run.status, 0) << run.err;
    }
    const std::vector<unsigned char> mp4 = fileBytes(work.file("whole.mp4"));
    const long long mp4Size = static_cast<long long>(mp4.size());
    const long long moov = static_cast<long long>(mp4BoxSize(mp4, "moov"));
    ASSERT_GT(moov, 8192);
    const long long mkvSize = static_cast<long long>(fs::file_size(work.file("whole.mkv")));

    struct Case {
        const char* what;
        const char* out;
        long long limit;   // bytes the disk takes
        long long mustFit; // a tmpfs (whole pages) serves when more than this fits, -1: never
        long long wholeSize;
    };
    const Case cases[] = {
        {"mp4 mid-file", "clip.mp4", mp4Size / 2, 0, mp4Size},
        {"mp4 in its index, the very end", "clip.mp4", mp4Size - moov / 2, mp4Size - moov, mp4Size},
        {"mp4 in its last bytes", "clip.mp4", mp4Size - 100, -1, mp4Size},
        {"mkv mid-file", "clip.mkv", mkvSize / 2, 0, mkvSize},
        {"mkv in its last bytes", "clip.mkv", mkvSize - 16, -1, mkvSize},
    };
    testfiles::TempDir disks;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A file-size limit on the capture and its ffmpeg.
        CaptureRun run = capture(work.path(), withOut(tinyVideo, c.out), {.fileSizeLimit = c.limit});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("brakvane-capture: "), std::string::npos) << run.err;
        EXPECT_EQ(folderNames(work.path()), (std::vector<std::string>{"data", "whole.mkv", "whole.mp4"}));

        // A full tmpfs, where root may mount one; it counts whole pages.
        const long long pages = c.limit / 4096 * 4096;
        if (c.mustFit < 0 || pages <= c.mustFit)
            continue;
        SmallDisk disk(disks.prefix() + "disk", pages);
        if (!disk.mounted())
            continue;
        run = capture(work.path(), withOut(tinyVideo, disks.prefix() + "disk/" + c.out));
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("brakvane-capture: "), std::string::npos) << run.err;
        EXPECT_EQ(folderNames(disks.prefix() + "disk"), std::vector<std::string>{});
    }
}

TEST(CaptureSafety, AnOutputThatCannotBeWrittenFailsBeforeAnythingIsDrawn)
{
    Workspace work;
    fs::create_directories(work.file("clip.mp4/inside"));
    fs::create_directory(work.file("folder.png"));
    std::ofstream(work.file("plain")) << "x";
    fs::create_directory_symlink(work.file("clip.mp4"), work.file("link.mkv"));
    // A read-only folder: a read-only tmpfs as root (root writes through
    // permission bits), a folder without write permission otherwise.
    const bool root = ::geteuid() == 0;
    SmallDisk readOnly(work.file("ro"), 1 << 20, true);
    if (root)
        ASSERT_TRUE(readOnly.mounted());
    else
        fs::permissions(work.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);

    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"--to", "1", "clip.mp4"}, "clip.mp4 is a folder"},
        {{"--to", "1", "link.mkv"}, "link.mkv is a folder"},
        {{"--at", "3", "folder.png"}, "folder.png is a folder"},
        {{"--to", "1", "plain"}, "plain exists and is not a folder"},
        {{"--to", "1", "missing/frames"}, "missing/frames"},
        {{"--to", "1", "plain/clip.mp4"}, "plain/clip.mp4"},
        {{"--to", "1", "ro"}, "ro"},
        {{"--to", "1", "ro/frames"}, "ro/frames"},
        {{"--to", "1", "ro/clip.mkv"}, "ro/clip.mkv"},
        {{"--at", "3", "ro/shot.png"}, "ro/shot.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        CaptureRun run = capture(work.path(), c.args);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.out, "") << "failed before loading anything";
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_EQ(folderNames(work.path()),
              (std::vector<std::string>{"clip.mp4", "data", "folder.png", "link.mkv", "plain", "ro"}));
    EXPECT_EQ(folderNames(work.file("ro")), std::vector<std::string>{});
}

TEST(CaptureSafety, AnyKindOfFolderTakesTheFrames)
{
    Workspace work;
    const std::vector<std::string> span = {"--fps", "10", "--from", "20", "--to", "20.2"};
    const std::vector<std::string> frames = {"000000.png", "000001.png"};

    // The working folder itself, as "." and "./".
    for (const char* here : {".", "./"}) {
        CaptureRun run = capture(work.path(), withOut(span, here));
        ASSERT_EQ(run.status, 0) << run.err;
    }
    EXPECT_EQ(folderNames(work.path()), (std::vector<std::string>{"000000.png", "000001.png", "data"}));
    fs::remove(work.file("000000.png"));
    fs::remove(work.file("000001.png"));

    // A symbolic link to a folder elsewhere: the frames land there and the link stays.
    testfiles::TempDir elsewhere;
    fs::create_directory_symlink(elsewhere.directory(), work.file("link"));
    for (const char* name : {"link", "link/"}) {
        CaptureRun run = capture(work.path(), withOut(span, name));
        ASSERT_EQ(run.status, 0) << run.err;
    }
    EXPECT_TRUE(fs::is_symlink(work.file("link")));
    EXPECT_EQ(folderNames(elsewhere.directory()), frames);

    // A mount point (another file system than its parent's), where root can mount one.
    SmallDisk disk(work.file("disk"), 16 << 20);
    if (disk.mounted()) {
        CaptureRun run = capture(work.path(), withOut(span, "disk"));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(folderNames(work.file("disk")), frames);
    }

    // A new folder gets the permissions of mkdir under the user's umask; an
    // existing empty one keeps its own.
    const mode_t before = ::umask(027);
    CaptureRun run = capture(work.path(), withOut(span, "fresh"));
    ::umask(before);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(modeOf(work.file("fresh")), 0750u);
    fs::create_directory(work.file("kept"));
    ::chmod(work.file("kept").c_str(), 0711);
    run = capture(work.path(), withOut(span, "kept"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(modeOf(work.file("kept")), 0711u);
    EXPECT_EQ(folderNames(work.file("kept")), frames);
}

TEST(CaptureSafety, WhatTheLastStepCannotPlaceIsKeptAndNamed)
{
    ASSERT_FALSE(steadyTrack().empty());
    Workspace work(steadyTrack());
    // While the frames are drawn, something else takes the name: a file
    // where the folder of frames was to go, a folder where the video was.
    struct Case {
        const char* out;
        bool blockWithFile;
    };
    for (const Case& c : {Case{"frames", true}, Case{"clip.mp4", false}}) {
        SCOPED_TRACE(c.out);
        auto child = startCapture(work.path(), {"--fps", "60", "--from", "45", "--to", "48", c.out});
        ASSERT_TRUE(child->waitForOutput("Loading texture: data/textures/text.png", 30s)) << child->errorOutput();
        if (c.blockWithFile)
            std::ofstream(work.file(c.out)) << "someone else's";
        else
            fs::create_directories(work.file(std::string(c.out) + "/inside"));
        auto status = child->wait(60s);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, 1);
        const std::string err = child->errorOutput();
        const std::size_t at = err.find("kept in ");
        ASSERT_NE(at, std::string::npos) << err;
        std::string kept = err.substr(at + 8, err.find('\n', at) - at - 8);
        if (kept.front() != '/')
            kept = work.file(kept);
        if (c.blockWithFile)
            EXPECT_EQ(folderNames(kept).size(), 180u) << kept;
        else
            EXPECT_EQ(videoFrames(kept), 180) << kept;
        fs::remove_all(kept);
        fs::remove_all(work.file(c.out));
    }
    EXPECT_EQ(folderNames(work.path()), std::vector<std::string>{"data"});
}

TEST(CaptureSafety, NamesAreFileNamesWhateverTheyLookLike)
{
    Workspace work;
    const std::vector<std::string> span = {"--fps", "10", "--to", "0.3"};
    // A colon, which ffmpeg would read as a protocol; a leading "-", which it
    // would read as an option (after "--" on our own command line).
    for (const std::string name : {"take2:final.mp4", "file:x.mkv", "-lead.mp4", "-frames", "a:b"}) {
        SCOPED_TRACE(name);
        std::vector<std::string> args = span;
        args.insert(args.end(), {"--", name});
        CaptureRun run = capture(work.path(), args);
        ASSERT_EQ(run.status, 0) << run.err;
        if (name.find('.') != std::string::npos)
            EXPECT_EQ(videoFrames(work.file(name)), 3);
        else
            EXPECT_EQ(folderNames(work.file(name)).size(), 3u);
    }
    CaptureRun run = capture(work.path(), {"--at", "3", "--", "-x:y.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(pixel(readPng(work.file("-x:y.png")), 400, 100), red);
    EXPECT_EQ(folderNames(work.path()), (std::vector<std::string>{"-frames", "-lead.mp4", "-x:y.png", "a:b", "data",
                                                                  "file:x.mkv", "take2:final.mp4"}))
        << "nothing else, nothing stray";
}

TEST(CaptureSafety, TwoCapturesToOneNameEachWriteAWholeFile)
{
    Workspace work;
    // Different lengths, so the file shows which capture it came from.
    auto first = startCapture(work.path(), {"--fps", "30", "--to", "1", "same.mp4"});
    auto second = startCapture(work.path(), {"--fps", "30", "--to", "1.5", "same.mp4"});
    auto shotA = startCapture(work.path(), {"--at", "5", "same.png"});
    auto shotB = startCapture(work.path(), {"--at", "60", "same.png"});
    for (auto* child : {first.get(), second.get(), shotA.get(), shotB.get()}) {
        auto status = child->wait(60s);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, 0) << child->errorOutput();
    }
    const long frames = videoFrames(work.file("same.mp4"));
    EXPECT_TRUE(frames == 30 || frames == 45) << frames;
    const Rgb centre = pixel(readPng(work.file("same.png")), 400, 100);
    EXPECT_TRUE(centre == red || centre == magenta) << centre[0] << " " << centre[1] << " " << centre[2];
    EXPECT_EQ(folderNames(work.path()), (std::vector<std::string>{"data", "same.mp4", "same.png"}));
}

TEST(CaptureSafety, HostileMachinesGetAClearFailureAndNothingLeftOrWrittenElsewhere)
{
    Workspace work(steadyTrack());
    testfiles::TempDir temporary;
    fs::create_directories(work.file("bin"));
    std::ofstream(work.file("victim")) << "precious";
    // A stand-in for ffmpeg that insists on being handed open files, never
    // names: then, as another user in a shared folder would, it swaps the
    // video's temporary name for a link to a file of the capturing user, and
    // writes the video where it was told to.
    {
        std::ofstream script(work.file("bin/ffmpeg"));
        script << "#!/bin/sh\n"
                  "for arg; do case $arg in file:*)\n"
                  "  path=${arg#file:}\n"
                  "  case $path in /proc/self/fd/*) ;; *) echo \"handed a name: $path\" >&2; exit 3;; esac\n"
                  "  out=$path;;\n"
                  "esac; done\n"
                  "for name in \"$PWD\"/clip.mp4.partial-*; do rm -f \"$name\"; ln -s \"$PWD/victim\" \"$name\"; done\n"
                  "cat >/dev/null\n"
                  "printf 'whole video' >\"$out\"\n";
    }
    fs::permissions(work.file("bin/ffmpeg"), fs::perms::owner_all);

    const std::vector<std::string> span = {"--size", "320x240", "--fps", "10", "--from", "40", "--to", "42"};
    // Frames of the test pictures' plain colours are small even at this size,
    // but larger than the console lines, which the limit holds back too.
    const std::vector<std::string> bigFrames = {"--size", "1600x1200", "--fps", "10", "--from", "40", "--to", "41"};
    const std::string tmp = temporary.directory();
    const std::string standIn = work.file("bin") + ":/usr/bin:/bin";
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string out;
        std::string path; // "": the machine's, with the real ffmpeg
        std::optional<long long> fileSizeLimit;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"a file-size limit on the sound for the video", span, "clip.mp4", "", 100000,
         "cannot write the sound for the video in " + tmp + ": File too large"},
        {"a file-size limit on a frame", bigFrames, "frames", "", 2500, "File too large"},
        {"the temporary video swapped for a link", span, "clip.mp4", standIn, std::nullopt,
         "ffmpeg left an incomplete video: it was replaced while ffmpeg wrote it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = c.args;
        args.push_back(c.out);
        RunOptions options;
        options.env["TMPDIR"] = tmp;
        if (!c.path.empty())
            options.env["PATH"] = c.path;
        options.fileSizeLimit = c.fileSizeLimit;
        const CaptureRun run = capture(work.path(), args, options);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.err.rfind("brakvane-capture: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(folderNames(work.path()), (std::vector<std::string>{"bin", "data", "victim"}));
        EXPECT_EQ(folderNames(temporary.directory()), std::vector<std::string>{});
        std::ifstream victim(work.file("victim"));
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "precious");
    }
}

TEST(CaptureSafety, ClosedStreamsLongestNamesAndNoDataAreHandledAsTheyShouldBe)
{
    Workspace work(steadyTrack());
    const CaptureRun reference = capture(work.path(), {"--at", "55", "open.png"});
    ASSERT_EQ(reference.status, 0) << reference.err;
    testfiles::TempDir empty;
    const std::string longest(255 - 4, 'n'); // with ".png" or ".mp4", as long as a name may be
    const std::vector<std::string> video = {"--size", "64x48", "--fps", "10", "--to", "1"};
    struct Case {
        const char* what;
        std::vector<std::string> args; // the output name last
        std::vector<int> closed;
        int status = 0;
        std::string says; // on standard error
        bool withoutData = false;
        std::map<std::string, std::optional<std::string>> env;
    };
    std::vector<Case> cases = {
        {"all three standard streams closed", {"--at", "55", "closed.png"}, {0, 1, 2}},
        {"standard output closed", {"--at", "55", "closed.png"}, {1}},
        {"input and output closed under a video", withOut(video, "clip.mp4"), {0, 1}},
        {"a picture named as long as a name may be", {"--at", "55", longest + ".png"}},
        {"a video named so", withOut(video, longest + ".mp4")},
        {"frames in a folder named so", {"--fps", "10", "--to", "1", longest + "...."}},
        {"a name longer than that", {"--at", "55", longest + "n.png"}, {}, 1, "File name too long"},
        {.what = "a name that would split the message and fake another",
         .args = {"--at", "55", "no\nbrakvane-capture: done/x.png"},
         .status = 1,
         .says = "brakvane-capture: cannot write no\\nbrakvane-capture: done/x.png: No such file or directory\n"},
        {.what = "no data anywhere",
         .args = {"--at", "55", "black.png"},
         .status = 1,
         .says = "brakvane-capture: no data folder found; looked in the working directory (" + empty.directory() + ")",
         .withoutData = true},
    };
    // The music up to 55 s takes some 10 MB in one block.
    if (auto env = testsupport::failingNewAbove(4 << 20); !env.empty())
        cases.push_back({.what = "memory that runs out while the music is decoded",
                         .args = {"--at", "55", "short.png"},
                         .status = 1,
                         .says = "brakvane-capture: out of memory while decoding the music\n",
                         .env = env});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = c.withoutData ? empty.directory() : work.path();
        const std::string out = c.args.back();
        const CaptureRun run = capture(folder, c.args, {.env = c.env, .closedDescriptors = c.closed});
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        std::vector<std::string> expected =
            c.withoutData ? std::vector<std::string>{} : std::vector<std::string>{"data", "open.png"};
        if (c.status == 0)
            expected.push_back(out);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(folderNames(folder), expected) << "nothing stray";
        if (c.status != 0)
            continue;
        if (out.ends_with(".png"))
            EXPECT_EQ(fileBytes(work.file(out)), fileBytes(work.file("open.png"))) << "the same picture";
        else if (out.ends_with(".mp4"))
            EXPECT_EQ(videoFrames(work.file(out)), 10);
        else
            EXPECT_EQ(folderNames(work.file(out)).size(), 10u);
        fs::remove_all(work.file(out));
    }
}
