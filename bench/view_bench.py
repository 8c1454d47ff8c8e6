#!/usr/bin/python3
"""The live view's two benches, run by bench/view_latency.sh and bench/view_load.sh (see there).

latency: kvt3 (offscreen) against a moving kvt3-sim serves its view; one page in headless
  Chromium takes its events for a while; the page's own window.kvtView.latencies (ms from the
  reply's last byte on the serial line to the page's update) are summed up.
load: the cycle rate, measured as bench/cycle_rate.sh measures it (the median of the box's
  one-second reports over the measured time, the partial first one left out), with no page and
  with 16 pages reading the event stream, in alternating runs, each on a fresh kvt3 and box."""

import argparse
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "tests", "browser"))
from kvtview import (Browser, Failure, Rig, Streams, median, percentile,  # noqa: E402
                     readings_flow, wait_until)

WARMUP_S = 2


def cpu_ns(pid):
    """Nanoseconds on a core of all the process's threads."""
    total = 0
    task_dir = "/proc/%d/task" % pid
    for task in os.listdir(task_dir):
        try:
            with open(os.path.join(task_dir, task, "schedstat")) as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total


def latency(args, work):
    print("latency: one page at 1024x768, %d s after %d s, %d round(s); goal p95 <= %g ms"
          % (args.seconds, WARMUP_S, args.rounds, args.goal), flush=True)
    every = []
    for number in range(1, args.rounds + 1):
        rig = Rig(args.bin, os.path.join(work, "latency%d" % number))
        browser = streams = None
        try:
            browser = Browser(os.path.join(work, "driver%d.log" % number))
            page = browser.open(rig.url, 1024, 768)
            if not wait_until(lambda: (page.state()["updates"] or 0) > 0, 10):
                raise Failure("the page got no update in 10 s: %r" % page.state())
            # Beside it, the stream as the program sends it: how old each reading is at sending.
            streams = Streams(rig)
            stream = streams.open()
            time.sleep(WARMUP_S)
            first = page.eval("() => window.kvtView.latencies.length")
            updates0 = page.state()["updates"]
            events0 = len(stream.events)
            rates0 = len(rig.stats_rates())
            began = time.monotonic()
            time.sleep(args.seconds)
            took = time.monotonic() - began
            values = page.eval("() => window.kvtView.latencies.slice(%d)" % first)
            updates = (page.state()["updates"] - updates0) / took
            ages = [e.get("ageUs", 0) / 1000 for _, e in stream.events[events0:]]
            rates = rig.stats_rates()[rates0 + 1:rates0 + args.seconds]
            errors, _ = page.errors()
        finally:
            if streams:
                streams.stop()
            if browser:
                browser.quit()
            rig.stop()
        if not values:
            raise Failure("the page noted no latency")
        every += values
        print("round %d: %d updates (%.1f/s; box %.1f readings/s): page p50 %.1f ms, p95 %.1f ms, "
              "max %.1f ms; age at sending p50 %.1f ms, p95 %.1f ms%s"
              % (number, len(values), updates, median(rates), percentile(values, 50),
                 percentile(values, 95), max(values), percentile(ages, 50), percentile(ages, 95),
                 "; page errors: %r" % errors if errors else ""), flush=True)
    p95 = percentile(every, 95)
    print("latency over %d updates: p50 %.1f ms, p95 %.1f ms, max %.1f ms"
          % (len(every), percentile(every, 50), p95, max(every)))
    print("%s: p95 %.1f ms %s %g ms" % ("PASS" if p95 <= args.goal else "FAIL", p95,
                                         "<=" if p95 <= args.goal else ">", args.goal))


def load_run(args, work, name, pages):
    """One run on a fresh box and kvt3: (rate, kvt3's cpu %, events/s per page)."""
    rig = Rig(args.bin, os.path.join(work, name))
    streams = browser = None
    try:
        opened = []
        if pages and args.chromium:
            browser = Browser(os.path.join(work, name + "-driver.log"))
            opened = [browser.open(rig.url, 390, 844) for _ in range(pages)]
        elif pages:
            streams = Streams(rig)
            opened = [streams.open() for _ in range(pages)]
            if not all(readings_flow(s, 5) for s in opened):
                raise Failure("not every page's stream got readings: %r"
                              % [s.status for s in opened])
        time.sleep(WARMUP_S)
        first = len(rig.stats_rates())
        counts0 = counts(opened, streams)
        c0, t0 = cpu_ns(rig.kvt3.pid), time.monotonic_ns()
        time.sleep(args.seconds)
        c1, t1 = cpu_ns(rig.kvt3.pid), time.monotonic_ns()
        counts1 = counts(opened, streams)
        rates = rig.stats_rates()[first + 1:first + args.seconds]
        per_page = [(b - a) / args.seconds for a, b in zip(counts0, counts1)]
        if pages and min(per_page) <= 0:
            raise Failure("a page got no readings during the run: %r" % per_page)
        if not rig.running():
            raise Failure("kvt3 ended during the run")
        return median(rates), 100.0 * (c1 - c0) / (t1 - t0), per_page
    finally:
        if streams:
            streams.stop()
        if browser:
            browser.quit()
        rig.stop()


def counts(opened, streams):
    if streams:
        return [len(s.events) for s in opened]
    return [p.state()["updates"] for p in opened]


def load(args, work):
    clients = "16 tabs of one headless Chromium" if args.chromium else "16 event-stream clients"
    print("load: cycle rate with no page and with %s, %d s after %d s, %d rounds alternating; "
          "goal ratio >= %g" % (clients, args.seconds, WARMUP_S, args.rounds, args.goal),
          flush=True)
    print("%5s %6s %14s %10s  %s" % ("round", "pages", "readings/s", "kvt3 cpu", "events/s a page"))
    results = {0: [], 16: []}
    for number in range(1, args.rounds + 1):
        # Alternating which goes first, so that a drift of the machine meets both alike.
        for pages in ((0, 16) if number % 2 else (16, 0)):
            rate, cpu, per_page = load_run(args, work, "load%d-%d" % (number, pages), pages)
            results[pages].append(rate)
            print("%5d %6d %14.2f %9.2f%%  %s" % (
                number, pages, rate, cpu,
                "min %.1f median %.1f" % (min(per_page), median(per_page)) if per_page else "-"),
                flush=True)
    base, loaded = median(results[0]), median(results[16])
    ratio = loaded / base if base else 0
    print("median readings/s: no page %.2f, 16 pages %.2f; ratio %.3f" % (base, loaded, ratio))
    print("%s: the cycle rate with 16 pages is %s %g of the rate with none"
          % ("PASS" if ratio >= args.goal else "FAIL", ">=" if ratio >= args.goal else "<",
             args.goal))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=("latency", "load"))
    parser.add_argument("--bin", required=True)
    parser.add_argument("--seconds", type=int)
    parser.add_argument("--rounds", type=int)
    parser.add_argument("--chromium", action="store_true",
                        help="load: 16 tabs of headless Chromium instead of 16 light clients")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="kvt3-view-bench.")
    try:
        if args.what == "latency":
            args.seconds = args.seconds or 20
            args.rounds = args.rounds or 1
            args.goal = 100.0
            latency(args, work)
        else:
            args.seconds = args.seconds or 10
            args.rounds = args.rounds or 3
            args.goal = 0.99
            load(args, work)
    except Failure as e:
        print("could not measure: %s" % e)
        print("its files are kept in " + work)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
