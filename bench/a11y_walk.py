#!/usr/bin/python3
"""Walks kvt3's accessibility tree over AT-SPI as a screen reader does, while the readings run and
with the cycle stopped, and compares the two. Run by bench/a11y_walk.sh inside a D-Bus session
and a virtual X server of its own; see there for what it prints.

Each round starts a fresh kvt3-sim and kvt3 and:
  1. waits until the readings move, then walks the tree several times (readings running);
  2. stops the box (SIGSTOP to kvt3-sim): after the request and its two repeats the program asks
     whether to stop waiting; the bench answers as the operator would (the dialog's button,
     pressed through AT-SPI), which leaves the cycle stopped and the same windows as before, and
     walks the tree again as many times (cycle stopped).
The walker listens to the events a screen reader listens to and handles those that come in
between any two nodes, so a walk while the figures change pays for what they announce.
"""

import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def log(*args):
    print(*args, flush=True)


def fail(text):
    log("could not measure: " + text)
    sys.exit(1)


# Events a screen reader registers for: changes of names, descriptions and values, states,
# children and text, and window activation.
EVENTS = [
    "object:property-change",
    "object:state-changed",
    "object:children-changed",
    "object:text-changed",
    "object:value-changed",
    "window",
]


class Walker:
    def __init__(self, pyatspi, glib):
        self.pyatspi = pyatspi
        self.context = glib.MainContext.default()
        self.events = 0
        pyatspi.Registry.registerEventListener(self.on_event, *EVENTS)

    def on_event(self, event):
        self.events += 1

    def pump(self):
        # Whatever the bus has brought since the last node: the reader stays responsive.
        while self.context.pending():
            self.context.iteration(False)

    def walk(self, node, visit=None):
        """Every node: role, name, description, the text of text nodes, then its children.
        Returns the number of nodes."""
        count = 0
        stack = [(node, 0)]
        while stack:
            current, depth = stack.pop()
            self.pump()
            count += 1
            role = current.getRoleName()
            name = current.name
            description = current.description
            text = None
            if "Text" in current.get_interfaces():
                t = current.queryText()
                text = t.getText(0, -1)
            if visit:
                visit(current, depth, role, name, description, text)
            children = []
            for i in range(current.childCount):
                child = current.getChildAtIndex(i)
                if child is not None:
                    children.append((child, depth + 1))
            # Depth first, in the children's order.
            stack.extend(reversed(children))
        return count

    def walk_application(self, app):
        """The application and its shown windows, each walked whole. A window Qt keeps hidden
        (a closed dialog) is left out, as a screen reader leaves it out."""
        self.pump()
        app.getRoleName()
        app.name
        nodes = 1
        for i in range(app.childCount):
            window = app.getChildAtIndex(i)
            if window is not None and window.getState().contains(self.pyatspi.STATE_SHOWING):
                nodes += self.walk(window)
        return nodes

    def timed_walk(self, app):
        start = time.monotonic()
        nodes = self.walk_application(app)
        return time.monotonic() - start, nodes


