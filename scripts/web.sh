#!/usr/bin/env bash
# Builds the demo as a web page into build-web/, offline with Debian's
# emscripten. The C libraries it links are built once from Debian's source
# packages into a cache outside the repository (scripts/web-libs.sh) and
# rebuilt only when missing.
#   scripts/web.sh             build the page
#   scripts/web.sh --serve     build it, then serve it on the loopback interface
#                              and print the address (Ctrl+C stops)
#   scripts/web.sh --dist DIR  build it and write the page's four files into
#                              DIR, ready for any static web host
# BRAKVANE_WEB_CACHE overrides the cache folder (default ~/.cache/brakvane-web).
set -euo pipefail
called_from=$PWD
cd "$(dirname "$0")/.."

serve=false
dist=
case ${1:-} in
  --serve) serve=true ;;
  --dist)
    dist=${2:-}
    if [[ -z $dist ]]; then
      echo "usage: scripts/web.sh [--serve | --dist DIR]" >&2
      exit 2
    fi
    # Relative to where the script was called from.
    [[ $dist == /* ]] || dist=$called_from/$dist
    ;;
  "") ;;
  *)
    echo "usage: scripts/web.sh [--serve | --dist DIR]" >&2
    exit 2
    ;;
esac

source scripts/apt.sh
# The toolchain and what building the libraries takes.
apt_install web emscripten nodejs cmake ninja-build make dpkg-dev xz-utils bzip2

release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
cache=${BRAKVANE_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/brakvane-web}
# The libraries are those of the machine's own release, built once per
# release: a machine moved to another release builds them again. A new
# number whenever web-libs.sh builds something else.
prefix=$cache/libs-3-${release:-unknown}
if [[ ! -f $prefix/.complete ]]; then
  if ! apt-get indextargets --format '$(CODENAME)' 'Created-By: Sources' 2>/dev/null | grep -qxF "$release"; then
    # The address is the one the machine's own entry for its release uses,
    # so this works behind whatever mirror the machine is set up with.
    entry=$(bash scripts/apt-entry.sh "$release") || {
      echo "web: no entry for ${release:-this release} in the machine's apt sources to add a deb-src entry beside" >&2
      exit 1
    }
    sources_file=/etc/apt/sources.list.d/brakvane-$release-src.sources
    echo "web: adding a deb-src entry for $release ($sources_file)" >&2
    apt_ready web
    printf '%s\n' "$entry" | "${apt_sudo[@]}" tee "$sources_file" >/dev/null
    apt_updated=
    apt_update web
  fi
  echo "web: building the libraries from $release's sources into $prefix (a few minutes, once)" >&2
  bash scripts/web-libs.sh "$prefix"
fi

# Emscripten's JavaScript optimiser finds Debian's acorn only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S web -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRAKVANE_WEB_PREFIX="$prefix" >/dev/null
cmake --build build-web -j"$(nproc)"
echo "web: the page is in build-web/ (index.html, index.js, index.wasm, index.data)" >&2

if [[ -n $dist ]]; then
  mkdir -p "$dist"
  cp build-web/index.html build-web/index.js build-web/index.wasm build-web/index.data "$dist/"
  echo "web: the page is in $dist" >&2
fi

if $serve; then
  exec node web/serve/serve.js build-web
fi
