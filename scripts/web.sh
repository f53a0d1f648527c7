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

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

# The toolchain and what building the libraries takes.
packages=(emscripten nodejs cmake ninja-build make dpkg-dev xz-utils bzip2)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]} > 0)); then
  echo "web: installing ${missing[*]}" >&2
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

cache=${BRAKVANE_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/brakvane-web}
# A new name whenever web-libs.sh builds something else.
prefix=$cache/libs-2
if [[ ! -f $prefix/.complete ]]; then
  # The libraries come from bookworm's source packages.
  sources_file=/etc/apt/sources.list.d/brakvane-bookworm-src.sources
  if [[ ! -f $sources_file ]] && ! apt-cache showsrc mpg123 2>/dev/null | grep -q '^Version: 1.31.2-1+deb12u1'; then
    # The address is the one the machine's own bookworm entry uses, so this
    # works behind whatever mirror the machine is set up with.
    entry=$(bash scripts/apt-bookworm-entry.sh) || {
      echo "web: no bookworm entry in the machine's apt sources to add a deb-src entry beside" >&2
      exit 1
    }
    echo "web: adding the bookworm deb-src entry ($sources_file)" >&2
    printf '%s\n' "$entry" | "${sudo[@]}" tee "$sources_file" >/dev/null
    "${sudo[@]}" apt-get update -qq
  fi
  echo "web: building the libraries into $prefix (a few minutes, once)" >&2
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
