"""The settings dialog's picture and effect trees and its previews, on the real
`kelvsaver.scr /c` under Wine (driven as in test_settings_dialog.py).

The dialog lists its controls in the KELVORA_TEST_TRACE file whenever it shows the
properties of a picture-tree node, and adds "picture tree built nodes=N" when its tree is
filled; the show adds one "effect=..." line per transition, in the effect preview too.
"""
import re
import struct
import time
import unittest
from pathlib import Path

from test_settings_dialog import MAIN, DialogDriver
from winebench import PRODUCT_KEY, reg_text

PLUGINS_KEY = PRODUCT_KEY + r"\Plugins"


def write_bmp(path: Path, width: int, height: int, rgb):
    """A 24-bit bottom-up BMP of one colour."""
    row = bytes(rgb[::-1]) * width
    row += b"\0" * ((4 - len(row) % 4) % 4)
    pixels = row * height
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    path.write_bytes(header + info + pixels)


def decode_effect_bits(data: bytes):
    """A module's enable value: (module flag, [(group flag, [effect flags])])."""
    bits = [(byte >> i) & 1 for byte in data for i in range(8)]
    position = 0

    def take(n):
        nonlocal position
        value = sum(bit << i for i, bit in enumerate(bits[position:position + n]))
        position += n
        return value

    module = take(1)
    groups = []
    while position + 4 <= len(bits):
        count = take(4)
        if position + count > len(bits):
            break
        groups.append((count != 0, [take(1) == 1 for _ in range(count)]))
    return module, groups


COLOURS = [(220, 40, 40), (40, 200, 40), (40, 40, 220), (220, 220, 40), (200, 40, 200)]


