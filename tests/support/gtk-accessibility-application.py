#!/usr/bin/python3
# A GTK 3 window for the accessibility tests: two labels, an entry and a
# password entry, and optionally many rows (for a walk of a large tree), in
# lists of 50: GTK 3 lists each child of a container by listing all of its
# children, so one long list costs its accessibility clients quadratic time. Prints the window's X id once it is mapped and quits when its
# standard input closes.
# usage: gtk-accessibility-application.py TITLE LABEL ENTRY_TEXT PASSWORD [ROWS]
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import GLib, Gtk, GdkX11  # noqa: E402,F401

title, label, entry_text, password = sys.argv[1:5]
rows = int(sys.argv[5]) if len(sys.argv) > 5 else 0

window = Gtk.Window(title=title)
window.set_default_size(420, 320)
window.move(40, 60)
box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=4)
box.add(Gtk.Label(label=label))
box.add(Gtk.Label(label="Second label"))
entry = Gtk.Entry()
entry.set_text(entry_text)
box.add(entry)
secret = Gtk.Entry()
secret.set_visibility(False)
secret.set_text(password)
box.add(secret)
if rows:
    lists = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
    for first in range(0, rows, 50):
        listing = Gtk.ListBox()
        for index in range(first, min(first + 50, rows)):
            listing.add(Gtk.Label(label="Row %d" % index))
        lists.add(listing)
    scrolled = Gtk.ScrolledWindow()
    scrolled.set_vexpand(True)
    scrolled.add(lists)
    box.add(scrolled)
window.add(box)


def announce(widget, _event):
    print(widget.get_window().get_xid(), flush=True)
    return False


def quit_on_end_of_input(_channel, _condition):
    Gtk.main_quit()
    return False


window.connect("map-event", announce)
window.connect("destroy", Gtk.main_quit)
window.show_all()
entry.grab_focus()
GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.PRIORITY_DEFAULT,
                  GLib.IOCondition.IN | GLib.IOCondition.HUP, quit_on_end_of_input)
Gtk.main()
