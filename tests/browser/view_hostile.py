#!/usr/bin/python3
"""The live view against clients that are not its pages: no or a wrong token, a foreign Host,
methods that would change something, an oversized request head, more event streams than it
serves, a page that never reads, a client that sends a byte a second and a flood of connections.
Each must be refused (or shut out in time) without the page or its figures given away, and after
each the readout must still run: a page that was open all along still gets new readings, and a
new one is still served.

kvt3 runs offscreen against kvt3-sim; everything is sent to 127.0.0.1 only, to the port kvt3
printed. Run by tests/e2e/browser_view.sh."""

import argparse
import errno
import os
import select
import socket
import sys
import time

from kvtview import (Checks, Failure, Rig, Streams, get, host_header, read_response, readings_flow,
                     request, wait_until)

MAX_STREAMS = 16
HEAD_LIMIT = 8 * 1024
IDLE_LIMIT_S = 10
FIRST_LINE_S = 2
# The program's own time to notice and close, beyond its 10 s, on a machine shared with others.
SLACK_S = 1.0
FLOOD = 300
FLOOD_BURST = 25


def other_token(token):
    # The same length and alphabet, every digit different.
    return "".join("0123456789abcdef"[(int(ch, 16) + 7) % 16] for ch in token)


def send_raw(rig, data, timeout=5.0):
    """Sends data and reads the answer; a server that answers and closes before taking all of
    an oversized head may reset the connection under the sender: the answer is read anyway."""
    s = socket.create_connection(("127.0.0.1", rig.port), timeout=timeout)
    try:
        try:
            s.sendall(data)
        except (BrokenPipeError, ConnectionResetError):
            pass
        return read_response(s, timeout)
    finally:
        s.close()


