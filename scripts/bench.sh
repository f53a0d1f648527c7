#!/usr/bin/env bash
# Builds and runs every benchmark on a private virtual X server with software
# rendering. Each prints RATIO lines: the subject against a baseline measured
# in the same run.
#   scripts/bench.sh [name-filter]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBRAKVANE_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null

source scripts/xvfb.sh
start_xvfb
export SDL_AUDIODRIVER=dummy

root=$PWD
for bench in build-bench/bench/bench_*; do
  [[ -x $bench ]] || continue
  [[ -z ${1:-} || $bench == *"$1"* ]] || continue
  echo "== $(basename "$bench")"
  (cd "$root" && "$bench")
done
