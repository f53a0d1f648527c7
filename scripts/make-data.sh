#!/usr/bin/env bash
# Remakes everything under data/ from scratch: builds the generator in tools/,
# draws the pictures (data/textures/), writes the longship model
# (data/models/), synthesises the music and encodes it with lame
# (data/music/skalmtone.mp3), and cuts the program's icons from the opening
# picture (packaging/icons/, or ICONS_DIR). Same sources, same tools: same bytes.
#
#   scripts/make-data.sh [DATA_DIR]     (default: data/ of this checkout)
#
# Needs what scripts/setup.sh installs (g++, cmake, libfreetype-dev,
# libpng-dev, fonts-dejavu-core, lame). BUILD_DIR overrides the generator's
# build directory (default: build-makedata/ of this checkout).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
data=${1:-$root/data}
build=${BUILD_DIR:-$root/build-makedata}
icons=${ICONS_DIR:-$root/packaging/icons}

for tool in cmake lame; do
  if ! command -v "$tool" >/dev/null; then
    echo "make-data: $tool is missing; run scripts/setup.sh first" >&2
    exit 1
  fi
done

# The generator is configured on its own, so the demo's other libraries are not needed.
cmake -S "$root/tools" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target brakvane-makedata -j2 >/dev/null
generator=$build/brakvane-makedata
if [[ ! -x $generator ]]; then
  echo "make-data: the generator was not built (is libfreetype-dev installed?)" >&2
  exit 1
fi

mkdir -p "$data"
wav=$(mktemp --suffix=.wav)
trap 'rm -f "$wav"' EXIT
"$generator" --wav "$wav" --icons "$icons" "$data"

# 44.1 kHz joint stereo at a constant 128 kbit/s, about 1.6 MB for 100 s.
# No replay-gain analysis and fixed tags, so the output does not vary between runs.
lame --quiet --cbr -b 128 -m j -q 2 --resample 44.1 --noreplaygain \
  --tt "Skalmtone" --ta "Kalvor" --tl "Brakvane" \
  "$wav" "$data/music/skalmtone.mp3"
echo "wrote $data/music/skalmtone.mp3"

du -sh "$data"
