#!/usr/bin/env bash
# The live view in a browser: kvt3 serving its view on 127.0.0.1 against kvt3-sim.
#   tests/e2e/browser_view.sh BUILD-DIR page      headless Chromium at phone and PC sizes against
#                                                 the window read over the accessibility bus
#                                                 (tests/browser/view_e2e.py)
#   tests/e2e/browser_view.sh BUILD-DIR hostile   clients that are not pages
#                                                 (tests/browser/view_hostile.py)
#   tests/e2e/browser_view.sh BUILD-DIR points    a chosen point's distance to go and near-zero
#                                                 cue on the page (tests/browser/view_points.py)
# Screenshots and the programs' output go to BUILD-DIR/test-artefacts/browser-view-KIND/.
# scripts/setup.sh installs what it needs: chromium, node and tests/browser's playwright-core,
# and for the page test the accessibility bus, its client and a virtual X server.
set -euo pipefail
# It reads the window's Polish texts: the program shows English under an English locale.
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
kind=$2
for program in kvt3-sim kvt3; do
  [ -x "$build/bin/$program" ] || { echo "no $build/bin/$program" >&2; exit 2; }
done
bash "$root/scripts/setup.sh" >&2
out=$build/test-artefacts/browser-view-$kind
rm -rf "$out"
mkdir -p "$out"
echo "artefacts: $out"
cd "$root/tests/browser"
case "$kind" in
  page)
    # The daemons' complaints (services they start, a descriptor limit) are kept apart.
    status=0
    dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" \
      /usr/bin/python3 view_e2e.py --bin "$build/bin" --out "$out" 2>"$out/daemons.log" ||
      status=$?
    ((status == 0)) || { echo "error output:"; tail -n 40 "$out/daemons.log"; }
    exit "$status"
    ;;
  hostile) exec /usr/bin/python3 view_hostile.py --bin "$build/bin" --out "$out" ;;
  points) exec /usr/bin/python3 view_points.py --bin "$build/bin" --out "$out" ;;
  *) echo "unknown kind $kind: page, hostile or points" >&2; exit 2 ;;
esac