def find_app(pyatspi, pid, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    return None


def readings(walker, app):
    """The static text of the main window (role label or static): the figures and the captions,
    as (name, description) pairs in tree order."""
    found = []

    def visit(node, depth, role, name, description, text):
        if role in ("label", "static"):
            found.append((name, description))

    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window is not None and window.name == "KVT 3":
            walker.walk(window, visit)
    return found


def figures(labels):
    # The figures are the static text that says which axis it shows.
    return [name for name, description in labels if description.startswith("Oś")]


def shown(pyatspi, window):
    return window is not None and window.getState().contains(pyatspi.STATE_SHOWING)


def dialogs(pyatspi, app):
    # Qt keeps a closed dialog among the application's windows, hidden.
    windows = [app.getChildAtIndex(i) for i in range(app.childCount)]
    return [w for w in windows if shown(pyatspi, w) and w.name != "KVT 3"]


def press_button(walker, window):
    buttons = []

    def visit(node, depth, role, name, description, text):
        if role == "push button":
            buttons.append(node)

    walker.walk(window, visit)
    for button in buttons:
        action = button.queryAction()
        for i in range(action.nActions):
            if action.getName(i) in ("Press", "press", "click"):
                action.doAction(i)
                return button.name
    return None


def sim_rates(path, first, last):
    with open(path, errors="replace") as f:
        lines = [line for line in f if line.startswith("stats:")]
    rates = []
    for line in lines[first:last]:
        try:
            rates.append(float(line.split()[1]))
        except (IndexError, ValueError):
            pass
    return rates, len(lines)


def stats_lines(path):
    return sim_rates(path, 0, 0)[1]


def wait_until(predicate, seconds, step=0.2):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def run_round(number, args, walker, pyatspi, work):
    run = os.path.join(work, "round%d" % number)
    os.mkdir(run)
    sim_log = os.path.join(run, "sim.log")
    sim = subprocess.Popen([os.path.join(args.bin, "kvt3-sim"), "--dir", run, "--stats"],
                           stderr=open(sim_log, "w"), stdout=subprocess.DEVNULL)
    kvt3 = None
    try:
        if not wait_until(lambda: os.path.lexists(os.path.join(run, "COM1")), 5, 0.05):
            fail("kvt3-sim made no link COM1 in %s" % run)
        env = dict(os.environ)
        env.update(QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", QT_QPA_PLATFORM="xcb")
        kvt3 = subprocess.Popen([os.path.join(args.bin, "kvt3")], cwd=run, env=env,
                                stdout=open(os.path.join(run, "kvt3.log"), "w"),
                                stderr=subprocess.STDOUT)
        app = find_app(pyatspi, kvt3.pid, 20)
        if app is None:
            fail("kvt3 (pid %d) did not appear on the accessibility bus within 20 s" % kvt3.pid)

        # Readings running: the figures move.
        def moving():
            first = figures(readings(walker, app))
            time.sleep(0.5)
            return first and figures(readings(walker, app)) != first

        if not wait_until(moving, 20, 0):
            fail("the figures did not move within 20 s of kvt3's start: %s"
                 % figures(readings(walker, app)))
        first_stats = stats_lines(sim_log)
        time.sleep(args.settle)
        walker.pump()
        labels_running = readings(walker, app)
        events0 = walker.events
        t0 = time.monotonic()
        running = [walker.timed_walk(app) for _ in range(args.walks)]
        events_running = (walker.events - events0) / (time.monotonic() - t0)
        # The box's one-second reports over the settling and the walks.
        rates, _ = sim_rates(sim_log, first_stats, None)

        # Cycle stopped: the box says nothing; the program asks, the operator stops the wait.
        os.kill(sim.pid, signal.SIGSTOP)
        asked = []
        if not wait_until(lambda: asked.extend(dialogs(pyatspi, app)) or asked, 15):
            fail("no wait dialog within 15 s of the box's silence")
        dialog_title = asked[0].name
        pressed = press_button(walker, asked[0])
        if pressed is None:
            fail("the wait dialog has no button to press")
        if not wait_until(lambda: not dialogs(pyatspi, app), 5):
            fail("the wait dialog did not close on its button")
        time.sleep(args.settle)
        walker.pump()
        labels_stopped = readings(walker, app)
        time.sleep(1)
        if figures(readings(walker, app)) != figures(labels_stopped):
            fail("the figures still move with the box stopped")
        walker.pump()
        events0 = walker.events
        t0 = time.monotonic()
        stopped = [walker.timed_walk(app) for _ in range(args.walks)]
        events_stopped = (walker.events - events0) / (time.monotonic() - t0)
        os.kill(sim.pid, signal.SIGCONT)
        return dict(running=running, stopped=stopped, rates=rates, app_name=app.name,
                    labels_running=labels_running, labels_stopped=labels_stopped,
                    events_running=events_running, events_stopped=events_stopped,
                    dialog="%s (answered with %r)" % (dialog_title, pressed))
    finally:
        stop_processes(kvt3, sim)


def stop_processes(*processes):
    """Ends the programs still running, a stopped simulator included (it is let go on first)."""
    for process in processes:
        if process is None or process.poll() is not None:
            continue
        try:
            os.kill(process.pid, signal.SIGCONT)
            process.terminate()
            process.wait(10)
        except (OSError, subprocess.TimeoutExpired):
            process.kill()
            process.wait()


def show_labels(labels):
    return ", ".join("%r%s" % (name, " (%s)" % description if description else "")
                     for name, description in labels)


def start_bus():
    """The accessibility bus of this session (Qt and the walker find it through the session bus),
    up before any program that is to register on it starts. Returns the launcher's process."""
    launcher = None
    for path in ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"):
        if os.access(path, os.X_OK):
            launcher = subprocess.Popen([path, "--launch-immediately"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            break
    if launcher is None:
        fail("no at-spi-bus-launcher")
    # Asked whether the name is taken, not for the bus itself: that would start a second launcher
    # through the session bus's service activation.
    if not wait_until(lambda: "true" in subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"],
            capture_output=True, text=True).stdout, 10):
        fail("the accessibility bus (org.a11y.Bus) did not come up")
    return launcher


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--walks", type=int, default=15)
    parser.add_argument("--settle", type=float, default=3.0)
    parser.add_argument("--goal", type=float, default=1.5)
    args = parser.parse_args()

    launcher = start_bus()
    import pyatspi  # connects to the accessibility bus on import
    from gi.repository import GLib

    walker = Walker(pyatspi, GLib)
    work = tempfile.mkdtemp(prefix="a11y_walk.")
    results = []
    try:
        log("%d rounds, %d walks each of the readings running and the cycle stopped"
            % (args.rounds, args.walks))
        log("%5s  %-28s  %-28s  %s" % ("round", "running ms (median, nodes)",
                                       "stopped ms (median, nodes)", "ratio; readings/s; events/s"))
        for number in range(1, args.rounds + 1):
            r = run_round(number, args, walker, pyatspi, work)
            results.append(r)
            run_ms = statistics.median(t for t, _ in r["running"]) * 1000
            stop_ms = statistics.median(t for t, _ in r["stopped"]) * 1000
            rate = statistics.median(r["rates"]) if r["rates"] else 0
            log("%5d  %8.1f (%s)  %8.1f (%s)  %.2f; %.1f readings/s; %.0f vs %.0f events/s" % (
                number, run_ms, "/".join(sorted({str(n) for _, n in r["running"]})),
                stop_ms, "/".join(sorted({str(n) for _, n in r["stopped"]})),
                run_ms / stop_ms if stop_ms else 0, rate, r["events_running"],
                r["events_stopped"]))
    finally:
        launcher.terminate()
        launcher.wait()
        subprocess.run(["rm", "-rf", work])

    last = results[-1]
    log("application: %r; wait dialog: %s" % (last["app_name"], last["dialog"]))
    log("static text in the main window, readings running: " + show_labels(last["labels_running"]))
    log("static text in the main window, cycle stopped:    " + show_labels(last["labels_stopped"]))
    running = statistics.median(t for r in results for t, _ in r["running"]) * 1000
    stopped = statistics.median(t for r in results for t, _ in r["stopped"]) * 1000
    ratio = running / stopped
    log("walk, median of %d each: readings running %.1f ms, cycle stopped %.1f ms, ratio %.2f"
        % (args.rounds * args.walks, running, stopped, ratio))
    log("%s: the walk while readings run takes %s %.1fx as long as with the cycle stopped"
        % ("PASS" if ratio <= args.goal else "FAIL", "at most" if ratio <= args.goal else "more than",
           args.goal))


if __name__ == "__main__":
    main()
