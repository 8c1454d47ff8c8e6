#!/usr/bin/env bash
# A long recording at the line's rate: kvt3 (offscreen) on a moving kvt3-sim with --record, and
# publishing to a mosquitto on loopback (started here), for MINUTES. At the end: the recording's
# readings against the box's own count, whether every reading is there once and in order, and
# kvt3's resident memory sampled each minute (first, last, highest).
#
#   bench/recording_soak.sh [build-dir] [minutes]   (defaults: build, 60)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
minutes=${2:-60}
work=$(mktemp -d /tmp/kvt3-soak-XXXXXX)
cd "$work"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$port" > mosquitto.conf
[ "$(id -u)" = 0 ] && echo "user root" >> mosquitto.conf
/usr/sbin/mosquitto -c mosquitto.conf > mosquitto.log 2>&1 & broker=$!
"$build/bin/kvt3-sim" --stats > sim.out 2> sim.log & sim=$!
sleep 1
QT_QPA_PLATFORM=offscreen "$build/bin/kvt3" --record readings.csv --mqtt "mqtt://127.0.0.1:$port/soak" > kvt3.log 2>&1 & kvt3=$!
echo "minute rss_kB" > rss.txt
for m in $(seq "$minutes"); do
  sleep 60
  echo "$m $(awk '/VmRSS/ {print $2}' /proc/$kvt3/status)" >> rss.txt
done
kill -TERM "$kvt3"; wait "$kvt3" || true
kill -TERM "$sim"; wait "$sim" || true
kill -TERM "$broker"; wait "$broker" || true
/usr/bin/python3 - "$work" <<'PY'
import re, sys
work = sys.argv[1]
numbers, gaps, headers = [], 0, 0
with open(work + "/readings.csv") as f:
    for line in f:
        fields = line.rstrip("\n").split(";")
        if fields[0] == "time":
            headers += 1
            continue
        if fields[-1] == "0":
            gaps += 1
            continue
        numbers.append(int(fields[1]))
in_order = all(b == a + 1 for a, b in zip(numbers, numbers[1:]))
total = re.findall(r"total: [0-9.]+ readings/s \(([0-9]+) in ([0-9.]+) s\)", open(work + "/sim.log").read())
box = int(total[-1][0]) if total else -1
rss = [int(l.split()[1]) for l in open(work + "/rss.txt").readlines()[1:]]
print("recorded %d readings (numbers %d..%d), every one once and in order: %s; gap lines %d; headers %d"
      % (len(numbers), numbers[0], numbers[-1], in_order, gaps, headers))
print("the box's count: %d (difference %d)" % (box, box - len(numbers)))
print("kvt3 RSS kB: first minute %d, last %d, highest %d" % (rss[0], rss[-1], max(rss)))
PY
echo "work directory: $work"
