// The real demo on the desktop testbeds: drawn on a compositor (a paced
// Weston, GNOME's mutter or KDE's KWin), playing through a private sound
// server (PulseAudio, or PipeWire with its PulseAudio server) whose null sink
// is recorded from a few seconds before the demo starts, with the demo's frame
// log on. Shared by the desktop tests and the desktop benchmark.
#pragma once

#include "ChildProcess.h"
#include "CutOffsets.h"
#include "MonitorRecorder.h"
#include "Testbeds.h"
#include "assets/PngDecode.h"

#include <chrono>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

// Which desktop: the compositor and its monitor, its Wayland or X11 through
// its Xwayland; the sound server, as viewers' desktops configure it. The demo picks its sound
// output itself: PipeWire's graph where PipeWire runs, else PulseAudio.
struct DesktopStack {
    const char* name;
    bool xwayland;
    SoundServerKind server;
    int graphQuantum = 0;       // PipeWire: the graph's cycle in frames (0: the demo's own 1024)
    bool quantumForced = false; // held there by another client, whatever the demo asks
    int graphRate = 0;          // PipeWire: the graph's rate (0: the demo's own 44.1 kHz)
    int pulseLatencyMs = 0;     // PULSE_LATENCY_MSEC for the demo: what the server is told to hold
    // SDL_AUDIODRIVER for the demo, as desktops and launchers set it (null:
    // unset); alsa plays to ALSA's default device, the server's ALSA plugin.
    const char* audioDriver = nullptr;
    CompositorKind compositor = CompositorKind::weston;
    int monitorWidth = 800; // mutter and kwin (Weston's output is 800 x 600)
    int monitorHeight = 600;
    // SDL_VIDEODRIVER for the demo (null: unset), where a row names its path
    // whatever the demo would choose by itself.
    const char* videoDriver = nullptr;
};
// GNOME or KDE on a monitor of that size, with PipeWire at 48 kHz as both
// ship it, the demo told which path to take.
constexpr DesktopStack desktopStack(const char* name, CompositorKind compositor, bool xwayland, int width, int height)
{
    DesktopStack stack{name, xwayland, SoundServerKind::pipewire, 0, false, 48000};
    stack.compositor = compositor;
    stack.monitorWidth = width;
    stack.monitorHeight = height;
    stack.videoDriver = xwayland ? "x11" : "wayland";
    return stack;
}
inline constexpr DesktopStack waylandPulse{"Wayland, PulseAudio", false, SoundServerKind::pulseaudio};
inline constexpr DesktopStack waylandPulseHolding{
    "Wayland, PulseAudio holding 1.5 s", false, SoundServerKind::pulseaudio, 0, false, 0, 1500};
inline constexpr DesktopStack waylandPipeWire{"Wayland, PipeWire at 44.1 kHz", false, SoundServerKind::pipewire};
inline constexpr DesktopStack waylandPipeWire256{
    "Wayland, PipeWire at 48 kHz, 256-frame cycle", false, SoundServerKind::pipewire, 256, true, 48000};
inline constexpr DesktopStack waylandPipeWire1024{
    "Wayland, PipeWire at 48 kHz, 1024-frame cycle", false, SoundServerKind::pipewire, 1024, true, 48000};
inline constexpr DesktopStack waylandPipeWire2048{
    "Wayland, PipeWire at 48 kHz, 2048-frame cycle", false, SoundServerKind::pipewire, 2048, true, 48000};
inline constexpr DesktopStack xwaylandPulse{"X11 through Xwayland, PulseAudio", true, SoundServerKind::pulseaudio};
// The paths a viewer's environment names.
inline constexpr DesktopStack waylandNamedPulse{
    "Wayland, SDL_AUDIODRIVER=pulseaudio", false, SoundServerKind::pulseaudio, 0, false, 0, 0, "pulseaudio"};
inline constexpr DesktopStack waylandNamedPulseHolding{"Wayland, SDL_AUDIODRIVER=pulseaudio, holding 1.5 s",
                                                       false,
                                                       SoundServerKind::pulseaudio,
                                                       0,
                                                       false,
                                                       0,
                                                       1500,
                                                       "pulseaudio"};
inline constexpr DesktopStack waylandNamedAlsa{"Wayland, SDL_AUDIODRIVER=alsa, through the PulseAudio plugin",
                                               false,
                                               SoundServerKind::pulseaudio,
                                               0,
                                               false,
                                               0,
                                               0,
                                               "alsa"};
inline constexpr DesktopStack waylandNamedPipeWire2048{
    "Wayland, SDL_AUDIODRIVER=pipewire, PipeWire at 48 kHz, 2048-frame cycle",
    false,
    SoundServerKind::pipewire,
    2048,
    true,
    48000,
    0,
    "pipewire"};
