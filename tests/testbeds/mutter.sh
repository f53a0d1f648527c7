#!/usr/bin/env bash
# Runs GNOME's compositor, mutter (43 to 48), headless as a GNOME session
# would, with one virtual monitor at 60 Hz: Wayland at
# RUNTIME_DIR/wayland-brakvane, and with x11 X11 clients through Xwayland
# (session.sh says where). Screen casts of the monitor (Meta-0) go through
# the PipeWire in PIPEWIRE_DIR, the sound server's, as on a desktop where one
# PipeWire carries both. Stop it with SIGTERM.
#   mutter.sh RUNTIME_DIR WIDTHxHEIGHT x11|wayland [PIPEWIRE_DIR]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
session_start "$1"
[[ -z ${4:-} ]] || export PIPEWIRE_RUNTIME_DIR=$4
extra=()
[[ $3 == x11 ]] || extra=(--no-x11)
session_run "$3" mutter --headless --wayland --wayland-display=wayland-brakvane --virtual-monitor "$2" "${extra[@]}" \
  >"$runtime/mutter.log" 2>&1
