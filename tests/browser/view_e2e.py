#!/usr/bin/python3
"""The live view end to end: kvt3-sim, a real kvt3 in a window on a virtual X server serving its
view on 127.0.0.1, and headless Chromium opening the printed address as a phone (390x844) and as
a workshop PC (1024x768) would. The window is read over the accessibility bus, as a screen reader
reads it, and the pages must show what it shows: the same figures, axis by axis, and the same
mode; a push of the box's table must reach the pages; a silent box must grey them with the reason
within 1.5 s, and its readings bring them back.

The box stands still (each axis at a count of its own) so that the window and the pages can be
compared exactly, and moves only when pushed (SIGUSR1 to kvt3-sim).

Run by tests/e2e/browser_view.sh inside a D-Bus session and under xvfb-run. Screenshots go to
--out, and their paths are printed."""

import argparse
import os
import sys
import time

from kvtview import (Checks, WATCH_STALE_JS, Browser, Failure, Rig, Streams, readings_flow,
                     wait_until)
from window import PROGRAM_ENV, Window

SIZES = [(390, 844), (1024, 768)]
# Counts where the figures of every axis differ from one another and from 0.
STILL = ["--motion", "x=still:123457", "--motion", "y=still:-23456", "--motion", "z=still:9123"]


def rows_of(state):
    return [(r["axis"], r["text"]) for r in state["rows"]]


