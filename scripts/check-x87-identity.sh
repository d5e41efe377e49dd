#!/usr/bin/env bash
# The full identity check of the program's own exact arithmetic against the x87 unit: 10^8
# random operands per operation (the everyday test run uses fewer). Needs an x86 machine.
# Usage: bash scripts/check-x87-identity.sh [TRIALS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VARDELL_BUILD_DIR:-$top/build}
[ -x "$build/tests/engine/vardell_tests_engine" ] || bash "$top/scripts/build.sh"
cmake --build "$build" --target vardell_tests_engine
VARDELL_IDENTITY_TRIALS=${1:-100000000} "$build/tests/engine/vardell_tests_engine" \
  --gtest_filter='X87Identity.*'
