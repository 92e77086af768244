#!/bin/sh
# Builds one libFuzzer target with clang (address and undefined-behaviour
# sanitizers) and runs it for a while on its seed corpus. A finding exits 1
# (libFuzzer's own default, 77, would read as "skipped").
# Arguments: <name> <seconds> <longest input> <work dir> <seed dir>
#            <include dirs, ;-separated> <libraries, ;-separated> <sources...>
# Exit 77 (reported as skipped) when no clang++ is installed.
set -eu
name=$1; seconds=$2; maxlen=$3; work=$4; seeds=$5; incdirs=$6; libs=$7
shift 7

CXX=
for c in clang++ clang++-18 clang++-17 clang++-16 clang++-15 clang++-14; do
  if command -v "$c" >/dev/null 2>&1; then CXX=$c; break; fi
done
if [ -z "$CXX" ]; then
  echo "clang++ not found: fuzz test skipped"
  exit 77
fi

mkdir -p "$work/$name.corpus"
flags=""
old_ifs=$IFS; IFS=';'
for d in $incdirs; do flags="$flags -I$d"; done
for l in $libs; do flags="$flags $l -Wl,-rpath,$(dirname "$l")"; done
IFS=$old_ifs

# shellcheck disable=SC2086
"$CXX" -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "$@" $flags -o "$work/$name"

cp "$seeds"/* "$work/$name.corpus/" 2>/dev/null || true
cd "$work"
export QT_QPA_PLATFORM=offscreen
exec "./$name" -max_total_time="$seconds" -error_exitcode=1 -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 "$name.corpus"
