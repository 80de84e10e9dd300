"""The slide show of kelvsaver.scr under Wine: generated pictures of distinct solid
colours (each with a big number) shown one after the other through the effect modules,
and the arrow keys stepping forward and back through the screens.

The screenshots are classified by the colour of a set of sample points away from the
numbers: a screenshot where every point shows one picture's colour shows that picture;
anything else is a transition (or the captured desktop, which the first change starts from
as soon as the show is set up, whatever the "Delay").
"""
import shutil
import struct
import subprocess
import time
import unittest
from pathlib import Path

from pictures import near, numbered_picture, pixel, read_ppm
from winebench import PRODUCT_KEY, Bench, reg_text

SAVER_TITLE = "Tarnwick Kelvora"
WINE_X11_KEY = r"HKEY_CURRENT_USER\Software\Wine\X11 Driver"
PICTURES = (("1", (255, 0, 0)), ("2", (0, 160, 0)), ("3", (0, 0, 255)), ("4", (255, 255, 0)))
# Points of both parities (x + y even and odd): a transition frame that mixes two screens
# pixel by pixel in a checkerboard never shows one screen at all of them.
SAMPLES = [(x, y) for x in (40, 141, 880, 981) for y in (40, 201, 380, 561, 720)]


# A folder and pictures named in several scripts, in the order the catalogue sorts them
# (the user-locale comparison: accents and case second), each of one colour; the formats
# take every input module. The plain name is the control.
NAMED_FOLDER = "写真 Ünï ☀"
NAMED_PICTURES = (("café.jpg", (255, 0, 0)), ("Éclair.webp", (0, 160, 0)), ("plain.jpg", (0, 0, 255)),
                  ("ночь ☀.png", (255, 255, 0)), ("фото 🌅.jpg", (255, 0, 255)))


def make_named_pictures(folder: Path):
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for number, (name, rgb) in enumerate(NAMED_PICTURES, 1):
        target = folder / name
        if name.endswith(".webp"):
            png = folder / "source.png"
            numbered_picture(str(png), 1024, 768, rgb, str(number), 360)
            subprocess.run(["cwebp", "-quiet", "-q", "90", str(png), "-o", str(target)], check=True, timeout=120)
            png.unlink()
        else:
            numbered_picture(str(target), 1024, 768, rgb, str(number), 360)


def classify_named(shot):
    """The number (from 1) of the named picture the screenshot shows, or None."""
    colours = [pixel(shot, x, y) for x, y in SAMPLES]
    for number, (_, rgb) in enumerate(NAMED_PICTURES, 1):
        if all(near(c, rgb) for c in colours):
            return number
    return None


def classify(shot):
    """The picture number the screenshot shows, or None for anything else."""
    colours = [pixel(shot, x, y) for x, y in SAMPLES]
    for number, rgb in PICTURES:
        if all(near(c, rgb) for c in colours):
            return number
    return None


# The effect groups of basicfx and their effect counts, in order; group 7 (gray scale)
# holds the two effects that keep the picture on screen.
BASICFX_GROUPS = (2, 4, 4, 3, 2, 2, 2, 2, 4, 4)

# The bench prefix's user locale (English, United States) writes long dates so.
LONG_DATES = {"2021:07:14 10:30:00": "Wednesday, July 14, 2021", "2020:02:29 08:00:00": "Saturday, February 29, 2020",
              "2019:12:31 23:59:59": "Tuesday, December 31, 2019", "2018:01:02 03:04:05": "Tuesday, January 2, 2018",
              "2017:06:15 12:00:00": "Thursday, June 15, 2017", "2016:11:30 18:45:00": "Wednesday, November 30, 2016"}