class Watched:
    """A connection of ours, non-blocking, with what the server sent on it and when it ended."""

    def __init__(self, sock):
        self.sock = sock
        self.sock.setblocking(False)
        self.received = b""
        self.closed_at = None

    def closed(self, wait=0.0):
        """Whether the server has closed it (end of stream or reset), waiting at most `wait`."""
        if self.closed_at is not None:
            return True
        try:
            if not select.select([self.sock], [], [], wait)[0]:
                return False
            while True:
                data = self.sock.recv(65536)
                if not data:
                    break
                self.received += data
        except BlockingIOError:
            return False
        except OSError as e:
            # Still connecting is not closed.
            if e.errno == errno.ENOTCONN:
                return False
        self.closed_at = time.monotonic()
        return True

    def status(self):
        return self.received.split(b"\r\n", 1)[0].decode("latin-1")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    c = Checks()
    rig = streams = None
    try:
        rig = Rig(args.bin, os.path.join(args.out, "run"))
        print("view: " + rig.url, flush=True)
        streams = Streams(rig)
        watch = streams.open()
        if not readings_flow(watch, 10):
            raise Failure("the page's stream got no readings in 10 s (status %s)" % watch.status)
        status, _, page = get(rig, rig.path)
        if status != 200 or b"view.js" not in page:
            raise Failure("the page itself: %s %r" % (status, page[:200]))

        def serving():
            """Whether the page open all along still gets new readings and a new one is served;
            what was seen when not."""
            flowing = readings_flow(watch, 3)
            status, _, body = get(rig, rig.path)
            ok = bool(flowing) and status == 200 and body == page
            return ok, "readings %s, page %s" % ("flowing" if flowing else "stopped", status)

        def still_serving(name):
            ok, seen = serving()
            c.check(ok, name + ": the readout still runs and its page is still served", seen)

        def nothing_given_away(body):
            return (rig.token.encode() not in body and b"view.js" not in body and
                    b"kvtView" not in body and (not page or page not in body))

        token = rig.token
        wrong = other_token(token)
        host = host_header(rig)
        # Requests to refuse: what is asked, with which Host, and the answers that refuse it.
        refused = [
            ("no token", "GET", "/", host, {403}),
            ("no token, the stream", "GET", "/events", host, {403}),
            ("a wrong token", "GET", "/%s/" % wrong, host, {403}),
            ("a wrong token, the stream", "GET", "/%s/events" % wrong, host, {403}),
            ("a wrong token, the script", "GET", "/%s/view.js" % wrong, host, {403}),
            ("the token with one digit changed", "GET", "/%s%s/" % (token[:-1], wrong[-1]), host,
             {403}),
            ("the token in capitals", "GET", "/%s/" % token.upper(), host, {403}),
            ("the token with more after it", "GET", "/%s0/" % token, host, {403}),
            ("the token's half", "GET", "/%s/" % token[:16], host, {403}),
            ("a foreign Host", "GET", rig.path, "evil.example", {403}),
            ("a foreign Host with the port", "GET", rig.path, "evil.example:%d" % rig.port, {403}),
            ("a name ending like the address", "GET", rig.path, "x127.0.0.1:%d" % rig.port, {403}),
            ("the address as a subdomain", "GET", rig.path, "127.0.0.1.evil.example:%d" % rig.port,
             {403}),
            ("a foreign Host, the stream", "GET", rig.path + "events", "evil.example", {403}),
            ("no Host at all", "GET", rig.path, None, {400, 403}),
        ]
        for method in ("POST", "PUT", "DELETE", "PATCH"):
            refused.append(("%s to the page" % method, method, rig.path, host, {405}))
            refused.append(("%s to the stream" % method, method, rig.path + "events", host, {405}))
        for name, method, path, host_value, expected in refused:
            if host_value is None:
                status, _, body = request(rig.port, ("%s %s HTTP/1.1\r\nConnection: close\r\n\r\n"
                                                     % (method, path)).encode())
            else:
                body_out = b"x=1" if method in ("POST", "PUT", "PATCH") else b""
                status, _, body = get(rig, path, host=host_value, method=method, body=body_out)
            ok, seen = serving()
            c.check(status in expected and nothing_given_away(body) and ok,
                    "%s: refused with %s, the readout runs on" % (
                        name, "/".join(map(str, sorted(expected)))),
                    "got %s, body %r; %s" % (status, body[:200], seen))

        # The head limit: a head just under it is served, one over it is not.
        def head_of(size):
            base = "GET %s HTTP/1.1\r\nHost: %s\r\nConnection: close\r\n" % (rig.path, host)
            filler = size - len(base) - len("X-Filler: \r\n\r\n")
            return (base + "X-Filler: " + "a" * filler + "\r\n\r\n").encode()

        status, _, body = send_raw(rig, head_of(HEAD_LIMIT - 512))
        c.check(status == 200 and body == page, "a head of 7.5 KiB is served", "got %s" % status)
        for size in (HEAD_LIMIT + 512, 64 * 1024):
            status, _, body = send_raw(rig, head_of(size))
            c.check(status == 431 and nothing_given_away(body),
                    "a head of %d bytes: refused with 431" % size,
                    "got %s, body %r" % (status, body[:200]))
        still_serving("after the oversized heads")

        # More streams than are served: the one past the limit is refused, the others go on.
        others = [streams.open() for _ in range(MAX_STREAMS - 1)]
        all_in = wait_until(lambda: all(s.status == 200 for s in others), 5)
        c.check(all_in, "%d event streams are served" % MAX_STREAMS,
                repr([s.status for s in others]))
        extra = streams.open()
        wait_until(lambda: extra.status is not None and extra.closed, 5)
        c.check(extra.status == 503 and not extra.events,
                "stream %d: refused with 503" % (MAX_STREAMS + 1),
                "got %s, %d events" % (extra.status, len(extra.events)))
        flowing = [readings_flow(s, 3) for s in [watch] + others]
        c.check(all(flowing), "the %d served streams still get readings" % MAX_STREAMS,
                "%d of them stopped" % flowing.count(False))
        # A stream that ends makes room for another.
        streams.close(others.pop())
        def reopen():
            s = streams.open()
            wait_until(lambda: s.status is not None, 2)
            if s.status == 200:
                return s
            streams.close(s)
            return None

        again = wait_until(reopen, 5, 0.5)
        c.check(again and readings_flow(again, 3), "a closed stream's place is taken by a new one")
        for s in others + ([again] if again else []):
            streams.close(s)
        still_serving("after the streams past the limit")

        # A page that never reads: the program's buffers for it fill up; the others go on.
        stuck = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        stuck.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        stuck.connect(("127.0.0.1", rig.port))
        stuck.sendall(("GET %sevents HTTP/1.1\r\nHost: %s\r\n\r\n" % (rig.path, host)).encode())
        start = len(watch.events)
        began = time.monotonic()
        time.sleep(12)
        times = [t for t, _ in watch.events[start:]]
        gaps = [b - a for a, b in zip([began] + times, times + [time.monotonic()])]
        rate = len(times) / (time.monotonic() - began)
        c.check(times and max(gaps) < 1.0 and rate > 10,
                "a page that never reads: the others keep getting readings",
                "%d readings in 12 s, longest gap %.2f s" % (len(times), max(gaps) if gaps else 0))
        print("a page that never reads: %.1f readings/s to the others, longest gap %.0f ms"
              % (rate, 1000 * max(gaps)), flush=True)
        stuck.close()
        still_serving("after the page that never reads")

        # A client that sends a byte a second: closed when its request line has not come within
        # 2 s of its connecting.
        slow = Watched(socket.create_connection(("127.0.0.1", rig.port), timeout=5))
        text = ("GET %s HTTP/1.1\r\nHost: %s\r\n" % (rig.path, host)).encode()
        began = time.monotonic()
        sent = 0
        while not slow.closed(0.05) and time.monotonic() - began < IDLE_LIMIT_S + 5:
            if time.monotonic() - began >= sent:
                try:
                    slow.sock.send(text[sent % len(text):sent % len(text) + 1])
                except OSError:
                    slow.closed_at = time.monotonic()
                sent += 1
        slow.sock.close()
        closed_after = slow.closed_at - began if slow.closed_at else None
        c.check(closed_after is not None and closed_after <= FIRST_LINE_S + SLACK_S,
                "a client sending a byte a second is closed within 2 s",
                "closed after %s s" % (None if closed_after is None else round(closed_after, 2)))
        if closed_after is not None:
            print("a byte a second: closed after %.2f s, %d bytes sent" % (closed_after, sent),
                  flush=True)
        still_serving("after the slow client")

        # A flood of connections that say nothing, in bursts the listening queue holds: none is
        # kept past the 2 s a connection has for its first request line, the oldest of them
        # closed at once as new ones come; meanwhile the page already open goes on.
        flood = []
        began = time.monotonic()
        for _ in range(FLOOD // FLOOD_BURST):
            burst = []
            for _ in range(FLOOD_BURST):
                s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                s.setblocking(False)
                s.connect_ex(("127.0.0.1", rig.port))
                burst.append(s)
            select.select([], burst, [], 2)
            flood += [Watched(s) for s in burst]
        flooded = time.monotonic() - began
        flowing = readings_flow(watch, 3)
        c.check(flowing, "a flood of %d connections: a page already open still gets readings"
                % FLOOD)
        status, _, _ = get(rig, rig.path)
        print("flood: %d connections in %.2f s; a new page meanwhile is answered %s"
              % (FLOOD, flooded, status), flush=True)
        wait_until(lambda: all([w.closed() for w in flood]), FIRST_LINE_S + SLACK_S, 0.1)
        held = [w for w in flood if not w.closed()]
        closed = [w.closed_at - began for w in flood if w.closed_at]
        answers = sorted({w.status() for w in flood if w.closed_at})
        c.check(not held and max(closed or [0]) <= flooded + FIRST_LINE_S + SLACK_S and
                set(answers) <= {"", "HTTP/1.1 503 Service Unavailable"},
                "a flood of %d connections: each closed within 2 s, given nothing or 503" % FLOOD,
                "%d still open after %.1f s; answers: %r" % (
                    len(held), time.monotonic() - began, answers))
        print("flood: closed after %.1f to %.1f s, %d still open"
              % (min(closed or [0]), max(closed or [0]), len(held)), flush=True)
        for w in flood:
            w.sock.close()
        still_serving("after the flood")
        c.check(rig.running(), "kvt3 still runs")
    except Failure as e:
        c.check(False, "the view could be tested", str(e))
    finally:
        if streams:
            streams.stop()
        if rig:
            rig.stop()
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 0 if c.failed == 0 and c.passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
