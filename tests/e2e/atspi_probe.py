#!/usr/bin/python3
"""What a screen reader sees of the player, through AT-SPI (pyatspi).

Usage: atspi_probe.py PID
Waits for the application of process PID on the accessibility bus, prints each accessible child of its main window as
"child NAME|ROLE" (NAME up to a colon: the title and the time say what they show after it), presses PLAY
("再生") through its action, prints the position slider's value once it has moved ("position N", 0 after 10 s),
presses NEXT ("次の曲") and prints the name of every name-changed event of the title within 10 s of it
("title NAME"). Exits 1 when the application or a hotspot cannot be found."""
import sys
import time

import pyatspi
from gi.repository import GLib


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
    pid = int(sys.argv[1])
    found = lambda: [a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.get_process_id() == pid]
    run_until(found, 20)
    apps = found()
    window = next((w for w in apps[0] if w is not None and w.childCount >= 20), None) if apps else None
    if window is None:
        print("no main window" if apps else "no application")
        return 1
    children = {}
    for child in window:
        name = child.name.split(":")[0]
        children[name] = child
        print(f"child {name}|{child.getRoleName()}")
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
