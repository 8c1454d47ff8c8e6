#!/usr/bin/python3
"""The live view under attack from anyone on the network, without the token: run by
bench/view_attack.sh (see there for what is measured and the goals).

kvt3 (offscreen) serves its view on 127.0.0.1 against a paced kvt3-sim; every attacker and the
honest page connect from 127.0.0.1 too, so the per-address share gives the page no head start."""

import argparse
import multiprocessing
import os
import socket
import struct
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "tests", "browser"))
from kvtview import (Failure, Rig, Streams, host_header, median, read_response,  # noqa: E402
                     readings_flow)

LOOPBACK = "127.0.0.1"


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def descriptors(pid):
    try:
        return len(os.listdir("/proc/%d/fd" % pid))
    except OSError:
        return 0


def cpu_s(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def size(path):
    try:
        return os.path.getsize(path)
    except OSError:
        return 0


def page_load(port, token):
    """A browser's first visit: the page, its script and style, then the first event of its
    stream; the seconds it took, or why it failed."""
    began = time.monotonic()
    host = "%s:%d" % (LOOPBACK, port)
    try:
        for path in ("/%s/" % token, "/%s/view.js" % token, "/%s/view.css" % token):
            with socket.create_connection((LOOPBACK, port), timeout=5) as s:
                s.sendall(("GET %s HTTP/1.1\r\nHost: %s\r\nConnection: close\r\n\r\n"
                           % (path, host)).encode())
                status, _, _ = read_response(s, 5)
                if status != 200:
                    return "%s: %s after %.1f s" % (path.rsplit("/", 1)[-1] or "page", status,
                                                     time.monotonic() - began)
        with socket.create_connection((LOOPBACK, port), timeout=5) as s:
            s.sendall(("GET /%s/events HTTP/1.1\r\nHost: %s\r\n\r\n" % (token, host)).encode())
            got = b""
            while b"data:" not in got and time.monotonic() - began < 5:
                chunk = s.recv(65536)
                if not chunk:
                    return "events: closed"
                got += chunk
            if not got.startswith(b"HTTP/1.1 200") or b"data:" not in got:
                return "events: %r" % got[:12]
    except OSError as e:
        return "%s after %.1f s" % (e, time.monotonic() - began)
    return time.monotonic() - began


# The attacks, each run by several processes until `stop` is set; `count` counts what they did.

def none(port, stop, count):
    """No attack: the same measurement, to tell the attacks' effect from the machine's noise."""
    stop.wait()


def silent(port, stop, count):
    """Sockets that never say anything, reopened as soon as the server closes them."""
    held = []
    while not stop.is_set():
        while len(held) < 64:
            try:
                held.append(socket.create_connection((LOOPBACK, port), timeout=2))
                with count.get_lock():
                    count.value += 1
            except OSError:
                time.sleep(0.01)
                break
        alive = []
        for s in held:
            s.setblocking(False)
            try:
                closed = s.recv(1) == b""
            except BlockingIOError:
                closed = False
            except OSError:
                closed = True
            if closed:
                s.close()
            else:
                alive.append(s)
        held = alive
        time.sleep(0.05)
    for s in held:
        s.close()


def upgrade(port, stop, count):
    """Protocol switches without the token, each on a connection of its own, as fast as may be."""
    request = ("GET /events HTTP/1.1\r\nHost: %s:%d\r\nUpgrade: websocket\r\nConnection: Upgrade"
               "\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13"
               "\r\n\r\n" % (LOOPBACK, port)).encode()
    while not stop.is_set():
        try:
            with socket.create_connection((LOOPBACK, port), timeout=2) as s:
                s.sendall(request)
                s.recv(4096)
            with count.get_lock():
                count.value += 1
        except OSError:
            pass


def reset(port, stop, count):
    """Connects in bursts of hundreds at once, each reset by the client as soon as it is made."""
    linger = struct.pack("ii", 1, 0)
    while not stop.is_set():
        burst = []
        for _ in range(400):
            s = socket.socket()
            s.setblocking(False)
            s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, linger)
            s.connect_ex((LOOPBACK, port))
            burst.append(s)
        for s in burst:
            s.close()
        with count.get_lock():
            count.value += len(burst)


def trickle(port, stop, count):
    """Slow heads: 64 connections sending a byte of a request a second, reopened when closed."""
    text = b"GET / HTTP/1.1\r\nHost: x\r\n"
    held = {}
    while not stop.is_set():
        for s in [s for s in held if s.fileno() < 0]:
            del held[s]
        while len(held) < 64:
            try:
                held[socket.create_connection((LOOPBACK, port), timeout=2)] = 0
                with count.get_lock():
                    count.value += 1
            except OSError:
                break
        for s, sent in list(held.items()):
            try:
                s.send(text[sent % len(text):sent % len(text) + 1])
                held[s] = sent + 1
            except OSError:
                s.close()
                del held[s]
        time.sleep(1)
    for s in held:
        s.close()


