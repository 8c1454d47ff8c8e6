#!/usr/bin/env bash
# Runs kvt3 on the simulated box (kvt3-sim on a pseudo-terminal linked as COM1) in ./scratch/demo.
# With a display the operator uses the window; closing it ends the simulator too. Without one,
# both run for a few seconds under Xvfb, a screenshot is saved and its path printed.
#   bash scripts/demo.sh [seconds without a display, default 6]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-6}

bash scripts/setup.sh
bash scripts/build.sh build
bin=$root/build/bin

demo=$root/scratch/demo
mkdir -p "$demo"
cp app/pomoc.txt "$demo/"
cd "$demo"
# A link left behind by an interrupted run would stand in the simulator's way.
[ -L COM1 ] && rm -f COM1

"$bin/kvt3-sim" --stats 2> sim.log &
sim=$!
stop_sim() {
  kill -TERM "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
}
trap stop_sim EXIT
for _ in $(seq 50); do
  [ -L COM1 ] && break
  kill -0 "$sim" 2>/dev/null || { cat sim.log >&2; exit 1; }
  sleep 0.1
done

if [ -n "${DISPLAY:-}" ]; then
  echo "demo: kvt3 on the simulated box in $demo; close the window to end"
  "$bin/kvt3"
else
  shot=$demo/kvt3.png
  echo "demo: no display; kvt3 runs ${seconds} s under Xvfb"
  xvfb-run -a -s "-screen 0 640x400x24" bash -c '
    "$1" 2> kvt3.log &
    app=$!
    sleep "$2"
    import -window root "$3"
    kill -TERM "$app"
    wait "$app"
  ' demo "$bin/kvt3" "$seconds" "$shot"
  echo "demo: screenshot $shot"
fi

stop_sim
trap - EXIT
echo "demo: simulator says:"
tail -n 1 sim.log
