// Desktop testbeds started by the tests themselves: a headless compositor
// (Weston, pacing presents like a display; GNOME's mutter; KDE's KWin), with
// Xwayland for X11 clients if asked, and a private sound server with a null
// sink: PulseAudio, or PipeWire with WirePlumber and PipeWire's PulseAudio
// server. Each runs from the scripts in tests/testbeds/ in a private directory
// and is stopped, and its directory removed, with the object; one that cannot
// start says why, with the last lines of its logs.
#pragma once

#include "ChildProcess.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

enum class CompositorKind {
    weston, // Weston, pacing its 800 x 600 headless output like a display
    mutter, // GNOME's, headless with a virtual monitor at 60 Hz
    kwin,   // KDE Plasma's, with a virtual output at 60 Hz
};

class Compositor {
public:
    // Starts the compositor and waits until a client (wayland-info) sees its
    // output and its seat. xwayland: X11 clients are served too, through
    // Xwayland. mutter and kwin only: the monitor's size, and (mutter) the
    // PipeWire that carries its screen casts, the sound server's directory.
    explicit Compositor(CompositorKind kind = CompositorKind::weston, bool xwayland = false, int width = 800,
                        int height = 600, const std::string& pipewire = {});
    ~Compositor();
    Compositor(const Compositor&) = delete;
    Compositor& operator=(const Compositor&) = delete;

    // Whether the compositor of that kind is installed (Weston always is
    // where the testbeds are built).
    static bool installed(CompositorKind kind);
    bool running() const { return ready; }
    // Why it is not running, for the test's message.
    const std::string& problem() const { return failure; }
    // XDG_RUNTIME_DIR and WAYLAND_DISPLAY for a client; DISPLAY (and
    // XAUTHORITY) too with Xwayland, else removed.
    std::map<std::string, std::optional<std::string>> clientEnvironment() const;
    // mutter and kwin: starts saving what the monitor shows to path (RGB or
    // RGBA PNG), through the compositor's own interface; null for Weston.
    // mutter casts only while something on screen changes.
    std::unique_ptr<ChildProcess> startScreenshot(const std::string& path) const;
    // The current mode of the compositor's output, as a client sees it:
    // "WxH", empty when there is none.
    std::string outputMode() const;

private:
    CompositorKind kind;
    pid_t pid = -1;
    std::string runtime;
    std::string pipewire;
    std::string xDisplay; // ":N" with Xwayland
    std::string xAuthority;
    std::string failure;
    bool ready = false;
};

// A client that presents as fast as the compositor lets it (weston-simple-egl
// with its default swap interval): while nothing covers its window, its frame
// rate is the compositor's repaint rate. A covered window may get no frames at
// all (Weston 14 sends none to a window a full-screen one hides), so the probe
// is started once the window it is measured against is up: the shell puts
// the newest window on top.
class RepaintProbe {
public:
    explicit RepaintProbe(const Compositor& compositor);
    // Ends the client and returns its frames per second over its whole
    // reports (one every 5 seconds); 0 when it reported none.
    double finish();

private:
    std::unique_ptr<ChildProcess> client;
};

enum class SoundServerKind {
    pulseaudio, // PulseAudio itself
    pipewire,   // PipeWire, WirePlumber and PipeWire's PulseAudio server
};

// A private sound server of either kind, reached by PulseAudio clients at
// address() (PipeWire through its PulseAudio server) and by PipeWire's own
// clients in runtimeDirectory().
class SoundServer {
public:
    // Starts the server and waits until it accepts clients and its null sink
    // is the default. PipeWire only: graphQuantum, the graph's smallest cycle
    // in frames (0: the demo's own 1024, as on a desktop where it plays alone),
    // held there whatever the clients ask if `forced`; graphRate, the graph's
    // and the sink's rate (0: the demo's own 44.1 kHz).
    explicit SoundServer(SoundServerKind kind = SoundServerKind::pulseaudio, int graphQuantum = 0, int graphRate = 0,
                         bool forced = false);
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    bool running() const { return ready; }
    const std::string& problem() const { return failure; }
    // The PULSE_SERVER value for clients.
    std::string address() const { return "unix:" + directory + socket; }
    // Where PipeWire's own clients find it (PIPEWIRE_RUNTIME_DIR).
    const std::string& runtimeDirectory() const { return directory; }
    // An ALSA configuration whose default device plays to this server through
    // ALSA's PulseAudio plugin, as ALSA applications play on a desktop: the
    // ALSA_CONFIG_PATH for a client.
    std::string alsaConfig() const { return directory + "/asound.conf"; }
    // Stops (SIGSTOP) or continues every process of the server: while
    // stopped, nothing is played and no client is answered.
    void hold(bool stopped);
    // Holds back (or lets go) what a new client's first sound waits for,
    // while the sink's clock runs on: with PipeWire its session manager and
    // PulseAudio server, with PulseAudio the whole server.
    void holdFirstSound(bool held);
    // The source that hears what the null sink plays.
    static const char* monitorSource() { return "brakvane.monitor"; }
    // Ends the server and everything it started, as a crash would: its clients
    // lose their connections. restart() starts it again in the same place.
    void stopServer();
    bool restart();

private:
    void launch();

    pid_t pid = -1;
    const char* script = "";
    std::vector<std::string> args;
    std::string directory;
    std::string socket;
    std::string failure;
    bool ready = false;
};

} // namespace testsupport
