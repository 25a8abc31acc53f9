#!/usr/bin/python3
"""A desktop notification service for the tests, on the session bus it is
started on (a private one, by dbus-run-session): it records every call made
to it and, when a test asks through its own interface, invokes an action the
way a user's click does.

Usage: notification_service.py [--no-name]
  --no-name  stays on the bus without taking the service's name, so the bus
             has no notification service at all.

Prints "READY <bus address>" once it serves; ends when its input closes.
"""
import json
import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
TEST = "org.vocerra.Test"


def Text(value):
    return str(int(value)) if isinstance(value, (dbus.Byte, dbus.Boolean)) else str(value)


class Service(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, PATH)
        self.events = []
        self.shown = set()
        self.next_id = 1

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["actions", "body", "body-markup", "persistence"]

    @dbus.service.method(NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("test service", "Vocerra tests", "1", "1.2")

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        nid = int(replaces) if int(replaces) in self.shown else self.next_id
        if nid == self.next_id:
            self.next_id += 1
        self.shown.add(nid)
        self.events.append({
            "call": "Notify", "id": nid, "replaces": int(replaces), "app": str(app), "icon": str(icon),
            "summary": str(summary), "body": str(body), "actions": [str(a) for a in actions],
            "hints": {str(k): Text(v) for k, v in hints.items()}, "timeout": int(timeout)})
        return dbus.UInt32(nid)

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def CloseNotification(self, nid):
        self.events.append({"call": "CloseNotification", "id": int(nid)})
        if int(nid) in self.shown:
            self.shown.discard(int(nid))
            self.NotificationClosed(nid, dbus.UInt32(3))

    @dbus.service.signal(NAME, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass

    @dbus.service.signal(NAME, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.method(TEST, in_signature="", out_signature="s")
    def Events(self):
        return json.dumps(self.events)

    @dbus.service.method(TEST, in_signature="us", out_signature="")
    def Invoke(self, nid, key):
        self.ActionInvoked(dbus.UInt32(nid), key)


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    service = Service(bus)
    if "--no-name" not in sys.argv[1:]:
        name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    loop = GLib.MainLoop()
    GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR, lambda *args: loop.quit())
    print("READY " + os.environ["DBUS_SESSION_BUS_ADDRESS"], flush=True)
    loop.run()


if __name__ == "__main__":
    main()
