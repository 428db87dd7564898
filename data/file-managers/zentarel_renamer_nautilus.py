# SPDX-License-Identifier: GPL-3.0-or-later
# "Rename with Zentarel Renamer" in Nautilus's menu of a folder, as a nautilus-python extension
# (a package cannot install a Nautilus script: Nautilus reads those only from the user's home).
# It starts the window on the folder through its desktop entry, as "Open With" does.
import gi

try:
    gi.require_version("Nautilus", "4.0")
except ValueError:
    gi.require_version("Nautilus", "3.0")
from gi.repository import Gio, GObject, Nautilus


class ZentarelRenamerMenu(GObject.GObject, Nautilus.MenuProvider):
    # The window renames below one start directory, so the item is offered for one local folder.
    # Nautilus 43 and later pass the files alone; older versions pass the window first.
    def get_file_items(self, *args):
        files = args[-1]
        if len(files) != 1 or not files[0].is_directory():
            return []
        folder = files[0].get_location()
        if folder.get_path() is None:
            return []
        item = Nautilus.MenuItem(
            name="ZentarelRenamer::rename_folder",
            label="Rename with Zentarel Renamer",
            tip="Rename the files in this folder, with a preview of every new name and undo",
        )
        item.connect("activate", self._start, folder)
        return [item]

    def _start(self, _item, folder):
        window = Gio.DesktopAppInfo.new("zentarel-renamer.desktop")
        if window is not None:
            window.launch([folder], None)
