#!/usr/bin/env bash
# The web page's tests, in headless Chromium: builds the page (scripts/web.sh,
# which builds its libraries once), the offline renderer whose frames the
# page's are compared with, installs Chromium and the pinned puppeteer-core
# (npm ci from web/test/package-lock.json), then runs each test file.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/web.sh

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
missing=()
if ! dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q "install ok installed"; then
  missing+=(chromium)
fi
# Node comes with emscripten; npm only where no npm is there yet.
if ! command -v npm >/dev/null; then
  missing+=(npm)
fi
if ((${#missing[@]} > 0)); then
  echo "web-test: installing ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

if [[ ! -f build/CMakeCache.txt ]]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRAKVANE_WERROR=ON >/dev/null
fi
cmake --build build --target brakvane-capture -j"$(nproc)"

(cd web/test && npm ci --no-audit --no-fund --loglevel=error)
# One file at a time: each starts its own browser, and the machine may have few cores.
for file in web/test/*.test.js; do
  node --test "$file"
done
