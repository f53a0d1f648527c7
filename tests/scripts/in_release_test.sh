#!/usr/bin/env bash
# scripts/in-release.sh in a real minimal root of the machine's own release:
# the command's status comes back, and whether the command fails or the run
# is interrupted (Ctrl+C) while the root is made or while the command runs,
# nothing stays mounted under the root and nothing runs in it or for it. Needs root and debootstrap (skipped otherwise); makes one root,
# about a minute.
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/in-release.sh
if [[ $(id -u) -ne 0 ]] || ! command -v debootstrap >/dev/null; then
  echo "skipped: needs root and debootstrap"
  exit 77
fi
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
root=$(mktemp -d /var/tmp/brakvane-in-release-test.XXXXXX)
trap 'rm -rf --one-file-system "$root" "$root.log" "$root.err" "$root-half" "$root-half.log"' EXIT
set -m # each run a process group of its own, which Ctrl+C reaches as a whole

failures=0
left_behind() {
  local what=$1 pid
  if grep -q " $root" /proc/self/mounts; then
    echo "FAILED ($what): still mounted: $(grep " $root" /proc/self/mounts | cut -d' ' -f2 | tr '\n' ' ')" >&2
    failures=$((failures + 1))
  fi
  for pid in /proc/[0-9]*; do
    if [[ $(readlink "$pid/root" 2>/dev/null) == "$root"* ]] || grep -qF "$root" "$pid/cmdline" 2>/dev/null; then
      echo "FAILED ($what): process ${pid#/proc/} still runs: $(tr '\0' ' ' <"$pid/cmdline")" >&2
      failures=$((failures + 1))
    fi
  done
}
# Starts a run in the background and sends it Ctrl+C once a file (its
# standard error, or the log of making the root) shows the line asked for.
interrupt() {
  local file=$1 line=$2 after=$3 run
  shift 3
  bash "$script" "$@" >/dev/null 2>"$root.err" </dev/null &
  run=$!
  for _ in $(seq 1500); do
    grep -q "$line" "$file" 2>/dev/null && break
    sleep 0.2
  done
  sleep "$after"
  kill -INT -- -"$run"
  status=0
  wait "$run" || status=$?
  [[ $status == 130 ]] || { echo "FAILED: status $status after Ctrl+C:"$'\n'"$(cat "$root.err")" >&2; failures=$((failures + 1)); }
}

# Ctrl+C while debootstrap configures the root's packages, with its own
# mounts in place (in a root of its own).
interrupt "$root-half.log" "I: Configuring" 1 --keep "$root-half" "$release" true
root=$root-half left_behind "Ctrl+C while making the root"
rm -rf --one-file-system "$root-half" "$root-half.log"

# A command that fails and leaves a process of its own running.
status=0
bash "$script" --keep "$root" "$release" sh -c 'sleep 120 & exit 3' >/dev/null 2>"$root.err" </dev/null || status=$?
[[ $status == 3 ]] || { echo "FAILED: status $status for exit 3:"$'\n'"$(cat "$root.err")" >&2; failures=$((failures + 1)); }
left_behind "a failed command"

# A command interrupted by Ctrl+C once it runs.
interrupt "$root.err" "in-release: running" 1 --keep "$root" "$release" sleep 300
left_behind "Ctrl+C while the command runs"
((failures == 0))
