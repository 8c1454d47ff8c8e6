#!/usr/bin/env bash
# Soak: kvt3 reads a million positions from the unpaced simulator, then a hundred thousand more
# while the box misbehaves every few hundred requests (answers late, sends garbage, and now and
# then disappears for a while). The program runs in a real window on a virtual X server; when it
# asks (the wait dialog, a message box) the bench answers as an operator would, with the keyboard,
# and when the readings have stopped with nothing asked, it runs the link test (F5), as the
# operator is told to. At the end: the program's resident memory, open descriptors and threads
# against their values after the first readings, and how the faults went.
#
# Goals: resident memory grows by less than 1 MB; descriptors and threads the same at the end.
#
#   bench/soak.sh [build-dir] [positions] [positions-with-faults]  (defaults: build, 1000000, 100000)
#
# Needs Xvfb and xdotool (scripts/setup.sh installs both).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
clean=${2:-1000000}
faulty=${3:-100000}
bin=$build/bin
for program in kvt3-sim kvt3; do
  [ -x "$bin/$program" ] || { echo "no $bin/$program: build first (scripts/build.sh)" >&2; exit 2; }
done
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "no $tool: run scripts/setup.sh" >&2; exit 2; }
done

work=$(mktemp -d)
xvfb= sim= kvt3=
cleanup() {
  local pid
  for pid in $kvt3 $sim $xvfb; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own.
display=
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# The faults start after the clean part: requests are counted by the box from its first command
# byte, the few of the link start included. Late and garbage answers every few hundred requests,
# a disappearance (with the port hung up) every few thousand, longer than the request and its
# two repeats, so the wait dialog asks.
first_fault=$((clean + 20))
"$bin/kvt3-sim" --dir "$work" --no-pacing --stats \
  --late "$first_fault/397" --garbage "$((first_fault + 150))/401" \
  --disconnect "$((first_fault + 300))/9973" --disconnect-for 6000 2>"$work/sim.log" &
sim=$!
for _ in $(seq 100); do [ -e "$work/COM1" ] && break; sleep 0.05; done
[ -e "$work/COM1" ] || { echo "kvt3-sim made no link" >&2; cat "$work/sim.log" >&2; exit 1; }

(cd "$work" && exec "$bin/kvt3") >"$work/kvt3.log" 2>&1 &
kvt3=$!

# Readings so far, from the box's one-second reports "stats: R readings/s (N in T s), ...".
readings() {
  awk '/^stats:/ && match($0, /\([0-9]+ in/) {s += substr($0, RSTART + 1, RLENGTH - 4)}
       END {print s + 0}' "$work/sim.log"
}
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$kvt3/status"; }
fds() { find "/proc/$kvt3/fd" -mindepth 1 -maxdepth 1 | wc -l; }
threads() { find "/proc/$kvt3/task" -mindepth 1 -maxdepth 1 | wc -l; }
alive() { kill -0 "$kvt3" 2>/dev/null; }

# The operator: answers whatever the program asks, and runs the link test when the readings have
# stood still for a while with nothing asked. Counts what it did.
answered=0 tests=0 last_count=0 still_since=$SECONDS
operate() {
  local dialog main count
  # Windows of the program other than the main one: the wait dialog and message boxes.
  for dialog in $(xdotool search --onlyvisible --pid "$kvt3" --name '.' 2>/dev/null); do
    [ "$(xdotool getwindowname "$dialog" 2>/dev/null)" = "KVT 3" ] && continue
    xdotool windowfocus --sync "$dialog" key Return 2>/dev/null || true
    answered=$((answered + 1))
    still_since=$SECONDS
    return
  done
  count=$(readings)
  if [ "$count" != "$last_count" ]; then
    last_count=$count
    still_since=$SECONDS
  elif ((SECONDS - still_since >= 8)); then
    main=$(xdotool search --onlyvisible --pid "$kvt3" --name '^KVT 3$' 2>/dev/null | head -1)
    if [ -n "$main" ]; then
      xdotool windowfocus --sync "$main" key F5 2>/dev/null || true
      tests=$((tests + 1))
    fi
    still_since=$SECONDS
  fi
}

sample() { echo "$(readings) $(rss_kb) $(fds) $(threads)"; }

# The first readings: start-up, fonts, the first window paints are over.
start=$SECONDS
while alive && (($(readings) < 20000)); do
  operate
  sleep 1
  ((SECONDS - start < 600)) || { echo "no readings: $(tail -3 "$work/sim.log")" >&2; exit 1; }
done
read -r n0 rss0 fds0 threads0 < <(sample)
echo "after $n0 readings: resident ${rss0} kB, $fds0 descriptors, $threads0 threads"

phase() { # until-readings name
  local began=$SECONDS began_count n rss fd th
  began_count=$(readings)
  while alive && (($(readings) < $1)); do
    operate
    sleep 1
  done
  alive || { echo "kvt3 ended during $2" >&2; tail -20 "$work/kvt3.log" >&2; exit 1; }
  read -r n rss fd th < <(sample)
  echo "$2: $((n - began_count)) readings in $((SECONDS - began)) s;" \
    "resident ${rss} kB ($((rss - rss0)) kB since the first readings), $fd descriptors, $th threads"
}
phase "$((clean + 20))" "clean"
read -r _ rss1 _ _ < <(sample)
phase "$((clean + 20 + faulty))" "with faults"

echo "faults from request $first_fault on: every 397th late, every 401st garbage, every 9973rd" \
  "a disappearance of 6 s; the operator answered $answered dialogs and ran $tests link tests"
read -r _ rss2 fds2 threads2 < <(sample)
growth=$((rss2 - rss0))
status=0
if ((growth >= 1024)); then echo "resident memory grew by $growth kB (limit 1024)"; status=1; fi
if ((fds2 != fds0)); then echo "descriptors: $fds0 at the start, $fds2 at the end"; status=1; fi
if ((threads2 != threads0)); then echo "threads: $threads0 at the start, $threads2 at the end"; status=1; fi
((status == 0)) && echo "soak: resident +$growth kB (+$((rss1 - rss0)) kB clean), descriptors and threads unchanged"
exit "$status"
