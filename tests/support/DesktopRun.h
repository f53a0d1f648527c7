// The real demo on the desktop testbeds: drawn on a paced Weston compositor,
// playing through a PulseAudio server whose sink is recorded from a few
// seconds before the demo starts, with the demo's frame log on. Shared by the
// desktop tests and the desktop benchmark.
#pragma once

#include "ChildProcess.h"
#include "CutOffsets.h"
#include "MonitorRecorder.h"
#include "Testbeds.h"

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

// Which desktop: the compositor's Wayland, or X11 through its Xwayland; the
// sound server, and which SDL audio driver plays to it.
struct DesktopStack {
    const char* name;
    bool xwayland;
    SoundServerKind server;
    const char* audioDriver; // SDL_AUDIODRIVER: "pulseaudio" or "pipewire"
    int graphQuantum = 0;    // PipeWire: the graph's smallest cycle in frames (0: the demo's own)
};
inline constexpr DesktopStack waylandPulse{"Wayland, PulseAudio", false, SoundServerKind::pulseaudio, "pulseaudio"};
inline constexpr DesktopStack waylandPipeWirePulse{"Wayland, PipeWire's PulseAudio server", false,
                                                   SoundServerKind::pipewire, "pulseaudio"};
inline constexpr DesktopStack waylandPipeWire{"Wayland, SDL's PipeWire driver", false, SoundServerKind::pipewire,
                                              "pipewire"};
inline constexpr DesktopStack xwaylandPulse{"X11 through Xwayland, PulseAudio", true, SoundServerKind::pulseaudio,
                                            "pulseaudio"};

struct DesktopRunOptions {
    DesktopStack stack = waylandPulse;
    bool withSound = true;     // a sound server and the demo's music
    bool withMusicFile = true; // false: the demo's data without its music file
    double stopAfter = 0;      // timeline seconds after which the run is ended (0: to its end)
    int stalls = 0;            // stops of the whole process, 100 to 300 ms each
    double stallsFrom = 2.0;   // timeline seconds between which the stalls fall
    double stallsUntil = 0;
    unsigned seed = 0; // 0: a new seed each run
    // The sound server's front (PipeWire: session manager and PulseAudio
    // server; PulseAudio: all of it) held stopped from the demo's start for
    // this long, so its first sound comes late (seconds; 0: not held).
    double firstSoundLate = 0;
    // The sound server held stopped for this long from this timeline moment
    // (seconds; 0: never).
    double soundStallAt = 0;
    double soundStall = 0;
};

struct DesktopRunResult {
    std::string problem; // non-empty when the run could not be made
    std::string console; // the demo's standard output
    std::string errors;  // and its standard error
    std::vector<LoggedFrame> frames;
    double repaintRate = 0; // the compositor's, from the probe client
    double drawnRate = 0;   // the demo's new frames per second, past its first second
    double cappedRate = 0;  // where nothing paces presents, the refresh the demo caps at; else 0
    double cpuSecondsPerFrame = 0;
    std::vector<double> stallTimes; // timeline seconds at which each stall began
    std::vector<Stall> stalls;      // when each was, CLOCK_MONOTONIC (the process's and the server's)
    double soundStallTime = -1;     // timeline seconds at which the server was stopped
    std::vector<CutOffset> cuts;    // offsets at the crash cuts passed
    std::vector<CutOffset> lock;    // lock errors every half second of the run
    double recorderSpread = 0;      // the recording's own timing precision, seconds
    std::optional<int> exitStatus;
};

DesktopRunResult runDemoOnDesktop(const DesktopRunOptions& options);

} // namespace testsupport
