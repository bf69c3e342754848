# A GTK 3 window holding one focused entry, for the desktop tests and the typing benchmark: the GTK
# counterpart of kx_desktop_probe. With FILE it writes the entry's whole text to FILE at start and
# after every change; with --journal it appends "<CLOCK_MONOTONIC nanoseconds><TAB><text>" to
# JOURNAL at those moments. It prints "ready" once the entry has the keyboard focus. GTK speaks
# AT-SPI by itself when the session has an accessibility bus. With --password the entry hides
# its text, as a password entry does. With --text it starts with TEXT, all of it selected with
# --select. With --keys it appends to KEYS one line per key press with Ctrl or Alt that the window
# receives, named as the Qt probe names them ("Ctrl+Z", "Ctrl+Alt+K").
#
#   python3 gtk_probe.py [--class NAME] [--journal JOURNAL] [--password] [--text TEXT [--select]]
#                        [--keys KEYS] [FILE]
import argparse
import os
import time

import gi

gi.require_version('Gdk', '3.0')
gi.require_version('Gtk', '3.0')
from gi.repository import Gdk, GLib, Gtk

parser = argparse.ArgumentParser()
parser.add_argument('file', nargs='?')
parser.add_argument('--class', dest='wm_class')
parser.add_argument('--journal')
parser.add_argument('--password', action='store_true')
parser.add_argument('--text', default='')
parser.add_argument('--select', action='store_true')
parser.add_argument('--keys')
options = parser.parse_args()
journal = open(options.journal, 'a', encoding='utf-8') if options.journal else None


def report(entry):
    if options.file:
        # Whole or not at all: the test may read the file at any moment.
        partial = options.file + '.part'
        with open(partial, 'w', encoding='utf-8') as out:
            out.write(entry.get_text())
        os.replace(partial, options.file)
    if journal:
        journal.write(f'{time.monotonic_ns()}\t{entry.get_text()}\n')
        journal.flush()


def note_chord(window, event):
    ctrl = event.state & Gdk.ModifierType.CONTROL_MASK
    alt = event.state & Gdk.ModifierType.MOD1_MASK
    name = Gdk.keyval_name(Gdk.keyval_to_upper(event.keyval)) or ''
    if (ctrl or alt) and len(name) == 1:
        with open(options.keys, 'a', encoding='utf-8') as out:
            out.write(('Ctrl+' if ctrl else '') + ('Alt+' if alt else '') + name + '\n')
    return False


def ready(window, entry):
    if not (window.is_active() and entry.has_focus()):
        return True
    if options.select:
        entry.select_region(0, -1)
    else:
        entry.set_position(-1)
    print('ready', flush=True)
    return False


GLib.set_prgname(options.wm_class.lower() if options.wm_class else 'kxgtk')
if options.wm_class:
    Gdk.set_program_class(options.wm_class)
Gtk.Settings.get_default().set_property('gtk-entry-select-on-focus', False)
window = Gtk.Window(title=options.wm_class or 'KxGtk')
entry = Gtk.Entry()
entry.set_visibility(not options.password)
entry.set_text(options.text)
window.add(entry)
entry.connect('changed', report)
if options.keys:
    window.connect('key-press-event', note_chord)
report(entry)
window.connect('destroy', Gtk.main_quit)
window.show_all()
window.present()
entry.grab_focus()
GLib.timeout_add(20, ready, window, entry)
Gtk.main()