inline constexpr DesktopStack waylandNamedPulseOnPipeWire{"Wayland, SDL_AUDIODRIVER=pulseaudio on PipeWire's server",
                                                          false,
                                                          SoundServerKind::pipewire,
                                                          0,
                                                          false,
                                                          0,
                                                          0,
                                                          "pulseaudio"};
inline constexpr DesktopStack gnomeXwayland720 =
    desktopStack("GNOME, X11 through Xwayland, 1280 x 720", CompositorKind::mutter, true, 1280, 720);
inline constexpr DesktopStack gnomeXwayland768 =
    desktopStack("GNOME, X11 through Xwayland, 1024 x 768", CompositorKind::mutter, true, 1024, 768);
inline constexpr DesktopStack gnomeWayland720 =
    desktopStack("GNOME, Wayland, 1280 x 720", CompositorKind::mutter, false, 1280, 720);
inline constexpr DesktopStack gnomeWayland768 =
    desktopStack("GNOME, Wayland, 1024 x 768", CompositorKind::mutter, false, 1024, 768);
inline constexpr DesktopStack kdeXwayland720 =
    desktopStack("KDE, X11 through Xwayland, 1280 x 720", CompositorKind::kwin, true, 1280, 720);
inline constexpr DesktopStack kdeXwayland768 =
    desktopStack("KDE, X11 through Xwayland, 1024 x 768", CompositorKind::kwin, true, 1024, 768);
inline constexpr DesktopStack kdeWayland720 =
    desktopStack("KDE, Wayland, 1280 x 720", CompositorKind::kwin, false, 1280, 720);
inline constexpr DesktopStack kdeWayland768 =
    desktopStack("KDE, Wayland, 1024 x 768", CompositorKind::kwin, false, 1024, 768);
// Named by its name in test listings.
inline void PrintTo(const DesktopStack& stack, std::ostream* out)
{
    *out << stack.name;
}

struct DesktopRunOptions {
    DesktopStack stack = waylandPulse;
    bool withSound = true;     // a sound server and the demo's music
    bool withMusicFile = true; // false: the demo's data without its music file
    double stopAfter = 0;      // timeline seconds after which the run is ended (0: to its end)
    int stalls = 0;            // stops of the whole process, stallShortest to stallLongest ms each
    int stallShortest = 100;
    int stallLongest = 300;
    double stallsFrom = 2.0; // timeline seconds between which the stalls fall
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
    // The sound server ended at this timeline moment and started again this many
    // seconds later (0: never), its clients' connections lost meanwhile.
    double serverGoneAt = 0;
    double serverGoneFor = 0;
};

// A stretch of digital silence between the first and the last sound recorded,
// when the sink played it (CLOCK_MONOTONIC seconds).
struct Silence {
    double begin;
    double end;
    bool inStall; // while the process or the server stood still, or right after
};

struct DesktopRunResult {
    std::string problem; // non-empty when the run could not be made
    std::string console; // the demo's standard output
    std::string errors;  // and its standard error
    std::string output;  // the sound output the demo named on standard error
    std::vector<LoggedFrame> frames;
    double repaintRate = 0; // the compositor's, from the probe client (0: not measured)
    double drawnRate = 0;   // the demo's new frames per second, past its first second
    double cappedRate = 0;  // where nothing paces presents, the refresh the demo caps at; else 0
    double cpuSecondsPerFrame = 0;
    std::vector<double> stallTimes; // timeline seconds at which each stall began
    std::vector<Stall> stalls;      // when each was, CLOCK_MONOTONIC (the process's and the server's)
    double soundStallTime = -1;     // timeline seconds at which the server was stopped
    std::vector<CutOffset> cuts;    // offsets at the crash cuts passed
    std::vector<CutOffset> lock;    // lock errors every half second of the run
    double recorderSpread = 0;      // the recording's own timing precision, seconds
    std::vector<Silence> silences;  // of at least 5 ms, since any restart
    double serverGoneTime = -1;     // timeline seconds at which the server was ended
    double serverBack = 0;          // CLOCK_MONOTONIC seconds at which it was up again
    double firstSoundBack = 0;      // and when the sink first played sound after that
    std::optional<int> exitStatus;
    // mutter and kwin: the monitor, shot by the compositor itself two seconds
    // into the show (the opening picture, once the window has settled), and the
    // output's mode ("WxH") once the demo has ended.
    PngImage screenshot;
    std::string screenshotProblem;
    std::string modeAfter;
};

DesktopRunResult runDemoOnDesktop(const DesktopRunOptions& options);

// What is wrong with the picture in the compositor's screenshot (mutter and
// kwin; empty when it is right): the demo's 4:3 area, full height, centred,
// not stretched, within 2 pixels of where it belongs on the monitor, and the
// monitor at its own mode once the demo has ended.
std::string pictureProblem(const DesktopRunResult& run, const DesktopStack& stack);

} // namespace testsupport
