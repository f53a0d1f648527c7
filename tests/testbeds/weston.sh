#!/usr/bin/env bash
# Runs a headless Weston compositor (10 to 14) that paces presents like a
# display: GL renderer (llvmpipe; --use-gl, which Weston 14 still takes), an
# 800 x 600 output, and a repaint window of 16 ms (Weston 10's headless output
# flips 16 ms after each repaint; Weston's default window of 7 ms gives only
# about 39 Hz there). The seat module gives the compositor the
# wl_seat that SDL's Wayland driver needs.
#   weston.sh RUNTIME_DIR SEAT_MODULE [xwayland]
# RUNTIME_DIR is created private (0700) and becomes XDG_RUNTIME_DIR; the
# compositor listens on RUNTIME_DIR/wayland-brakvane. With "xwayland" it also
# serves X11 clients through Xwayland, on the display its log names
# ("xserver listening on display :N"). The script execs Weston,
# so its process id is the compositor's: stop it with SIGTERM.
set -euo pipefail
runtime=$1
module=$2
extra=()
if [[ ${3:-} == xwayland ]]; then
  extra=(--xwayland)
  # Weston binds the X display's socket itself, in the directory a desktop's
  # boot makes (systemd-tmpfiles); a bare root or container may lack it.
  [[ -d /tmp/.X11-unix ]] || mkdir -m 1777 /tmp/.X11-unix
fi
mkdir -p "$runtime"
chmod 0700 "$runtime"
cat >"$runtime/weston.ini" <<INI
[core]
repaint-window=16
idle-time=0
[shell]
locking=false
INI
export XDG_RUNTIME_DIR=$runtime
unset WAYLAND_DISPLAY DISPLAY
exec weston --backend=headless-backend.so --use-gl --width=800 --height=600 --idle-time=0 \
  --socket=wayland-brakvane --config="$runtime/weston.ini" --modules="$module" --log="$runtime/weston.log" "${extra[@]}"
