// The demo as a web page: the same frames (DemoFrames), the same timeline and
// spectrum, driven by the browser's animation frames instead of a blocking
// loop, with the moment locked to the music being heard (MusicClock, as in
// the live demo).
//
// The first frame is drawn as soon as the first picture is loaded; the
// other pictures and the model then load one per animation frame, and the
// track is decoded a piece per animation frame, while the page shows its
// progress. The music starts once the track is whole and the browser lets
// sound run; while it waits for the viewer's click or tap, nothing is
// redrawn and the loop sleeps until the page wakes it.
#include "demo/DataPaths.h"
#include "demo/DemoFrames.h"
#include "demo/MusicClock.h"
#include "web/PageOptions.h"
#include "web/WebCanvas.h"
#include "web/WebMusic.h"

#include <emscripten.h>
#include <emscripten/html5.h>
#include <iostream>
#include <memory>

namespace {

// Decoding work per animation frame while the track is loading: the page
// stays responsive and its progress moves, and the track is whole within
// a second or so.
constexpr double decodeBudgetMs = 25;

enum class Stage { loading, waiting, playing, over };

struct Page {
    PageOptions options;
    std::unique_ptr<WebCanvas> canvas;
    DemoFrames frames;
    std::unique_ptr<WebMusic> music;
    MusicClock clock;
    Stage stage = Stage::loading;
    double startedAt = 0; // emscripten_get_now() when the music was started, ms
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

// Draws moment t and tells the page which moment the last frame showed (and
// a frame log, when the page keeps one, the moment each frame's t was
// taken for: `now`, emscripten_get_now()).
void draw(double t, double now)
{
    const float time = static_cast<float>(t);
    const float spectrum0 =
        page->options.spectrum ? *page->options.spectrum : page->music->spectrumAt(static_cast<double>(time));
    page->frames.drawFrame(time, spectrum0);
    ++page->frameCount;
    EM_ASM(
        {
            Module['brakvaneFrames'] = $0;
            Module['brakvaneTime'] = $1;
            if (window['brakvaneFrameLog'])
                window['brakvaneFrameLog'].push([ $2, $1 ]);
        },
        static_cast<double>(page->frameCount), static_cast<double>(time), now);
}

// The moment 0 the demo starts from, drawn once while it loads or waits.
void drawIdle()
{
    if (!page->idleDrawn)
        draw(0, emscripten_get_now());
    page->idleDrawn = true;
}

EM_BOOL frame(double, void*)
{
    Page& p = *page;
    if (p.options.at) {
        draw(*p.options.at, emscripten_get_now());
        return EM_TRUE;
    }
    if (p.stage == Stage::loading) {
        drawIdle();
        if (p.assetsLoading) {
            p.assetsLoading = p.frames.loadNextAsset();
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
            drawIdle();
            publishStage(1);
            // Nothing moves until the viewer starts the sound: the page wakes the loop.
            p.looping = false;
            return EM_FALSE;
        }
        p.music->play();
        p.startedAt = emscripten_get_now();
        p.stage = Stage::playing;
        publishStage(1);
    }
    const double now = emscripten_get_now();
    const auto timer = static_cast<float>((now - p.startedAt) / 1000.0);
    const double t = p.clock.frameTime(timer, p.music->heard(now));
    draw(t, now);
    if (DemoFrames::over(static_cast<float>(t))) {
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
    // A fixed moment plays nothing and needs the track only up to that moment,
    // decoded before its first frame so that the frame has its spectrum.
    const bool fixed = page->options.at.has_value();
    page->music =
        std::make_unique<WebMusic>(dataPaths::music, !fixed, page->options.at.value_or(TrackSpectrum::maxSeconds));
    if (fixed) {
        page->frames.loadAssets();
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
