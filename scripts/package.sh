#!/usr/bin/env bash
# Builds the Debian package of the demo and checks it: a release build of both
# programs (in build-package/, or BUILD_DIR), installed under /usr by CPack
# into a .deb whose dependencies come from the libraries actually linked, then
# desktop-file-validate, appstreamcli validate and lintian (no errors allowed).
# Prints the package's path last.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build-package}

bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DBRAKVANE_TESTS=OFF -DBRAKVANE_BENCH=OFF -DBRAKVANE_TOOLS=OFF >/dev/null
cmake --build "$build" --target brakvane brakvane-capture -j"$(nproc)" >/dev/null

desktop-file-validate "$root/packaging/org.kalvor.Brakvane.desktop"
appstreamcli validate --no-net --explain "$root/packaging/org.kalvor.Brakvane.metainfo.xml" >&2

out="$build/package"
rm -rf "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >&2
deb=$(find "$out" -maxdepth 1 -name 'brakvane_*.deb' | head -n 1)
if [[ -z $deb ]]; then
  echo "package: CPack made no .deb" >&2
  exit 1
fi
lintian --fail-on error "$deb" >&2
echo "$deb"
