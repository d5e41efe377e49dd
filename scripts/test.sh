#!/usr/bin/env bash
# Installs what vardell needs, builds everything and runs every test; fails when one fails.
# Then builds the plain layers once more under AddressSanitizer and UndefinedBehaviorSanitizer
# and runs their tests.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
build=${VARDELL_BUILD_DIR:-$top/build}
bash "$top/scripts/build.sh"
(cd "$build" && ctest --output-on-failure -j2 --timeout 600)

asan="$build-asan"
cmake -S "$top" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARDELL_SANITIZE=ON \
  -DVARDELL_GUI=OFF -DVARDELL_BENCH=OFF -DVARDELL_WERROR=ON
cmake --build "$asan" -j"$(nproc)"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j2 --timeout 600)