class SettingsTrees(DialogDriver, unittest.TestCase):
    def setUp(self):
        super().setUp()
        # On drive C:, which the folder browser reaches in a few keys.
        self.pictures = self.bench.prefix / "drive_c" / "kelvora-pictures"
        self.pictures.mkdir(exist_ok=True)
        for f in self.pictures.glob("*"):
            f.unlink()
        for n, colour in enumerate(COLOURS, 1):
            write_bmp(self.pictures / f"picture{n}.bmp", 100 + n, 80, colour)
        self.cache = None
        for cache in self.bench.prefix.glob("drive_c/users/*/AppData/Roaming/Kelvora/piclist.dat"):
            cache.unlink()
        self.bench.reg_delete_key(PLUGINS_KEY)

    def use_pictures_folder(self):
        """The catalogue starts with the five test pictures (no cache file, one folder)."""
        self.bench.reg_import(f'[{PRODUCT_KEY}\\Folders]\n"1"={reg_text(self.bench.windows_path(self.pictures))}\n')

    def cache_files(self):
        return list(self.bench.prefix.glob("drive_c/users/*/AppData/Roaming/Kelvora/piclist.dat"))

    def properties(self, after: int) -> dict:
        """The property labels' texts of the next trace block."""
        controls = self.new_controls(after)
        labels = {}
        for c in controls:
            for name in ("Width", "Height", "Format", "Size"):
                if c.text.startswith(name + " : ") and c.visible:
                    labels[name] = c.text
            if c.text.endswith(" pictures") and c.visible:
                labels["Width"] = c.text
        return labels

    def select(self, *keys) -> dict:
        """Keys in the picture tree; the properties of the node they select."""
        before = self.blocks()
        self.keys(*keys)
        return self.properties(before)

    # ---- the picture tree --------------------------------------------------------------
    def test_add_a_folder_see_a_picture_and_remove_one(self):
        self.open()
        self.show_page(1)
        self.click("Add folder")
        browser = self.wait_other_window("^Browse for Folder$")
        self.assertIsNotNone(browser, "no folder browser")
        # The browser's tree: Desktop, My Computer, its first drive (C:), the folder there.
        self.focus(browser)
        self.keys("shift+Tab", "Home")
        self.bench.xdotool("type", "--delay", "30", "My")
        self.keys("Right", "Right", "Right")
        time.sleep(0.5)
        self.bench.xdotool("type", "--delay", "30", "kelvora-p")
        time.sleep(0.5)
        before = self.blocks()
        self.assertTrue(self.bench.press_key_in(browser, "Return", title="^Browse for Folder$"))
        self.assertEqual(self.properties(before).get("Width"), "5 pictures")
        self.assertEqual(self.bench.reg_export(PRODUCT_KEY)["DialogPath"][1], r"C:\kelvora-pictures")
        self.focus()
        self.click("Tree Images")
        self.assertEqual(self.select("Right", "Down"),
                         {"Width": "Width : 101", "Height": "Height : 80", "Format": "Format : Bitmap",
                          "Size": "Size : 24 Kb"})
        # The preview shows the picture: its centre has the picture's colour.
        preview = self.control("Image1 PR", 9)
        png = self.bench.screenshot("dialog-picture-preview.png")
        centre = subprocess_pixel(png, *preview.centre)
        self.assertTrue(all(abs(a - b) <= 8 for a, b in zip(centre, COLOURS[0])), centre)

        # Removing the third of five pictures: the fourth and fifth become third and fourth.
        self.select("Down", "Down")
        before = self.blocks()
        self.click("Remove")
        self.assertEqual(self.properties(before)["Width"], "Width : 104")
        self.click("Tree Images")
        self.assertEqual(self.select("Up")["Width"], "Width : 102")
        self.assertEqual(self.select("Down")["Width"], "Width : 104")
        self.assertEqual(self.select("Down")["Width"], "Width : 105")
        # Each new picture's properties replaced the last one's whole: the box shows what it
        # shows when the page comes anew (no digit of an earlier picture left under the text).
        group = self.control("Image properties")
        crop = f"{group.right - group.left}x{group.bottom - group.top}+{group.left}+{group.top}"
        shown = self.bench.screenshot("dialog-properties-changed.png")
        self.show_page(0)
        self.show_page(1)
        fresh = self.bench.screenshot("dialog-properties-fresh.png")
        self.assertEqual(differing_pixels(shown, fresh, crop), 0, "old property texts left in the box")
        self.click("Tree Images")

        # A single picture through the open-file dialog: a root node, selected.
        self.click("Add picture")
        opened = self.wait_other_window("^Open$")
        self.assertIsNotNone(opened, "no open-file dialog")
        self.focus(opened)
        before = self.blocks()
        self.bench.xdotool("type", "--delay", "20", r"C:\kelvora-pictures\picture2.bmp")
        self.keys("Return")
        self.assertEqual(self.properties(before)["Width"], "Width : 102")
        self.focus()

        # Refresh folder reads the folder again: picture3 is back, the deleted picture5 gone.
        (self.pictures / "picture5.bmp").unlink()
        self.click("Tree Images")
        self.select("Up")  # from the single picture to the folder's last picture...
        self.assertEqual(self.select("Left")["Width"], "4 pictures")  # ...and to the folder
        before = self.blocks()
        self.click("Refresh folder")
        self.assertEqual(self.properties(before)["Width"], "4 pictures")

        # Catalogue edits reach the cache file on OK only.
        self.assertEqual(self.cache_files(), [])
        self.ok()
        data = self.cache_files()[0].read_bytes()
        for n in (1, 2, 3, 4):
            self.assertIn(f"picture{n}.bmp".encode(), data)
        self.assertNotIn(b"picture5.bmp", data)

    def test_a_folder_named_in_other_scripts_through_the_folder_browser(self):
        # The program's strings are UTF-8: the folder browser's choice, the picture tree,
        # "DialogPath" and the cache file carry names outside any legacy code page.
        from test_show import NAMED_FOLDER, NAMED_PICTURES, make_named_pictures
        parent = self.bench.prefix / "drive_c" / "kelvora-utf8"
        make_named_pictures(parent / NAMED_FOLDER)
        self.bench.link_fonts(for_utf8_program=True)
        self.open()
        self.show_page(1)
        self.click("Add folder")
        browser = self.wait_other_window("^Browse for Folder$")
        self.assertIsNotNone(browser, "no folder browser")
        # Desktop, My Computer, C:, the parent folder there, its one subfolder.
        self.focus(browser)
        self.keys("shift+Tab", "Home")
        self.bench.xdotool("type", "--delay", "30", "My")
        self.keys("Right", "Right", "Right")
        time.sleep(0.5)
        self.bench.xdotool("type", "--delay", "30", "kelvora-u")
        time.sleep(0.5)
        self.keys("Right")
        time.sleep(0.5)
        self.keys("Down")
        time.sleep(0.5)
        self.bench.screenshot("dialog-named-browser.png")
        before = self.blocks()
        self.assertTrue(self.bench.press_key_in(browser, "Return", title="^Browse for Folder$"))
        self.assertEqual(self.properties(before).get("Width"), f"{len(NAMED_PICTURES)} pictures")
        self.assertEqual(self.bench.reg_export(PRODUCT_KEY)["DialogPath"][1], "C:\\kelvora-utf8\\" + NAMED_FOLDER)
        # The tree lists the names (the screenshot shows them: no question marks or boxes),
        # and each node opens its picture: width 1024 from every input module.
        self.focus()
        self.click("Tree Images")
        self.assertEqual(self.select("Right", "Down")["Width"], "Width : 1024")
        for _ in NAMED_PICTURES[1:]:
            self.assertEqual(self.select("Down")["Width"], "Width : 1024")
        self.bench.screenshot("dialog-named-tree.png")
        self.ok()
        data = self.cache_files()[0].read_bytes()
        self.assertIn(f"C:\\kelvora-utf8\\{NAMED_FOLDER}\0".encode("utf-8"), data)
        for name, _ in NAMED_PICTURES:
            self.assertIn(f"\\{name}\0".encode("utf-8"), data)

    def test_a_folder_of_12000_pictures_shows_10000_nodes(self):
        big = self.bench.out / "dialog-big-folder"
        big.mkdir(exist_ok=True)
        tiny = self.pictures / "picture1.bmp"
        existing = {p.name for p in big.iterdir()}
        for n in range(12000):
            name = f"p{n:05d}.bmp"
            if name not in existing:
                (big / name).write_bytes(tiny.read_bytes())
        self.bench.reg_import(f'[{PRODUCT_KEY}\\Folders]\n"1"={reg_text(self.bench.windows_path(big))}\n')
        self.open()
        end = time.monotonic() + 120
        while "picture tree built" not in self.trace.read_text(errors="replace"):
            self.assertLess(time.monotonic(), end, "the picture tree was not built")
            time.sleep(0.2)
        lines = self.trace.read_text(errors="replace").splitlines()
        built = [i for i, l in enumerate(lines) if l.startswith("picture tree built")]
        shown = lines.index(f"controls dialog={MAIN} end")
        self.assertLess(shown, built[0], "the window waited for the tree")
        # The folder; its picture nodes are made when it is first opened.
        self.assertEqual(lines[built[0]], "picture tree built nodes=1")
        before = self.blocks()
        self.show_page(1)  # arriving selects the folder, which shows its properties
        self.assertEqual(self.properties(before)["Width"], "12000 pictures")
        self.click("Tree Images")
        self.keys("Right")
        self.assertEqual(self.wait_trace_line("picture tree folder filled"),
                         "picture tree folder filled nodes=10001")  # the folder and 10000
        time.sleep(0.5)
        self.bench.screenshot("dialog-big-folder-opened.png")
        self.click(id=17)
        self.bench.finish(self.proc, 30)
        self.assertEqual(self.cache_files(), [], "Cancel wrote the catalogue")

    def test_a_preview_that_filters_takes_the_nodes_out_of_the_tree(self):
        # The size filter (100 x 100) takes p2 and p5 out when a preview tries them.
        folder = self.bench.prefix / "drive_c" / "kelvora-filtered"
        folder.mkdir(exist_ok=True)
        for f in folder.glob("*"):
            f.unlink()
        sizes = [("p1", 200, 150), ("p2", 50, 40), ("p3", 201, 150), ("p4", 202, 150), ("p5", 51, 40),
                 ("p6", 203, 150)]
        for n, (name, width, height) in enumerate(sizes):
            write_bmp(folder / f"{name}.bmp", width, height, COLOURS[n % len(COLOURS)])
        path = self.bench.windows_path(folder)
        self.open(f'[{PRODUCT_KEY}]\n"filterres"="1"\n"Convert"="300"\n'
                  f'[{PRODUCT_KEY}\\Folders]\n"1"={reg_text(path)}\n')
        self.show_page(1)
        self.click("Tree Images")
        self.keys("Home", "Right")  # the folder opens with its six pictures
        self.assertEqual(self.wait_trace_line("picture tree folder filled"), "picture tree folder filled nodes=7")

        self.show_page(2)  # the effect preview goes through the pictures in order
        end = time.monotonic() + 60
        while len(self.effect_lines()) < 6:
            self.assertLess(time.monotonic(), end, "the effect preview ran no transitions")
            time.sleep(0.2)
        self.show_page(1)  # stops the preview first
        # The tree lists p1, p3, p4, p6 now: the last node is p6, and Remove takes out p6.
        self.click("Tree Images")
        before = self.blocks()
        self.keys("End")
        self.assertEqual(self.properties(before)["Width"], "Width : 203")
        self.bench.screenshot("dialog-tree-after-filtering.png")
        self.click("Remove")
        self.ok()
        entries = read_cache(self.cache_files()[0].read_bytes())
        self.assertEqual(entries[1], (path, [f"{path}\\p{n}.bmp" for n in (1, 3, 4)],
                                      [f"{path}\\p{n}.bmp" for n in (2, 5)]))

    def test_a_preview_waits_for_the_tree_worker(self):
        # 10000 single pictures (one file named again and again): the worker inserts a root
        # node for each, one message to the dialog's thread at a time, for some seconds.
        tiny = self.bench.windows_path(self.pictures / "picture1.bmp")
        users = [u for u in (self.bench.prefix / "drive_c" / "users").iterdir() if (u / "AppData").exists()]
        write_cache(users[0] / "AppData" / "Roaming" / "Kelvora" / "piclist.dat", [], [tiny] * 10000)
        self.open()
        self.show_page(2)  # arriving starts the effect preview, once the tree is built
        end = time.monotonic() + 240
        while not self.effect_lines():
            self.assertLess(time.monotonic(), end, "the effect preview ran no transitions")
            time.sleep(0.2)
        lines = self.trace.read_text(errors="replace").splitlines()
        built = [i for i, l in enumerate(lines) if l.startswith("picture tree built")]
        first_effect = next(i for i, l in enumerate(lines) if l.startswith("effect="))
        self.assertTrue(built and built[0] < first_effect, "the preview ran while the tree was being built")
        self.assertEqual(lines[built[0]], "picture tree built nodes=10000")
        self.click(id=17)
        self.bench.finish(self.proc, 30)

    def wait_trace_line(self, prefix: str, timeout: float = 30) -> str:
        """The first trace line starting with `prefix`."""
        end = time.monotonic() + timeout
        while True:
            lines = [l for l in self.trace.read_text(errors="replace").splitlines() if l.startswith(prefix)]
            if lines:
                return lines[0]
            self.assertLess(time.monotonic(), end, f"no trace line {prefix!r}")
            time.sleep(0.1)

    # ---- the effects tree and the previews ------------------------------------------------
    def effect_lines(self):
        return [l for l in self.trace.read_text(errors="replace").splitlines() if l.startswith("effect=")]

    def plugin_bits(self):
        values = self.bench.reg_export(PLUGINS_KEY)
        return {name: decode_effect_bits(data) for name, (kind, data) in values.items()}

    def test_effect_checks_the_effect_preview_and_ok_during_it(self):
        self.use_pictures_folder()
        # One picture per screen: the screens that move (a grid stays still).
        self.bench.reg_import(f'[{PRODUCT_KEY}]\n"Screens"="1"\n')
        self.open()
        self.ok()  # every effect enabled: the reference
        everything = self.plugin_bits()
        self.assertIn("basicfx.dll", everything)

        self.open()
        self.show_page(2)
        preview = self.control("Image2 PR", 39)
        # The first group (Radar) is selected and its preview runs, changing over time.
        time.sleep(3)
        first = self.bench.screenshot("dialog-effect-preview-1.png")
        time.sleep(1.5)
        second = self.bench.screenshot("dialog-effect-preview-2.png")
        crop = f"{preview.right - preview.left}x{preview.bottom - preview.top}+{preview.left}+{preview.top}"
        self.assertGreater(differing_pixels(first, second, crop), 100, "the effect preview stands still")
        self.assertTrue(self.effect_lines(), "no transition ran in the preview")
        self.assertTrue(all(" 0." in l and "basicfx.dll" in l for l in self.effect_lines()), self.effect_lines())

        # Pan and zoom, checked while the preview runs: each picture now stays and moves
        # between the transitions (the trace's line at the end of a moving stay).
        self.click("Pan and zoom")
        moved = self.wait_trace_line("motion frames=", 30)
        frames, ms = (int(v.split("=")[1]) for v in moved.split()[1:3])
        self.assertGreater(frames, 20, moved)
        self.assertGreater(ms, 2000, moved)
        self.click("Pan and zoom")

        # Lines (the fourth group, three effects): its first effect alone, then unchecked.
        self.click("Tree Effects")
        self.keys("Home", "Down", "Down", "Down", "Right", "Down")
        time.sleep(4)
        lines = self.effect_lines()
        self.assertTrue(lines[-1].startswith("effect=basicfx.dll 3.0 "), lines[-3:])
        self.keys("space")
        time.sleep(1)
        self.ok()  # while the preview runs: it stops, then OK saves and ends
        bits = self.plugin_bits()
        module, groups = bits["basicfx.dll"]
        expected_module, expected_groups = everything["basicfx.dll"]
        expected_groups = list(expected_groups)
        expected_groups[3] = (True, [False, True, True])
        self.assertEqual((module, groups), (expected_module, expected_groups))

        # Select all, then Cancel: nothing written; Select all and OK: everything again.
        for closing in ("cancel", "ok"):
            self.open()
            self.show_page(2)
            self.click("Select all")
            if closing == "cancel":
                self.click(id=17)
                code, _ = self.bench.finish(self.proc, 30)
                self.assertEqual(code, 0)
                self.assertEqual(self.plugin_bits()["basicfx.dll"], (module, groups))
            else:
                self.ok()
                self.assertEqual(self.plugin_bits(), everything)

    def test_preview_button_runs_the_saver_and_comes_back(self):
        self.use_pictures_folder()
        self.open()
        self.type_into(15, "1")
        self.click("Preview")
        saver = self.wait_other_window("^Tarnwick Kelvora$", timeout=20)
        self.assertIsNotNone(saver, "no full-screen preview")
        # The dialog is system aware; the preview's full-screen windows are per-monitor
        # aware like the saver's own, so they keep device pixels on any monitor.
        self.assertEqual(self.wait_trace_line("saver preview awareness="), "saver preview awareness=2")
        time.sleep(3)
        self.bench.screenshot("dialog-preview-button.png")
        self.assertTrue(self.bench.press_key_in(saver, "Escape", title="^Tarnwick Kelvora$", timeout=20))
        self.assertIsNone(self.proc.poll(), "the dialog ended with the preview")
        self.focus()
        self.click(id=17)
        code, _ = self.bench.finish(self.proc, 30)
        self.assertEqual(code, 0)
        self.assertEqual(self.exported()["Delay"], "7000")  # the preview saved nothing