def effect_bits(groups, enabled):
    """The "\\Plugins" value of a module: its flag, then per group a 4-bit count and one
    bit per effect (count 0 for a group with no effect on), least significant bit first;
    `enabled(group, effect)` tells which effects are on."""
    bits = [1]
    for g, count in enumerate(groups):
        on = [1 if enabled(g, e) else 0 for e in range(count)]
        n = count if any(on) else 0
        bits += [(n >> b) & 1 for b in range(4)] + on[:n]
    data = bytearray((len(bits) + 7) // 8)
    for i, bit in enumerate(bits):
        data[i // 8] |= bit << (i % 8)
    return ",".join(f"{b:02x}" for b in data)


def enable_bits(groups, disabled):
    """The "\\Plugins" value of a module with the groups `disabled` switched off."""
    return effect_bits(groups, lambda g, e: g not in disabled)


class ShowRuns:
    """Running kelvsaver.scr /s on a prepared registry: what the show tests share."""

    def configure_show(self, folder: Path, delay, convert, order=1, ddraw=False, basicfx=None,
                       prev=None, settings=None):
        """A one-folder show, one picture per screen. `basicfx`: the basicfx groups to
        switch off (None keeps them all); `settings`: further values of the product key."""
        bench = self.bench
        bench.reg_delete_key(PRODUCT_KEY)
        values = {"Path": bench.windows_path(bench.dist), "Delay": delay, "Convert": convert,
                  "DDraw": 1 if ddraw else 0, "Order": order, "Screens": 1, **(settings or {})}
        if prev is not None:
            values["Prev"] = prev
        text = f"[{PRODUCT_KEY}]\n" + "".join(f"\"{k}\"={reg_text(str(v))}\n" for k, v in values.items())
        text += f"\n[{PRODUCT_KEY}\\Folders]\n\"1\"={reg_text(bench.windows_path(folder))}\n"
        if basicfx is not None:
            text += f"\n[{PRODUCT_KEY}\\Plugins]\n\"basicfx.dll\"=hex:{enable_bits(BASICFX_GROUPS, basicfx)}\n"
        bench.reg_import(text)
        # The folder list is only read when there is no catalogue cache file yet.
        for cache in bench.prefix.glob("drive_c/users/*/AppData/Roaming/Kelvora/piclist.dat"):
            cache.unlink()

    def start_show(self, name, env_extra=None):
        self.bench.xdotool("mousemove", 0, 0)
        proc = self.bench.start("kelvsaver.scr", ["/s"], log_name=f"{name}.log", env_extra=env_extra)
        self.addCleanup(self._end, proc)
        self.assertIsNotNone(self.bench.wait_window(SAVER_TITLE, 30), "no saver window")
        return proc

    def _end(self, proc):
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        proc.log_handle.close()

    def end_with_key(self, proc):
        self.bench.xdotool("key", "Escape")
        try:
            code = proc.wait(timeout=20)
        except Exception:
            code = None
        self.assertEqual(code, 0, "the show did not end cleanly on a key")


class ShowTest(ShowRuns, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.bench.reg_add(WINE_X11_KEY, "Managed", "N")
        cls.pictures = cls.bench.out / "show_pictures"
        cls.pictures.mkdir(exist_ok=True)
        for number, rgb in PICTURES:
            numbered_picture(f"BMP3:{cls.pictures / ('pic' + number + '.bmp')}", 1024, 768, rgb, number, 360)

    @classmethod
    def tearDownClass(cls):
        cls.bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)
        cls.bench.reg_delete_key(PRODUCT_KEY)

    def configure(self, delay, convert, keep_picture_effects=True, ddraw=False):
        self.configure_show(self.pictures, delay, convert, ddraw=ddraw,
                            basicfx=None if keep_picture_effects else {7})

    def shot(self, name):
        return read_ppm(self.bench.screenshot(name + ".ppm"))

    def keep_png(self, name):
        ppm = self.bench.out / (name + ".ppm")
        subprocess.run(["convert", str(ppm), str(self.bench.out / (name + ".png"))], check=True, timeout=60)

    def test_pictures_change_in_order_through_effects(self):
        self.configure(delay=2000, convert=2500)
        proc = self.start_show("show_auto")
        seen = []   # the classification of every screenshot, in time order
        end = time.time() + 20
        i = 0
        while time.time() < end:
            name = f"show_auto_{i:02d}"
            seen.append(classify(self.shot(name)))
            i += 1
            time.sleep(0.2)
        (self.bench.out / "show_auto.txt").write_text(" ".join(str(s) for s in seen))
        self.assertIsNone(proc.poll(), "the show ended by itself")
        shown = [s for s in seen if s is not None]
        # The pictures appear in catalogue order (in-place effects keep a picture on
        # screen, so a number may come back after a transition but never out of order).
        firsts = [n for k, n in enumerate(shown) if n not in shown[:k]]
        self.assertGreaterEqual(len(firsts), 2, f"too few pictures shown: {seen}")
        self.assertEqual(firsts, [p[0] for p in PICTURES][:len(firsts)], f"out of order: {seen}")
        # Between the first and the second picture there is a transition frame.
        a = seen.index(firsts[0])
        b = seen.index(firsts[1])
        self.assertTrue(any(s is None for s in seen[a:b]), f"no transition seen: {seen}")
        for k, s in enumerate(seen):
            if s is None and a < k < b:
                self.keep_png(f"show_auto_{k:02d}")
        self.keep_png(f"show_auto_{a:02d}")
        self.keep_png(f"show_auto_{b:02d}")
        self.end_with_key(proc)

    def test_pictures_change_on_the_directdraw_screen(self):
        # The effects draw straight into the locked DirectDraw surface.
        self.configure(delay=1500, convert=2000, ddraw=True)
        proc = self.start_show("show_ddraw")
        seen = []
        end = time.time() + 14
        i = 0
        while time.time() < end:
            seen.append(classify(self.shot(f"show_ddraw_{i:02d}")))
            i += 1
        (self.bench.out / "show_ddraw.txt").write_text(" ".join(str(s) for s in seen))
        shown = [s for s in seen if s is not None]
        firsts = [n for k, n in enumerate(shown) if n not in shown[:k]]
        self.assertGreaterEqual(len(firsts), 2, f"too few pictures shown: {seen}")
        self.assertEqual(firsts, [p[0] for p in PICTURES][:len(firsts)], f"out of order: {seen}")
        self.end_with_key(proc)

    def test_space_freezes_a_transition_and_resumes_it(self):
        self.configure(delay=500, convert=8000, keep_picture_effects=False)
        proc = self.start_show("show_pause")
        # Wait for the first transition to be under way (a mix of desktop and picture 1).
        end = time.time() + 20
        mixed = False
        while time.time() < end and not mixed:
            shot = self.shot("show_pause_probe")
            colours = [pixel(shot, x, y) for x, y in SAMPLES]
            mixed = any(near(c, PICTURES[0][1]) for c in colours) and not all(near(c, PICTURES[0][1]) for c in colours)
        self.assertTrue(mixed, "no transition seen")
        self.bench.xdotool("key", "space")
        time.sleep(1.0)
        frozen = self.bench.screenshot("show_pause_1.ppm").read_bytes()
        time.sleep(1.5)
        self.assertEqual(frozen, self.bench.screenshot("show_pause_2.ppm").read_bytes(),
                         "the transition went on while paused")
        self.keep_png("show_pause_1")
        self.bench.xdotool("key", "space")
        time.sleep(1.5)
        self.assertNotEqual(frozen, self.bench.screenshot("show_pause_3.ppm").read_bytes(),
                            "the transition did not resume")
        self.keep_png("show_pause_3")
        self.assertIsNone(proc.poll(), "space ended the show")
        self.end_with_key(proc)

    def test_pan_and_zoom_moves_the_picture_and_space_freezes_it(self):
        # "Motion" 1: picture 1 drifts and zooms through its stay, inside its place (every
        # sample point keeps its colour: no bar), freezes on space and goes on after it.
        trace = self.bench.out / "show_motion_trace.txt"
        trace.unlink(missing_ok=True)
        self.configure_show(self.pictures, 9000, 1000, basicfx={7}, settings={"Motion": 1})
        proc = self.start_show("show_motion", env_extra={"KELVORA_TEST_TRACE": self.bench.windows_path(trace)})
        waited, seen = self.wait_for_picture("show_motion_probe", "1", 20)
        self.assertIsNotNone(waited, f"picture 1 never came: {seen}")
        time.sleep(1.0)
        first = self.bench.screenshot("show_motion_1.ppm").read_bytes()
        time.sleep(1.0)
        second = self.bench.screenshot("show_motion_2.ppm").read_bytes()
        self.assertNotEqual(first, second, "the picture stood still")
        self.assertEqual(classify(read_ppm(self.bench.out / "show_motion_2.ppm")), "1", "a bar or another picture")
        self.keep_png("show_motion_1")
        self.keep_png("show_motion_2")
        self.bench.xdotool("key", "space")
        time.sleep(0.5)
        frozen = self.bench.screenshot("show_motion_3.ppm").read_bytes()
        time.sleep(1.5)
        self.assertEqual(frozen, self.bench.screenshot("show_motion_4.ppm").read_bytes(), "it moved while paused")
        self.keep_png("show_motion_3")
        self.bench.xdotool("key", "space")
        time.sleep(1.0)
        self.assertNotEqual(frozen, self.bench.screenshot("show_motion_5.ppm").read_bytes(), "it did not go on")
        self.keep_png("show_motion_5")
        # The stay ends (9 s of delay, 2 of them paused): its frames are counted.
        end = time.time() + 20
        lines = []
        while time.time() < end and not lines:
            time.sleep(0.5)
            text = trace.read_text(errors="replace") if trace.exists() else ""
            lines = [l for l in text.splitlines() if l.startswith("motion frames=")]
        self.assertTrue(lines, "no motion line in the trace")
        frames, ms = (int(part.split("=")[1]) for part in lines[0].split()[1:3])
        self.assertGreater(frames, 50, lines[0])
        self.assertGreater(ms, 3000, lines[0])
        (self.bench.out / "show_motion.txt").write_text(lines[0] + "\n")
        self.end_with_key(proc)

    def wait_for_picture(self, name, number, timeout):
        """Screenshots until picture `number` is on screen; returns the seconds that took
        and the classification of every screenshot, or None and those when it never came."""
        start = time.time()
        seen = []
        while time.time() - start < timeout:
            seen.append(classify(self.shot(name)))
            if seen[-1] == number:
                return time.time() - start, seen
        return None, seen

    def test_first_picture_comes_at_once_even_with_a_long_delay(self):
        # A minute's delay, and only effects that bring a new picture: the first one starts
        # as soon as the first screen is composed, so picture 1 and not the captured
        # desktop is on screen after a change of one second.
        self.configure(delay=60000, convert=1000, keep_picture_effects=False)
        proc = self.start_show("show_first")
        took, seen = self.wait_for_picture("show_first", "1", timeout=10)
        self.assertIsNotNone(took, f"picture 1 did not come within 10 s: {seen}")
        print(f"picture 1 on screen {took:.1f} s after the saver window appeared")
        self.keep_png("show_first")
        self.assertIsNone(proc.poll(), "the show ended by itself")
        self.end_with_key(proc)

    def test_arrows_step_forward_and_back_without_effect(self):
        # An effect that keeps the picture on screen makes the next step show the same
        # picture again: those are switched off here. The long delay keeps each picture on
        # screen: only the first comes by itself, at once.
        self.configure(delay=600000, convert=1000, keep_picture_effects=False)
        proc = self.start_show("show_nav")
        took, seen = self.wait_for_picture("show_nav_start", "1", timeout=15)
        self.assertIsNotNone(took, f"picture 1 did not come: {seen}")
        # Nothing is before the first picture; the arrows then walk the display order.
        steps = (("Left", "1"), ("Right", "2"), ("Right", "3"), ("Right", "4"),
                 ("Left", "3"), ("Left", "2"), ("Right", "3"))
        for k, (key, expected) in enumerate(steps):
            self.bench.xdotool("key", key)
            time.sleep(1.2)
            name = f"show_nav_{k}_{key.lower()}"
            got = classify(self.shot(name))
            self.keep_png(name)
            self.assertEqual(got, expected, f"after step {k} ({key})")
        self.assertIsNone(proc.poll(), "an arrow key ended the show")
        self.end_with_key(proc)
        prev = self.bench.reg_export(PRODUCT_KEY).get("Prev", "")
        self.assertIn("pic", str(prev).lower(), "the resume point was not saved")

    def test_webp_heic_and_avif_show_among_jpeg(self):
        # The folder scan takes the extensions of every input module's format list: the
        # four pictures, one per format, come up in catalogue order, decoded by stdformats
        # and modernformats.
        folder = self.bench.out / "show_modern"
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir()
        makers = {".jpg": ["convert", "-quality", "90"], ".webp": ["cwebp", "-quiet", "-q", "80"],
                  ".heic": ["heif-enc", "-q", "80"], ".avif": ["avifenc", "-s", "9"]}
        for (number, rgb), ext in zip(PICTURES, makers):
            png = folder / f"source{number}.png"
            numbered_picture(str(png), 1024, 768, rgb, number, 360)
            target = folder / f"pic{number}{ext}"
            make = makers[ext] + [str(png)] + (["-o"] if ext in (".webp", ".heic") else []) + [str(target)]
            subprocess.run(make, check=True, timeout=120, capture_output=True)
            png.unlink()
        self.configure_show(folder, delay=2500, convert=1000, basicfx={7})
        proc = self.start_show("show_modern")
        for number, _ in PICTURES:
            took, seen = self.wait_for_picture("show_modern", number, timeout=20)
            self.assertIsNotNone(took, f"picture {number} did not come: {seen}")
            # The sample points may show it before the transition has quite ended: the
            # screenshot kept is one taken in the delay.
            time.sleep(1.0)
            self.assertEqual(classify(self.shot(f"show_modern_{number}")), number)
            self.keep_png(f"show_modern_{number}")
        self.assertIsNone(proc.poll(), "the show ended by itself")
        self.end_with_key(proc)

    def test_captions_carry_the_date_taken(self):
        # "TextDate" on: every format's EXIF date, written by exiftool, follows the name in
        # the user's long date form; a picture without a date, and one whose only date is
        # not a real one, show their names alone. The arrow key brings each next picture.
        folder = self.bench.out / "show_dated"
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir()
        makers = {".jpg": ["convert", "-quality", "90"], ".png": ["convert"], ".tif": ["convert"],
                  ".webp": ["cwebp", "-quiet", "-q", "80"], ".heic": ["heif-enc", "-q", "80"],
                  ".avif": ["avifenc", "-s", "9"]}
        # (file, date written, the text the caption shows after the name)
        pictures = [("a_jpeg.jpg", "2021:07:14 10:30:00"), ("b_png.png", "2020:02:29 08:00:00"),
                    ("c_tiff.tif", "2019:12:31 23:59:59"), ("d_webp.webp", "2018:01:02 03:04:05"),
                    ("e_heic.heic", "2017:06:15 12:00:00"), ("f_avif.avif", "2016:11:30 18:45:00"),
                    ("g_none.jpg", None), ("h_damaged.jpg", "2021:13:45 10:30:00")]
        for k, (name, date) in enumerate(pictures):
            target = folder / name
            source = folder / f"source{k}.png"
            numbered_picture(str(source), 1024, 768, PICTURES[k % 4][1], str(k + 1), 300)
            ext = target.suffix
            make = makers[ext] + [str(source)] + (["-o"] if ext in (".webp", ".heic") else []) + [str(target)]
            subprocess.run(make, check=True, timeout=120, capture_output=True)
            source.unlink()
            if date:
                # "#": the text as given, even when it is no date (the damaged one).
                subprocess.run(["exiftool", "-q", "-overwrite_original", f"-DateTimeOriginal#={date}",
                                str(target)], check=True, timeout=60, capture_output=True)
        self.configure_show(folder, delay=600000, convert=500, basicfx={7},
                            settings={"TextFileName": 5, "TextDate": 1, "TextPos": 3})
        trace = self.bench.out / "show_dated.trace"
        trace.unlink(missing_ok=True)
        proc = self.start_show("show_dated", env_extra={"KELVORA_TEST_TRACE": self.bench.windows_path(trace)})

        def captions():
            # The program writes its strings in its code page, UTF-8.
            text = trace.read_bytes().decode("utf-8", "replace") if trace.exists() else ""
            return [line[len("caption="):] for line in text.splitlines() if line.startswith("caption=")]

        took, seen = self.wait_for_picture("show_dated", "1", timeout=20)
        self.assertIsNotNone(took, f"the first picture did not come: {seen}")
        time.sleep(0.5)
        self.shot("show_dated_first")
        self.keep_png("show_dated_first")
        for _ in range(len(pictures) - 1):
            before = len(captions())
            self.bench.xdotool("key", "Right")
            deadline = time.time() + 20
            while len(captions()) <= before and time.time() < deadline:
                time.sleep(0.3)
        got = captions()
        self.assertIsNone(proc.poll(), "the show ended by itself")
        self.end_with_key(proc)
        dot = "  \u00b7  "
        expected = [name + (dot + LONG_DATES[date] if date in LONG_DATES else "") for name, date in pictures]
        self.assertEqual(got[:len(pictures)], expected)

    def test_names_in_any_script_are_shown_and_captioned(self):
        # The program's strings are UTF-8: a folder and pictures named outside any legacy
        # code page are found, decoded by every input module (stdformats, sysformats through
        # GDI+, modernformats), sorted by their characters ("Éclair" between "café" and
        # "plain", as under a legacy code page) and captioned with their names.
        folder = self.bench.out / NAMED_FOLDER
        make_named_pictures(folder)
        font = struct.pack("<5i8B32s", -30, 0, 0, 0, 400, 0, 0, 0, 1, 0, 0, 0, 0, b"DejaVu Sans")
        self.configure_show(folder, delay=2500, convert=800, basicfx={7},
                            settings={"TextFileName": 13, "TextPos": 3})
        self.bench.reg_import(f"[{PRODUCT_KEY}]\n\"Font\"=hex:{font.hex(',')}\n"
                              "\"FontColor\"=hex:ff,ff,ff,00\n")
        proc = self.start_show("show_named")
        for number, (name, _) in enumerate(NAMED_PICTURES, 1):
            took, seen = self.wait_for_named(f"show_named_{number}", number, timeout=20)
            self.assertIsNotNone(took, f"{name} did not come: {seen}")
            time.sleep(0.8)
            self.assertEqual(classify_named(self.shot(f"show_named_{number}")), number, name)
            self.keep_png(f"show_named_{number}")
            # The caption, white at the bottom: the folder and the picture's name. How its
            # glyphs look is in the screenshot kept (question marks or boxes are a fault).
            shot = self.shot(f"show_named_{number}")
            white = sum(1 for x in range(200, 824, 2) for y in range(660, 740, 2) if near(pixel(shot, x, y), (255, 255, 255)))
            self.assertGreater(white, 150, f"no caption under {name}")
        self.assertIsNone(proc.poll(), "the show ended by itself")
        self.end_with_key(proc)

    def test_a_cache_file_of_a_legacy_code_page_still_finds_its_picture(self):
        # A picture list saved by a run under Windows-1252 holds "café" as the byte E9,
        # which is no UTF-8: read through the system's legacy code page it names the file.
        folder = self.bench.out / "show_legacy"
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir()
        numbered_picture(str(folder / "café.jpg"), 1024, 768, PICTURES[0][1], "1", 360)
        self.configure_show(folder, delay=60000, convert=800, basicfx={7})
        path = self.bench.windows_path(folder).encode("ascii")
        picture = path + b"\\caf\xe9.jpg\0"

        def record(entry: bytes, flags: int, names: bytes, count: int) -> bytes:
            head = entry + b"\0" + struct.pack("<BIIII", flags, count, len(names), 0, 0)
            return struct.pack("<H", len(head)) + head + names

        data = b"PR" + struct.pack("<I", 0x02030000) + record(b"Root", 2, b"", 0) + record(path, 2, picture, 1)
        users = self.bench.prefix / "drive_c" / "users"
        caches = [u / "AppData" / "Roaming" / "Kelvora" for u in users.iterdir() if (u / "AppData").exists()]
        for cache in caches:
            cache.mkdir(parents=True, exist_ok=True)
            (cache / "piclist.dat").write_bytes(data)
        proc = self.start_show("show_legacy")
        took, seen = self.wait_for_picture("show_legacy", "1", timeout=15)
        self.keep_png("show_legacy")
        self.assertIsNotNone(took, f"the picture of the legacy name did not come: {seen}")
        self.end_with_key(proc)

    def wait_for_named(self, name, number, timeout):
        start = time.time()
        seen = []
        while time.time() - start < timeout:
            seen.append(classify_named(self.shot(name)))
            if seen[-1] == number:
                return time.time() - start, seen
        return None, seen


if __name__ == "__main__":
    unittest.main()
