#!/usr/bin/env bash
# Builds the Debian package vardell_VERSION_ARCH.deb: a Release build with Debian's hardening
# flags in build-release/ (or $VARDELL_PACKAGE_DIR), its tests, CPack with the runtime
# dependencies computed from the binaries (dpkg-shlibdeps), and a lintian check that fails on
# any error and shows the warnings. Extra arguments go to CMake's configure step.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/install-deps.sh"
build=${VARDELL_PACKAGE_DIR:-$top/build-release}

CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARDELL_WERROR=ON \
  -DVARDELL_BENCH=OFF "$@"
cmake --build "$build" -j"$(nproc)"
(cd "$build" && ctest --output-on-failure -j2 --timeout 600)

rm -f "$build"/vardell_*.deb
(cd "$build" && cpack -G DEB)
deb=$(find "$build" -maxdepth 1 -name 'vardell_*.deb')
echo "Checking $deb with lintian"
lintian --fail-on error --display-info "$deb"
echo "Built $deb"