def cache_record(path: str, flags: int, pictures, filtered=()) -> bytes:
    """One entry record of a cache file of the current version."""
    block = b"".join(p.encode("latin-1") + b"\0" for p in pictures)
    fblock = b"".join(p.encode("latin-1") + b"\0" for p in filtered)
    head = path.encode("latin-1") + b"\0" + bytes([flags]) + struct.pack(
        "<IIII", len(pictures), len(block) + len(fblock), len(filtered), len(fblock))
    return struct.pack("<H", len(head)) + head + block + fblock


def write_cache(file: Path, folders, singles=()):
    """A cache file of folders [(path, [pictures])] (flags: include subfolders) and singles."""
    data = b"PR" + struct.pack("<I", 0x02030000) + cache_record("Root", 2, list(singles))
    for path, pictures in folders:
        data += cache_record(path, 2, pictures)
    file.parent.mkdir(parents=True, exist_ok=True)
    file.write_bytes(data)


def read_cache(data: bytes):
    """The entries of a cache file of the current version: (path, pictures, filtered)."""
    assert data[:2] == b"PR", data[:6]
    entries, at = [], 6
    while at + 2 <= len(data):
        (length,) = struct.unpack_from("<H", data, at)
        if length == 0:
            break
        head = data[at + 2:at + 2 + length]
        name_end = head.index(b"\0")
        count, total, fcount, fbytes = struct.unpack_from("<IIII", head, name_end + 2)
        at += 2 + length
        names = data[at:at + total].split(b"\0")
        pictures = [n.decode("latin-1") for n in names[:count]]
        filtered = [n.decode("latin-1") for n in names[count:count + fcount]]
        entries.append((head[:name_end].decode("latin-1"), pictures, filtered))
        at += total
    return entries


def subprocess_pixel(png: Path, x: int, y: int):
    """The RGB of one pixel of a screenshot."""
    import subprocess
    out = subprocess.run(["convert", str(png), "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
                         capture_output=True, text=True, check=True).stdout
    m = re.search(r"\((\d+),(\d+),(\d+)", out)
    return tuple(int(v) for v in m.groups())


def differing_pixels(a: Path, b: Path, crop: str) -> int:
    """The number of pixels that differ between two screenshots inside `crop`."""
    import subprocess
    parts = []
    for png in (a, b):
        part = png.with_suffix(".crop.png")
        subprocess.run(["convert", str(png), "-crop", crop, "+repage", str(part)], check=True)
        parts.append(str(part))
    r = subprocess.run(["compare", "-metric", "AE", *parts, "null:"], capture_output=True, text=True)
    return int(float(r.stderr.split()[0]))


if __name__ == "__main__":
    unittest.main()
