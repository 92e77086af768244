#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it
# with the project's .clang-format. Without arguments it checks every tracked
# source; with file names, only those. Run scripts/format.sh to fix.
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
bad=()
for f in "${files[@]}"; do
  if ! "$formatter" --dry-run --Werror "$f" >/dev/null 2>&1; then
    bad+=("$f")
  fi
done
if [ "${#bad[@]}" -gt 0 ]; then
  echo "check-format: ${#bad[@]} file(s) are not formatted (run scripts/format.sh):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
