#!/usr/bin/env bash
# Prints a deb-src entry (deb822 form) for a suite's main component, with the
# address and keyring of the machine's own "deb" entry for that suite, read
# from /etc/apt/sources.list and /etc/apt/sources.list.d/ (both the one-line
# and the deb822 form). With --uri, prints only that entry's address (the
# mirror the machine uses). Exits 1 when the machine has no such entry.
#   scripts/apt-entry.sh [--uri] SUITE [APT_ETC]   (default /etc/apt)
set -euo pipefail
uri_only=false
if [[ ${1:-} == --uri ]]; then
  uri_only=true
  shift
fi
suite=${1:?usage: apt-entry.sh [--uri] SUITE [APT_ETC]}
etc=${2:-/etc/apt}

files=()
[[ -f $etc/sources.list ]] && files+=("$etc/sources.list")
for f in "$etc"/sources.list.d/*.list "$etc"/sources.list.d/*.sources; do
  [[ -f $f ]] && files+=("$f")
done
((${#files[@]} > 0)) || exit 1

# Prints "URI<TAB>KEYRING" for the first enabled deb entry whose suites include
# the suite itself (bookworm-updates alone does not count for bookworm).
found=$(awk -v suite="$suite" '
  function emit(uri, key) { printf "%s\t%s\n", uri, key; done = 1; exit }
  function has_suite(list,   n, a, i) {
    n = split(list, a, /[ \t]+/)
    for (i = 1; i <= n; i++) if (a[i] == suite) return 1
    return 0
  }
  function has_deb(list,   n, a, i) {
    n = split(list, a, /[ \t]+/)
    for (i = 1; i <= n; i++) if (a[i] == "deb") return 1
    return 0
  }
  function flush() {
    if (types != "" && has_deb(types) && has_suite(suites) && enabled != "no" && uris != "") {
      split(uris, u, /[ \t]+/)
      emit(u[1], signed)
    }
    types = ""; uris = ""; suites = ""; signed = ""; enabled = ""
  }
  FNR == 1 { flush(); deb822 = (FILENAME ~ /\.sources$/) }
  deb822 {
    if ($0 ~ /^[ \t]*#/) next
    if ($0 ~ /^[ \t]*$/) { flush(); next }
    if ($0 ~ /^[ \t]/) next          # a continuation line (an inline key)
    field = tolower($0); sub(/:.*/, "", field)
    value = $0; sub(/^[^:]*:[ \t]*/, "", value); sub(/[ \t]+$/, "", value)
    if (field == "types") types = value
    else if (field == "uris") uris = value
    else if (field == "suites") suites = value
    else if (field == "enabled") enabled = tolower(value)
    else if (field == "signed-by" && value ~ /^\//) signed = value
    next
  }
  {
    line = $0; sub(/#.*/, "", line)
    n = split(line, w, /[ \t]+/)
    i = 1
    while (i <= n && w[i] == "") i++
    if (w[i] != "deb") next
    i++
    key = ""
    if (substr(w[i], 1, 1) == "[") {
      opts = ""
      while (i <= n) { opts = opts " " w[i]; if (w[i] ~ /\]$/) { i++; break } ; i++ }
      if (match(opts, /signed-by=[^] ]+/)) key = substr(opts, RSTART + 10, RLENGTH - 10)
    }
    if (w[i + 1] == suite) emit(w[i], key)
  }
  END { if (!done) flush() }
' "${files[@]}")
[[ -n $found ]] || exit 1

uri=${found%%$'\t'*}
key=${found#*$'\t'}
if $uri_only; then
  printf '%s\n' "$uri"
  exit 0
fi
printf '%s\n' "Types: deb-src" "URIs: $uri" "Suites: $suite" "Components: main"
if [[ -n $key ]]; then
  printf '%s\n' "Signed-By: $key"
fi
