#!/usr/bin/env bash
# Shows that the analysis gives the same bits without the x87 unit: builds the analysis,
# engine and diagram layers, their tests and the windowless vardell-fusiontables three times,
#   x86-64                  the ordinary build,
#   aarch64                 Debian's cross compiler, tests run under qemu-user,
#   x86-64-long-double-64   with -mlong-double-64 (long double is then a plain double),
# runs the tests of each, and prints one line per build, "NAME DIGEST", the SHA-256 digest of
# the fusion tables (and stored-value digests) of the example data and the benchmark data for
# every strategy, coefficient and constraint. Exits 0 only when every build passed its tests
# and the three digests are equal.
#
# Installs what it needs (the cross compiler, qemu-user and, unpacked into the build folder
# only, the arm64 builds of the table libraries and of the C library's code-page converters).
# Builds under $VARDELL_PORTABLE_DIR (default build-portable/ beside build/); the log of every
# step is log.txt there. Takes about 10 minutes on two idle cores, most of it the aarch64 build.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=${VARDELL_PORTABLE_DIR:-$top/build-portable}
mkdir -p "$work"
log="$work/log.txt"
: > "$log"

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
bash "$top/scripts/install-deps.sh" >> "$log" 2>&1
needed=()
for p in g++-aarch64-linux-gnu qemu-user googletest; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || needed+=("$p")
done
if [ "${#needed[@]}" -gt 0 ]; then
  $SUDO apt-get update >> "$log" 2>&1
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${needed[@]}" >> "$log" 2>&1
fi

# The arm64 table libraries and what they link against, unpacked into a folder of our own
# (installing them beside the amd64 ones would replace those). The cross compiler's C library
# has no code-page converters (iconv's modules): those alone are taken from the arm64 C library
# (its other files stay out of the library path: they must not mix with the cross compiler's).
sysroot="$work/arm64-root"
arm64_packages=(libshp-dev libshp2 pxlib-dev pxlib1 libgsf-1-114 libglib2.0-0 libxml2 libicu72
  zlib1g liblzma5 libbz2-1.0 libffi8 libpcre2-8-0 libmount1 libblkid1 libselinux1 libc6)
gconv=usr/lib/aarch64-linux-gnu/gconv
if [ "$(cat "$sysroot/.complete" 2>/dev/null)" != "${arm64_packages[*]}" ]; then
  if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    $SUDO dpkg --add-architecture arm64
    $SUDO apt-get update >> "$log" 2>&1
  fi
  rm -rf "$sysroot" "$work/debs" && mkdir -p "$sysroot" "$work/debs"
  # Package lists without arm64 or out of date: fetch them once more and try again.
  if ! (cd "$work/debs" && apt-get download "${arm64_packages[@]/%/:arm64}" >> "$log" 2>&1); then
    $SUDO apt-get update >> "$log" 2>&1
    (cd "$work/debs" && apt-get download "${arm64_packages[@]/%/:arm64}" >> "$log" 2>&1)
  fi
  for deb in "$work"/debs/*.deb; do
    case $deb in
      */libc6_*) dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$sysroot" "./$gconv" ;;
      *) dpkg-deb -x "$deb" "$sysroot" ;;
    esac
  done
  echo "${arm64_packages[*]}" > "$sysroot/.complete"
fi
libs="$sysroot/usr/lib/aarch64-linux-gnu:$sysroot/lib/aarch64-linux-gnu"
emulator=(qemu-aarch64 -L /usr/aarch64-linux-gnu -E "LD_LIBRARY_PATH=$libs"
  -E "GCONV_PATH=$sysroot/$gconv")
cat > "$work/aarch64.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu $sysroot)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-rpath-link,$sysroot/usr/lib/aarch64-linux-gnu -Wl,-rpath-link,$sysroot/lib/aarch64-linux-gnu")
set(CMAKE_CROSSCOMPILING_EMULATOR $(printf '"%s" ' "${emulator[@]}"))
EOF

launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
common=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARDELL_WERROR=ON -DVARDELL_GUI=OFF
  -DVARDELL_BENCH=OFF "${launcher[@]}")
data="$top/tests/data"
inputs=("$data/ABER.DAT" "$data/RLGH.DAT" "$data/ABER.CSV@2@1" bench)

# build NAME [cmake arguments...]: configure, build, test; sets the digest in digests[NAME].
declare -A digests
status=0
build() {
  local name=$1; shift
  local dir="$work/$name" start=$SECONDS
  echo "== $name" >> "$log"
  if ! cmake -S "$top" -B "$dir" "${common[@]}" "$@" >> "$log" 2>&1 ||
     ! cmake --build "$dir" -j"$(nproc)" >> "$log" 2>&1; then
    echo "$name: the build failed (see $log)" >&2
    status=1; digests[$name]=none; return
  fi
  if ! (cd "$dir" && ctest -j"$(nproc)" --timeout 1800 --output-on-failure >> "$log" 2>&1); then
    echo "$name: tests failed (see $log)" >&2
    status=1
  fi
  local run=()
  [ "$name" = aarch64 ] && run=("${emulator[@]}")
  if "${run[@]}" "$dir/cli/vardell-fusiontables" "${inputs[@]}" > "$dir/fusiontables.txt" 2>> "$log"
  then
    digests[$name]=$(sha256sum < "$dir/fusiontables.txt" | cut -d' ' -f1)
  else
    echo "$name: vardell-fusiontables failed (see $log)" >&2
    status=1; digests[$name]=none
  fi
  echo "== $name: $((SECONDS - start)) s" >> "$log"
}

build x86-64
PKG_CONFIG_LIBDIR="$sysroot/usr/lib/aarch64-linux-gnu/pkgconfig:$sysroot/usr/share/pkgconfig" \
PKG_CONFIG_SYSROOT_DIR="$sysroot" \
  build aarch64 -DCMAKE_TOOLCHAIN_FILE="$work/aarch64.cmake" -DVARDELL_GTEST_SOURCE=/usr/src/googletest
build x86-64-long-double-64 -DCMAKE_CXX_FLAGS=-mlong-double-64

for name in x86-64 aarch64 x86-64-long-double-64; do echo "$name ${digests[$name]}"; done
if [ "${digests[x86-64]}" != "${digests[aarch64]}" ] ||
   [ "${digests[x86-64]}" != "${digests[x86-64-long-double-64]}" ]; then
  echo "the digests differ" >&2
  status=1
fi
exit $status
