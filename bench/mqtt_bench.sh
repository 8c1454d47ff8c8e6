#!/usr/bin/env bash
# The readings on an MQTT broker (a mosquitto on loopback, started here), kvt3 offscreen on a
# moving kvt3-sim:
#   latency: reading -> subscriber, p50/p95/max over SECONDS (goal: p95 <= 100 ms);
#   restart: the broker stopped for 30 s and started again: the cycle's rate before, while
#            stopped and after, and when a subscriber sees "online" and a current state again
#            (goal: rate unchanged, within 5 s).
# PASS or FAIL on the last line; exit 0 either way, 1 when it could not measure, 2 on a missing build.
#
#   bench/mqtt_bench.sh latency|restart [build-dir] [seconds]   (defaults: build, 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:?latency or restart}
build=$(cd "${2:-$root/build}" && pwd)
. "$root/bench/needs_built.sh"
needs_built "$build/bin" kvt3-sim kvt3
bash "$root/scripts/setup.sh" >&2
exec /usr/bin/python3 "$root/bench/mqtt_bench.py" "$mode" --bin "$build/bin" --seconds "${3:-20}"
