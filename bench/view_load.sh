#!/usr/bin/env bash
# Live view load: the cycle rate (three-axis readings a second) with no page open against the
# rate with 16 pages reading the view's event stream, the most it serves. Measured as
# bench/cycle_rate.sh measures it: the median of kvt3-sim's one-second reports over SECONDS after
# a 2 s start, the partial first report left out; paced line (9600 baud), kvt3 offscreen. Each
# run starts a fresh box and kvt3 serving on 127.0.0.1; the runs alternate (no page, 16 pages,
# then 16, none, ...) so that a drift of the machine meets both, and the medians over the rounds
# and their ratio are printed, with kvt3's CPU share and the events each page got a second.
# PASS when the rate with 16 pages is at least 0.99 of the rate with none, FAIL otherwise; exit 0
# either way, 1 when it could not measure, 2 on a missing build.
#
# The 16 pages are plain clients of the stream (one thread reading 16 sockets, as 16 EventSources
# would); with --chromium they are 16 tabs of one headless Chromium instead, which also costs the
# two cores of this machine the browser's own work.
#
#   bench/view_load.sh [--chromium] [build-dir] [seconds] [rounds]   (defaults: build, 10, 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
chromium=()
if [ "${1:-}" = --chromium ]; then
  chromium=(--chromium)
  shift
fi
build=$(cd "${1:-$root/build}" && pwd)
for program in kvt3-sim kvt3; do
  [ -x "$build/bin/$program" ] || { echo "no $build/bin/$program: build first (scripts/build.sh)" >&2; exit 2; }
done
bash "$root/scripts/setup.sh" >&2
exec /usr/bin/python3 "$root/bench/view_bench.py" load --bin "$build/bin" "${chromium[@]}" \
  --seconds "${2:-10}" --rounds "${3:-3}"
