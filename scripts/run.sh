#!/usr/bin/env bash
# Builds the demo and runs it from the repository folder (where data/ is),
# passing on its arguments (scripts/run.sh --window).
# Without a display server it runs on a virtual X server instead, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target brakvane brakvane-capture >/dev/null

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  source scripts/xvfb.sh
  start_xvfb
  echo "brakvane: no display found; running on a virtual X server (Xvfb $DISPLAY) with software rendering" >&2
  status=0
  ./build/app/brakvane "$@" || status=$?
  exit "$status"
fi
exec ./build/app/brakvane "$@"
