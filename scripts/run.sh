#!/usr/bin/env bash
# Installs what vardell needs, builds it and starts the program. Without a display it starts
# under a virtual X server (xvfb-run), where it runs until it is ended.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh" -DBUILD_TESTING=OFF -DVARDELL_BENCH=OFF
program="${VARDELL_BUILD_DIR:-$top/build}/app/vardell"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$@"
else
  echo "No display found: starting vardell under xvfb-run." >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$program" "$@"
fi
