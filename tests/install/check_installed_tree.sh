#!/usr/bin/env bash
# Installs a build into a temporary prefix (a path with a space and a non-ASCII letter) and
# checks the installed tree: every file in its place, the programs answer --version, the
# installed vardell finds the installed help file, the man page of vardell-cli names every
# option of its --help, and the desktop entry and metainfo pass their validators.
# Usage: check_installed_tree.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
root=$(mktemp -d "${TMPDIR:-/tmp}/vardell install ä.XXXXXX")
trap 'rm -rf "$root"' EXIT
prefix="$root/usr"
cmake --install "$build" --prefix "$prefix" >/dev/null

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for file in bin/vardell bin/vardell-cli share/vardell/vardell.html \
    share/applications/vardell.desktop share/metainfo/org.vardell.vardell.metainfo.xml \
    share/mime/packages/vardell.xml share/icons/hicolor/scalable/apps/vardell.svg \
    share/man/man1/vardell.1.gz share/man/man1/vardell-cli.1.gz \
    share/doc/vardell/copyright share/doc/vardell/changelog.gz \
    share/doc/vardell/examples/ABER.CSV share/doc/vardell/examples/RLGH.DBF; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/vardell.png"
  [ -f "$png" ] || { fail "the ${size} pixel icon is not installed"; continue; }
  [ "$(file -b "$png" | grep -o "[0-9]* x [0-9]*")" = "$size x $size" ] ||
    fail "the ${size} pixel icon is $(file -b "$png")"
done
for page in vardell.1.gz vardell-cli.1.gz; do
  gzip -t "$prefix/share/man/man1/$page" || fail "$page is not gzip-compressed"
done

[ "$("$prefix/bin/vardell" --version)" = "vardell $version" ] || fail "vardell --version"
[ "$("$prefix/bin/vardell-cli" --version)" = "vardell-cli $version" ] || fail "vardell-cli --version"
help=$("$prefix/bin/vardell" --help)
grep -qF "The help file: $prefix/share/vardell/vardell.html" <<<"$help" ||
  fail "the installed vardell does not name the installed help file: $help"
grep -q "^usage: vardell \[FILE\]" <<<"$help" || fail "vardell --help shows no usage line"

# Every option vardell-cli --help lists is described in its man page.
manpage=$(zcat "$prefix/share/man/man1/vardell-cli.1.gz" | sed 's/\\-/-/g')
for option in $("$prefix/bin/vardell-cli" --help | grep -o -- '--[a-z-]*[a-z]' | sort -u); do
  grep -qF -- "$option" <<<"$manpage" || fail "the man page of vardell-cli lacks $option"
done

if command -v desktop-file-validate >/dev/null && command -v appstreamcli >/dev/null; then
  desktop-file-validate "$prefix/share/applications/vardell.desktop" ||
    fail "desktop-file-validate"
  appstreamcli validate --no-net "$prefix/share/metainfo/org.vardell.vardell.metainfo.xml" ||
    fail "appstreamcli validate"
else
  echo "desktop-file-validate or appstreamcli missing (scripts/install-deps.sh installs them)"
  exit 77
fi
[ "$failures" -eq 0 ]
