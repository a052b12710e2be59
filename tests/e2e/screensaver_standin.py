#!/usr/bin/python3
"""A stand-in for the desktop's screen saver on a private session bus: owns
org.freedesktop.ScreenSaver, answers Inhibit with a new cookie, and appends each call to the
file named by its argument ("Inhibit <application> <cookie>", "UnInhibit <cookie>").
Prints "ready" once the name is owned."""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.ScreenSaver"


class ScreenSaver(dbus.service.Object):
    def __init__(self, bus, path, record):
        super().__init__(bus, path)
        self.record = record

    def note(self, line):
        with open(self.record, "a") as out:
            out.write(line + "\n")

    @dbus.service.method(NAME, in_signature="ss", out_signature="u")
    def Inhibit(self, application, reason):
        ScreenSaver.cookies += 1
        self.note("Inhibit %s %d" % (application, ScreenSaver.cookies))
        return ScreenSaver.cookies

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def UnInhibit(self, cookie):
        self.note("UnInhibit %d" % cookie)


ScreenSaver.cookies = 0

DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
keep = [ScreenSaver(bus, path, sys.argv[1]) for path in ("/org/freedesktop/ScreenSaver", "/ScreenSaver")]
name = dbus.service.BusName(NAME, bus)
print("ready", flush=True)
GLib.MainLoop().run()
