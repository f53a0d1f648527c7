#!/usr/bin/env bash
# Runs a command in a fresh minimal root of a named Debian release, in a clean
# clone of this checkout (what is committed, nothing else), so a release can
# be checked as a new user meets it before anyone says it works. The root is
# made by debootstrap --variant=minbase from the mirror the machine's own apt
# entries name, with the release's updates and security suites beside its
# main one; proc, sys, dev, dev/pts and dev/shm are mounted for the command.
# Whatever way the script ends (the command failing, Ctrl+C, SIGTERM, SIGHUP,
# a failed step), what still runs in the root is ended, everything mounted
# under it is unmounted, and the root is removed unless --keep names it.
#
#   scripts/in-release.sh [--user NAME] [--keep DIR] RELEASE COMMAND [ARG...]
#     RELEASE      a Debian codename: bookworm, trixie, ...
#     --user NAME  run the command as NAME, made in the root with sudo rights
#     --keep DIR   make the root in DIR and leave it there; a DIR that holds a
#                  finished root already is used again (with a new clone)
#
# The command runs in the clone's folder (~/brakvane of the user) with a clean
# environment. Needs root (asks sudo otherwise) and debootstrap. Exits with
# the command's status (130 when interrupted); the log of making the root is
# named when that fails.
set -euo pipefail
checkout=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
usage="usage: scripts/in-release.sh [--user NAME] [--keep DIR] RELEASE COMMAND [ARG...]"

if [[ $(id -u) -ne 0 ]]; then
  exec sudo -- "$BASH" "$0" "$@"
fi

user=
keep=
while [[ ${1:-} == --* ]]; do
  case $1 in
    --user) user=${2:?$usage} ;;
    --keep) keep=${2:?$usage} ;;
    *) echo "$usage" >&2 && exit 2 ;;
  esac
  shift 2
