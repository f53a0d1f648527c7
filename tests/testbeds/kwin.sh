#!/usr/bin/env bash
# Runs KDE Plasma's compositor, KWin (5.27 to 6), headless with a virtual
# output (Virtual-0) of WIDTHxHEIGHT at 60 Hz: Wayland at
# RUNTIME_DIR/wayland-brakvane, and with x11 X11 clients through Xwayland
# (session.sh says where). Its screenshot interface answers without asking
# the user. Stop it with SIGTERM.
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
args=(--virtual --width "${2%x*}" --height "${2#*x}" --socket wayland-brakvane --no-lockscreen --no-global-shortcuts)
[[ $3 == x11 ]] && args+=(--xwayland)
# KWin 5 asks the activities service unless told not to; KWin 6 has no such option.
[[ $version == "kwin 5."* ]] && args+=(--no-kactivities)
export KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1
session_run "$3" "$kwin" "${args[@]}" >"$runtime/kwin.log" 2>&1
