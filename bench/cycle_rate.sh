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
for program in kvt3-sim kvt3-refclient kvt3; do
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
  # The box's own view, the same for every client: readings per second in steady state (the
  # median of its one-second reports, start-up and the last partial second left out) and the
  # host's turnaround per byte over the whole run.
  grep '^stats:' "$work/sim.log" | sed -n '2,$p' | sed '$d' |
    sed -E 's/^stats: ([0-9.]+) readings.*/\1/' | sort -n |
    awk '{v[NR]=$1} END {if (NR) printf "    box side, steady: %.1f readings/s (median of %d s)\n", v[int((NR+1)/2)], NR}'
  grep '^total:' "$work/sim.log" | sed -E 's/^total: .*host turnaround/    box side: host turnaround/'
}

refclient() {
  echo "  kvt3-refclient (minimal blocking client):"
  "$bin/kvt3-refclient" --port "$work/COM1" --seconds "$seconds" --quiet | grep '^total:' |
    sed 's/^total:/    client:/'
}

# The program itself, offscreen, in the directory where the simulator made its COM1 link: it
# connects by itself, reads the configuration and runs its cycle until it is told to stop.
kvt3_program() {
  echo "  kvt3:"
  (cd "$work" && QT_QPA_PLATFORM=offscreen timeout -s TERM "$((seconds + 1))" "$bin/kvt3" \
    >/dev/null 2>&1) || true
}

# The same with the line trace on: every byte, request, open and close written to a file.
kvt3_traced() {
  echo "  kvt3 --trace:"
  (cd "$work" && QT_QPA_PLATFORM=offscreen timeout -s TERM "$((seconds + 1))" "$bin/kvt3" \
    --trace "$work/line.txt" >/dev/null 2>&1) || true
  echo "    trace: $(grep -c ' request E1 ' "$work/line.txt") position requests, $(wc -l <"$work/line.txt") lines"
}

echo "line limit, three axes: 36.4 readings/s"
for mode in paced unpaced; do
  echo "$mode:"
  for client in refclient kvt3_program kvt3_traced; do
    if [ "$mode" = paced ]; then start_sim; else start_sim --no-pacing; fi
    "$client"
    stop_sim
  done
done
