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
  # The options are checked before a virtual server is started for them: with
  # --version added, the demo reads them all and stops without a window; a
  # bad one gets its one line and status 2. --help and --version need no
  # server at all.
  for arg in "$@"; do
    case $arg in
    -h | --help | --version) exec ./build/app/brakvane "$@" ;;
    esac
  done
  status=0
  ./build/app/brakvane "$@" --version >/dev/null || status=$?
  if ((status != 0)); then
    exit "$status"
  fi
  source scripts/xvfb.sh
  start_xvfb
  echo "brakvane: no display found; running on a virtual X server (Xvfb $DISPLAY) with software rendering" >&2
  status=0
  ./build/app/brakvane "$@" || status=$?
  exit "$status"
fi
exec ./build/app/brakvane "$@"
