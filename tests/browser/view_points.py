#!/usr/bin/python3
"""The live view with a point chosen: kvt3-sim and kvt3 (offscreen) started in a directory whose
points file and workshop settings choose the first of two points, with a zero tolerance wide
enough that every axis the point gives is near zero; headless Chromium at a tablet's size. The
page must name the point, mark the axes it gives as distances to go and near zero (in colour and
in words for a screen reader), leave the free axis unmarked, and drop the near-zero cue with the
figures when the box falls silent.

Run by tests/e2e/browser_view.sh. Screenshots go to --out, and their paths are printed."""

import argparse
import os
import sys

from kvtview import Browser, Checks, Failure, Rig, wait_until

STILL = ["--motion", "x=still:123457", "--motion", "y=still:-23456", "--motion", "z=still:9123"]

ROWS_JS = """() => [...document.querySelectorAll('.row[data-axis]')].map(r => ({
  axis: r.dataset.axis,
  label: r.querySelector('.axis').textContent,
  text: r.querySelector('.figures').textContent,
  spoken: r.querySelector('.figures').getAttribute('aria-label'),
  toGo: r.classList.contains('togo'),
  near: r.classList.contains('near'),
  background: getComputedStyle(r).backgroundColor,
}))"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    work = os.path.join(args.out, "run")
    os.makedirs(work, exist_ok=True)
    with open(os.path.join(work, "points.csv"), "w", newline="") as f:
        f.write("name;X [mm];Y [mm];Z [mm]\r\nOtwór 1;1.5;-2;\r\nOtwór 2;3;4;\r\n")
    with open(os.path.join(work, "workshop.kv3"), "w", newline="") as f:
        f.write("point=1\r\ntolerance=1000000\r\n")
    c = Checks()
    rig = browser = None
    try:
        rig = Rig(args.bin, work, STILL)
        print("view: " + rig.url, flush=True)
        browser = Browser(os.path.join(args.out, "driver.log"))
        page = browser.open(rig.url, 1024, 768)
        rows = wait_until(lambda: (lambda r: r if r and r[0]["near"] else None)(page.eval(ROWS_JS)),
                          20)
        point = page.eval("() => document.querySelector('#point').textContent")
        print("page: %r, point %r" % (rows, point), flush=True)
        c.check(bool(rows) and len(rows) == 3, "the page shows three rows", repr(rows))
        c.check("1/2" in point and "Otwór 1" in point, "the page names the chosen point", point)
        if rows and len(rows) == 3:
            for r in rows[:2]:
                c.check(r["toGo"] and r["near"] and r["background"] != "rgba(0, 0, 0, 0)",
                        r["axis"] + ": a distance to go, near zero, the row coloured", repr(r))
                c.check("droga do punktu 1" in (r["spoken"] or "") and
                        "blisko zera" in (r["spoken"] or ""),
                        r["axis"] + ": a screen reader is told so", repr(r["spoken"]))
            c.check(not rows[2]["toGo"] and not rows[2]["near"],
                    "Z, free in the point, is a plain reading", repr(rows[2]))
        print("screenshot: " + page.screenshot(os.path.join(args.out, "points-1024x768.png")))

        rig.silence()
        greyed = wait_until(lambda: page.state()["stale"] and
                            not any(r["near"] for r in page.eval(ROWS_JS)), 5)
        c.check(greyed, "a silent box greys the page and takes the near-zero cue with it",
                repr(page.eval(ROWS_JS)))
        print("screenshot: " + page.screenshot(os.path.join(args.out, "points-silent.png")))
        errors, _ = page.errors()
        c.check(not errors, "no errors in the page", repr(errors))
    except Failure as e:
        c.check(False, "the view could be tested", str(e))
    finally:
        if browser:
            browser.quit()
        if rig:
            rig.stop()
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main())
