#!/usr/bin/env bash
# Live view latency: how long a reading takes from the last byte of the box's reply on the serial
# line to the figures changing on a page in a browser. kvt3 (offscreen) serves its view on
# 127.0.0.1 against kvt3-sim with its axes moving; one page in headless Chromium (1024x768) takes
# the events for SECONDS after a 2 s start, and its own window.kvtView.latencies, one a figures
# update (the reading's age at sending, from the event, plus the time from the sending to the
# update, both on this machine's clock), are summed up: p50, p95 and max for each round and over
# all. Beside the page, a plain client of the stream shows how old the readings are when sent.
# PASS when p95 <= 100 ms, FAIL otherwise; exit 0 either way, 1 when it could not measure, 2 on a
# missing build.
#
#   bench/view_latency.sh [build-dir] [seconds] [rounds]   (defaults: build, 20, 1)
#
# scripts/setup.sh installs what it needs (chromium, node, tests/browser's playwright-core).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
. "$root/bench/needs_built.sh"
needs_built "$build/bin" kvt3-sim kvt3
bash "$root/scripts/setup.sh" >&2
exec /usr/bin/python3 "$root/bench/view_bench.py" latency --bin "$build/bin" \
  --seconds "${2:-20}" --rounds "${3:-1}"
