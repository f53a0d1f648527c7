// brakvane-capture: renders the demo offline, frame by frame and exactly in
// time, to PNG pictures or a video, with no display server and no sound device.
#include "capture/Capture.h"
#include "capture/CaptureOptions.h"

#include <iostream>

int main(int argc, char** argv)
{
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
