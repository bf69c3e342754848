# A GTK 3 window holding one focused entry, for the desktop tests: the GTK counterpart of
# kx_desktop_probe. It writes the entry's whole text to FILE at start and after every change, and
# prints "ready" once the entry has the keyboard focus.
#
#   python3 gtk_probe.py FILE
import os
import sys

import gi

gi.require_version('Gtk', '3.0')
from gi.repository import GLib, Gtk


def report(entry):
    # Whole or not at all: the test may read the file at any moment.
    partial = sys.argv[1] + '.part'
    with open(partial, 'w', encoding='utf-8') as out:
        out.write(entry.get_text())
    os.replace(partial, sys.argv[1])


def ready(window, entry):
    if not (window.is_active() and entry.has_focus()):
        return True
    print('ready', flush=True)
    return False


GLib.set_prgname('kxgtk')
Gtk.Settings.get_default().set_property('gtk-entry-select-on-focus', False)
window = Gtk.Window(title='KxGtk')
entry = Gtk.Entry()
window.add(entry)
entry.connect('changed', report)
report(entry)
window.connect('destroy', Gtk.main_quit)
window.show_all()
window.present()
entry.grab_focus()
GLib.timeout_add(20, ready, window, entry)
Gtk.main()
