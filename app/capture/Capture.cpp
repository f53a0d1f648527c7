// The frame loop: draw each moment, read it back, hand it to the output.
// Everything that can fail without drawing (ffmpeg missing, no OpenGL) is
// checked before the data is loaded, and every early end removes what was
// written so far.
#include "app/capture/Capture.h"

#include "app/capture/AudioSpanFile.h"
#include "app/capture/CaptureScene.h"
#include "app/capture/FrameSchedule.h"
#include "app/capture/Interrupt.h"
#include "app/capture/OutputFiles.h"
#include "app/capture/PngWorkers.h"
#include "app/capture/ProgressBar.h"
#include "app/capture/VideoWriter.h"
#include "assets/PngEncode.h"
#include "display/OffscreenContext.h"

#include <cmath>
#include <iostream>
#include <memory>
#include <vector>

namespace {

constexpr int frameWidth = DemoFrames::width;
constexpr int frameHeight = DemoFrames::height;

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

// One picture as read back: RGB, the top row first.
struct Frame {
    std::unique_ptr<unsigned char[]> rgb =
        std::make_unique_for_overwrite<unsigned char[]>(std::size_t{frameWidth} * frameHeight * 3);
};

int capturePicture(const CaptureOptions& options, OffscreenContext& gl, CaptureScene& scene)
{
    Frame frame;
    gl.beginFrame();
    scene.draw(static_cast<float>(options.at));
    if (!gl.readFrame(frame.rgb.get()))
        return failed(inexact);
    std::vector<unsigned char> png;
    if (!encodePng(frame.rgb.get(), frameWidth, frameHeight, 3, png))
        return failed("cannot encode the picture");
    if (captureInterrupted())
        return interrupted();
    std::string error;
    if (!writeFileAtomically(options.out, png, error))
        return failed(error);
    return exitDone;
}

void drawFrame(OffscreenContext& gl, CaptureScene& scene, float t)
{
    gl.beginFrame();
    scene.draw(t);
    gl.flush();
}

// Draws every frame of the schedule and hands each to `take`, which returns
// false to stop (with a reason, or none when interrupted). Each frame is
// drawn while the one before is being handed over: the driver renders on
// threads of its own, so the two overlap.
template <class Take>
bool renderFrames(const FrameSchedule& schedule, OffscreenContext& gl, CaptureScene& scene, Take take,
                  std::string& error)
{
    Frame frame;
    ProgressBar bar(schedule.count, schedule.count > 1 && ProgressBar::wanted());
    bar.update(0);
    drawFrame(gl, scene, schedule.time(0));
    for (std::int64_t i = 0; i < schedule.count; ++i) {
        if (captureInterrupted()) {
            bar.finish();
            return false;
        }
        if (!gl.readFrame(frame.rgb.get()))
            error = inexact;
        if (i + 1 < schedule.count)
            drawFrame(gl, scene, schedule.time(i + 1));
        if (!error.empty() || !take(i, frame, error)) {
            bar.finish();
            return false;
        }
        bar.update(i + 1);
    }
    bar.finish();
    return true;
}

int captureFolder(const CaptureOptions& options, const FrameSchedule& schedule, OffscreenContext& gl,
                  CaptureScene& scene)
{
    FrameFolder folder;
    std::string error;
    if (!folder.open(options.out, schedule.count, error))
        return failed(error);
    PngWorkers workers(folder, frameWidth, frameHeight);
    auto take = [&](std::int64_t i, Frame& frame, std::string& reason) {
        if (workers.add(i, frame.rgb.get()))
            return true;
        workers.finish(reason);  // a frame has failed: its reason
        return false;
    };
    const bool drawn = renderFrames(schedule, gl, scene, take, error);
    if (!drawn && error.empty())
        return interrupted();
    if (!workers.finish(error))
        return failed(error);
    if (captureInterrupted())
        return interrupted();
    if (!folder.commit(error))
        return failed(error);
    return exitDone;
}

int captureVideo(const CaptureOptions& options, const std::string& ffmpeg, const FrameSchedule& schedule,
                 OffscreenContext& gl, CaptureScene& scene)
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
    job.out = options.out;
    job.format = options.videoFormat;
    job.width = frameWidth;
    job.height = frameHeight;
    job.fps = schedule.fps;
    job.audio = &audio;
    job.audioFrames = samples;
    VideoWriter writer;
    if (!writer.start(ffmpeg, job, error))
        return failed(error);
    auto take = [&](std::int64_t, Frame& frame, std::string& reason) {
        return writer.writeFrame(frame.rgb.get(), reason);
    };
    if (!renderFrames(schedule, gl, scene, take, error)) {
        writer.abort();
        return error.empty() ? interrupted() : failed(error);
    }
    if (!writer.finish(error)) {
        writer.abort();
        return error.empty() ? interrupted() : failed(error);
    }
    return exitDone;
}

} // namespace

void captureMessage(const std::string& message)
{
    std::cerr << "brakvane-capture: " << message << std::endl;
}

int runCapture(const CaptureOptions& options)
{
    watchInterrupts();
    const bool video = options.output == CaptureOptions::Output::Video;
    std::string ffmpeg;
    if (video) {
        ffmpeg = findOnPath("ffmpeg");
        if (ffmpeg.empty())
            return failed("ffmpeg is needed for .mp4, .mkv and .webm videos but was not found on PATH "
                          "(on Debian: apt-get install ffmpeg)");
    }

    OffscreenContext gl(frameWidth, frameHeight);
    if (!gl.ok())
        return failed("cannot render without a display: " + gl.error());

    const FrameSchedule schedule{options.from, options.fps, options.frames};
    const double until = options.output == CaptureOptions::Output::Picture ? options.at
                                                                            : options.from + schedule.duration();
    CaptureScene scene;
    scene.load(until);
    if (captureInterrupted())
        return interrupted();

    switch (options.output) {
    case CaptureOptions::Output::Picture:
        return capturePicture(options, gl, scene);
    case CaptureOptions::Output::Folder:
        return captureFolder(options, schedule, gl, scene);
    case CaptureOptions::Output::Video:
        return captureVideo(options, ffmpeg, schedule, gl, scene);
    }
    return exitFailed;
}
