#!/usr/bin/env bash
# Live view load: the cycle rate (three-axis readings a second) of a kvt3 whose view 16 pages
# read, the most it serves, against a kvt3 whose view no page reads. As bench/cycle_rate.sh runs
# its two hosts, the two run side by side at the same time, each with a kvt3-sim of its own
# (paced, 9600 baud; kvt3 offscreen, serving on 127.0.0.1), so both meet the same load from the
# rest of the machine; each round starts them afresh, and which starts first alternates. The rate
# is what cycle_rate.sh reads: the box's one-second reports over SECONDS after a 2 s start, the
# partial first report left out. Printed for each round and program: the median of those reports
# (cycle_rate.sh's figure) and the readings over the whole measured time, kvt3's CPU share and
# the events each page got a second; then the medians and the ratios 16 pages / none. A report
# counts whole readings, some 30, so its median moves in steps of 3 %: the verdict is on the
# median ratio of the readings over the whole time, which shows 1 %.
# PASS when it is at least 0.99, FAIL otherwise; exit 0 either way, 1 when it could not measure,
# 2 on a missing build.
#
# The 16 pages are plain clients of the stream (one thread reading 16 sockets, as 16 EventSources
# would); with --chromium they are 16 tabs of one headless Chromium instead, which also costs the
# two cores of this machine the browser's own work.
#
#   bench/view_load.sh [--chromium] [build-dir] [seconds] [rounds]   (defaults: build, 10, 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
chromium=()
if [ "${1:-}" = --chromium ]; then
  chromium=(--chromium)
  shift
fi
build=$(cd "${1:-$root/build}" && pwd)
. "$root/bench/needs_built.sh"
needs_built "$build/bin" kvt3-sim kvt3
bash "$root/scripts/setup.sh" >&2
exec /usr/bin/python3 "$root/bench/view_bench.py" load --bin "$build/bin" "${chromium[@]}" \
  --seconds "${2:-10}" --rounds "${3:-5}"
