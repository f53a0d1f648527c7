#!/usr/bin/env bash
# Runs KDE Plasma's compositor, KWin (5.27 to 6), headless with one output
# of WIDTHxHEIGHT at 60 Hz: Wayland at RUNTIME_DIR/wayland-brakvane, and with
# x11 X11 clients through Xwayland (session.sh says where). Its screenshot
# interface answers without asking the user. Stop it with SIGTERM.
#   kwin.sh RUNTIME_DIR WIDTHxHEIGHT x11|wayland
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
session_start "$1"
# KWin 5's packaged binary carries the file capability cap_sys_resource, which
# a container refuses to grant ("Operation not permitted"): a copy (of the
# same name, which KWin 6's platform plugin insists on) has none.
kwin=$(command -v kwin_wayland)
if ! version=$("$kwin" --version 2>/dev/null); then
  cp "$kwin" "$runtime/kwin_wayland"
  kwin=$runtime/kwin_wayland
  version=$("$kwin" --version)
fi
args=(--width "${2%x*}" --height "${2#*x}" --socket wayland-brakvane --no-lockscreen --no-global-shortcuts)
# KWin 6 composites a virtual output with OpenGL only on a GPU's render node;
# without one it falls back to QPainter, where it has no screenshot interface.
# It then draws its output into a private virtual X server's screen of the
# same size, which RUNTIME_DIR/monitor-x11 names for screenshot.py to read.
if [[ $version == "kwin 5."* ]] || compgen -G '/dev/dri/renderD*' >/dev/null; then
  args+=(--virtual)
else
  Xvfb -displayfd 3 -screen 0 "$2x24" -nolisten tcp 3>"$runtime/monitor-x11" 2>"$runtime/xvfb.log" &
  monitor=$!
  for _ in $(seq 100); do [[ -s $runtime/monitor-x11 ]] && break; sleep 0.05; done
  display=:$(<"$runtime/monitor-x11")
  echo "$display" >"$runtime/monitor-x11"
  args+=(--x11-display "$display")
fi
[[ $3 == x11 ]] && args+=(--xwayland)
# KWin 5 asks the activities service unless told not to; KWin 6 has no such option.
[[ $version == "kwin 5."* ]] && args+=(--no-kactivities)
export KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1
session_run "$3" "$kwin" "${args[@]}" >"$runtime/kwin.log" 2>&1
