#!/usr/bin/env bash
# The live curves must not lower the cycle's rate: kvt3 with the curves window open beside one
# without, each on a moving kvt3-sim, in real windows on Xvfb (800x480), ROUNDS rounds of SECONDS.
#
#   bench/curves_rate.sh [build-dir] [seconds] [rounds]   (defaults: build, 20, 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
. "$root/bench/needs_built.sh"
needs_built "$build/bin" kvt3-sim kvt3
bash "$root/scripts/setup.sh" >&2
exec xvfb-run -a -s "-screen 0 800x480x24" /usr/bin/python3 "$root/bench/curves_rate.py" \
  --bin "$build/bin" --seconds "${2:-20}" --rounds "${3:-3}"
