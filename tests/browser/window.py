"""kvt3's window as a screen reader reads it over the accessibility bus (AT-SPI): the figures of
each axis row (their accessible name is the text they show, their description names the axis and
says when the reading is out of date) and the checked mode button. The walking is the
screen-reader bench's (bench/a11y_walk.py). Runs with the system's /usr/bin/python3 (pyatspi),
inside a D-Bus session of its own and on an X server: Qt's bridge runs on xcb only."""

import os
import sys

from kvtview import ROOT, Failure, wait_until

sys.path.insert(0, os.path.join(ROOT, "bench"))
import a11y_walk  # noqa: E402

# What the program needs in its environment to register on the bus.
PROGRAM_ENV = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1"}


class Window:
    def __init__(self):
        # Up before the program starts: Qt registers at its start only.
        self.launcher = a11y_walk.start_bus()
        import pyatspi
        from gi.repository import GLib

        self.pyatspi = pyatspi
        self.walker = a11y_walk.Walker(pyatspi, GLib)
        self.app = None

    def attach(self, pid):
        self.app = a11y_walk.find_app(self.pyatspi, pid, 20)
        if self.app is None:
            raise Failure("kvt3 (pid %d) did not appear on the accessibility bus in 20 s" % pid)

    def _main_windows(self):
        return [w for w in (self.app.getChildAtIndex(i) for i in range(self.app.childCount))
                if w is not None and w.name == "KVT 3"]

    def figures(self):
        """[(axis, text, out of date)] of the main window's figures, in the window's order."""
        rows = []
        # Asked of the program itself, not of the client's cache: that cache follows the
        # program's change events, and was once seen holding a figure's old name for seconds.
        self.app.clear_cache()
        for name, description in a11y_walk.readings(self.walker, self.app):
            if description.startswith("Oś "):
                axis = description[3:].split(",")[0].strip()
                rows.append((axis, name, "nieaktualny" in description))
        return rows

    def mode(self):
        """The caption of the checked mode button, None when no button is checked."""
        checked = []
        states = self.pyatspi

        def visit(node, depth, role, name, description, text):
            if role in ("push button", "toggle button", "radio button"):
                s = node.getState()
                if s.contains(states.STATE_CHECKED) or s.contains(states.STATE_PRESSED):
                    checked.append(name)

        self.app.clear_cache()
        for window in self._main_windows():
            self.walker.walk(window, visit)
        return checked[0] if len(checked) == 1 else (checked or None)

    def live_figures(self, seconds=20):
        """The figures once every row shows a current reading."""
        def live():
            rows = self.figures()
            return rows if rows and not any(stale for _, _, stale in rows) else None

        return wait_until(live, seconds, 0.2)

    def stop(self):
        self.launcher.terminate()
        self.launcher.wait()
