// The frame loop: draw each moment, read it back, hand it to the output.
// Everything that can fail without drawing (ffmpeg missing, a size OpenGL
// cannot draw, an output that cannot be written) is checked before the data
// is loaded, and every early end removes what was written so far.
#include "capture/Capture.h"

#include "assets/PngEncode.h"
#include "base/ShownName.h"
#include "capture/AudioSpanFile.h"
#include "capture/CaptureScene.h"
#include "capture/FrameSchedule.h"
#include "capture/Interrupt.h"
#include "capture/OutputFiles.h"
#include "capture/PngWorkers.h"
#include "capture/ProgressBar.h"
#include "capture/VideoWriter.h"
#include "capture/Yuv420.h"
#include "demo/DataFolder.h"
#include "demo/DemoFrames.h"
#include "display/OffscreenContext.h"
#include "display/PictureFit.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

namespace {

// The demo's own frame: every size keeps its shape.
constexpr int pictureWidth = DemoFrames::width;
constexpr int pictureHeight = DemoFrames::height;

// Sizes up to this are drawn by every OpenGL implementation there is; larger
// ones are first asked of a small context.
constexpr int surelyDrawable = 1024;

int interrupted()
{
    captureMessage("interrupted; nothing written");
    return exitInterrupted;
}

int failed(const std::string& reason)
{
    captureMessage(reason);
    return exitFailed;
}

constexpr const char* inexact =
    "the demo turned depth or stencil testing on while drawing into the frame without those buffers; "
    "the picture may be wrong";

// The picture's 4:3 rectangle, centred: the bars beside it (or above and
// below) stay black.
void drawIntoPictureArea(int width, int height)
{
    const PictureArea area = fitPicture(width, height, pictureWidth, pictureHeight);
    glViewport(area.x, area.bottom, area.width, area.height);
}

// One picture as read back: RGB with the top row first, or 4:2:0 YUV for a video.
class Frame {
public:
    Frame(int frameWidth, int frameHeight, bool forVideo)
        : width(frameWidth),
          height(frameHeight),
          yuv(forVideo),
          bytes(std::make_unique_for_overwrite<unsigned char[]>(yuv ? yuv420Bytes(width, height)
                                                                    : static_cast<std::size_t>(width) * height * 3))
    {}

    // Waits for the drawing and reads it. False when the picture may be wrong.
    bool read(OffscreenContext& gl)
    {
        if (!yuv)
            return gl.readFrame(bytes.get());
        bool exact = true;
        if (const unsigned char* rgba = gl.readFrameRgba(exact))
            rgbaToYuv420(rgba, width, height, bytes.get());
        return exact;
    }
    const unsigned char* data() const { return bytes.get(); }

private:
    int width;
    int height;
    bool yuv;
    std::unique_ptr<unsigned char[]> bytes;
};

// Draws moment t into the offscreen frame and starts the driver on it.
void renderMoment(OffscreenContext& gl, CaptureScene& scene, float t)
{
    gl.beginFrame();
    scene.draw(t);
    gl.flush();
}

int capturePicture(const CaptureOptions& options, const FrameSchedule& schedule, OffscreenContext& gl,
                   CaptureScene& scene, PendingFile& file)
{
    Frame frame(options.width, options.height, false);
    renderMoment(gl, scene, schedule.time(0));
    if (!frame.read(gl))
        return failed(inexact);
    std::vector<unsigned char> png;
    if (!encodePng(frame.data(), static_cast<unsigned>(options.width), static_cast<unsigned>(options.height), 3, png))
        return failed("cannot encode the picture");
    std::string error;
    if (!file.write(png, error))
        return failed(error);
    if (!file.commit(error))
        return error.empty() ? interrupted() : failed(error);
    return exitDone;
}

// Draws every frame of the schedule into frame and hands each to `take`,
// which returns false to stop (with a reason, or none when interrupted).
// Each frame is drawn while the one before is being handed over: the driver
// renders on threads of its own, so the two overlap.
template <class Take>
bool renderFrames(const FrameSchedule& schedule, OffscreenContext& gl, CaptureScene& scene, Frame& frame, Take take,
                  std::string& error)
{
    ProgressBar bar(schedule.count, schedule.count > 1 && ProgressBar::wanted());
    bar.update(0);
    renderMoment(gl, scene, schedule.time(0));
    for (std::int64_t i = 0; i < schedule.count; ++i) {
        if (captureInterrupted()) {
            bar.finish();
            return false;
        }
        if (!frame.read(gl))
            error = inexact;
        if (i + 1 < schedule.count)
            renderMoment(gl, scene, schedule.time(i + 1));
        if (!error.empty() || !take(i, error)) {
            bar.finish();
            return false;
        }
        bar.update(i + 1);
    }
    bar.finish();
    return true;
}

int captureFolder(const CaptureOptions& options, const FrameSchedule& schedule, OffscreenContext& gl,
                  CaptureScene& scene, FrameFolder& folder)
{
    std::string error;
    Frame frame(options.width, options.height, false);
    PngWorkers workers(folder, options.width, options.height);
    auto take = [&](std::int64_t i, std::string& reason) {
        if (workers.add(i, frame.data()))
            return true;
        workers.finish(reason); // a frame has failed: its reason
        return false;
    };
    const bool drawn = renderFrames(schedule, gl, scene, frame, take, error);
    if (!drawn && error.empty())
        return interrupted();
    if (!workers.finish(error))
        return failed(error);
    if (!folder.commit(error))
        return error.empty() ? interrupted() : failed(error);
    return exitDone;
}

int captureVideo(const CaptureOptions& options, const std::string& ffmpeg, const FrameSchedule& schedule,
                 OffscreenContext& gl, CaptureScene& scene, VideoWriter& writer)
{
    // The span in sample frames of the music, from the sample playing at the first frame.
    const std::int64_t firstSample = TrackSpectrum::frameAt(schedule.from);
    const std::int64_t samples = std::llround(schedule.duration() * TrackSpectrum::trackRate);
    AudioSpanFile audio;
    std::string error;
    if (!scene.hasMusic())
        captureMessage("no music: the video has no sound");
    else if (!audio.write(scene.music(), firstSample, samples, error))
        return failed(error);
    else if (audio.frames() == 0)
        captureMessage("the span lies outside the music: the video has no sound");

    VideoJob job;
    job.format = options.videoFormat;
    job.width = options.width;
    job.height = options.height;
    job.fps = schedule.fps;
    job.crf = options.crf;
    job.audio = &audio;
    job.audioFrames = samples;
    if (!writer.start(ffmpeg, job, error))
        return failed(error);
    Frame frame(options.width, options.height, true);
    auto take = [&](std::int64_t, std::string& reason) { return writer.writeFrame(frame.data(), reason); };
    if (!renderFrames(schedule, gl, scene, frame, take, error)) {
        writer.abort();
        return error.empty() ? interrupted() : failed(error);
    }
    if (!writer.finish(error)) {
        writer.abort();
        return error.empty() ? interrupted() : failed(error);
    }
    return exitDone;
}

// Whether OpenGL draws frames of the size asked for; a size too large is bad usage.
bool sizeDrawable(const CaptureOptions& options, int largest)
{
    if (std::max(options.width, options.height) <= largest)
        return true;
    captureMessage("--size: " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                   " is larger than OpenGL draws here (at most " + std::to_string(largest) + " on a side)");
    return false;
}

} // namespace

