#!/usr/bin/env bash
# A lost link coming back, and what waiting for it costs:
# - back: kvt3-sim disappears for 5 s at a position request (its terminal closes and its link
#   leads nowhere, as an unplugged adapter's does) and comes back under the same link; the time
#   from its return to the host's first position request after it, from the box's trace. Goal:
#   3 s at most.
# - absent: kvt3 on a COM1 that leads nowhere for the whole run; the share of a core its threads
#   take. Goal: 1 % at most.
# - silent: kvt3 on a working port whose box never answers; the same share.
#   bench/link_recovery.sh [build-dir] [seconds for the costs, default 30] [rounds, default 3]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-30}
rounds=${3:-3}
bin=$build/bin
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

cpu_ns() { # all threads of the process, on a core
  local total=0 ns
  for task in /proc/"$1"/task/*/schedstat; do
    read -r ns _ <"$task" 2>/dev/null && total=$((total + ns))
  done
  echo "$total"
}

start_kvt3() { # directory; the pid in $host
  (cd "$1" && QT_QPA_PLATFORM=offscreen exec "$bin/kvt3") >/dev/null 2>&1 &
  host=$!
  pids+=("$host")
}

# The share of a core kvt3 takes over $seconds in directory $1, after a few seconds to settle;
# kvt3 is ended after.
cost() {
  start_kvt3 "$1"
  sleep 3
  local c0 t0 c1 t1
  c0=$(cpu_ns "$host") t0=$(date +%s%N)
  sleep "$seconds"
  c1=$(cpu_ns "$host") t1=$(date +%s%N)
  kill -TERM "$host" 2>/dev/null || true
  wait "$host" 2>/dev/null || true
  awk -v c=$((c1 - c0)) -v t=$((t1 - t0)) 'BEGIN {printf "%.3f", 100 * c / t}'
}

median() { sort -n | awk '{v[NR]=$1} END {print v[1], v[int((NR+1)/2)], v[NR]}'; }

back=()
for round in $(seq "$rounds"); do
  dir=$work/back$round
  mkdir "$dir"
  "$bin/kvt3-sim" --dir "$dir" --trace --disconnect 150 --disconnect-for 5000 2>"$dir/sim.log" &
  sim=$!
  pids+=("$sim")
  for _ in $(seq 100); do [ -e "$dir/COM1" ] && break; sleep 0.05; done
  start_kvt3 "$dir"
  sleep 14
  kill -TERM "$host" "$sim" 2>/dev/null || true
  wait "$host" "$sim" 2>/dev/null || true
  # The box's return, and the first position request after it.
  back+=("$(awk '
    /disconnected for/ {gone = $1; for (i = 1; i <= NF; i++) if ($i == "for") away = $(i + 1) / 1000}
    gone && /request [0-9]+: E1/ && $1 > gone + away {printf "%.3f\n", $1 - gone - away; exit}
  ' "$dir/sim.log")")
done
echo "back: readings again after the box's return, s (min median max): $(printf '%s\n' "${back[@]}" | median)"

absent=()
silent=()
for round in $(seq "$rounds"); do
  dir=$work/absent$round
  mkdir "$dir"
  ln -s "$dir/no-such-device" "$dir/COM1"
  absent+=("$(cost "$dir")")

  dir=$work/silent$round
  mkdir "$dir"
  "$bin/kvt3-sim" --dir "$dir" --silent-after 0 2>"$dir/sim.log" &
  sim=$!
  pids+=("$sim")
  for _ in $(seq 100); do [ -e "$dir/COM1" ] && break; sleep 0.05; done
  silent+=("$(cost "$dir")")
  kill -TERM "$sim"; wait "$sim" 2>/dev/null || true
done
echo "absent: % of a core over ${seconds} s, box absent (min median max): $(printf '%s\n' "${absent[@]}" | median)"
echo "silent: % of a core over ${seconds} s, box silent (min median max): $(printf '%s\n' "${silent[@]}" | median)"
