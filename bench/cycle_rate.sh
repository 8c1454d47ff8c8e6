#!/usr/bin/env bash
# Cycle rate and cost: three-axis position readings per second against kvt3-sim, and the share of
# a core the host takes for them, for the reference client (a minimal blocking host) and for kvt3,
# with the line paced at 9600 baud and unpaced. The two hosts run side by side, at the same time,
# each against a simulator of its own, so both meet the same load from the rest of the machine;
# the pair is repeated, and the ratios (kvt3 / client) of each round and their minimum, median
# and maximum are printed at the end.
#
# The line limit for three axes is 36.4 readings/s: command, 12 reply bytes and 11
# acknowledgements, 24 bytes of 11 bits at 9600 baud.
#
# Rate: the box's own view, the median of its one-second reports over the measured time.
# CPU: the host's threads' time on a core (/proc/PID/task/*/schedstat) over the same time, after
# start-up (the program's window, its configuration read) is over.
# With --syscalls, each host's system calls, wake-ups (context switches) and CPU per received
# byte, counted by strace -c -f and perf stat (when present) in a separate, slower run.
# With --trace, kvt3 runs with its line trace on (every byte written to a file).
# With --point, kvt3 starts with a list of six points and the first chosen, and its top view open:
# the figures show the distance to go, the near-zero cue is worked out and the view drawn at every
# reading.
# With --against OTHER-BUILD, the kvt3 of that build is measured too, in the same rounds, right
# after this one: on a virtual machine the CPU ratio moves by some 15 % from round to round, in
# drifts over minutes, so two builds are compared interleaved and by their medians, never by one
# run each.
#
#   bench/cycle_rate.sh [--syscalls] [--trace] [--point] [--against other-build-dir] [build-dir] [seconds]
#                       [rounds]
#   (defaults: build, 8, 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
syscalls=
trace=
point=
against=
while true; do
  case "${1:-}" in
    --syscalls) syscalls=1 ;;
    --trace) trace=1 ;;
    --point) point=1 ;;
    --against)
      [ -n "${2:-}" ] || { echo "--against needs a build directory" >&2; exit 2; }
      against=$(cd "$2" && pwd)
      [ -x "$against/bin/kvt3" ] || { echo "no $against/bin/kvt3" >&2; exit 2; }
      shift
      ;;
    *) break ;;
  esac
  shift
done
if [ -n "$syscalls" ] && [ -n "$against" ]; then
  echo "--against compares the CPU ratios; it does not go with --syscalls" >&2
  exit 2
fi
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-8}
rounds=${3:-3}
warmup=2
bin=$build/bin
. "$root/bench/needs_built.sh"
needs_built "$bin" kvt3-sim kvt3-refclient kvt3

work=$(mktemp -d)
pids=()
stop() { # pid
  if [ -n "$1" ]; then kill -TERM "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; fi
}
stop_all() {
  local pid
  for pid in "${pids[@]}"; do stop "$pid"; done
  pids=()
}
cleanup() {
  stop_all
  rm -rf "$work"
}
trap cleanup EXIT

start_sim() { # run-dir mode
  rm -rf "${work:?}/$1" && mkdir "$work/$1"
  local args=(--dir "$work/$1" --stats)
  [ "$2" = unpaced ] && args+=(--no-pacing)
  "$bin/kvt3-sim" "${args[@]}" 2>"$work/$1/sim.log" &
  pids+=($!)
  for _ in $(seq 100); do [ -e "$work/$1/COM1" ] && return 0; sleep 0.05; done
  echo "kvt3-sim made no link:" >&2
  cat "$work/$1/sim.log" >&2
  exit 1
}