def plain_listener(ready, stop):
    """A listener that takes each connection and closes it, at the attackers' priority: the same
    flood aimed at it shows what the flood costs the machine, whoever listens."""
    os.nice(19)
    server = socket.socket()
    server.bind((LOOPBACK, 0))
    server.listen(1024)
    server.settimeout(0.2)
    ready.put(server.getsockname()[1])
    while not stop.is_set():
        try:
            server.accept()[0].close()
        except OSError:
            pass


def attacker(attack, port, stop, count):
    # On a LAN the attacker's own CPU is another machine's: here it yields to everything else,
    # so that what is measured is what the attack costs the program and the system under it.
    os.nice(19)
    attack(port, stop, count)


ATTACKS = {"none": (none, 1), "silent": (silent, 2), "upgrade": (upgrade, 2), "reset": (reset, 2),
           "trickle": (trickle, 1)}


def run(args, name, work):
    attack, processes = ATTACKS[name.split("@")[0]]
    rig = Rig(args.bin, os.path.join(work, name))
    streams = None
    try:
        streams = Streams(rig)
        watch = streams.open()
        if not readings_flow(watch, 10):
            raise Failure("no readings on the page's stream (status %s)" % watch.status)
        time.sleep(args.settle)
        pid = rig.kvt3.pid
        rss0 = rss_kb(pid)
        err0 = size(rig.err_path)
        rates_before = rig.stats_rates()
        stop = multiprocessing.Event()
        count = multiprocessing.Value("l", 0)
        target = rig.port
        workers = []
        if name.endswith("@plain"):
            ready = multiprocessing.Queue()
            workers.append(multiprocessing.Process(target=plain_listener, args=(ready, stop)))
            workers[0].start()
            target = ready.get(timeout=5)
        workers += [multiprocessing.Process(target=attacker, args=(attack, target, stop, count))
                    for _ in range(processes)]
        began = time.monotonic()
        cpu0 = cpu_s(pid)
        reports0 = len(rig.stats_rates())
        for w in workers:
            if not w.is_alive() and w.exitcode is None:
                w.start()
        loads, peak_rss, peak_fds = [], rss0, 0
        while time.monotonic() - began < args.seconds:
            loads.append(page_load(rig.port, rig.token))
            peak_rss = max(peak_rss, rss_kb(pid))
            peak_fds = max(peak_fds, descriptors(pid))
            time.sleep(max(0.0, 1.0 - loads[-1]) if isinstance(loads[-1], float) else 1.0)
        rates_during = rig.stats_rates()[reports0 + 1:]
        cpu = (cpu_s(pid) - cpu0) / (time.monotonic() - began)
        stop.set()
        for w in workers:
            w.join(10)
            if w.is_alive():
                w.terminate()
        time.sleep(args.settle)
        rss1 = rss_kb(pid)
        err1 = size(rig.err_path)
        served = [t for t in loads if isinstance(t, float)]
        failed = sorted({t for t in loads if not isinstance(t, float)})
        before = median(rates_before[1:]) if len(rates_before) > 1 else 0
        during = median(rates_during) if rates_during else 0
        flowing = readings_flow(watch, 3)
        print("%-8s %7d attacks (%5.0f/s) | page loads %3d/%-3d max %5.0f ms median %4.0f ms | "
              "rate %.1f -> %.1f readings/s | kvt3 CPU %3.0f %% | RSS %.1f -> peak %.1f -> %.1f MB | fds peak %d | "
              "stderr +%d B | open page %s"
              % (name, count.value, count.value / args.seconds, len(served), len(loads),
                 1000 * max(served or [0]), 1000 * median(served or [0]), before, during, 100 * cpu,
                 rss0 / 1024, peak_rss / 1024, rss1 / 1024, peak_fds, err1 - err0,
                 "flowing" if flowing else "STOPPED"), flush=True)
        if failed:
            print("         failed loads: %s" % "; ".join(failed), flush=True)
        ok = (len(served) == len(loads) and max(served or [9]) <= 2.0 and
              during >= before * 0.97 and rss1 - rss0 <= 10 * 1024 and err1 - err0 < 10 * 1024 and
              bool(flowing))
        return ok
    finally:
        if streams:
            streams.stop()
        rig.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--settle", type=float, default=3)
    # "NAME@plain": the attack aimed at a plain listener of the bench instead of the view.
    parser.add_argument("attacks", nargs="*", default=list(ATTACKS) + ["reset@plain"])
    args = parser.parse_args()
    print("each attack %g s on 127.0.0.1; goals: every page load (page, script, style, first "
          "event) within 2 s, readout rate >= 0.97x, RSS back within 10 MB %g s after, stderr "
          "< 10 KB" % (args.seconds, args.settle), flush=True)
    verdicts = []
    with tempfile.TemporaryDirectory(prefix="kvt3-attack-") as work:
        for name in args.attacks:
            try:
                verdicts.append((name, run(args, name, work)))
            except Failure as e:
                print("%s: could not measure: %s" % (name, e), flush=True)
                return 1
    for name, ok in verdicts:
        print("%-8s %s" % (name, "PASS" if ok else "FAIL"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
