#!/bin/sh
# Builds the value-file fuzz target with clang and runs it for a short time.
# Arguments: <params source dir> <fuzz source dir> <work dir> <QtCore library>
#            <QtCore include dirs, ;-separated> <seconds>
# Exit 77 (reported as skipped) when no clang++ is installed.
set -eu
src=$1; fuzzsrc=$2; work=$3; qtlib=$4; qtinc=$5; seconds=$6

CXX=
for c in clang++ clang++-18 clang++-17 clang++-16 clang++-15 clang++-14; do
  if command -v "$c" >/dev/null 2>&1; then CXX=$c; break; fi
done
if [ -z "$CXX" ]; then
  echo "clang++ not found: fuzz test skipped"
  exit 77
fi

mkdir -p "$work/corpus"
incs=""
old_ifs=$IFS; IFS=';'
for d in $qtinc; do incs="$incs -I$d"; done
IFS=$old_ifs

# shellcheck disable=SC2086
"$CXX" -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$src" $incs \
  "$fuzzsrc/fuzz_value_file.cpp" "$src/ValueFile.cpp" "$src/ConfigFormat.cpp" \
  "$qtlib" -Wl,-rpath,"$(dirname "$qtlib")" \
  -o "$work/fuzz_value_file"

cp "$fuzzsrc"/seeds/* "$work/corpus/" 2>/dev/null || true
cd "$work"
exec ./fuzz_value_file -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 corpus