def shown(window_rows):
    return [(axis, text) for axis, text, _ in window_rows]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    c = Checks()
    window = Window()
    rig = browser = streams = None
    try:
        rig = Rig(args.bin, os.path.join(args.out, "run"), STILL, platform="xcb", env=PROGRAM_ENV)
        print("view: " + rig.url, flush=True)
        c.check(rig.stdout_lines() == [rig.url], "kvt3 prints the address as its one line",
                repr(rig.stdout_lines()))
        window.attach(rig.kvt3.pid)
        first = window.live_figures()
        if not first:
            raise Failure("the window showed no current reading in 20 s: %r" % window.figures())
        mode = window.mode()
        print("window: %r, mode %r" % (shown(first), mode), flush=True)

        # The event stream a page reads: the fields it is built from.
        streams = Streams(rig)
        stream = streams.open()
        readings_flow(stream, 5)
        event = stream.events[-1][1] if stream.events else {}
        c.check(stream.status == 200 and event.get("live") is True and
                event.get("axes") == len(first) and
                [(r.get("axis"), r.get("text")) for r in event.get("rows", [])] == shown(first) and
                isinstance(event.get("ageUs"), int) and 0 <= event["ageUs"] < 2_000_000 and
                abs(event.get("sentMs", 0) - time.time() * 1000) < 5000,
                "the event stream carries the window's rows, live, with its times", repr(event))
        streams.close(stream)

        browser = Browser(os.path.join(args.out, "driver.log"))
        pages = []
        for width, height in SIZES:
            page = browser.open(rig.url, width, height)
            pages.append(page)
            size = "%dx%d" % (width, height)
            _, loads = page.errors()
            c.check(page.status == 200 and loads.get("view.css") == 200 and
                    loads.get("view.js") == 200, size + ": the page and its files load",
                    "page %s, %r" % (page.status, loads))
            state = wait_until(lambda: (lambda s: s if s["updates"] and not s["stale"] and
                                        s["rows"] else None)(page.state()), 5)
            state = state or page.state()
            c.check(rows_of(state) == shown(first), size + ": the page shows the window's figures",
                    "page %r, window %r" % (rows_of(state), shown(first)))
            c.check(state["mode"] == mode, size + ": the page shows the window's mode",
                    "page %r, window %r" % (state["mode"], mode))
            c.check(not state["stale"], size + ": a live page is not greyed", repr(state))
            faults = page.layout_faults()
            c.check(not faults, size + ": the figures fit the screen", "; ".join(faults))
            print("screenshot: " + page.screenshot(os.path.join(args.out, "view-%s.png" % size)),
                  flush=True)

        # A push of the table: the window moves, and the pages follow it.
        rig.push()
        pushed_at = time.monotonic()
        # The rows are read one after another while the program goes on: a reading taken as the
        # push arrived may hold some rows from before it. Waited for until every row has moved.
        moved = wait_until(lambda: (lambda rows: rows if rows and all(
            a != b for a, b in zip(shown(rows), shown(first))) else None)(window.live_figures(1)),
            5, 0.1)
        c.check(moved and all(a != b for a, b in zip(shown(moved), shown(first))),
                "a push moves every axis in the window", "%r after %r" % (moved, first))
        for page, (width, height) in zip(pages, SIZES):
            arrived = wait_until(lambda: rows_of(page.state()) == shown(moved or first), 3)
            c.check(arrived, "%dx%d: the push reaches the page" % (width, height),
                    "page %r, window %r" % (rows_of(page.state()), moved))
        print("push: in the window and on both pages after %.2f s"
              % (time.monotonic() - pushed_at), flush=True)

        # The box falls silent: both pages grey within 1.5 s and say why.
        for page in pages:
            page.eval(WATCH_STALE_JS)
        stream = streams.open()
        readings_flow(stream, 3)
        silent_ms = time.time() * 1000
        rig.silence()
        for page, (width, height) in zip(pages, SIZES):
            size = "%dx%d" % (width, height)
            greyed = wait_until(lambda: [g for g in page.eval("() => window.kvtGreying")
                                         if g["stale"]], 4)
            delay = greyed[0]["at"] - silent_ms if greyed else None
            c.check(delay is not None and delay <= 1500,
                    size + ": the page greys within 1.5 s of the box's silence",
                    "after %s ms" % (None if delay is None else round(delay)))
            state = page.state()
            c.check(state["stale"] and state["why"] and state["whyShown"],
                    size + ": the greyed page shows the reason", repr(state))
            c.check(rows_of(state) == shown(moved or first),
                    size + ": the greyed page keeps the last figures", repr(rows_of(state)))
            if delay is not None:
                print("%s: greyed %d ms after the silence, reason %r" % (size, delay, state["why"]),
                      flush=True)
        print("screenshot: " + pages[0].screenshot(os.path.join(args.out, "view-390x844-silent.png")),
              flush=True)
        # The reason the page gives is the program's, as the stream carries it.
        told = wait_until(lambda: [e for _, e in stream.events if e.get("live") is False], 3)
        c.check(told and told[-1].get("why") == pages[0].state()["why"],
                "the page's reason is the one the program sends",
                "page %r, stream %r" % (pages[0].state()["why"], told[-1] if told else None))
        streams.close(stream)

        # The box answers again: the pages come back by themselves and follow the window.
        resumed_ms = time.time() * 1000
        rig.resume()
        for page, (width, height) in zip(pages, SIZES):
            size = "%dx%d" % (width, height)
            before = page.state()["updates"]
            back = wait_until(lambda: (lambda s: s if not s["stale"] and s["updates"] > before
                                       else None)(page.state()), 6)
            back_at = [g["at"] for g in page.eval("() => window.kvtGreying") if not g["stale"]]
            c.check(back, size + ": readings bring the page back",
                    repr(page.state()))
            if back_at:
                print("%s: back %d ms after the box answered again" % (size, back_at[-1] - resumed_ms),
                      flush=True)
        again = window.live_figures(10)
        for page, (width, height) in zip(pages, SIZES):
            c.check(again and wait_until(lambda: rows_of(page.state()) == shown(again), 3),
                    "%dx%d: after the silence the page shows the window's figures again"
                    % (width, height), "page %r, window %r" % (rows_of(page.state()), again))
        for page, (width, height) in zip(pages, SIZES):
            errors, _ = page.errors()
            c.check(not errors, "%dx%d: no errors in the page" % (width, height), repr(errors))
        c.check(rig.running(), "kvt3 still runs")
    except Failure as e:
        c.check(False, "the view could be tested", str(e))
    finally:
        if streams:
            streams.stop()
        if browser:
            browser.quit()
        if rig:
            rig.stop()
        window.stop()
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 0 if c.failed == 0 and c.passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
