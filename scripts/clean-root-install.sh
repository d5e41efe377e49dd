#!/usr/bin/env bash
# Shows the Debian package on a clean Debian 12: makes a minimal root with mmdebstrap (or
# debootstrap) from the package mirror apt is configured with, installs the package there with
# `apt install ./vardell_*.deb`, and runs both programs inside it: their versions and help,
# vardell-cli on the installed example data, and vardell under Xvfb loading the example data
# through its "Data File" dialog and running an analysis, with a screenshot.
# Needs root and access to the package mirror; not part of CI.
#   bash scripts/clean-root-install.sh DEB [ROOT [SCREENSHOT.png]]
set -euo pipefail
deb=$(realpath "$1")
root=${2:-/tmp/vardell-clean-root}
shot=$(realpath -m "${3:-vardell-clean-root.png}")
if [ ! -x "$root/usr/bin/apt-get" ]; then
  if command -v mmdebstrap >/dev/null; then
    mmdebstrap --variant=apt --mode=root bookworm "$root"
  else
    debootstrap --variant=minbase bookworm "$root"
  fi
fi
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
trap 'umount "$root/dev" "$root/proc"' EXIT  # apt's note that /dev/pts is missing is harmless
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

cp "$deb" "$root/tmp/"
in_root apt-get update -q
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./tmp/$(basename "$deb")"
in_root dpkg -s vardell | grep -E '^(Version|Depends|Recommends):'
in_root vardell --version
in_root vardell-cli --version
in_root vardell --help
in_root vardell-cli /usr/share/doc/vardell/examples/ABER.DAT --constrained --zones 4 \
  --zone-table - --export /tmp/aber.svg
in_root ls -l /tmp/aber.svg

# The window, driven as a user would: "Data File", the example's path typed into the dialog,
# "Start clustering"; then a picture of the whole screen.
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  xvfb xauth xdotool x11-apps
cat > "$root/tmp/session.sh" <<'SESSION'
set -eu
export DISPLAY=:99
Xvfb :99 -screen 0 1600x1000x24 >/dev/null 2>&1 &
server=$!
sleep 2
vardell &
program=$!
window=$(xdotool search --sync --onlyvisible --name '^VARDELL')
sleep 2
xdotool mousemove --window "$window" 45 20 click 1   # "Data File"
sleep 3
xdotool type --delay 20 /usr/share/doc/vardell/examples/ABER.DAT
xdotool key Return
sleep 3
xdotool mousemove --window "$window" 647 468 click 1  # "Start clustering"
sleep 4
xwd -root -silent -out /tmp/screen.xwd
kill "$program" "$server"
SESSION
in_root sh /tmp/session.sh
convert "xwd:$root/tmp/screen.xwd" "$shot"
echo "The screen after the session: $shot"