void captureMessage(const std::string& message)
{
    // Names in the message (the output's, a folder's) are shown escaped, so
    // that one holding a line break cannot split the message or fake another.
    std::cerr << "brakvane-capture: " << shownName(message) << std::endl;
}

namespace {

// The whole capture; stage names the step under way, for the message should
// memory run out.
int captureAll(const CaptureOptions& options, const char*& stage)
{
    stage = "preparing the output";
    std::string ffmpeg;
    if (options.output == CaptureOptions::Output::Video) {
        ffmpeg = findOnPath("ffmpeg");
        if (ffmpeg.empty())
            return failed("ffmpeg is needed for .mp4, .mkv and .webm videos but was not found on PATH "
                          "(on Debian: apt-get install ffmpeg)");
    }
    // Without its data the capture would draw black frames and call that done.
    const std::string dataFolder = findDataFolder();
    if (!holdsDataFolder(dataFolder))
        return failed("no data folder found; looked in " + dataFolderPlaces());
    if (std::max(options.width, options.height) > surelyDrawable) {
        OffscreenContext probe(16, 16);
        if (probe.ok() && !sizeDrawable(options, probe.largestSide()))
            return exitUsage;
    }

    // The output, checked and prepared before anything is drawn. Unwinding
    // from a failed allocation destroys these, which removes what they wrote.
    std::string error;
    PendingFile picture;
    FrameFolder folder;
    VideoWriter writer;
    // A picture is a schedule of one frame at its moment.
    const FrameSchedule schedule = options.output == CaptureOptions::Output::Picture
                                       ? FrameSchedule{options.at, options.fps, 1}
                                       : FrameSchedule{options.from, options.fps, options.frames};
    bool ready = false;
    switch (options.output) {
    case CaptureOptions::Output::Picture:
        ready = picture.open(options.out, error);
        break;
    case CaptureOptions::Output::Folder:
        ready = folder.open(options.out, schedule.count, error);
        break;
    case CaptureOptions::Output::Video:
        ready = writer.open(options.out, error);
        break;
    }
    if (!ready)
        return failed(error);

    stage = "setting up the renderer";
    OffscreenContext gl(options.width, options.height);
    if (!gl.ok())
        return failed("cannot render without a display: " + gl.error());
    if (!sizeDrawable(options, gl.largestSide()))
        return exitUsage;
    drawIntoPictureArea(options.width, options.height);

    const double until = schedule.from + schedule.duration();
    CaptureScene scene;
    scene.load(dataFolder, until, stage);
    if (captureInterrupted())
        return interrupted();

    stage = "rendering";
    switch (options.output) {
    case CaptureOptions::Output::Picture:
        return capturePicture(options, schedule, gl, scene, picture);
    case CaptureOptions::Output::Folder:
        return captureFolder(options, schedule, gl, scene, folder);
    case CaptureOptions::Output::Video:
        return captureVideo(options, ffmpeg, schedule, gl, scene, writer);
    }
    return exitFailed;
}

} // namespace

int runCapture(const CaptureOptions& options)
{
    watchInterrupts();
    const char* stage = "starting";
    try {
        return captureAll(options, stage);
    } catch (const std::bad_alloc&) {
        return failed(std::string("out of memory while ") + stage);
    } catch (const std::system_error& e) {
        // What the standard library throws when the system refuses a thread
        // (or a lock, which only threads use here).
        return failed(std::string("cannot start a worker thread: ") + e.what());
    }
}
