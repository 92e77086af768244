#!/usr/bin/env bash
# Formats every tracked C++ file in place with the project's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r -n 20 -P "$(nproc)" "${CLANG_FORMAT:-clang-format}" -i
