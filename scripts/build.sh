#!/usr/bin/env bash
# Configures and builds vardell into build/ (or $VARDELL_BUILD_DIR), warnings as errors.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VARDELL_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARDELL_WERROR=ON "$@"
cmake --build "$build" -j"$(nproc)"
