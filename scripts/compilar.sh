#!/usr/bin/env bash
# Builds into build/ (warnings are errors): the targets named, or everything.
#   scripts/compilar.sh [objetivo...]
# CMake configures build/ the first time only; afterwards the build itself
# reconfigures when a CMakeLists.txt changes.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/build.ninja ]; then
  CC=clang CXX=clang++ cmake -S . -B build -G Ninja -DSORVENIA_WERROR=ON
fi
if [ $# -gt 0 ]; then
  cmake --build build --target "$@"
else
  cmake --build build
fi
