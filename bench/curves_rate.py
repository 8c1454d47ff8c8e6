#!/usr/bin/python3
"""The live curves against the cycle's rate (run by bench/curves_rate.sh, see there): two kvt3 in
real windows on the same X server, each on a moving kvt3-sim of its own, one with the curves
window open (--curves, drawing twice a second), side by side for the same seconds; the
box's one-second reports give each one's rate (readings over seconds), round by round."""

import argparse
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                "tests", "browser"))
from kvtview import Failure, Rig, median  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--seconds", type=int, default=20)
    parser.add_argument("--rounds", type=int, default=3)
    # Both without the curves: how far apart two alike programs are on this machine.
    parser.add_argument("--control", action="store_true")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="kvt3-curves-bench-")
    ratios = []
    try:
        for n in range(args.rounds):
            curves = Rig(args.bin, os.path.join(work, "curves%d" % n), platform="xcb",
                         kvt3_args=[] if args.control else ["--curves"])
            plain = Rig(args.bin, os.path.join(work, "plain%d" % n), platform="xcb")
            try:
                time.sleep(3)
                first = [len(r.stats_reports()) for r in (curves, plain)]
                time.sleep(args.seconds)
                # Readings over seconds of the whole reports, the partial first one left out.
                a, b = [sum(n for _, n, _ in r.stats_reports()[k + 1:]) /
                        sum(s for _, _, s in r.stats_reports()[k + 1:])
                        for r, k in zip((curves, plain), first)]
            finally:
                curves.stop()
                plain.stop()
            ratios.append(a / b)
            print("round %d: with the curves %.1f readings/s, without %.1f: ratio %.3f"
                  % (n + 1, a, b, a / b))
    except Failure as e:
        print("could not measure:", e)
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("median ratio %.3f" % median(ratios))
    print("PASS" if median(ratios) >= 0.97 else "FAIL", "rate with the curves within 3 %")
    return 0


if __name__ == "__main__":
    sys.exit(main())
