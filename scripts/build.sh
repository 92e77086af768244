#!/usr/bin/env bash
# Configures and builds Kelvane into ./build: everything (program, tests,
# simulator, benchmarks), or only the targets named on the command line.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ "$#" -gt 0 ]; then
  cmake --build "$root/build" -j "$(nproc)" --target "$@"
else
  cmake --build "$root/build" -j "$(nproc)"
fi