done
release=${1:-}
if [[ -z $release || $# -lt 2 ]]; then
  echo "$usage" >&2
  exit 2
fi
shift
if [[ -n $user && ! $user =~ ^[a-z_][a-z0-9_-]*$ ]]; then
  echo "in-release: $user is not a user name useradd takes" >&2
  exit 2
fi
if ! command -v debootstrap >/dev/null; then
  echo "in-release: debootstrap is missing (apt-get install debootstrap)" >&2
  exit 1
fi

# The mirrors are the ones the machine's own release is fetched from.
own=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
mirror=$(bash "$checkout/scripts/apt-entry.sh" --uri "$own") || {
  echo "in-release: the machine's apt sources have no entry for its own release (${own:-unknown}) to take the mirror from" >&2
  exit 1
}
security=$(bash "$checkout/scripts/apt-entry.sh" --uri "$own-security") || security=

if [[ -n $keep ]]; then
  mkdir -p "$keep"
  root=$(cd "$keep" && pwd)
else
  root=$(mktemp -d "${TMPDIR:-/var/tmp}/brakvane-$release.XXXXXX")
  chmod 755 "$root" # the root's / is open to its users, as on any system
fi
log=$root.log

# Ends a step still running (debootstrap, apt) with all it started, then
# what still runs in the root (daemons the command started, a command still
# running when the script is interrupted), then unmounts every mount under
# the root, deepest first, whoever made it (debootstrap mounts its own).
cleanup() {
  local status=$? pids=() pid link target tries
  trap '' INT TERM HUP
  if [[ -n ${step_pid:-} ]]; then
    kill -TERM -- -"$step_pid" 2>/dev/null || true
    for tries in $(seq 20); do
      kill -0 -- -"$step_pid" 2>/dev/null || break
      sleep 0.5
    done
    kill -KILL -- -"$step_pid" 2>/dev/null || true
    wait "$step_pid" 2>/dev/null || true
  fi
  for tries in 1 2 3 4 5 6 7 8 9 10 11; do
    pids=()
    for pid in /proc/[0-9]*; do
      link=$(readlink "$pid/root" 2>/dev/null) || continue
      [[ $link == "$root" || $link == "$root"/* ]] && pids+=("${pid#/proc/}")
    done
    ((${#pids[@]} > 0)) || break
    if ((tries == 1)); then
      kill -TERM "${pids[@]}" 2>/dev/null || true
    elif ((tries > 6)); then
      kill -KILL "${pids[@]}" 2>/dev/null || true
    fi
    sleep 0.5
  done
  while read -r target; do
    umount "$target" 2>/dev/null || umount -l "$target" 2>/dev/null || true
  done < <(awk -v root="$root" '{ t = $2; gsub(/\\040/, " ", t); if (t == root || index(t, root "/") == 1) print t }' \
    /proc/self/mounts | sort -r)
  if [[ -z $keep ]]; then
    rm -rf --one-file-system "$root"
    ((status == 0)) && rm -f "$log"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

in_root=(chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
  DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8)
# Steps run in the background, each in a process group of its own, and are
# waited for: a signal is acted on at once rather than when the step ends,
# and the step can be ended with everything it started.
step() {
  setsid "$@" >>"$log" 2>&1 &
  step_pid=$!
  wait "$step_pid" || {
    echo "in-release: failed: $* (log: $log)" >&2
    exit 1
  }
  step_pid=
}

if [[ ! -f $root/.in-release-ready ]]; then
  echo "in-release: making a minimal $release root in $root from $mirror (log: $log)" >&2
  : >"$log"
  step debootstrap --variant=minbase --include=ca-certificates,sudo "$release" "$root" "$mirror"
  cat /etc/resolv.conf >"$root/etc/resolv.conf"
  cp /etc/hosts "$root/etc/hosts"
  rm -f "$root/etc/apt/sources.list"
  {
    printf '%s\n' "Types: deb" "URIs: $mirror" "Suites: $release $release-updates" "Components: main"
    [[ -z $security ]] || printf '%s\n' "" "Types: deb" "URIs: $security" "Suites: $release-security" "Components: main"
  } >"$root/etc/apt/sources.list.d/debian.sources"
  # No service is started by the packages installed in the root: nothing runs there but the command.
  printf '%s\n' '#!/bin/sh' 'exit 101' >"$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  touch "$root/.in-release-ready"
fi

mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount -t tmpfs -o mode=1777 shm "$root/dev/shm"

# The root reaches the package registries as this machine does: with the
# machine's own certificate authorities and npm's settings (a machine behind
# a proxy that signs with a local authority needs both, or npm is refused).
if compgen -G '/usr/local/share/ca-certificates/*' >/dev/null; then
  cp -r /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
  step "${in_root[@]}" update-ca-certificates
fi
for npmrc in /etc/npmrc /usr/etc/npmrc; do
  if [[ -f $npmrc ]]; then
    mkdir -p "$root${npmrc%/*}"
    cp "$npmrc" "$root$npmrc"
  fi
done

echo "in-release: bringing the $release root up to date" >&2
step "${in_root[@]}" apt-get update
step "${in_root[@]}" apt-get -y upgrade

home=/root
if [[ -n $user ]]; then
  home=/home/$user
  if ! "${in_root[@]}" id "$user" >/dev/null 2>&1; then
    step "${in_root[@]}" useradd -m -s /bin/bash "$user"
    printf '%s ALL=(ALL) NOPASSWD:ALL\n' "$user" >"$root/etc/sudoers.d/$user"
    chmod 440 "$root/etc/sudoers.d/$user"
  fi
fi
rm -rf "${root:?}$home/brakvane"
git clone -q "$checkout" "$root$home/brakvane"
[[ -z $user ]] || "${in_root[@]}" chown -R "$user:" "$home/brakvane"

shown=${*//$'\n'/ }
((${#shown} <= 100)) || shown="${shown:0:97}..."
echo "in-release: running $shown in $release (${user:-root}, $home/brakvane)" >&2
run=("${in_root[@]}" HOME="$home" USER="${user:-root}" LOGNAME="${user:-root}" SHELL=/bin/bash TERM="${TERM:-dumb}")
[[ -z $user ]] || run=(chroot "$root" /usr/sbin/runuser -u "$user" -- /usr/bin/env -i
  PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/bash
  TERM="${TERM:-dumb}")
"${run[@]}" /bin/bash -c 'cd ~/brakvane && exec "$@"' in-release "$@" <&0 &
status=0
wait $! || status=$?
exit "$status"
