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

# Every tag lintian has, informational and pedantic ones included, is shown; errors and the
# hardening tags (a program built without Debian's hardening flags) fail.
lintian_all=$(lintian -I --pedantic --tag-display-limit 0 "$deb" 2>&1 || true)
echo "test-package: lintian -I --pedantic:"
echo "${lintian_all:-(no tags)}" | sed 's/^/  /'
lintian_errors=$(grep '^E:' <<<"$lintian_all" || true)
check "lintian finds no errors${lintian_errors:+:
$lintian_errors}" [ -z "$lintian_errors" ]
lintian_hardening=$(grep -E ': hardening-' <<<"$lintian_all" || true)
check "lintian finds no hardening tag${lintian_hardening:+:
$lintian_hardening}" [ -z "$lintian_hardening" ]
# One contact in the package's three places: the control file, the changelog, the copyright file.
maintainer=$(dpkg-deb -f "$deb" Maintainer)
check "Maintainer: $maintainer, the changelog's and the copyright file's contact too" bash -c \
  'zcat "$0/usr/share/doc/kvt3/changelog.gz" | grep -qF -- " -- $1  " &&
   grep -qxF "Upstream-Contact: $1" "$0/usr/share/doc/kvt3/copyright"' "$root" "$maintainer"
project_version=$(sed -nE 's/^project\(kvt3 VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
for program in kvt3 kvt3-sim; do
  version=$(in_root "$program" --version)
  check "$program --version: $(head -n 3 <<<"$version" | paste -sd' ')" \
    bash -c '[ "$(head -n 1 <<<"$0")" = "$1" ] && grep -q "GPLv3+" <<<"$0"' \
    "$version" "$program $project_version"
done
check "copyright file: GPL-3.0-or-later, machine-readable" bash -c \
  'grep -q "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" "$0" &&
   grep -qx "License: GPL-3.0-or-later" "$0"' "$root/usr/share/doc/kvt3/copyright"
metainfo=$(in_root sh -c 'ls /usr/share/metainfo/*.metainfo.xml' || true)
validation=$(appstreamcli validate --pedantic --no-net "$root$metainfo" 2>&1) || true
check "AppStream metadata $metainfo valid without errors or warnings:
$(grep -v "^$" <<<"$validation" | sed 's/^/       /')" \
  bash -c '[ -n "$1" ] && appstreamcli validate --pedantic --no-net "$0" >/dev/null &&
           ! grep -qE "^[EW]:" <<<"$2"' "$root$metainfo" "$metainfo" "$validation"
check "AppStream metadata launches the desktop entry and provides both programs" bash -c \
  'grep -q "<launchable type=\"desktop-id\">kvt3.desktop</launchable>" "$0" &&
   grep -q "<binary>kvt3</binary>" "$0" && grep -q "<binary>kvt3-sim</binary>" "$0" &&
   grep -q "<summary xml:lang=\"pl\">" "$0" &&
   grep -q "<release version=\"$1\"" "$0"' "$root$metainfo" "$project_version"
status=0
in_root kvt3 --bogus 2>/dev/null || status=$?
check "kvt3 --bogus ends with status 2" [ "$status" -eq 2 ]
check "kvt3-sim --help" in_root sh -c 'kvt3-sim --help >/dev/null'
for f in /usr/bin/kvt3 /usr/bin/kvt3-sim /usr/share/kvt3/pomoc.txt /usr/share/kvt3/help_en.txt \
  /usr/share/applications/kvt3.desktop \
  /usr/share/metainfo/example.c_seed_f6c54bc3.kvt3.metainfo.xml \
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
for pair in kvt3:kvt3-sim kvt3-sim:kvt3; do
  check "man page of ${pair%%:*} refers to ${pair#*:}" bash -c \
    'zcat "$0" | sed -n "/^\.SH \"SEE ALSO\"/,\$p" | grep -qF ".BR $1 (1)"' \
    "$root/usr/share/man/man1/${pair%%:*}.1.gz" "${pair#*:}"
done
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
# The recipe of the README: the simulator attached to the menu start's directory before the
# program has ever made it, then the program as the menu starts it.
check "kvt3-sim --dir makes the menu start's directory; kvt3 --desktop reads from it" in_root sh -c '
  rm -rf /root/.local/share/kvt3 /tmp/desk && mkdir -p /tmp/desk &&
  kvt3-sim --dir /root/.local/share/kvt3 2>/tmp/desk/sim.log & sim=$!
  for i in $(seq 50); do [ -L /root/.local/share/kvt3/COM1 ] && break; sleep 0.1; done
  QT_QPA_PLATFORM=offscreen timeout --preserve-status -s TERM 3 \
    kvt3 --desktop --trace /tmp/desk/line.txt 2>/tmp/desk/kvt3.log
  status=$?
  kill -TERM $sim; wait $sim
  [ $status -eq 0 ] && grep -q "request E1 positions" /tmp/desk/line.txt'
in_root dpkg -L kvt3 | sed 's/^/  /'

if [ "$failures" -ne 0 ]; then
  echo "test-package: $failures checks failed"
  exit 1
fi
echo "test-package: passed"
