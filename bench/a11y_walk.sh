#!/usr/bin/env bash
# Screen reader cost of the live figures: how long a walk of kvt3's whole accessibility tree takes
# over AT-SPI (every node's role, name, description and children, and the text of text nodes, as a
# screen reader reads a window) while the readings run, against the same walk with the cycle
# stopped. The figures announce each new reading to a listening assistive technology; this shows
# what those announcements cost the one who listens.
#
# Each round starts kvt3-sim (paced, its default) and kvt3 in a directory of their own, in a real
# window on a virtual X server, registered with an accessibility bus of its own; waits until the
# figures move, walks the tree N times, then stops the box (SIGSTOP), answers the program's
# question whether to stop waiting (the cycle stays stopped, the link open) and walks N times
# again. The walker registers for the events a screen reader registers for and handles those
# that arrive between any two nodes. bench/a11y_walk.py does the rounds and the walking.
#
# Prints each round's medians and the box's reading rate, the static text of the main window in
# both states (the figures, named by the reading shown), then the median over all walks of each
# state and their ratio, and PASS when the walk with readings running takes at most 1.5 times as
# long as with the cycle stopped, FAIL otherwise. Exit 0 either way; 1 when it could not measure
# (the accessibility bus, the program's registration, the box), 2 on a missing build.
#
#   bench/a11y_walk.sh [build-dir] [rounds] [walks]   (defaults: build, 3, 15)
#
# What it needs beyond the build (scripts/setup.sh installs it): at-spi2-core (the accessibility
# bus and its registry), python3-pyatspi (the walker's AT-SPI client), dbus-daemon and dbus-bin
# (a session bus of the bench's own, and asking it whether the accessibility bus is up), and
# xvfb-run: Qt's accessibility bridge runs on a real platform (xcb) only, not on offscreen.
# The walker runs with the system's /usr/bin/python3, where Debian installs pyatspi.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${2:-3}
walks=${3:-15}
bin=$build/bin
. "$root/bench/needs_built.sh"
needs_built "$bin" kvt3-sim kvt3

bash "$root/scripts/setup.sh"

# The daemons' complaints (a descriptor limit they may not raise, services they start) are kept
# apart and shown only when the walk could not be measured.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
dbus-run-session -- xvfb-run -a -s "-screen 0 1024x768x24" \
  /usr/bin/python3 "$root/bench/a11y_walk.py" --bin "$bin" --rounds "$rounds" --walks "$walks" \
  2>"$log" || status=$?
if ((status != 0)); then
  echo "a11y_walk: the walk ended with status $status; its error output:" >&2
  cat "$log" >&2
  exit 1
fi
