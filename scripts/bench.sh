#!/usr/bin/env bash
# Builds and runs every benchmark on a private virtual X server with software
# rendering. Each prints RATIO lines: the subject against a baseline measured
# in the same run.
#   scripts/bench.sh [name-filter]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBRAKVANE_TESTS=OFF -DBRAKVANE_BENCH=ON -DBRAKVANE_TOOLS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target benchmarks >/dev/null
mapfile -t programs <build-bench/bench/benchmarks.txt

source scripts/xvfb.sh
start_xvfb
export SDL_AUDIODRIVER=dummy

for entry in "${programs[@]}"; do
  name=${entry%% *}
  [[ -z ${1:-} || $name == *"$1"* ]] || continue
  echo "== $name"
  "${entry#* }"
done
