#!/usr/bin/env bash
# The readout as a screen reader meets it: kvt3 in a real window on a virtual X server, against
# kvt3-sim, read over the accessibility bus (AT-SPI). Each axis row's figures must be named by the
# reading they show while readings run, and say that the reading is out of date once the box has
# stopped. The walk is the screen-reader bench's, once.
#   tests/e2e/accessibility_bus.sh BUILD-DIR
set -euo pipefail
# It reads the window's Polish texts: the program shows English under an English locale.
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(bash "$root/bench/a11y_walk.sh" "$1" 1 1 2>&1) || { echo "$out"; exit 1; }
running=$(grep '^static text in the main window, readings running:' <<<"$out" || true)
stopped=$(grep '^static text in the main window, cycle stopped:' <<<"$out" || true)
status=0
# A linear reading (a number with its decimals) or an angle (degrees'minutes'seconds).
reading="(-?[0-9]+\.[0-9]+|-?[0-9]+'[0-9]{2}'[0-9]{2})"
for axis in X Y Z; do
  grep -qE "['\"]${reading}['\"] \(Oś ${axis}\)" <<<"$running" ||
    { echo "readings running: no reading named for axis $axis"; status=1; }
  grep -qE "['\"]${reading}['\"] \(Oś ${axis}, odczyt nieaktualny\)" <<<"$stopped" ||
    { echo "cycle stopped: axis $axis not said to be out of date"; status=1; }
done
[ "$status" -eq 0 ] || echo "$out"
exit "$status"
