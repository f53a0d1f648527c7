#!/usr/bin/env bash
# Builds and runs every benchmark on a private virtual X server with software
# rendering. Each prints RATIO lines: the subject against a baseline measured
# in the same run.
#   scripts/bench.sh [name-filter]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# Tests stay configured: some benchmarks take their GL context from the test
# support library. Only the benchmarks and the programs they start are built.
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBRAKVANE_TESTS=ON >/dev/null
mapfile -t targets < <(cmake --build build-bench --target help | sed -n 's/^\.\.\. \(bench_[A-Za-z0-9_]*\).*/\1/p' | sort -u)
cmake --build build-bench -j"$(nproc)" --target brakvane brakvane-capture "${targets[@]}" >/dev/null

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
