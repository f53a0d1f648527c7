# Sourced by the scripts that install Debian packages. apt_install TAG PKG...
# installs those of the packages that are not installed yet, as root or
# through sudo, showing one line per step on standard error and sending apt's
# own output to a log file that is named if a step fails. A package the
# release does not offer stops it before anything is installed, with one line
# naming every such package and the releases the scripts are tested on.
# When everything is installed it only asks dpkg, once.

apt_log=${XDG_CACHE_HOME:-$HOME/.cache}/brakvane/apt.log
apt_tested="Debian 12 (bookworm) and 13 (trixie)"

# Prints the packages of the list that are not installed.
apt_missing() {
  dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "$@" 2>/dev/null | awk -v list="$*" '
    $1 == "ii" { have[$2] = 1 }
    END { n = split(list, want, " "); for (i = 1; i <= n; i++) if (!(want[i] in have)) print want[i] }'
}

# Prints the packages of the list that apt has no candidate for. apt-cache
# policy's lines are translated ("Candidate:", "(none)"): it is read in C.
apt_unavailable() {
  LC_ALL=C apt-cache policy "$@" 2>/dev/null | awk -v list="$*" '
    BEGIN { n = split(list, want, " ") }
    /^[^ ]/ { name = $1; sub(/:$/, "", name) }
    /^  Candidate:/ && $2 != "(none)" { offered[name] = 1 }
    END { for (i = 1; i <= n; i++) if (!(want[i] in offered)) print want[i] }'
}

# Runs one step of apt, its output to the log; a failure names the log.
apt_step() {
  local tag=$1 what=$2
  shift 2
  echo "$tag: $what" >&2
  if ! "${apt_sudo[@]}" env DEBIAN_FRONTEND=noninteractive "$@" >>"$apt_log" 2>&1; then
    echo "$tag: failed while ${what% (log: *}; apt's output is in $apt_log" >&2
    return 1
  fi
}

# Readies sudo (when not root, in apt_sudo) and the log.
apt_ready() {
  local tag=$1
  apt_sudo=()
  if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null; then
      echo "$tag: installing packages needs root or sudo, and there is no sudo" >&2
      return 1
    fi
    apt_sudo=(sudo)
  fi
  mkdir -p "$(dirname "$apt_log")"
  [[ -f $apt_log ]] || : >"$apt_log"
}

# Updates the package lists, once per run (apt_updated= asks again).
apt_update() {
  local tag=$1
  [[ -z ${apt_updated:-} ]] || return 0
  apt_ready "$tag" || return 1
  : >"$apt_log"
  apt_step "$tag" "updating the package lists (log: $apt_log)" apt-get -o DPkg::Lock::Timeout=900 -q update || return 1
  apt_updated=1
}

apt_install() {
  local tag=$1
  shift
  local missing unavailable
  mapfile -t missing < <(apt_missing "$@")
  ((${#missing[@]} > 0)) || return 0
  apt_update "$tag" || return 1
  mapfile -t unavailable < <(apt_unavailable "${missing[@]}")
  if ((${#unavailable[@]} > 0)); then
    local release
    release=$(. /etc/os-release 2>/dev/null && echo "${PRETTY_NAME:-}")
    echo "$tag: ${release:-this system} offers no ${unavailable[*]}; the scripts are tested on $apt_tested" >&2
    return 1
  fi
  apt_step "$tag" "installing ${#missing[@]} packages: ${missing[*]}" \
    apt-get -o DPkg::Lock::Timeout=900 -q install -y --no-install-recommends "${missing[@]}" || return 1
}

# Prints the major version of a package, installed or else offered (empty if neither).
apt_major_version() {
  local version
  version=$(dpkg-query -W -f='${db:Status-Abbrev} ${Version}\n' "$1" 2>/dev/null | awk '$1 == "ii" { print $2 }')
  if [[ -z $version ]]; then
    version=$(LC_ALL=C apt-cache policy "$1" 2>/dev/null | awk '/^  Candidate:/ && $2 != "(none)" { print $2 }')
  fi
  version=${version#*:}
  printf '%s\n' "${version%%[!0-9]*}"
}
