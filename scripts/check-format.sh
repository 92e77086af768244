#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it
# with the project's .clang-format. Without arguments it checks every tracked
# source; with file names, only those. Run scripts/format.sh to fix.
#
# All files go to clang-format in as few calls as the command line allows
# (one process per file costs about a minute on the whole tree). Only when
# that fails are the bad files named: from clang-format's own messages, or,
# if those name none, by checking each file alone.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
formatter="${CLANG_FORMAT:-clang-format}"
if ! command -v "$formatter" >/dev/null 2>&1; then
  echo "check-format: $formatter is not installed" >&2
  exit 1
fi
if [ "$#" -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
fi
if [ "${#files[@]}" -eq 0 ]; then
  echo "check-format: 0 files formatted"
  exit 0
fi
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
if printf '%s\0' "${files[@]}" |
  xargs -0 "$formatter" --dry-run --Werror --ferror-limit=1 >/dev/null 2>"$log"; then
  echo "check-format: ${#files[@]} files formatted"
  exit 0
fi
# A violation reads "<file>:<line>:<column>: error: code should be clang-formatted".
declare -A named=()
while IFS= read -r f; do
  named["$f"]=1
done < <(sed -nE 's/^(.*):[0-9]+:[0-9]+: (error|warning): code should be clang-formatted.*/\1/p' "$log")
bad=()
for f in "${files[@]}"; do
  if [ -n "${named["$f"]+x}" ]; then
    bad+=("$f")
  fi
done
if [ "${#bad[@]}" -eq 0 ]; then
  for f in "${files[@]}"; do
    if ! "$formatter" --dry-run --Werror "$f" >/dev/null 2>&1; then
      bad+=("$f")
    fi
  done
fi
if [ "${#bad[@]}" -eq 0 ]; then
  echo "check-format: clang-format failed:" >&2
  cat "$log" >&2
  exit 1
fi
echo "check-format: ${#bad[@]} file(s) are not formatted (run scripts/format.sh):" >&2
printf '  %s\n' "${bad[@]}" >&2
exit 1
