// The demo as a web page: the same frames (DemoFrames), the same timeline and
// spectrum, driven by the browser's animation frames instead of a blocking
// loop, with the moment locked to the music being heard (the show clock, as
// in the live demo), each frame drawn for when it will be seen.
//
// The first frame is drawn as soon as the first picture is loaded; the
// other pictures and the model then load one per animation frame, every
// scene is drawn once off screen (as the live demo does before its show, so
// that no frame at a cut does first-time work), and the track is decoded a
// piece per animation frame, while the page shows its progress. The music
// starts once the track is whole and the browser lets sound run; while it
// waits for the viewer's click or tap, nothing is redrawn and the loop
// sleeps until the page wakes it. Without WebGL the page is told, and
// nothing runs.
#include "demo/DataPaths.h"
#include "demo/DemoFrames.h"
#include "demo/ShowClock.h"
#include "web/PageOptions.h"
#include "web/WebCanvas.h"
#include "web/WebMusic.h"

#include <algorithm>
#include <array>
#include <emscripten.h>
#include <emscripten/html5.h>
#include <iostream>
#include <memory>
#include <utility>

namespace {

// Decoding work per animation frame while the track is loading: the page
// stays responsive and its progress moves, and the track is whole within
// a second or so.
constexpr double decodeBudgetMs = 25;

enum class Stage { loading, waiting, playing, over };

// The display's frame interval, as the animation frames' timestamps show it:
// the shortest of the last few intervals, since a busy or hidden page skips
// frames (its intervals are then two or more of the display's) but never
// runs faster than the display. 60 Hz until there are any. And how long a
// frame stays on screen: the page's own step between frames, the median of
// the same intervals (the display's where the page keeps up, two of them
// where it draws every other refresh).
class FrameInterval {
public:
    void frameStarts(double timestamp)
    {
        const double interval = timestamp - last;
        last = timestamp;
        if (interval < 4 || interval > 100)
            return;
        recent[next++ % recent.size()] = interval;
        count = std::min(count + 1, recent.size());
    }
    double ms() const
    {
        if (count == 0)
            return 1000.0 / 60;
        return *std::min_element(recent.begin(), recent.begin() + static_cast<long>(count));
    }
    double stepMs() const
    {
        if (count == 0)
            return 1000.0 / 60;
        std::array<double, 15> sorted = recent;
        const auto end = sorted.begin() + static_cast<long>(count);
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(count / 2), end);
        return sorted[count / 2];
    }

private:
    std::array<double, 15> recent{};
    std::size_t next = 0;
    std::size_t count = 0;
    double last = -1000;
};

struct Page {
    PageOptions options;
    std::unique_ptr<WebCanvas> canvas;
    DemoFrames frames;
    std::unique_ptr<WebMusic> music;
    std::unique_ptr<ShowClock> show;
    Stage stage = Stage::loading;
    double startedAt = 0; // emscripten_get_now() when the music was started, ms
    FrameInterval interval;
    bool idleDrawn = false;
    bool assetsLoading = true;
    bool looping = false;
    long frameCount = 0;
};

// The page's state lives as long as the page: main returns while the
// browser goes on calling frame().
std::unique_ptr<Page> page;

const char* stageName(Stage stage)
{
    switch (stage) {
    case Stage::loading:
        return "loading";
    case Stage::waiting:
        return "waiting";
    case Stage::playing:
        return "playing";
    case Stage::over:
        break;
    }
    return "over";
}

// Tells the page (its sign, and the tests) where the demo is.
void publishStage(double progress)
{
    EM_ASM(
        {
            if (Module['brakvaneStage'])
                Module['brakvaneStage'](UTF8ToString($0), $1);
        },
        stageName(page->stage), progress);
}

// Draws moment t in the animation frame that began at frameStart, and tells
// the page which moment the last frame showed (and a frame log, when the
// page keeps one: when it was drawn, emscripten_get_now(); its moment; how
// long drawing it took, in ms; frameStart; and the display's frame interval
// the page took, in ms).
void draw(double t, double frameStart)
{
    const float time = static_cast<float>(t);
    const float spectrum0 =
        page->options.spectrum ? *page->options.spectrum : page->music->spectrumAt(static_cast<double>(time));
    const double drawnAt = emscripten_get_now();
    page->frames.drawFrame(time, spectrum0);
    ++page->frameCount;
    EM_ASM(
        {
            Module['brakvaneFrames'] = $0;
            Module['brakvaneTime'] = $1;
            if (window['brakvaneFrameLog'])
                window['brakvaneFrameLog'].push([ $2, $1, $3, $4, $5 ]);
        },
        static_cast<double>(page->frameCount), static_cast<double>(time), drawnAt, emscripten_get_now() - drawnAt,
        frameStart, page->interval.ms());
}

