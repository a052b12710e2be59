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
RECORD = open(sys.argv[1], "a", buffering=1)  # appended at its end as it is now, a line at a time


class ScreenSaver(dbus.service.Object):
    cookies = 0

    @dbus.service.method(NAME, in_signature="ss", out_signature="u")
    def Inhibit(self, application, reason):
        self.cookies += 1
        print("Inhibit %s %d" % (application, self.cookies), file=RECORD)
        return self.cookies

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def UnInhibit(self, cookie):
        print("UnInhibit %d" % cookie, file=RECORD)


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
saver = ScreenSaver(bus, "/org/freedesktop/ScreenSaver")
name = dbus.service.BusName(NAME, bus)
print("ready", flush=True)
GLib.MainLoop().run()
