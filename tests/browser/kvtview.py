"""What the live view's test and benches share: kvt3-sim and a real kvt3 serving its view in a
directory of their own, headless Chromium through driver.mjs, plain sockets that speak HTTP to
the view as a browser or a hostile client would, and the event streams of many pages at once.

Everything here talks to 127.0.0.1 only: the view is started with --serve 127.0.0.1:0 and its
printed address is checked to be there before anything is sent."""

import json
import os
import re
import selectors
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import a11y_walk  # noqa: E402  (its process handling, shared with the screen-reader bench)

ADDRESS = re.compile(r"^http://127\.0\.0\.1:([0-9]{1,5})/([0-9a-f]{32})/$")


class Failure(Exception):
    """The rig could not be set up: not a finding about the view."""


def wait_until(predicate, seconds, step=0.05):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def median(values):
    return statistics.median(values) if values else 0.0


def percentile(values, p):
    """The p-th percentile (0..100) of values, nearest rank."""
    if not values:
        return 0.0
    ordered = sorted(values)
    rank = max(1, -(-len(ordered) * p // 100))
    return ordered[int(rank) - 1]


class Rig:
    """kvt3-sim and kvt3 --serve 127.0.0.1:0 in `work`: the simulator's COM1 link there, the
    program started there so that it connects by itself. `platform` is Qt's (offscreen, or xcb
    for a window on an X server, the accessibility bus's case)."""

    def __init__(self, bin_dir, work, sim_args=(), platform="offscreen", kvt3_args=(), env=None):
        self.bin = bin_dir
        self.work = work
        self.sim = None
        self.kvt3 = None
        self.url = None
        os.makedirs(work, exist_ok=True)
        link = os.path.join(work, "COM1")
        if os.path.lexists(link):
            os.unlink(link)
        self.sim_log = os.path.join(work, "sim.log")
        self.sim = subprocess.Popen([os.path.join(bin_dir, "kvt3-sim"), "--stats", *sim_args],
                                    cwd=work, stdout=subprocess.DEVNULL,
                                    stderr=open(self.sim_log, "w"))
        if not wait_until(lambda: os.path.lexists(link), 5):
            self.stop()
            raise Failure("kvt3-sim made no link COM1 in %s: %s" % (work, self.sim_text()))
        full_env = dict(os.environ)
        full_env["QT_QPA_PLATFORM"] = platform
        full_env.update(env or {})
        self.out_path = os.path.join(work, "kvt3.out")
        self.err_path = os.path.join(work, "kvt3.err")
        self.kvt3 = subprocess.Popen(
            [os.path.join(bin_dir, "kvt3"), "--serve", "127.0.0.1:0", *kvt3_args], cwd=work,
            env=full_env, stdout=open(self.out_path, "w"), stderr=open(self.err_path, "w"),
            stdin=subprocess.DEVNULL)
        line = wait_until(self._address_line, 20)
        if not line:
            self.stop()
            raise Failure("kvt3 --serve printed no address within 20 s; its output: %r %r"
                          % (self._read(self.out_path), self._read(self.err_path)[-2000:]))
        match = ADDRESS.match(line)
        if not match:
            self.stop()
            raise Failure("kvt3 printed %r, not an address on 127.0.0.1 with a token" % line)
        self.url = line
        self.port = int(match.group(1))
        self.token = match.group(2)
        self.path = "/%s/" % self.token

    @staticmethod
    def _read(path):
        try:
            with open(path, errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def _address_line(self):
        if self.kvt3.poll() is not None:
            raise Failure("kvt3 ended (status %s) before printing its address: %r"
                          % (self.kvt3.returncode, self._read(self.err_path)[-2000:]))
        text = self._read(self.out_path)
        return text.split("\n", 1)[0].strip() if "\n" in text else None

    def stdout_lines(self):
        return [line for line in self._read(self.out_path).split("\n") if line]

    def sim_text(self):
        return self._read(self.sim_log)[-2000:]

    def stats_reports(self):
        """The box's one-second reports so far, in order: (readings a second, readings, seconds)."""
        reports = []
        for line in self._read(self.sim_log).split("\n"):
            m = re.match(r"^stats: ([0-9.]+) readings/s \(([0-9]+) in ([0-9.]+) s\)", line)
            if m:
                reports.append((float(m.group(1)), int(m.group(2)), float(m.group(3))))
        return reports

    def stats_rates(self):
        return [rate for rate, _, _ in self.stats_reports()]

    def silence(self):
        os.kill(self.sim.pid, signal.SIGSTOP)

    def resume(self):
        os.kill(self.sim.pid, signal.SIGCONT)

    def push(self):
        """Every axis of the box moves on by 1000 counts at once."""
        os.kill(self.sim.pid, signal.SIGUSR1)

    def running(self):
        return self.kvt3 is not None and self.kvt3.poll() is None

    def stop(self):
        a11y_walk.stop_processes(self.kvt3, self.sim)


class Checks:
    """Counts and prints the checks of a test; the test fails when one did."""
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, name, detail=""):
        if ok:
            self.passed += 1
            print("ok: " + name, flush=True)
        else:
            self.failed += 1
            print("FAIL: %s%s" % (name, ": " + detail if detail else ""), flush=True)
        return ok


class Browser:
    """Headless Chromium through tests/browser/driver.mjs (playwright-core from
    tests/browser/node_modules, installed by scripts/setup.sh)."""

    def __init__(self, log_path=None):
        if not os.path.isdir(os.path.join(HERE, "node_modules", "playwright-core")):
            raise Failure("no tests/browser/node_modules/playwright-core: run scripts/setup.sh")
        self.log_path = log_path or tempfile.mktemp(prefix="kvt3-driver.", suffix=".log")
        self.process = subprocess.Popen(["node", os.path.join(HERE, "driver.mjs")], cwd=HERE,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=open(self.log_path, "w"), text=True, bufsize=1)

    def call(self, cmd, **args):
        args["cmd"] = cmd
        self.process.stdin.write(json.dumps(args) + "\n")
        self.process.stdin.flush()
        line = self.process.stdout.readline()
        if not line:
            with open(self.log_path, errors="replace") as f:
                raise Failure("the browser driver ended: " + f.read()[-3000:])
        answer = json.loads(line)
        if not answer.get("ok"):
            raise Failure("browser: %s: %s" % (cmd, answer.get("error")))
        return answer

    def open(self, url, width, height):
        answer = self.call("open", url=url, width=width, height=height)
        return Page(self, answer["id"], answer["status"])

    def quit(self):
        if self.process.poll() is None:
            try:
                self.call("quit")
                self.process.wait(10)
            except (Failure, OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()


# What a page shows, as a reader of it sees it: the axis rows in their order with their figures,
# the mode, whether it is greyed and why, and the page's own counters.
PAGE_STATE_JS = """() => {
  const rows = [...document.querySelectorAll('.row[data-axis]')].map(r => {
    const f = r.querySelector('.figures');
    return {axis: r.dataset.axis, text: f ? f.textContent.trim() : null};
  });
  const mode = document.querySelector('#mode');
  const why = document.querySelector('#why');
  const v = window.kvtView || {};
  return {
    rows,
    mode: mode ? mode.textContent.trim() : null,
    stale: document.body.classList.contains('stale'),
    why: why ? why.textContent.trim() : null,
    whyShown: !!(why && why.getClientRects().length && getComputedStyle(why).visibility !== 'hidden'),
    updates: typeof v.updates === 'number' ? v.updates : null,
    latencies: Array.isArray(v.latencies) ? v.latencies.length : null,
  };
}"""

# Whether anything sticks out of the page sideways or a row's figures leave the viewport.
LAYOUT_JS = """() => {
  const out = [];
  const width = window.innerWidth;
  if (document.documentElement.scrollWidth > width)
    out.push('the page is ' + document.documentElement.scrollWidth + ' px wide in ' + width);
  for (const f of document.querySelectorAll('.row[data-axis] .figures')) {
    const r = f.getBoundingClientRect();
    if (r.width === 0 || r.height === 0) out.push(f.parentElement.dataset.axis + ': not shown');
    else if (r.left < 0 || r.right > width + 0.5)
      out.push(f.parentElement.dataset.axis + ': figures from ' + r.left + ' to ' + r.right + ' px');
    if (f.scrollWidth > f.clientWidth + 1)
      out.push(f.parentElement.dataset.axis + ': figures cut (' + f.scrollWidth + ' in ' + f.clientWidth + ')');
  }
  return out;
}"""

# Notes the wall-clock time of every change of the body's greying.
WATCH_STALE_JS = """() => {
  window.kvtGreying = [];
  new MutationObserver(() => {
    const stale = document.body.classList.contains('stale');
    const last = window.kvtGreying[window.kvtGreying.length - 1];
    if (!last || last.stale !== stale) window.kvtGreying.push({stale, at: Date.now()});
  }).observe(document.body, {attributes: true, attributeFilter: ['class']});
  return true;
}"""


class Page:
    def __init__(self, browser, page_id, status):
        self.browser = browser
        self.id = page_id
        self.status = status

    def eval(self, js):
        return self.browser.call("eval", id=self.id, js=js)["value"]

    def state(self):
        return self.eval(PAGE_STATE_JS)

    def layout_faults(self):
        return self.eval(LAYOUT_JS)

    def screenshot(self, path):
        self.browser.call("screenshot", id=self.id, path=path)
        return path

    def errors(self):
        answer = self.browser.call("errors", id=self.id)
        return answer["errors"], answer["loads"]

    def close(self):
        self.browser.call("close", id=self.id)


def host_header(rig):
    return "127.0.0.1:%d" % rig.port


def request(port, data, timeout=5.0):
    """Sends `data` (bytes) to 127.0.0.1:port and reads the answer until the server closes or the
    body named by Content-Length is in. Returns (status or None, headers dict, body bytes)."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(data)
        return read_response(s, timeout)


def read_response(s, timeout=5.0):
    s.settimeout(timeout)
    raw = b""
    end = time.monotonic() + timeout
    head = None
    while time.monotonic() < end:
        if head is None and b"\r\n\r\n" in raw:
            head, raw = raw.split(b"\r\n\r\n", 1)
        if head is not None:
            status, headers = parse_head(head)
            length = headers.get("content-length")
            if length is not None and len(raw) >= int(length):
                return status, headers, raw[:int(length)]
        try:
            chunk = s.recv(65536)
        except (socket.timeout, ConnectionResetError):
            break
        if not chunk:
            break
        raw += chunk
    if head is None:
        if b"\r\n\r\n" not in raw:
            return None, {}, raw
        head, raw = raw.split(b"\r\n\r\n", 1)
    status, headers = parse_head(head)
    return status, headers, raw


def parse_head(head):
    lines = head.decode("latin-1").split("\r\n")
    m = re.match(r"^HTTP/1\.[01] ([0-9]{3})", lines[0])
    headers = {}
    for line in lines[1:]:
        if ":" in line:
            name, value = line.split(":", 1)
            headers[name.strip().lower()] = value.strip()
    return (int(m.group(1)) if m else None), headers


def get(rig, path, host=None, method="GET", extra="", body=b""):
    head = "%s %s HTTP/1.1\r\nHost: %s\r\n%sConnection: close\r\n" % (
        method, path, host if host is not None else host_header(rig), extra)
    if body or method in ("POST", "PUT"):
        head += "Content-Length: %d\r\n" % len(body)
    return request(rig.port, (head + "\r\n").encode("latin-1") + body)


class Stream:
    """One page's event stream as a browser's EventSource reads it: the answer's status, then
    each `data:` line's JSON with the time it came in."""

    def __init__(self, sock):
        self.sock = sock
        self.buffer = b""
        self.status = None
        self.headers = {}
        self.chunked = False
        self.body = b""
        self.events = []  # (monotonic time, event dict)
        self.closed = False
        self.refused_body = b""

    def last_reading(self):
        return self.events[-1][1].get("reading") if self.events else None

    def feed(self, data, now):
        self.buffer += data
        if self.status is None:
            if b"\r\n\r\n" not in self.buffer:
                return
            head, self.buffer = self.buffer.split(b"\r\n\r\n", 1)
            self.status, self.headers = parse_head(head)
            self.chunked = "chunked" in self.headers.get("transfer-encoding", "").lower()
        if self.status != 200:
            self.refused_body += self.buffer
            self.buffer = b""
            return
        if self.chunked:
            self._dechunk()
        else:
            self.body += self.buffer
            self.buffer = b""
        while b"\n\n" in self.body:
            block, self.body = self.body.split(b"\n\n", 1)
            data_lines = [line[5:].lstrip() for line in block.split(b"\n")
                          if line.startswith(b"data:")]
            if data_lines:
                try:
                    self.events.append((now, json.loads(b"\n".join(data_lines))))
                except ValueError:
                    self.events.append((now, {"unreadable": block.decode("utf-8", "replace")}))

    def _dechunk(self):
        # Only whole chunks are taken: the size line, the data and the CRLF after it.
        while b"\r\n" in self.buffer:
            size_line, rest = self.buffer.split(b"\r\n", 1)
            size = int(size_line.split(b";")[0] or b"0", 16)
            if size == 0:
                self.closed = True
                return
            if len(rest) < size + 2:
                return
            self.body += rest[:size]
            self.buffer = rest[size + 2:]


class Streams:
    """Many event streams read at once by one thread, as many pages' EventSources would be."""

    def __init__(self, rig):
        self.rig = rig
        self.selector = selectors.DefaultSelector()
        self.lock = threading.Lock()
        self.streams = []
        self.running = True
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.thread.start()

    def open(self, path=None):
        s = socket.create_connection(("127.0.0.1", self.rig.port), timeout=5)
        s.sendall(("GET %sevents HTTP/1.1\r\nHost: %s\r\nAccept: text/event-stream\r\n"
                   "Cache-Control: no-cache\r\n\r\n"
                   % (path or self.rig.path, host_header(self.rig))).encode())
        s.setblocking(False)
        stream = Stream(s)
        with self.lock:
            self.streams.append(stream)
            self.selector.register(s, selectors.EVENT_READ, stream)
        return stream

    def _loop(self):
        while self.running:
            with self.lock:
                ready = self.selector.select(0.05) if self.selector.get_map() else []
            if not ready:
                time.sleep(0.01)
                continue
            now = time.monotonic()
            for key, _ in ready:
                stream = key.data
                try:
                    data = stream.sock.recv(65536)
                except BlockingIOError:
                    continue
                except OSError:
                    data = b""
                if data:
                    stream.feed(data, now)
                else:
                    self.close(stream)

    def close(self, stream):
        # From either thread: the one that reads, at the stream's end, or the caller's.
        with self.lock:
            if stream.sock.fileno() >= 0:
                self.selector.unregister(stream.sock)
                stream.sock.close()
            stream.closed = True

    def close_all(self):
        for stream in list(self.streams):
            self.close(stream)

    def stop(self):
        self.close_all()
        self.running = False
        self.thread.join(2)


def readings_flow(stream, seconds=3.0, least=2):
    """Whether `stream` gets at least `least` new readings (a rising reading counter) within
    `seconds`: the readout runs and its view keeps up."""
    start = len(stream.events)
    first = stream.last_reading()

    def moved():
        new = [e.get("reading") for _, e in stream.events[start:]]
        new = [r for r in new if isinstance(r, int)]
        return len(new) >= least and (first is None or new[-1] > first) and new == sorted(new)

    return wait_until(moved, seconds)
