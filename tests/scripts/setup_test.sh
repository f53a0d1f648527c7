#!/usr/bin/env bash
# scripts/setup.sh against stand-ins for dpkg-query, apt-cache and apt-get that
# play a release: what it says on the terminal, what it asks apt to install,
# and that a release lacking packages gets one line and nothing installed.
# A row may name a locale, made here with localedef (the locales package's
# sources), in which apt-cache speaks as apt does: through apt's own catalogue.
set -euo pipefail
setup=$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/locale"
# INSTALLED: every package (all) or none; LACKS: names the release does not
# offer; WESTON: its Weston version; UPDATE_FAILS: apt-get update fails.
cat >"$work/bin/dpkg-query" <<'STANDIN'
#!/bin/bash
shift 2
[[ $INSTALLED == all ]] && for p; do echo "ii  $p"; done
[[ $1 == weston && $INSTALLED == all ]] && echo "ii  $WESTON-1"
exit 0
STANDIN
cat >"$work/bin/apt-cache" <<'STANDIN'
#!/bin/bash
TEXTDOMAIN=apt
shift
for p; do
  [[ " $LACKS " == *" $p "* ]] && continue
  v=1.0; [[ $p == weston ]] && v=$WESTON-1
  printf '%s:\n%s%s\n%s%s\n' "$p" $"  Installed: " $"(none)" $"  Candidate: " "$v"
done
STANDIN
cat >"$work/bin/apt-get" <<'STANDIN'
#!/bin/bash
echo "apt-get $*" >>"$CALLS"
echo "apt says a lot"
[[ " $* " != *" update "* || -z $UPDATE_FAILS ]]
STANDIN
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin"/*

failures=0
quote() { sed 's/[][\.*^$()+?{}|]/\\&/g' <<<"$1"; }
release=$(quote "$(. /etc/os-release && echo "$PRETTY_NAME")")
tested=$(quote "the scripts are tested on Debian 12 (bookworm) and 13 (trixie)")
log=$work/cache/brakvane/apt.log
# installed | lacks | weston | update fails | status | terminal (^ and $ implied) | apt-get install gets | locale
while IFS='|' read -r installed lacks weston fails status terminal installs locale; do
  : >"$work/calls"
  language=()
  if [[ -n $locale ]]; then
    [[ -d $work/locale/$locale ]] || localedef -i "${locale%%.*}" -f "${locale#*.}" "$work/locale/$locale" || true
    language=(LANG="$locale" LC_ALL= LANGUAGE= LOCPATH="$work/locale")
    if [[ $(env "${language[@]}" PATH="$work/bin:/usr/bin:/bin" apt-cache policy cmake) == *Candidate:* ]]; then
      echo "FAILED: apt-cache speaks English in $locale (made with localedef from the locales package?)" >&2
      failures=$((failures + 1))
    fi
  fi
  out=$(env "${language[@]}" INSTALLED="$installed" LACKS="$lacks" WESTON="$weston" UPDATE_FAILS="$fails" \
    CALLS="$work/calls" XDG_CACHE_HOME="$work/cache" PATH="$work/bin:/usr/bin:/bin" bash "$setup" 2>&1) && got=0 || got=$?
  expected=${terminal//@RELEASE@/$release}
  expected=${expected//@TESTED@/$tested}
  expected=${expected//@LOG@/$(quote "$log")}
  expected=${expected//\\n/$'\n'}
  asked=$(grep ' install ' "$work/calls" || true)
  if [[ $got != "$status" || ! $out =~ ^$expected$ ]] || { [[ -z $installs ]] && [[ -n $asked ]]; } ||
    ! [[ $asked =~ $installs ]]; then
    echo "FAILED: installed=$installed lacks=$lacks weston=$weston: status $got, said:"$'\n'"$out" >&2
    failures=$((failures + 1))
  fi
done <<'TABLE'
none||14||0|setup: updating the package lists \(log: @LOG@\)\nsetup: installing [0-9]+ packages: build-essential [^\n]* libweston-14-dev|install -y --no-install-recommends build-essential .* libweston-14-dev$
none||10||0|setup: updating the package lists \(log: @LOG@\)\nsetup: installing [0-9]+ packages: [^\n]* libweston-10-dev|libweston-10-dev$
none||14||0|setup: updating the package lists \(log: @LOG@\)\nsetup: installing [0-9]+ packages: build-essential [^\n]* libweston-14-dev|install -y --no-install-recommends build-essential .* libweston-14-dev$|de_DE.UTF-8
none|clang-format-19 libweston-15-dev|15||1|setup: updating the package lists \(log: @LOG@\)\nsetup: @RELEASE@ offers no clang-format-19 libweston-15-dev; @TESTED@|
none||14|1|1|setup: updating the package lists \(log: @LOG@\)\nsetup: failed while updating the package lists; apt's output is in @LOG@|
all||14||0||
TABLE
grep -q "apt says a lot" "$work/cache/brakvane/apt.log" || { echo "FAILED: apt's output is not in its log" >&2; failures=$((failures + 1)); }
((failures == 0))
