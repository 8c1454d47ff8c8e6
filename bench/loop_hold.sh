#!/usr/bin/env bash
# How long the line keeps kvt3's window thread: kvt3 against kvt3-sim paced at 9600 baud, with a
# box that answers as fast as the line allows, one that answers each acknowledgement one and two
# characters later, and one that trickles its bytes just under the few milliseconds the port once
# waited for the next one on the window's thread. For each, kvt3 runs with --loop-probe, which
# measures from inside the program how late a 10 ms timer of the window's comes and how long the
# longest delivery from the port took on the window's thread; the box reports the readings.
#
# Goals: no delivery longer than 5 ms, and the 10 ms timer at most 5 ms late (p99), while
# readings run.
#
#   bench/loop_hold.sh [build-dir] [seconds]     (defaults: build, 10)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-10}
bin=$build/bin
. "$root/bench/needs_built.sh"
needs_built "$bin" kvt3-sim kvt3

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# One character at 9600 baud, 8 data bits, odd parity, 1 stop bit: 11 bits.
char_ms=1.146
boxes=(
  "as fast as the line|0"
  "one character late|$char_ms"
  "two characters late|2.292"
  "trickling just under 5 ms a byte|2.7"
)

printf '%-34s %10s %12s %12s %12s %14s\n' box "readings/s" "timer p50" "timer p99" "timer max" "longest port"
status=0
for entry in "${boxes[@]}"; do
  name=${entry%%|*}
  delay=${entry##*|}
  dir="$work/run"
  rm -rf "$dir" && mkdir "$dir"
  "$bin/kvt3-sim" --dir "$dir" --stats --byte-delay "$delay" 2>"$dir/sim.log" &
  sim=$!
  pids+=("$sim")
  for _ in $(seq 100); do [ -e "$dir/COM1" ] && break; sleep 0.05; done
  [ -e "$dir/COM1" ] || { echo "kvt3-sim made no link" >&2; cat "$dir/sim.log" >&2; exit 1; }
  (cd "$dir" && QT_QPA_PLATFORM=offscreen exec "$bin/kvt3" --loop-probe "$dir/probe.txt") \
    >/dev/null 2>&1 &
  host=$!
  pids+=("$host")
  # The probe starts 3 s after the program, when the link start is over.
  sleep $((3 + seconds))
  kill -TERM "$host" "$sim" 2>/dev/null || true
  wait "$host" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  pids=()
  [ -s "$dir/probe.txt" ] || { echo "$name: kvt3 wrote no probe figures" >&2; exit 1; }
  value() { awk -v k="$1" '$1 == k {print $2}' "$dir/probe.txt"; }
  rate=$(grep '^stats:' "$dir/sim.log" | tail -n "$seconds" | sed -E 's/^stats: ([0-9.]+) readings.*/\1/' |
    sort -n | awk '{v[NR]=$1} END {if (NR) print v[int((NR+1)/2)]; else print 0}')
  p50=$(value timer_late_p50_us) p99=$(value timer_late_p99_us) max=$(value timer_late_max_us)
  longest=$(value delivery_max_us)
  printf '%-34s %10s %9.2f ms %9.2f ms %9.2f ms %11.2f ms\n' "$name" "$rate" \
    "$(awk -v v="$p50" 'BEGIN {print v / 1000}')" "$(awk -v v="$p99" 'BEGIN {print v / 1000}')" \
    "$(awk -v v="$max" 'BEGIN {print v / 1000}')" "$(awk -v v="$longest" 'BEGIN {print v / 1000}')"
  if [ "$p99" -gt 5000 ] || [ "$longest" -gt 5000 ]; then status=1; fi
done
if [ "$status" -eq 0 ]; then
  echo "goals met: no delivery from the port over 5 ms, the 10 ms timer at most 5 ms late (p99)"
else
  echo "goals missed: a delivery from the port over 5 ms, or the 10 ms timer over 5 ms late (p99)"
fi
exit "$status"