start_host() { # run-dir client [kvt3-program]; the host's pid in $host
  if [ "$2" = refclient ]; then
    "$bin/kvt3-refclient" --port "$work/$1/COM1" --seconds 100000 --quiet >/dev/null &
  else
    # The program, offscreen, in the directory of the simulator's COM1 link: it connects by
    # itself, reads the configuration and runs its cycle until told to stop.
    local args=()
    [ -n "$trace" ] && args+=(--trace "$work/$1/line.txt")
    if [ -n "$point" ]; then
      printf 'name;X [mm];Y [mm];Z [mm]\r\n' >"$work/$1/points.csv"
      for k in 1 2 3 4 5 6; do printf 'H %s;%s;%s;\r\n' "$k" "$k.5" "-$k" >>"$work/$1/points.csv"; done
      printf 'point=1\r\ntopview=1\r\n' >"$work/$1/workshop.kv3"
    fi
    (cd "$work/$1" && QT_QPA_PLATFORM=offscreen exec "${3:-$bin/kvt3}" "${args[@]}") >/dev/null 2>&1 &
  fi
  host=$!
  pids+=("$host")
}

# Nanoseconds on a core of all the process's threads.
cpu_ns() {
  local total=0 ns
  for task in /proc/"$1"/task/*/schedstat; do
    read -r ns _ <"$task" 2>/dev/null && total=$((total + ns))
  done
  echo "$total"
}

stats_lines() { grep -c '^stats:' "$work/$1/sim.log" || true; }

# Median of the box's one-second reports in run $1 from line $2 on (1-based), at most $3 of them.
median_rate() {
  grep '^stats:' "$work/$1/sim.log" | sed -n "$2,\$p" | head -n "$3" |
    sed -E 's/^stats: ([0-9.]+) readings.*/\1/' | sort -n |
    awk '{v[NR]=$1} END {if (NR) print v[int((NR+1)/2)]; else print 0}'
}

# Both hosts at once, each against a fresh box: prints "client-rate client-cpu% kvt3-rate kvt3-cpu%".
measure() { # mode kvt3-program
  start_sim ref "$1"
  start_sim own "$1"
  start_host ref refclient
  local ref=$host
  start_host own kvt3 "$2"
  local own=$host
  sleep "$warmup"
  local ref_first own_first r0 o0 t0 r1 o1 t1
  ref_first=$(($(stats_lines ref) + 2))
  own_first=$(($(stats_lines own) + 2))
  r0=$(cpu_ns "$ref") o0=$(cpu_ns "$own") t0=$(date +%s%N)
  sleep "$seconds"
  r1=$(cpu_ns "$ref") o1=$(cpu_ns "$own") t1=$(date +%s%N)
  stop_all
  echo "$(median_rate ref "$ref_first" "$((seconds - 1))")" \
    "$(awk -v c=$((r1 - r0)) -v t=$((t1 - t0)) 'BEGIN {printf "%.2f", 100 * c / t}')" \
    "$(median_rate own "$own_first" "$((seconds - 1))")" \
    "$(awk -v c=$((o1 - o0)) -v t=$((t1 - t0)) 'BEGIN {printf "%.2f", 100 * c / t}')"
}

# Readings the box reported in its one-second reports $1 to $2.
readings_between() { # run first last
  grep '^stats:' "$work/$1/sim.log" | sed -n "$2,$3p" |
    sed -E 's/^stats: [0-9.]+ readings\/s \(([0-9]+) in.*/\1/' | awk '{s += $1} END {print s + 0}'
}

