#!/usr/bin/env bash
# Builds the demo and runs it from the repository folder (where data/ is).
# Without a display server it runs on a virtual X server instead, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target brakvane >/dev/null

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  fifo=$(mktemp -u /tmp/brakvane-xvfb-XXXXXX)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null; rm -f "$fifo"' EXIT
  read -r number <"$fifo"
  export DISPLAY=":$number"
  export LIBGL_ALWAYS_SOFTWARE=1
  echo "brakvane: no display found; running on a virtual X server (Xvfb $DISPLAY) with software rendering" >&2
  ./build/app/brakvane
  exit 0
fi
exec ./build/app/brakvane
