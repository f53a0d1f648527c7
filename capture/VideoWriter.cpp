// ffmpeg's command line and its process. Each container gets codecs that every
// common player opens: H.264 (High profile) with AAC in .mp4, H.264 with
// lossless FLAC in .mkv, VP9 with Opus in .webm; the frames arrive as 4:2:0
// with the BT.709 matrix and are tagged so, which is how their sRGB colours
// are shown. The raw frames' own matrix, range, primaries and transfer are
// stated before they are read: an ffmpeg that meets frames of unknown colour
// (7.1 does) converts them once more to the output's, through RGB, and every
// colour shifts. H.264 uses x264's fastest preset at quality 18, with the 8x8
// transform of the High profile that compo rules ask for: the pictures come
// out as close to the frames as with slower presets (the 4:2:0 colour
// sampling dominates what is lost), in files about twice the size, and
// encoding keeps ahead of real time next to the software renderer.
//
// ffmpeg opens no file by name: the video's temporary file and the sound
// file are created here (exclusively, never through a symbolic link) and
// ffmpeg inherits their descriptors, named to it as "file:/proc/self/fd/N".
// Opening that reaches the very file the descriptor holds, so another user
// who swaps the temporary name for a symbolic link in a shared folder cannot
// make ffmpeg write through it; and no name can be taken for an option
// ("-x.mp4") or a protocol ("take2:final.mp4").
#include "capture/VideoWriter.h"

#include "capture/AudioSpanFile.h"
#include "capture/Interrupt.h"
#include "capture/VideoFileCheck.h"
#include "capture/Yuv420.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::vector<std::string> ffmpegArguments(const std::string& program, const VideoJob& job, int output)
{
    const bool sound = job.audio && job.audio->frames() > 0;
    // -xerror: any error ends ffmpeg with a failure status; at error level
    // it says nothing else, so anything it says is a failure too.
    std::vector<std::string> args = {
        program,
        "-hide_banner",
        "-nostdin",
        "-loglevel",
        "error",
        "-xerror",
        "-y",
        "-f",
        "rawvideo",
        "-pixel_format",
        "yuv420p",
        "-video_size",
        std::to_string(job.width) + "x" + std::to_string(job.height),
        "-framerate",
        std::to_string(job.fps),
        "-colorspace",
        "bt709",
        "-color_range",
        "tv",
        "-color_primaries",
        "bt709",
        "-color_trc",
        "bt709",
        "-i",
        "pipe:0",
    };
    if (sound)
        args.insert(args.end(), {"-f", "wav", "-i", "file:" + descriptorPath(job.audio->descriptor())});
    args.insert(args.end(), {"-map", "0:v:0"});
    if (sound)
        args.insert(args.end(), {"-map", "1:a:0"});

    args.insert(args.end(), {"-pix_fmt", "yuv420p", "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc",
                             "bt709", "-color_range", "tv"});
    if (job.format == "webm")
        args.insert(args.end(), {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-row-mt", "1",
                                 "-crf", std::to_string(job.crf.value_or(24)), "-b:v", "0"});
    else
        args.insert(args.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-x264-params", "8x8dct=1", "-profile:v",
                                 "high", "-crf", std::to_string(job.crf.value_or(18))});

    if (sound) {
        // Silence before the track (a span that starts before 0) and after
        // it, then cut: the sound lasts exactly as long as the pictures.
        std::string filter;
        if (job.audio->lead() > 0)
            filter += "adelay=delays=" + std::to_string(job.audio->lead()) + "S:all=1,";
        filter += "apad=whole_len=" + std::to_string(job.audioFrames) +
                  ",atrim=end_sample=" + std::to_string(job.audioFrames);
        args.insert(args.end(), {"-af", filter});
        if (job.format == "webm")
            args.insert(args.end(), {"-c:a", "libopus", "-b:a", "160k"});
        else if (job.format == "matroska")
            args.insert(args.end(), {"-c:a", "flac"});
        else
            args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k"});
    }
    if (job.format == "mp4")
        args.insert(args.end(), {"-movflags", "+faststart"});
    args.insert(args.end(), {"-f", job.format, "file:" + descriptorPath(output)});
    return args;
}

} // namespace