# System calls, wake-ups (context switches) and CPU per received byte (12 a reading): perf stat
# for the wake-ups and the CPU, then strace for the calls, each over its own time.
count_syscalls() { # mode client
  start_sim one "$1"
  start_host one "$2"
  sleep "$warmup"
  local first perf_readings strace_readings calls switches ms
  first=$(($(stats_lines one) + 1))
  switches=0 ms=0
  if command -v perf >/dev/null && perf stat -e context-switches true >/dev/null 2>&1; then
    perf stat -e task-clock,context-switches -p "$host" -o "$work/perf.txt" -- sleep "$seconds" \
      >/dev/null 2>&1 || true
    switches=$(awk '/context-switches/ {gsub(",", "", $1); print $1}' "$work/perf.txt")
    ms=$(awk '/task-clock/ {gsub(",", "", $1); print $1}' "$work/perf.txt")
  fi
  perf_readings=$(readings_between one "$first" "$(stats_lines one)")
  first=$(($(stats_lines one) + 1))
  timeout -s INT "$seconds" strace -c -f -p "$host" -o "$work/strace.txt" >/dev/null 2>&1 || true
  strace_readings=$(readings_between one "$first" "$(stats_lines one)")
  stop_all
  calls=$(awk '$NF == "total" {print $4}' "$work/strace.txt")
  awk -v p="$perf_readings" -v r="$strace_readings" -v c="${calls:-0}" -v s="${switches:-0}" \
    -v m="${ms:-0}" -v name="$2" \
    'BEGIN {pb = p * 12; if (pb == 0) pb = 1; b = r * 12; if (b == 0) b = 1;
            printf "    %-9s %5.2f wake-ups, %5.1f us CPU per received byte (%d readings); %5.2f system calls (%d readings under strace):",
                   name, s / pb, 1000 * m / pb, p, c / b, r}'
  sed -n '/^------/,$p' "$work/strace.txt" | grep -vE '^-|total' |
    awk -v r="$strace_readings" '{b = r * 12; if (b) printf " %s %.2f", $NF, $4 / b}'
  echo
}

if [ -n "$syscalls" ]; then
  echo "per received byte, $seconds s each (strace slows the hosts down; compare, do not add):"
  for mode in paced unpaced; do
    echo "$mode:"
    for client in refclient kvt3; do count_syscalls "$mode" "$client"; done
  done
  exit 0
fi

echo "line limit, three axes: 36.4 readings/s; $seconds s measured after $warmup s, $rounds rounds"
programs=("$bin/kvt3")
labels=(kvt3)
if [ -n "$against" ]; then
  programs+=("$against/bin/kvt3")
  labels+=(against)
  echo "kvt3: $bin/kvt3; against: $against/bin/kvt3"
fi
printf '%-8s %5s %-7s  %-22s %-22s %s\n' mode round kvt3 "client rate, cpu %" \
  "kvt3 rate, cpu %" "ratios kvt3/client: rate, cpu"
declare -A rate_ratios cpu_ratios
for round in $(seq "$rounds"); do
  for mode in paced unpaced; do
    for i in "${!programs[@]}"; do
      key="$mode ${labels[$i]}"
      read -r ref_rate ref_cpu own_rate own_cpu < <(measure "$mode" "${programs[$i]}")
      ratios=$(awk -v a="$own_rate" -v b="$ref_rate" -v c="$own_cpu" -v d="$ref_cpu" \
        'BEGIN {printf "%.3f %.2f", (b > 0 ? a / b : 0), (d > 0 ? c / d : 0)}')
      read -r rr cr <<<"$ratios"
      rate_ratios[$key]+="$rr "
      cpu_ratios[$key]+="$cr "
      printf '%-8s %5d %-7s  %7s %7s %%     %7s %7s %%     %s  %s\n' "$mode" "$round" \
        "${labels[$i]}" "$ref_rate" "$ref_cpu" "$own_rate" "$own_cpu" "$rr" "$cr"
    done
  done
done

summary() { # values...
  printf '%s\n' "$@" | sort -g |
    awk '{v[NR]=$1} END {printf "min %s  median %s  max %s", v[1], v[int((NR+1)/2)], v[NR]}'
}
echo "summary over $rounds rounds (goals: paced rate >= 0.99 and cpu <= 2; unpaced rate >= 0.8):"
for mode in paced unpaced; do
  for label in "${labels[@]}"; do
    key="$mode $label"
    # shellcheck disable=SC2086
    echo "  $mode $label  rate ratio: $(summary ${rate_ratios[$key]})   cpu ratio: $(summary ${cpu_ratios[$key]})"
  done
done
