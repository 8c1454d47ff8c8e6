#!/usr/bin/env bash
# Cycle rate: complete three-axis position readings per second against kvt3-sim, with the line
# paced at 9600 baud and unpaced, read by the reference client (a minimal blocking host).
# The line limit for three axes is 36.4 readings/s: command, 12 reply bytes and 11
# acknowledgements, 24 bytes of 11 bits at 9600 baud.
#
#   bench/cycle_rate.sh [build-dir] [seconds]     (defaults: build, 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-5}
bin=$build/bin
for program in kvt3-sim kvt3-refclient; do
  [ -x "$bin/$program" ] || { echo "no $bin/$program: build first (scripts/build.sh)" >&2; exit 2; }
done

work=$(mktemp -d)
sim=
cleanup() {
  if [ -n "$sim" ]; then kill -TERM "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

start_sim() {
  "$bin/kvt3-sim" --dir "$work" --stats "$@" 2>"$work/sim.log" &
  sim=$!
  for _ in $(seq 100); do [ -e "$work/COM1" ] && return 0; sleep 0.05; done
  echo "kvt3-sim made no link:" >&2
  cat "$work/sim.log" >&2
  exit 1
}

stop_sim() {
  kill -TERM "$sim"
  wait "$sim" || true
  sim=
  # The box's own view: readings it completed and the host's turnaround per byte.
  grep '^total:' "$work/sim.log" | sed 's/^total:/    box side:/'
}

refclient() {
  "$bin/kvt3-refclient" --port "$work/COM1" --seconds "$seconds" --quiet | grep '^total:' |
    sed 's/^total:/    kvt3-refclient:/'
}

# The kvt3 program is measured here, beside the reference client, once it can report its
# reading rate: run it against "$work/COM1" for "$seconds" s and print one line like the others.
kvt3_program() {
  :
}

echo "line limit, three axes: 36.4 readings/s"
for mode in paced unpaced; do
  echo "$mode:"
  if [ "$mode" = paced ]; then start_sim; else start_sim --no-pacing; fi
  refclient
  kvt3_program
  stop_sim
done
