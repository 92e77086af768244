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
# tests (they carry their own sanitizers) and the benchmarks.
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
ctest --output-on-failure -j "$(nproc)" --timeout 900 -E '(^fuzz_|_fuzz$)'
