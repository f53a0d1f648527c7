// brakvane-capture: renders the demo offline, frame by frame and exactly in
// time, to PNG pictures or a video, with no display server and no sound device.
#include "capture/Capture.h"
#include "capture/CaptureOptions.h"
#include "display/StandardStreams.h"

#include <iostream>

int main(int argc, char** argv)
{
    // Before any file is opened: a closed descriptor taken by the output
    // would mix console lines into the picture, or hand ffmpeg the video as
    // its input.
    openClosedStandardStreams();
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(argc, argv, options, error)) {
        captureMessage(error);
        return exitUsage;
    }
    if (options.help) {
        std::cout << captureUsage() << std::flush;
        return exitDone;
    }
    return runCapture(options);
}
