#!/usr/bin/env bash
# Makes the README's pictures of both windows (docs/parameter-window.png and
# docs/results-window.png) under a virtual X server, from the build in build/ (or
# $VARDELL_BUILD_DIR): the example pollen core loaded and a constrained analysis run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VARDELL_BUILD_DIR:-$top/build}
cmake --build "$build" --target test_readme_screenshots
VARDELL_README_SCREENSHOTS="$top/docs" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1600x1000x24" "$build/tests/app/test_readme_screenshots"
echo "Written: $top/docs/parameter-window.png, $top/docs/results-window.png"
