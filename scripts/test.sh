#!/usr/bin/env bash
# Builds everything and runs every test suite (offscreen, against the
# simulated bus).
#
#   scripts/test.sh              the normal build in ./build
#   scripts/test.sh --sanitize   a second build in ./build-sanitize under
#                                AddressSanitizer and UndefinedBehaviorSanitizer;
#                                the first report fails the test that made it
#
# Both use ccache when it is installed. The sanitizer pass leaves out the fuzz
# tests (they carry their own sanitizers) and the benchmarks. After running
# each test in a process of its own, it runs every test program once more
# whole, all its tests in one process, so that a fault one test leaves behind
# for the next (a window outliving what it shows) is found too.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sanitize=0
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=1 ;;
    *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
  esac
done
"$root/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen

if [ "$sanitize" -eq 0 ]; then
  "$root/scripts/build.sh"
  cd "$root/build"
  ctest --output-on-failure -j "$(nproc)" --timeout 600
  exit 0
fi

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
san="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S "$root" -B "$root/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVANE_BUILD_BENCH=OFF "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$san" \
  -DCMAKE_EXE_LINKER_FLAGS="$san" -DCMAKE_SHARED_LINKER_FLAGS="$san" -DCMAKE_MODULE_LINKER_FLAGS="$san" >/dev/null
cmake --build "$root/build-sanitize" -j "$(nproc)"
cd "$root/build-sanitize"
# Leak reports are left out: Qt and the font libraries keep caches until exit.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=0:detect_odr_violation=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
exclude='(^fuzz_|_fuzz$)'
ctest --output-on-failure -j "$(nproc)" --timeout 900 -E "$exclude"

# The test programs behind the GoogleTest entries, each with its working folder.
programs="$(ctest -N -V -E "$exclude" | awk '
  /^[0-9]+: Test command: .* "--gtest_filter=/ {
    sub(/^[0-9]+: Test command: /, ""); sub(/ "--gtest_filter=.*/, ""); program = $0; next
  }
  program != "" && /^[0-9]+: Working Directory: / {
    sub(/^[0-9]+: Working Directory: /, ""); print program "\t" $0; program = ""
  }' | sort -u)"
if [ -z "$programs" ]; then
  echo "no test programs found for the whole runs" >&2
  exit 1
fi
failed=()
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
while IFS=$'\t' read -r program folder; do
  name="$(basename "$program")"
  echo "whole run: $name"
  if ! (cd "$folder" && KELVANE_BIN_DIR="$root/build-sanitize/bin" timeout 1800 "$program") >"$log" 2>&1; then
    tail -n 200 "$log"
    failed+=("$name")
  fi
done <<<"$programs"
if [ ${#failed[@]} -gt 0 ]; then
  echo "whole runs failed: ${failed[*]}" >&2
  exit 1
fi
echo "whole runs passed: $(wc -l <<<"$programs") test programs"
