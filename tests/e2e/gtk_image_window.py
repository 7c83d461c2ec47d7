#!/usr/bin/python3
# A small GTK program of ours: one window titled "tgl in GTK" holding a
# GtkImage of the file given, loaded by gdk-pixbuf (and so by its loaders).
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

window = Gtk.Window(title="tgl in GTK")
image = Gtk.Image.new_from_file(sys.argv[1])
window.add(image)
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()
