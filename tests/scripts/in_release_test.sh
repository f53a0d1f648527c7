#!/usr/bin/env bash
# scripts/in-release.sh in a real minimal root of the machine's own release:
# the command's status comes back, and whether the command fails or the run
# is interrupted (Ctrl+C), nothing stays mounted under the root and nothing
# runs in it. Needs root and debootstrap (skipped otherwise); makes one root,
# about a minute.
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/in-release.sh
if [[ $(id -u) -ne 0 ]] || ! command -v debootstrap >/dev/null; then
  echo "skipped: needs root and debootstrap"
  exit 77
fi
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
root=$(mktemp -d /var/tmp/brakvane-in-release-test.XXXXXX)
trap 'rm -rf --one-file-system "$root" "$root.log" "$root.err"' EXIT
set -m # each run a process group of its own, which Ctrl+C reaches as a whole

failures=0
left_behind() {
  local what=$1 pid
  if grep -q " $root/" /proc/self/mounts; then
    echo "FAILED ($what): still mounted: $(grep " $root/" /proc/self/mounts | cut -d' ' -f2 | tr '\n' ' ')" >&2
    failures=$((failures + 1))
  fi
  for pid in /proc/[0-9]*; do
    if [[ $(readlink "$pid/root" 2>/dev/null) == "$root"* ]]; then
      echo "FAILED ($what): process ${pid#/proc/} still runs in the root" >&2
      failures=$((failures + 1))
    fi
  done
}

# A command that fails and leaves a process of its own running.
status=0
bash "$script" --keep "$root" "$release" sh -c 'sleep 120 & exit 3' >/dev/null 2>"$root.err" </dev/null || status=$?
[[ $status == 3 ]] || { echo "FAILED: status $status for exit 3:"$'\n'"$(cat "$root.err")" >&2; failures=$((failures + 1)); }
left_behind "a failed command"

# A command interrupted by Ctrl+C once it runs.
bash "$script" --keep "$root" "$release" sleep 300 >/dev/null 2>"$root.err" </dev/null &
run=$!
for _ in $(seq 600); do
  grep -q "in-release: running" "$root.err" && break
  sleep 0.2
done
sleep 1
kill -INT -- -"$run"
status=0
wait "$run" || status=$?
[[ $status == 130 ]] || { echo "FAILED: status $status after Ctrl+C:"$'\n'"$(cat "$root.err")" >&2; failures=$((failures + 1)); }
left_behind "Ctrl+C"
((failures == 0))
