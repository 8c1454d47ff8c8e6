#!/usr/bin/env bash
# Builds the package, installs it into a fresh Debian 12 (bookworm) chroot made by debootstrap,
# and checks that kvt3 runs there and that its files lie where the desktop, udev and man look
# for them. Slow (it downloads a minimal Debian the first time), so it is not part of
# scripts/test.sh. Needs root.
#   bash scripts/test-package.sh [chroot directory, default scratch/bookworm]
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "test-package: needs root (debootstrap, chroot)" >&2; exit 2; }
root=$(realpath -m "${1:-scratch/bookworm}")
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

deb=$(bash scripts/package.sh | tail -n 1)
echo "test-package: $deb"

if [ ! -x "$root/usr/bin/apt-get" ]; then
  echo "test-package: making a Debian 12 chroot in $root"
  rm -rf "$root"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >/dev/null
fi
mount -t proc proc "$root/proc"
mkdir -p "$root/dev/pts"
mount --bind /dev/pts "$root/dev/pts"  # the simulated box's pseudo-terminal
trap 'umount "$root/dev/pts"; umount "$root/proc"' EXIT
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

# A fresh installation every run: the package from before goes first.
in_root dpkg --purge kvt3 >/dev/null 2>&1 || true
cp "$deb" "$root/tmp/kvt3.deb"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  man-db desktop-file-utils /tmp/kvt3.deb >/dev/null

failures=0
check() {  # description, command...
  local what=$1
  shift
  if "$@"; then echo "  ok   $what"; else echo "  FAIL $what"; failures=$((failures + 1)); fi
}
exists() { [ -f "$root$1" ]; }

lintian_errors=$(lintian --no-tag-display-limit "$deb" 2>&1 | grep '^E:' || true)
check "lintian finds no errors${lintian_errors:+:
$lintian_errors}" [ -z "$lintian_errors" ]
version=$(in_root kvt3 --version)
check "kvt3 --version: $version" [ "$version" = "kvt3 $(sed -nE 's/^project\(kvt3 VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)" ]
status=0
in_root kvt3 --bogus 2>/dev/null || status=$?
check "kvt3 --bogus ends with status 2" [ "$status" -eq 2 ]
check "kvt3-sim --help" in_root sh -c 'kvt3-sim --help >/dev/null'
for f in /usr/bin/kvt3 /usr/bin/kvt3-sim /usr/share/kvt3/pomoc.txt /usr/share/kvt3/help_en.txt \
  /usr/share/applications/kvt3.desktop \
  /usr/share/icons/hicolor/scalable/apps/kvt3.svg /usr/share/icons/hicolor/48x48/apps/kvt3.png \
  /usr/lib/udev/rules.d/60-kvt3-serial.rules \
  /usr/share/man/man1/kvt3.1.gz /usr/share/man/man1/kvt3-sim.1.gz \
  /usr/share/doc/kvt3/copyright /usr/share/doc/kvt3/changelog.gz; do
  check "$f" exists "$f"
done
check "desktop entry valid" in_root desktop-file-validate /usr/share/applications/kvt3.desktop
check "desktop entry starts kvt3 --desktop" grep -qx 'Exec=kvt3 --desktop' "$root/usr/share/applications/kvt3.desktop"
check "man finds kvt3" [ "$(in_root man -w kvt3)" = /usr/share/man/man1/kvt3.1.gz ]
check "man finds kvt3-sim" [ "$(in_root man -w kvt3-sim)" = /usr/share/man/man1/kvt3-sim.1.gz ]
check "man page tells how COMn is chosen" bash -c 'zcat "$0/usr/share/man/man1/kvt3.1.gz" | grep -qF "serial/by\\-id"' "$root"
check "man page says the window is Polish and has the glossary" bash -c 'zcat "$0/usr/share/man/man1/kvt3.1.gz" | grep -q "in Polish by default" && zcat "$0/usr/share/man/man1/kvt3.1.gz" | grep -q "^\.SH GLOSSARY"' "$root"
check "udev rule gives dialout the adapters" grep -q 'GROUP="dialout"' "$root/usr/lib/udev/rules.d/60-kvt3-serial.rules"
check "udev rule sets the FTDI latency when the driver binds" grep -q 'ACTION=="[a-z|]*bind[a-z|]*".*ATTR{latency_timer}="1"' "$root/usr/lib/udev/rules.d/60-kvt3-serial.rules"
# The installed program on the simulated box: its libraries are all there, it finds the box
# through --port, reads the installed help file's directory, and ends cleanly on SIGTERM.
check "kvt3 runs on kvt3-sim and ends on SIGTERM" in_root sh -c '
  rm -rf /tmp/run && mkdir -p /tmp/run && cd /tmp/run &&
  kvt3-sim --port box 2>sim.log & sim=$!
  for i in $(seq 50); do [ -e /tmp/run/box ] && break; sleep 0.1; done
  QT_QPA_PLATFORM=offscreen timeout --preserve-status -s TERM 3 \
    kvt3 --dir /tmp/run/work --port COM1=/tmp/run/box --trace /tmp/run/line.txt 2>kvt3.log
  status=$?
  kill -TERM $sim; wait $sim
  [ $status -eq 0 ] && grep -q "request E1 positions" /tmp/run/line.txt &&
    [ -f /tmp/run/work/params.kv3 ]'
in_root dpkg -L kvt3 | sed 's/^/  /'

if [ "$failures" -ne 0 ]; then
  echo "test-package: $failures checks failed"
  exit 1
fi
echo "test-package: passed"