std::string findOnPath(const std::string& program)
{
    if (program.find('/') != std::string::npos)
        return ::access(program.c_str(), X_OK) == 0 ? program : "";
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        // An empty entry of PATH means the current folder.
        const std::string folder = end > start ? folders.substr(start, end - start) : std::string(1, '.');
        std::string candidate = folder;
        candidate += '/';
        candidate += program;
        struct stat status{};
        if (::stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

VideoWriter::~VideoWriter()
{
    abort();
}

bool VideoWriter::open(const std::string& out, std::string& error)
{
    return file.open(out, error);
}

bool VideoWriter::start(const std::string& ffmpeg, const VideoJob& job, std::string& error)
{
    format = job.format;
    frameBytes = yuv420Bytes(job.width, job.height);

    // What ffmpeg says goes to a file without a name, read back for the messages.
    std::string where;
    messages = anonymousTemporaryFile("brakvane-ffmpeg", where);
    if (messages < 0) {
        error = "cannot start ffmpeg: no file for its messages in " + where;
        return false;
    }
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    // A larger pipe lets a whole frame or so wait in it, so drawing the next
    // frame overlaps with ffmpeg reading this one (best effort).
    ::fcntl(pipeEnds[1], F_SETPIPE_SZ, 1 << 20);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, pipeEnds[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&files, messages, STDERR_FILENO);
    // A descriptor duplicated onto itself stays open in ffmpeg, under the
    // number its arguments name.
    posix_spawn_file_actions_adddup2(&files, file.descriptor(), file.descriptor());
    if (job.audio && job.audio->frames() > 0)
        posix_spawn_file_actions_adddup2(&files, job.audio->descriptor(), job.audio->descriptor());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        sigaddset(&signals, sig);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    const std::vector<std::string> args = ffmpegArguments(ffmpeg, job, file.descriptor());
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid, ffmpeg.c_str(), &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeEnds[0]);
    if (spawned != 0) {
        pid = -1;
        ::close(pipeEnds[1]);
        error = "cannot start " + ffmpeg + ": " + std::strerror(spawned);
        return false;
    }
    input = pipeEnds[1];
    return true;
}

bool VideoWriter::writeFrame(const unsigned char* yuv, std::string& error)
{
    std::size_t left = frameBytes;
    while (left > 0) {
        const ssize_t written = ::write(input, yuv, left);
        if (written >= 0) {
            yuv += written;
            left -= static_cast<std::size_t>(written);
            continue;
        }
        if (errno == EINTR) {
            if (captureInterrupted())
                return false;
            continue;
        }
        // ffmpeg stopped reading: it has failed and says why on its way out.
        error = failure("ffmpeg stopped", true);
        return false;
    }
    return true;
}

bool VideoWriter::finish(std::string& error)
{
    if (pid < 0)
        return false;
    ::close(input);
    input = -1;
    if (captureInterrupted())
        return false;
    const int status = waitForExit(true);
    if (status == -1)
        return false; // interrupted while ffmpeg was finishing
    if (status != 0) {
        error = failure("ffmpeg failed (" + ending + ")");
        return false;
    }
    const std::string said = lastWords();
    if (!said.empty()) {
        error = "ffmpeg reported an error: " + said;
        return false;
    }
    // The file ffmpeg wrote must still be ours, and whole.
    struct stat written{};
    struct stat named{};
    std::string problem;
    if (::fstat(file.descriptor(), &written) != 0 || ::stat(file.temporaryPath().c_str(), &named) != 0 ||
        written.st_dev != named.st_dev || written.st_ino != named.st_ino)
        problem = "it was replaced while ffmpeg wrote it";
    else
        videoFileComplete(file.descriptor(), format, problem);
    if (!problem.empty()) {
        error = "ffmpeg left an incomplete video: " + problem;
        return false;
    }
    return file.commit(error);
}

void VideoWriter::abort()
{
    if (input >= 0) {
        ::close(input);
        input = -1;
    }
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        waitForExit(false);
    }
    if (messages >= 0) {
        ::close(messages);
        messages = -1;
    }
}

int VideoWriter::waitForExit(bool interruptible)
{
    int status = 0;
    for (;;) {
        if (::waitpid(pid, &status, 0) == pid)
            break;
        if (errno != EINTR) {
            pid = -1;
            ending = "its status unknown";
            return 1;
        }
        if (interruptible && captureInterrupted())
            return -1;
    }
    pid = -1;
    ending = describeEnding(status);
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

std::string VideoWriter::failure(const std::string& what, bool sayHowItEnded)
{
    if (input >= 0) {
        ::close(input);
        input = -1;
    }
    std::string said = what;
    if (pid > 0 && waitForExit(false) != 0 && sayHowItEnded)
        said += " (" + ending + ")";
    const std::string words = lastWords();
    return words.empty() ? said : said + ": " + words;
}

std::string describeEnding(int status)
{
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    if (!WIFSIGNALED(status))
        return "status " + std::to_string(status);
    const int sig = WTERMSIG(status);
    const char* name = ::sigabbrev_np(sig);
    const char* description = ::strsignal(sig);
    return std::string("killed by ") + (name ? std::string("SIG") + name : "signal " + std::to_string(sig)) +
           (description ? std::string(": ") + description : std::string());
}

std::string VideoWriter::lastWords() const
{
    // The last few lines ffmpeg wrote, joined on one line.
    std::string text;
    if (messages >= 0) {
        const off_t size = ::lseek(messages, 0, SEEK_END);
        const off_t from = size > 2000 ? size - 2000 : 0;
        text.resize(static_cast<std::size_t>(std::max<off_t>(0, size - from)));
        const ssize_t got = ::pread(messages, text.data(), text.size(), from);
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    constexpr std::size_t kept = 3;
    std::string said;
    for (std::size_t i = lines.size() > kept ? lines.size() - kept : 0; i < lines.size(); ++i)
        said += (said.empty() ? "" : " | ") + lines[i];
    return said;
}