// The moment 0 the demo starts from, drawn once while it loads or waits.
void drawIdle(double frameStart)
{
    if (!page->idleDrawn)
        draw(0, frameStart);
    page->idleDrawn = true;
}

// The show's clock over the page's sources: the page's own clock for the
// timer, and the music the page plays (the show clock's moments are seconds
// of that clock). The page plays once, from the start.
std::unique_ptr<ShowClock> makeShowClock(Page& p)
{
    ShowClock::Sources sources;
    sources.timer = [&p] { return static_cast<float>((emscripten_get_now() - p.startedAt) / 1000.0); };
    sources.restartTimer = [&p] { p.startedAt = emscripten_get_now(); };
    sources.heard = [&p](double seenAt) { return p.music->heard(seenAt * 1000.0); };
    sources.play = [&p](double) { p.music->play(); };
    return std::make_unique<ShowClock>(std::move(sources), DemoFrames::end);
}

// The moment of the show for the frame of the animation frame that began at
// frameStart (the page's clock, ms). The browser presents what is drawn now
// at its next composite, one display interval on, and shows it until the
// page's next frame, a step later.
double frameMoment(Page& p, double frameStart)
{
    const double presented = (frameStart + p.interval.ms()) / 1000.0;
    return p.show->next(ShowClock::seenAt(presented, p.interval.stepMs() / 1000.0));
}

EM_BOOL frame(double frameStart, void*)
{
    Page& p = *page;
    p.interval.frameStarts(frameStart);
    if (p.options.at) {
        draw(*p.options.at, frameStart);
        return EM_TRUE;
    }
    if (p.stage == Stage::loading) {
        drawIdle(frameStart);
        if (p.assetsLoading) {
            p.assetsLoading = p.frames.loadNextAsset();
            if (!p.assetsLoading)
                p.frames.warmUp();
            // Moment 0 drawn again once, with everything.
            p.idleDrawn = p.assetsLoading;
            return EM_TRUE;
        }
        if (p.music->decode(decodeBudgetMs)) {
            publishStage(p.music->progress());
            return EM_TRUE;
        }
        p.stage = Stage::waiting;
    }
    if (p.stage == Stage::waiting) {
        if (!p.music->ready()) {
            drawIdle(frameStart);
            publishStage(1);
            // Nothing moves until the viewer starts the sound: the page wakes the loop.
            p.looping = false;
            return EM_FALSE;
        }
        p.show = makeShowClock(p);
        p.show->begin();
        p.stage = Stage::playing;
        publishStage(1);
    }
    const double t = frameMoment(p, frameStart);
    draw(t, frameStart);
    if (!p.show->goOn(static_cast<float>(t))) {
        // The last frame stays on the canvas; the music stops.
        p.music->stop();
        p.stage = Stage::over;
        publishStage(1);
        p.looping = false;
        return EM_FALSE;
    }
    return EM_TRUE;
}

void startLoop()
{
    if (page->looping)
        return;
    page->looping = true;
    emscripten_request_animation_frame_loop(frame, nullptr);
}

} // namespace

// Called by the page when the browser lets sound run (a click, a tap).
extern "C" EMSCRIPTEN_KEEPALIVE void brakvaneWake()
{
    if (page && page->stage == Stage::waiting)
        startLoop();
}

int main(int argc, char** argv)
{
    std::cout << "Kalvor Brakvane 0.1" << std::endl;
    page = std::make_unique<Page>();
    page->options = parsePageOptions(argc, argv);
    page->canvas = std::make_unique<WebCanvas>(DemoFrames::width, DemoFrames::height);
    if (!page->canvas->ok()) {
        // The page says so, with the browser's reason; nothing is drawn or played.
        EM_ASM({
            if (Module['brakvaneFailed'])
                Module['brakvaneFailed']('webgl');
        });
        return 0;
    }
    // A fixed moment plays nothing and needs the track only up to that moment,
    // decoded before its first frame so that the frame has its spectrum.
    const bool fixed = page->options.at.has_value();
    page->music =
        std::make_unique<WebMusic>(dataPaths::music, !fixed, page->options.at.value_or(TrackSpectrum::maxSeconds));
    if (fixed) {
        // Warmed as the show is, so that the moment drawn is what the show draws.
        page->frames.loadAssets();
        page->frames.warmUp();
        while (page->music->decode(1000)) {
        }
    } else {
        // The first picture, for the first frame.
        page->assetsLoading = page->frames.loadNextAsset();
    }
    publishStage(0);
    startLoop();
    return 0;
}
