#!/usr/bin/env bash
# Formats every C++ source the project tracks with its .clang-format, with
# clang-format 19, which both Debian 12 and 13 offer: each version lays some
# code out differently, and one version gives one verdict on every machine.
#   scripts/format.sh           rewrites the files in place
#   scripts/format.sh --check   changes nothing; fails and names the files that differ
set -euo pipefail
cd "$(dirname "$0")/.."

format=clang-format-19
if ! command -v "$format" >/dev/null || ! command -v git >/dev/null; then
  bash scripts/setup.sh
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
# No file found means the listing failed (no git, not a checkout): with no
# names, clang-format would read standard input and pass having checked nothing.
if ((${#files[@]} == 0)); then
  echo "format: no C++ sources found (is this a git checkout?)" >&2
  exit 1
fi
if [[ ${1:-} == --check ]]; then
  "$format" --dry-run --Werror "${files[@]}"
  echo "format: ${#files[@]} files as .clang-format has them"
else
  "$format" -i "${files[@]}"
fi
