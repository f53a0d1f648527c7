#!/usr/bin/python3
# Saves what a compositor's own monitor shows as an RGB PNG, through the
# compositor's own interface on its session bus (DBUS_SESSION_BUS_ADDRESS):
#   screenshot.py mutter OUT.png   a screen cast of the monitor Meta-0, two
#                                  frames through PipeWire (PIPEWIRE_RUNTIME_DIR
#                                  names mutter's), the last one kept
#   screenshot.py kwin OUT.png     KWin's ScreenShot2 of the whole workspace
#                                  (KWin started with
#                                  KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1), or
#                                  where KWin draws into a virtual X server
#                                  (XDG_RUNTIME_DIR/monitor-x11 names it), that
#                                  server's screen
# X11's own screenshot (xwd -root) sees nothing on a rootless Xwayland.
import glob, os, struct, subprocess, sys, tempfile, zlib
import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib


def write_png(path, width, height, rgb):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + rgb[y * width * 3:(y + 1) * width * 3] for y in range(height))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                  chunk(b"IDAT", zlib.compress(rows, 1)) + chunk(b"IEND", b""))


def kwin(bus, out):
    monitor = os.path.join(os.environ.get("XDG_RUNTIME_DIR", ""), "monitor-x11")
    if os.path.exists(monitor):
        with open(monitor) as name:
            display = name.read().strip()
        subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "x11grab", "-i", display, "-frames:v", "1",
                        "-pix_fmt", "rgb24", out], check=True, timeout=20, stdin=subprocess.DEVNULL)
        return
    shot = dbus.Interface(bus.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"), "org.kde.KWin.ScreenShot2")
    read, write = os.pipe()
    meta = shot.CaptureWorkspace(dbus.Dictionary({}, signature="sv"), dbus.types.UnixFd(write))
    os.close(write)
    with os.fdopen(read, "rb") as pipe:
        data = pipe.read()
    width, height, stride = int(meta["width"]), int(meta["height"]), int(meta["stride"])
    # QImage's 32-bit formats: B, G, R, A in memory.
    rgb = bytearray(width * height * 3)
    for y in range(height):
        row = data[y * stride:y * stride + width * 4]
        line = memoryview(rgb)[y * width * 3:(y + 1) * width * 3]
        line[0::3], line[1::3], line[2::3] = row[2::4], row[1::4], row[0::4]
    write_png(out, width, height, bytes(rgb))


def mutter(bus, out):
    cast = dbus.Interface(bus.get_object("org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast"),
                          "org.gnome.Mutter.ScreenCast")
    path = cast.CreateSession(dbus.Dictionary({}, signature="sv"))
    session = dbus.Interface(bus.get_object("org.gnome.Mutter.ScreenCast", path),
                             "org.gnome.Mutter.ScreenCast.Session")
    stream = session.RecordMonitor("Meta-0", dbus.Dictionary({"cursor-mode": dbus.UInt32(0)}, signature="sv"))
    loop = GLib.MainLoop()
    node = []
    bus.add_signal_receiver(lambda n: (node.append(int(n)), loop.quit()), "PipeWireStreamAdded",
                            "org.gnome.Mutter.ScreenCast.Stream", path=stream)
    session.Start()
    GLib.timeout_add_seconds(10, loop.quit)
    loop.run()
    if not node:
        sys.exit("screenshot: mutter gave no PipeWire stream in 10 s")
    with tempfile.TemporaryDirectory() as frames:
        subprocess.run(["gst-launch-1.0", "-q", "pipewiresrc", "path=%d" % node[0], "num-buffers=2", "!",
                        "videoconvert", "!", "pngenc", "!", "multifilesink",
                        "location=" + frames + "/%d.png"], check=True, timeout=20, stdout=subprocess.DEVNULL)
        os.replace(sorted(glob.glob(frames + "/*.png"))[-1], out)
    session.Stop()


bus = dbus.SessionBus(mainloop=DBusGMainLoop())
{"kwin": kwin, "mutter": mutter}[sys.argv[1]](bus, sys.argv[2])
