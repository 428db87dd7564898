# SPDX-License-Identifier: GPL-3.0-or-later
# Checks of installed files that a shell cannot make alone, each printing what is wrong and
# exiting 1 when it fails:
#   package_checks.py crisp PNG            a drawing with no pixel partly transparent (its shapes
#                                          on whole pixels)
#   package_checks.py margin PNG PIXELS    the outer PIXELS rows and columns are transparent
#   package_checks.py nemo ACTION          the Nemo action offers the window for one folder
#   package_checks.py nautilus EXTENSION   the Nautilus extension, run against a stand-in of
#                                          Nautilus, offers and starts the window for one folder
import configparser
import struct
import sys
import types
import zlib


def read_png_alpha(path):
    """The alpha values of an 8-bit RGBA PNG (as rsvg-convert writes them), row by row."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path}: not a PNG file")
    pos, idat = 8, b""
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos : pos + 4])
        kind, body = data[pos + 4 : pos + 8], data[pos + 8 : pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if (depth, colour, interlace) != (8, 6, 0):
                raise SystemExit(f"{path}: not 8-bit RGBA without interlacing")
        elif kind == b"IDAT":
            idat += body
    raw, stride, rows = zlib.decompress(idat), width * 4, []
    previous = bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1 : start + 1 + stride])
        for i in range(stride):
            a, b = line[i - 4] if i >= 4 else 0, previous[i]
            c = previous[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line[3::4])
        previous = line
    return rows


def crisp(path):
    rows = read_png_alpha(path)
    partial = [(x, y) for y, row in enumerate(rows) for x, a in enumerate(row) if 0 < a < 255]
    if partial:
        return f"{len(partial)} partly transparent pixel(s), the first at {partial[0]}"
    if sum(row.count(255) for row in rows) < len(rows) ** 2 // 4:
        return "less than a quarter of it drawn"
    return None


def margin(path, pixels):
    rows = read_png_alpha(path)
    size = len(rows)
    for y, row in enumerate(rows):
        for x, a in enumerate(row):
            if a and min(x, y, size - 1 - x, size - 1 - y) < pixels:
                return f"pixel ({x}, {y}) is drawn, within {pixels} pixels of the edge"
    if not any(any(row) for row in rows[pixels : pixels * 4]):
        return f"nothing drawn near the margin of {pixels} pixels: the drawing is too small"
    return None


def nemo(path):
    action = configparser.ConfigParser(interpolation=None, delimiters=("=",))
    action.optionxform = str
    action.read(path, encoding="utf-8")
    if action.sections() != ["Nemo Action"]:
        return f"groups {action.sections()}, not just [Nemo Action]"
    keys = action["Nemo Action"]
    expected = {
        "Name": "Rename with Zentarel Renamer",
        "Exec": "zentarel-renamer %F",
        "Selection": "s",
        "Extensions": "dir;",
        "Icon-Name": "zentarel-renamer",
    }
    wrong = [f"{k}={keys.get(k)!r}, not {v!r}" for k, v in expected.items() if keys.get(k) != v]
    return "; ".join(wrong) or None


class _StandIn:
    """Nautilus's objects as the extension uses them: files, menu items, the desktop entry."""

    launched = []

    class File:
        def __init__(self, path, directory=True, local=True):
            self.path, self.directory, self.local = path, directory, local

        def is_directory(self):
            return self.directory

        def get_location(self):
            return _StandIn.Location(self.path if self.local else None)

    class Location:
        def __init__(self, path):
            self.path = path

        def get_path(self):
            return self.path

    class MenuItem:
        def __init__(self, name, label, tip):
            self.name, self.label, self.tip, self.handlers = name, label, tip, []

        def connect(self, signal, handler, *data):
            self.handlers.append((signal, handler, data))

        def activate(self):
            for signal, handler, data in self.handlers:
                if signal == "activate":
                    handler(self, *data)

    class DesktopAppInfo:
        def __init__(self, desktop_id):
            self.desktop_id = desktop_id

        @classmethod
        def new(cls, desktop_id):
            return cls(desktop_id)

        def launch(self, files, context):
            _StandIn.launched.append((self.desktop_id, [f.get_path() for f in files]))


def nautilus(path):
    gi = types.ModuleType("gi")
    gi.require_version = lambda name, version: None
    repository = types.ModuleType("gi.repository")
    repository.GObject = types.SimpleNamespace(GObject=type("GObject", (), {}))
    repository.Gio = types.SimpleNamespace(DesktopAppInfo=_StandIn.DesktopAppInfo)
    provider = type("MenuProvider", (), {})
    repository.Nautilus = types.SimpleNamespace(MenuProvider=provider, MenuItem=_StandIn.MenuItem)
    gi.repository = repository
    sys.modules.update({"gi": gi, "gi.repository": repository})
    extension = {}
    exec(compile(open(path, encoding="utf-8").read(), path, "exec"), extension)
    providers = [v for v in extension.values() if isinstance(v, type) and issubclass(v, provider)]
    if len(providers) != 1:
        return f"{len(providers)} menu providers, not one"
    menu = providers[0]()
    folder, File = "/home/ann/Photos 'a\" b", _StandIn.File
    # Nautilus 43 passes the files alone, older versions the window first.
    for args in ([[File(folder)]], ["window", [File(folder)]]):
        items = menu.get_file_items(*args)
        if [i.label for i in items] != ["Rename with Zentarel Renamer"]:
            return f"for one folder: {[i.label for i in items]}"
        _StandIn.launched.clear()
        items[0].activate()
        if _StandIn.launched != [("zentarel-renamer.desktop", [folder])]:
            return f"activated on {folder!r}, it launched {_StandIn.launched}"
    for name, files in (
        ("a file", [File("/home/ann/a.jpg", directory=False)]),
        ("two folders", [File("/a"), File("/b")]),
        ("a folder that is not local", [File("/x", local=False)]),
        ("nothing", []),
    ):
        if menu.get_file_items(files):
            return f"an item is offered for {name}"
    return None


def main(argv):
    checks = {"crisp": crisp, "margin": lambda p, n: margin(p, int(n)), "nemo": nemo,
              "nautilus": nautilus}
    if len(argv) < 3 or argv[1] not in checks:
        raise SystemExit(f"usage: {argv[0]} crisp|margin|nemo|nautilus FILE [PIXELS]")
    problem = checks[argv[1]](*argv[2:])
    if problem:
        print(f"{argv[2]}: {problem}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
