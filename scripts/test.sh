#!/usr/bin/env bash
# Builds the demo and its tests, then runs every test. Installs what is missing
# first (scripts/setup.sh). Each test that needs a screen starts its own
# virtual X server, so no display is needed here.
#   scripts/test.sh              the normal build, in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan/
#   scripts/test.sh --thread     ThreadSanitizer, in build-tsan/: only the sound tests (ctest -L sound),
#                                the demo through each sound output of our own among them
#   scripts/test.sh --unit       the normal build, every test but the desktop timing runs (ctest -LE timing)
#   scripts/test.sh --web        the web page's tests in Chromium, Firefox ESR and WebKit (scripts/web-test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ${1:-} == --web ]]; then
  exec bash scripts/web-test.sh
fi

bash scripts/setup.sh

build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRAKVANE_WERROR=ON -DBRAKVANE_TESTS=ON)
targets=()
only=()
if [[ ${1:-} == --sanitize ]]; then
  build=build-asan
  options+=(-DBRAKVANE_SANITIZE=ON -DBRAKVANE_BENCH=OFF -DBRAKVANE_TOOLS=OFF)
elif [[ ${1:-} == --unit ]]; then
  only=(-LE timing)
elif [[ ${1:-} == --thread ]]; then
  build=build-tsan
  options+=(-DBRAKVANE_THREAD_SANITIZE=ON -DBRAKVANE_BENCH=OFF -DBRAKVANE_TOOLS=OFF)
  targets=(--target sound_tests)
  only=(-L sound)
fi

cmake -S . -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
cd "$build"
ctest --output-on-failure -j2 --timeout 300 "${only[@]}"
