#!/usr/bin/env bash
# The web page's tests, in Chromium (headless), Firefox ESR and WebKitGTK
# (MiniBrowser, driven by WebKitWebDriver): builds the page (scripts/web.sh,
# which builds its libraries once), the offline renderer whose frames the
# page's are compared with and the recorder of the sound server's sink that
# the sync test judges by, installs the browsers and the pinned
# puppeteer-core (npm ci from web/test/package-lock.json), then runs each
# test file. Firefox has no WebGL when headless and MiniBrowser no headless
# mode, so they run on a private X server (Xvfb). All play to a private sound
# server (PulseAudio with a null sink, as the desktop tests start it), whose
# sink is recorded; the sync test's PipeWire rows start PipeWire
# (tests/testbeds/pipewire.sh, its packages from scripts/setup.sh) for
# themselves.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/web.sh

source scripts/apt.sh
# webkit2gtk-driver brings WebKitGTK, whose package holds MiniBrowser.
browsers=(chromium firefox-esr webkit2gtk-driver)
# Node comes with emscripten; npm only where no npm is there yet.
command -v npm >/dev/null || browsers+=(npm)
apt_install web-test "${browsers[@]}"

if [[ ! -f build/CMakeCache.txt ]]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRAKVANE_WERROR=ON -DBRAKVANE_TESTS=ON >/dev/null
fi
cmake --build build --target brakvane-capture brakvane-sink-recorder -j"$(nproc)"

(cd web/test && npm ci --no-audit --no-fund --loglevel=error)

source scripts/xvfb.sh
start_xvfb
sound_dir=$(mktemp -d /tmp/brakvane-web-sound-XXXXXX)
bash tests/testbeds/pulse.sh "$sound_dir" &
sound_pid=$!
trap 'kill "$sound_pid" "$xvfb_pid" 2>/dev/null || true; rm -rf "$sound_dir"' EXIT
export PULSE_SERVER=unix:$sound_dir/native
for _ in $(seq 100); do
  [[ -S $sound_dir/native ]] && break
  sleep 0.1
done
# One file at a time: each starts its own browser, and the machine may have few cores.
for file in web/test/*.test.js; do
  node --test "$file"
done
