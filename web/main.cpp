// The demo as a web page: the same frames (DemoFrames), the same timeline and
// spectrum, driven by the browser's frame callback instead of a blocking
// loop, with the moment taken from the music being heard.
#include "demo/DataPaths.h"
#include "demo/DemoFrames.h"
#include "web/PageOptions.h"
#include "web/WebCanvas.h"
#include "web/WebMusic.h"

#include <emscripten.h>
#include <iostream>
#include <memory>

namespace {

struct Page {
    PageOptions options;
    std::unique_ptr<WebCanvas> canvas;
    DemoFrames frames;
    std::unique_ptr<WebMusic> music;
    long frameCount = 0;
};

// The page's state lives as long as the page: main returns while the
// browser goes on calling frame().
std::unique_ptr<Page> page;

// Tells the page (and the tests) which moment the last frame showed.
void publishFrame(double t)
{
    EM_ASM(
        {
            Module['brakvaneFrames'] = $0;
            Module['brakvaneTime'] = $1;
        },
        static_cast<double>(page->frameCount), t);
}

void frame()
{
    double t = page->options.at.value_or(0);
    if (!page->options.at)
        t = page->music->position();
    const float time = static_cast<float>(t);
    const float spectrum0 =
        page->options.spectrum ? *page->options.spectrum : page->music->spectrumAt(static_cast<double>(time));
    page->frames.drawFrame(time, spectrum0);
    ++page->frameCount;
    publishFrame(time);
    if (!page->options.at && DemoFrames::over(time)) {
        // The last frame stays on the canvas; the music is closed.
        emscripten_cancel_main_loop();
        page->music.reset();
        EM_ASM({ Module['brakvaneOver'] = true; });
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::cout << "Kalvor Brakvane 0.1" << std::endl;
    page = std::make_unique<Page>();
    page->options = parsePageOptions(argc, argv);
    page->canvas = std::make_unique<WebCanvas>(DemoFrames::width, DemoFrames::height);
    // A fixed moment plays nothing and needs the track only up to that moment.
    const bool fixed = page->options.at.has_value();
    page->music =
        std::make_unique<WebMusic>(dataPaths::music, !fixed, page->options.at.value_or(TrackSpectrum::maxSeconds));
    page->frames.loadAssets();
    if (!fixed)
        page->music->play();
    emscripten_set_main_loop(frame, 0, false);
    return 0;
}
