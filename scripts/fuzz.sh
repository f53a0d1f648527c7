#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan) in a
# build directory of their own and runs each for a number of seconds, starting
# from its seed corpus under fuzz/corpus/<name> (and fuzz/<name>.dict as its
# dictionary when there is one). Fails on any crash, leak, sanitizer report or
# hang.
#
#   scripts/fuzz.sh [seconds per target, default 60]
#
# BRAKVANE_FUZZ_BUILD overrides the build directory (default build-fuzz).
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BRAKVANE_FUZZ_BUILD:-$root/build-fuzz}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DBRAKVANE_FUZZ=ON -DBRAKVANE_TESTS=OFF -DBRAKVANE_BENCH=OFF -DBRAKVANE_TOOLS=OFF >/dev/null

cmake --build "$build" -j2 --target fuzzers
mapfile -t fuzzers <"$build/fuzz/fuzzers.txt"
if ((${#fuzzers[@]} == 0)); then
  echo "fuzz: no fuzz targets found" >&2
  exit 1
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for entry in "${fuzzers[@]}"; do
  name=${entry%% *}
  binary=${entry#* }
  target=fuzz_$name
  work="$build/fuzz-corpus/$name"
  artifacts="$build/fuzz-artifacts/$name/"
  mkdir -p "$work" "$artifacts"
  seeds=()
  [[ -d "$root/fuzz/corpus/$name" ]] && seeds=("$root/fuzz/corpus/$name")
  dictionary=()
  [[ -f "$root/fuzz/$name.dict" ]] && dictionary=(-dict="$root/fuzz/$name.dict")
  echo "fuzz: running $target for ${seconds}s"
  # Inputs of up to 1 MiB reach the largest picture the decoder takes (2^26
  # pixels compress to under 1 MB) and model files with large meshes. Such a
  # picture takes about 300 MB and half a minute to decode and resample under
  # the sanitizers, so -timeout reports only inputs that run four times
  # longer as hangs, and the memory limit still catches memory that grows
  # with anything but the decoded pixels. The outer timeout catches a fuzzer
  # that stops making progress altogether.
  if ! timeout --signal=KILL $((seconds + 240)) "$binary" \
      -max_total_time="$seconds" -timeout=120 -max_len=1048576 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts" "${dictionary[@]}" "$work" "${seeds[@]}"; then
    echo "fuzz: $target FAILED (inputs kept in $artifacts)" >&2
    failed+=("$target")
  fi
done

if ((${#failed[@]} > 0)); then
  echo "fuzz: failures in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all ${#fuzzers[@]} targets ran ${seconds}s without a failure"
