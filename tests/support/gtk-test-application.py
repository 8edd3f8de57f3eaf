#!/usr/bin/python3
# A tiny GTK 3 application with a known application identifier for the X11
# tests: one window with a title and a label. Prints the window's X id once
# it is mapped and quits when its standard input closes.
# usage: gtk-test-application.py APPLICATION_ID TITLE LABEL
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import Gio, GLib, Gtk, GdkX11  # noqa: E402,F401

application_id, title, label = sys.argv[1:4]
application = Gtk.Application(application_id=application_id, flags=Gio.ApplicationFlags.NON_UNIQUE)


def announce(window, _event):
    print(window.get_window().get_xid(), flush=True)
    return False


def quit_on_end_of_input(_channel, _condition):
    application.quit()
    return False


def activate(app):
    window = Gtk.ApplicationWindow(application=app, title=title)
    window.set_default_size(360, 160)
    window.move(40, 220)
    window.add(Gtk.Label(label=label))
    window.connect("map-event", announce)
    window.show_all()
    GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.PRIORITY_DEFAULT,
                      GLib.IOCondition.IN | GLib.IOCondition.HUP, quit_on_end_of_input)


application.connect("activate", activate)
sys.exit(application.run([]))
