#!/usr/bin/env bash
# The live view against anyone on the network, without the token: kvt3 (offscreen) serving its
# view on 127.0.0.1 against a paced kvt3-sim, attacked for SECONDS in turn by
#   silent   64 sockets that never send a byte, each reopened as soon as the server closes it;
#   upgrade  protocol-switch requests, each on a new connection, as fast as two processes go;
#   reset    connects in bursts of 400, each reset by the client at once (SO_LINGER 0);
#   trickle  64 connections sending a request a byte a second, reopened when closed;
# all from 127.0.0.1, the honest page's own address, the attackers at nice 19 (on a network their
# CPU would be another machine's). Two controls: none (the same measurement without an attack:
# the machine's own noise) and reset@plain (the reset flood aimed at a plain listener of the bench
# instead of the view: what the flood costs the machine and its readout, whoever listens). Meanwhile, once a second, a page is loaded
# as a browser first loads it (the page, its script and style, its stream's first event), and a
# page opened before the attack keeps reading its stream. Printed for each attack: how many
# attacks were made; how many page loads were served and their longest and median time; the
# readout's rate (the box's one-second reports) before and during; kvt3's RSS before, at its
# peak and SETTLE seconds after; its open descriptors at the peak; how much its standard error
# grew. Goals: every load within 2 s, the rate at least 0.97x, RSS back within 10 MB, standard
# error less than 10 KB. PASS or FAIL for each; exit 0 either way, 1 when it could not measure,
# 2 on a missing build.
#
#   bench/view_attack.sh [build-dir] [seconds] [attack...]   (defaults: build, 60, all of them)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
. "$root/bench/needs_built.sh"
needs_built "$build/bin" kvt3-sim kvt3
shift || true
seconds=${1:-60}
shift || true
exec /usr/bin/python3 "$root/bench/view_attack.py" --bin "$build/bin" --seconds "$seconds" "$@"
