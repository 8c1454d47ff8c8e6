#!/usr/bin/python3
"""The readings on an MQTT broker, measured (run by bench/mqtt_bench.sh, see there).

latency: kvt3 (offscreen) on a moving kvt3-sim publishes to a mosquitto on loopback; a
  mosquitto_sub takes PREFIX/state with its arrival time (%U); a message's latency is its arrival
  less its "timeMs", when the window took the reading (in the same turn of its loop as the reply's
  last byte). p50, p95 and max over the messages saying current.
restart: the broker is stopped for 30 s and started again on the same port; the box's one-second
  reports give the cycle's rate before, during and after, beside the same program on a box of
  its own without a broker (interleaved: the machine's load moves both); a subscriber started
  with the broker says when it saw "online" and a current state taken after the restart."""

import argparse
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "tests", "browser"))
from kvtview import Failure, Rig, median, percentile, wait_until  # noqa: E402


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Broker:
    def __init__(self, work):
        self.port = free_port()
        self.conf = os.path.join(work, "mosquitto.conf")
        with open(self.conf, "w") as f:
            f.write("listener %d 127.0.0.1\nallow_anonymous true\npersistence false\n" % self.port)
            if os.geteuid() == 0:
                f.write("user root\n")
        self.log = open(os.path.join(work, "mosquitto.log"), "w")
        self.process = None
        self.start()

    def start(self):
        self.process = subprocess.Popen(["/usr/sbin/mosquitto", "-c", self.conf],
                                        stdout=self.log, stderr=self.log)

        def accepting():
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                return True
            except OSError:
                return False
        if not wait_until(accepting, 5):
            raise Failure("mosquitto did not start")

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait()
            self.process = None


class Sub:
    """mosquitto_sub on PREFIX/#: (arrival s, topic, payload) lines in a file."""

    def __init__(self, port, prefix, path):
        self.path = path
        self.process = subprocess.Popen(
            ["mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "-t", prefix + "/#",
             "-F", "%U %t %p"], stdout=open(path, "w"), stderr=subprocess.DEVNULL)

    def messages(self):
        out = []
        with open(self.path, errors="replace") as f:
            for line in f:
                parts = line.rstrip("\n").split(" ", 2)
                if len(parts) == 3:
                    out.append((float(parts[0]), parts[1], parts[2]))
        return out

    def stop(self):
        self.process.terminate()
        self.process.wait()


def latency(args, work):
    broker = Broker(work)
    rig = Rig(args.bin, os.path.join(work, "box"),
              kvt3_args=["--mqtt", "mqtt://127.0.0.1:%d/bench" % broker.port])
    sub = Sub(broker.port, "bench", os.path.join(work, "sub.txt"))
    try:
        time.sleep(2 + args.seconds)
        rates = rig.stats_rates()
    finally:
        sub.stop()
        rig.stop()
        broker.stop()
    late = []
    for arrived, topic, payload in sub.messages():
        if topic != "bench/state":
            continue
        state = json.loads(payload)
        if state["current"]:
            late.append(arrived * 1000 - state["timeMs"])
    if len(late) < args.seconds:
        raise Failure("only %d current states in %d s" % (len(late), args.seconds))
    p95 = percentile(late, 95)
    print("messages %d in %d s; reading -> subscriber ms: p50 %.1f p95 %.1f max %.1f; "
          "cycle %.1f readings/s (median)" % (len(late), args.seconds, median(late), p95,
                                              max(late), median(rates[1:])))
    print("PASS" if p95 <= 100 else "FAIL", "p95 <= 100 ms")


def restart(args, work):
    broker = Broker(work)
    # Beside it, the same program on its own box without a broker: the machine's load moves
    # both alike, so the ratio of their rates shows what the broker's absence costs.
    rig = Rig(args.bin, os.path.join(work, "box"),
              kvt3_args=["--mqtt", "mqtt://127.0.0.1:%d/bench" % broker.port])
    reference = Rig(args.bin, os.path.join(work, "reference"))
    rigs = (rig, reference)

    def phase(seconds):
        first = [len(r.stats_rates()) for r in rigs]
        time.sleep(seconds)
        return [median(r.stats_rates()[n + 1:]) for r, n in zip(rigs, first)]
    try:
        time.sleep(2)
        before = phase(args.seconds)
        broker.stop()
        during = phase(args.down)
        broker.start()
        started = time.time()
        sub = Sub(broker.port, "bench", os.path.join(work, "sub.txt"))
        after = phase(args.seconds)
        sub.stop()
    finally:
        for r in rigs:
            r.stop()
        broker.stop()
    online = current = None
    for arrived, topic, payload in sub.messages():
        if online is None and topic == "bench/status" and payload == "online":
            online = arrived - started
        if current is None and topic == "bench/state":
            state = json.loads(payload)
            if state["current"] and state["timeMs"] / 1000 >= started:
                current = arrived - started
    ratios = [a / b for a, b in (before, during, after)]
    for name, (a, b), ratio in zip(("broker up", "broker stopped %d s" % args.down,
                                    "broker back"), (before, during, after), ratios):
        print("%-20s kvt3 --mqtt %.1f readings/s, beside it without %.1f: ratio %.2f"
              % (name, a, b, ratio))
    fmt = lambda v: "never" if v is None else "%.2f s" % v
    print("after the broker's start: online %s, a current state taken after it %s"
          % (fmt(online), fmt(current)))
    ok = (online is not None and current is not None and max(online, current) <= 5
          and abs(ratios[1] - ratios[0]) <= 0.1 * ratios[0])
    print("PASS" if ok else "FAIL", "back within 5 s, rate unchanged while stopped (ratio within 10 %)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["latency", "restart"])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--seconds", type=int, default=20)
    parser.add_argument("--down", type=int, default=30)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="kvt3-mqtt-bench-")
    try:
        (latency if args.mode == "latency" else restart)(args, work)
    except Failure as e:
        print("could not measure:", e)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
