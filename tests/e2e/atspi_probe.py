#!/usr/bin/python3
"""What a screen reader sees of the player, through AT-SPI (pyatspi).

Usage: atspi_probe.py PID
Waits for the application of process PID on the accessibility bus, prints each accessible
child of its main window as "child NAME|ROLE", presses PLAY ("再生") through its action, prints
the position slider's value once it has moved ("position N", 0 after 10 s), presses NEXT
("次の曲") and prints the name of every name-changed event of the title within 10 s of it
("title NAME"). Exits 1 when the application or a hotspot cannot be found."""
import sys
import time

import pyatspi
from gi.repository import GLib


def find_app(pid, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid:
                return app
        time.sleep(0.2)
    return None


def press(node):
    action = node.queryAction()
    names = [action.getName(i).lower() for i in range(action.nActions)]
    return "press" in names and action.doAction(names.index("press"))


def run_until(done, seconds=10.0):
    """Runs the event loop in turns of 250 ms until done() or the time is up (a loaded machine)."""
    deadline = time.time() + seconds
    while not done() and time.time() < deadline:
        GLib.timeout_add(250, lambda: pyatspi.Registry.stop() or False)
        pyatspi.Registry.start()


def main():
    app = find_app(int(sys.argv[1]))
    window = next((w for w in app or [] if w is not None and w.childCount >= 20), None)
    if window is None:
        print("no application" if app is None else "no main window")
        return 1
    children = {}
    for child in window:
        print(f"child {child.name}|{child.getRoleName()}")
        children[child.name.split(":")[0]] = child

    titles = []
    pyatspi.Registry.registerEventListener(
        lambda e: titles.append(e.source.name) if e.source.name.startswith("タイトル") else None,
        "object:property-change:accessible-name")
    if not press(children["再生"]):
        print("PLAY has no press action")
        return 1
    position = children["再生位置"].queryValue()
    run_until(lambda: position.currentValue > 0)
    print(f"position {position.currentValue:.0f}")
    press(children["次の曲"])
    run_until(lambda: any("two.wav" in name for name in titles))
    for name in titles:
        print(f"title {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
