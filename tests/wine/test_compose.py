"""Composed screens under Wine: pictures decoded by the real input module, placed in one
cell or a 3 x 3 grid, captions at the three positions and the display order's messages,
and the blurred background in a portrait picture's bars. compose_screen.exe writes each
composed screen as a BMP file; screens are also shown in a window and compared with a
screenshot of the display (the blurred background also with the native composition of
tests/tools/compose_reference)."""
import os
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from pictures import read_bmp24, read_ppm
from test_show_pictures import native_tool
from winebench import Bench

W, H = 640, 480


def write_ppm(path: Path, w: int, h: int, pixel):
    data = bytearray()
    for y in range(h):
        for x in range(w):
            data += bytes(pixel(x, y))
    path.write_bytes(b"P6\n%d %d\n255\n" % (w, h) + bytes(data))


def bbox(rows, match):
    ys = [y for y, row in enumerate(rows) if any(match(p) for p in row)]
    xs = [x for row in rows for x, p in enumerate(row) if match(p)]
    if not ys:
        return None
    return min(xs), min(ys), max(xs), max(ys)


def is_red(p) -> bool:
    """Red text on black, smoothed or not: a shade of red between the two."""
    return p[0] > 0 and p[1] == 0 and p[2] == 0


SOLID = [(200, 30, 30), (30, 200, 30), (30, 30, 200), (200, 200, 30), (200, 30, 200),
         (30, 200, 200), (120, 60, 10), (10, 120, 60), (60, 10, 120)]


class ComposeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.dir = cls.bench.out / "compose"
        shutil.rmtree(cls.dir, ignore_errors=True)
        cls.dir.mkdir(parents=True)
        cls.gradient = cls.dir / "gradient.ppm"
        write_ppm(cls.gradient, 400, 300, lambda x, y: (x % 256, y % 256, (x + y) % 256))
        cls.solids = []
        for k, c in enumerate(SOLID):
            p = cls.dir / f"solid{k}.ppm"
            write_ppm(p, 100, 80, lambda x, y, c=c: c)
            cls.solids.append(p)
        cls.grey = cls.dir / "caption.ppm"
        write_ppm(cls.grey, W, H, lambda x, y: (90, 90, 90))
        cls.broken = cls.dir / "broken.ppm"
        cls.broken.write_bytes(b"P6\n99999 99999\n255\n\x00\x01")
        # A photo-like portrait JPEG: on the 640 x 480 screen it is reduced to 309 x 480
        # in the middle, with bars of 165 columns left and right.
        cls.portrait = cls.dir / "portrait.jpg"
        subprocess.run(["convert", "-size", "360x560", "gradient:gold-darkred", "-seed", "4", "-size", "360x560",
                        "plasma:fractal", "-compose", "overlay", "-composite", "-quality", "92",
                        str(cls.portrait)], check=True, timeout=120)

    def compose(self, name, width, height, settings, files, show=0):
        prefix = self.dir / name
        args = [str(self.bench.dist), self.bench.windows_path(prefix) + "_", str(width), str(height),
                *[f"{k}={v}" for k, v in settings.items()]]
        if show:
            args.append(f"show={show}")
        args += ["--", *[self.bench.windows_path(f) for f in files]]
        code, out = self.bench.run("compose_screen.exe", args, timeout=120)
        self.assertEqual(code, 0, out)
        shot = Path(str(prefix) + "_0.bmp")
        self.assertTrue(shot.exists(), out)
        # A PNG beside each screen for looking at.
        subprocess.run(["convert", str(shot), str(shot.with_suffix(".png"))], check=False)
        return read_bmp24(shot), out

    def test_one_picture_unscaled_in_the_centre(self):
        (w, h, rows), out = self.compose("one", W, H, {"Resize": 1}, [self.gradient])
        self.assertIn("400x300", out)
        for y in range(h):
            for x in range(w):
                inside = 120 <= x < 520 and 90 <= y < 390
                want = ((x - 120) % 256, (y - 90) % 256, (x - 120 + y - 90) % 256) if inside else (0, 0, 0)
                if rows[y][x] != want:
                    self.fail(f"pixel {x},{y} is {rows[y][x]}, expected {want}")

    def test_grid_of_nine_with_the_plain_stretch(self):
        # 600 x 480: cells of 200 x 160, each filled by its picture stretched 2:1.
        settings = {"Screens": 9, "Resize": 0, "Enlarge": 1, "crop": 1}
        (w, h, rows), out = self.compose("grid", 600, 480, settings, self.solids)
        for k, colour in enumerate(SOLID):
            c, r = k % 3, k // 3
            for y in range(r * 160, r * 160 + 160):
                for x in range(c * 200, c * 200 + 200):
                    if rows[y][x] != colour:
                        self.fail(f"cell {k}: pixel {x},{y} is {rows[y][x]}, expected {colour}")
        self.assertIn("history position 1", out)

        # 601 x 481: columns 200, 200 and 201 wide, rows 160, 160 and 161 high; a cell's
        # picture never reaches into its neighbours (a one-pixel bar may stay black).
        (w, h, rows), out = self.compose("grid_uneven", 601, 481, settings, self.solids)
        xs = [0, 200, 400, 601]
        ys = [0, 160, 320, 481]
        for k, colour in enumerate(SOLID):
            c, r = k % 3, k // 3
            filled = 0
            for y in range(ys[r], ys[r + 1]):
                for x in range(xs[c], xs[c + 1]):
                    if rows[y][x] == colour:
                        filled += 1
                    elif rows[y][x] != (0, 0, 0):
                        self.fail(f"cell {k}: pixel {x},{y} is {rows[y][x]}")
            self.assertGreaterEqual(filled, 199 * 160, k)
            self.assertEqual(rows[ys[r]][xs[c] + 1], colour)

    def test_grid_shown_on_screen_matches_the_composed_bitmap(self):
        settings = {"Screens": 9, "Resize": 2, "Enlarge": 1}
        files = self.solids[:4] + [self.gradient] + self.solids[4:8]
        prefix = self.dir / "shown"
        args = [str(self.bench.dist), self.bench.windows_path(prefix) + "_", str(W), str(H),
                *[f"{k}={v}" for k, v in settings.items()], "show=6000", "--",
                *[self.bench.windows_path(f) for f in files]]
        proc = self.bench.start("compose_screen.exe", args, log_name="compose_shown.log")
        try:
            self.assertIsNotNone(self.bench.wait_window("compose view", timeout=60))
            time.sleep(1.5)
            shot = self.bench.screenshot("compose_grid_screen.ppm")
            subprocess.run(["convert", str(shot), str(self.bench.out / "compose_grid_screen.png")], check=False)
        finally:
            code, out = self.bench.finish(proc, 60)
        self.assertEqual(code, 0, out)
        _, _, composed = read_bmp24(Path(str(prefix) + "_0.bmp"))
        shot_picture = read_ppm(shot)
        sw, sh, screen = shot_picture.width, shot_picture.height, shot_picture.rows()
        mismatches = sum(1 for y in range(H) for x in range(W) if screen[y][x] != composed[y][x])
        self.assertEqual(mismatches, 0)
        # The gradient picture sits in the middle cell, scaled to the cell's width.
        self.assertNotEqual(composed[240][320], (0, 0, 0))

    def test_blurred_background_beside_a_portrait_picture(self):
        # Good quality: the JPEG's rows go through the incremental resize, and the
        # background is made from the picture as it lies in the screen.
        settings = {"Resize": 1, "rtresize": 1, "Background": 1}
        prefix = self.dir / "blurred"
        args = [str(self.bench.dist), self.bench.windows_path(prefix) + "_", str(W), str(H),
                *[f"{k}={v}" for k, v in settings.items()], "show=6000", "--",
                self.bench.windows_path(self.portrait)]
        proc = self.bench.start("compose_screen.exe", args, log_name="compose_blurred.log")
        try:
            self.assertIsNotNone(self.bench.wait_window("compose view", timeout=60))
            time.sleep(1.5)
            shot = self.bench.screenshot("compose_blurred_screen.ppm")
            subprocess.run(["convert", str(shot), str(self.bench.out / "compose_blurred_screen.png")], check=False)
        finally:
            code, out = self.bench.finish(proc, 60)
        self.assertEqual(code, 0, out)
        self.assertIn("360x560", out)
        shot_picture = read_ppm(shot)
        screen = [row[:W] for row in shot_picture.rows()[:H]]
        _, _, blurred = read_bmp24(Path(str(prefix) + "_0.bmp"))
        self.assertEqual(sum(1 for y in range(H) for x in range(W) if screen[y][x] != blurred[y][x]), 0,
                         "the screen differs from the composed bitmap")

        # The picture itself is exactly where and as it is with black bars, the whole-buffer
        # way (rtresize off) gives the same screen, and the bars hold a smooth, darker copy.
        (_, _, black), _ = self.compose("blurred_off", W, H, {"Resize": 1, "rtresize": 1}, [self.portrait])
        left, top, right, bottom = bbox(black, lambda p: p != (0, 0, 0))
        self.assertEqual((left, top, right, bottom), (165, 0, 473, 479))
        for y in range(H):
            for x in range(W):
                if left <= x <= right:
                    if blurred[y][x] != black[y][x]:
                        self.fail(f"picture pixel {x},{y} is {blurred[y][x]}, without the background {black[y][x]}")
        (_, _, whole), _ = self.compose("blurred_whole", W, H, {**settings, "rtresize": 0}, [self.portrait])
        self.assertEqual(whole, blurred)
        bars = [(x, y) for y in range(H) for x in list(range(left)) + list(range(right + 1, W))]
        self.assertTrue(all(blurred[y][x] != (0, 0, 0) for x, y in bars), "black left in the bars")
        in_bars = set(bars)
        steepest = max(abs(a - b) for x, y in bars for n in ((x + 1, y), (x, y + 1)) if n in in_bars
                       for a, b in zip(blurred[y][x], blurred[n[1]][n[0]]))
        self.assertLessEqual(steepest, 3, "a hard edge in the bars")
        mean = lambda rows, xs: sum(sum(rows[y][x]) for y in range(H) for x in xs) / (H * len(xs))
        self.assertLess(mean(blurred, range(left)), mean(black, range(left, right + 1)))

        # The native composition of the same file gives the same screen.
        tool = native_tool()
        if not tool.exists():
            self.skipTest(f"no native reference tool at {tool}")
        ref = self.dir / "blurred_reference.ppm"
        r = subprocess.run([str(tool), str(self.portrait), str(ref), str(W), str(H),
                            *[f"{k}={v}" for k, v in settings.items()]],
                           capture_output=True, text=True, timeout=120,
                           env={**os.environ, "ASAN_OPTIONS": "detect_leaks=0"})
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        reference = read_ppm(ref).rows()
        differing = sum(1 for y in range(H) for x in range(W) if reference[y][x] != blurred[y][x])
        self.assertEqual(differing, 0, "the screen differs from the native composition")

    def caption_box(self, name, settings):
        base = {"TextFileName": 1, "Resize": 1}
        base.update(settings)
        (w, h, rows), _ = self.compose(name, W, H, base, [self.grey])
        cell = bbox(rows, lambda p: p == (0, 0, 0))
        text = bbox(rows, lambda p: p == (0, 255, 0))
        return cell, text

    def test_captions_at_the_three_positions(self):
        cell, text = self.caption_box("cap_top", {"TextPos": 1})
        self.assertIsNotNone(text)
        left, top, right, bottom = cell
        t = bottom - top + 1
        self.assertEqual(top, H // 20)
        self.assertLessEqual(abs((left + right + 1) // 2 - W // 2), 1)
        self.assertTrue(cell[0] <= text[0] and text[2] <= cell[2] and cell[1] <= text[1] and text[3] <= cell[3])

        cell, _ = self.caption_box("cap_centre", {"TextPos": 2})
        self.assertEqual(cell[1], H // 2 - t // 2)
        self.assertEqual(cell[3] - cell[1] + 1, t)
        cell, _ = self.caption_box("cap_bottom", {"TextPos": 3})
        self.assertEqual(cell[1], H - H // 20 - t)
        cell, _ = self.caption_box("cap_bottom_edge", {"TextPos": 3, "TextOverlay": 0})
        self.assertEqual(cell[3], H - 1)
        # Transparent background: the picture shows between the letters.
        cell, text = self.caption_box("cap_clear", {"TextPos": 1, "Textbg": 1})
        self.assertIsNone(cell)
        self.assertIsNotNone(text)
        # Extension option: a longer caption.
        wide, _ = self.caption_box("cap_ext", {"TextPos": 1, "TextFileName": 5})
        self.assertGreater(wide[2] - wide[0], left and (right - left))

    def test_messages_in_red_in_the_centre(self):
        # The message font ("Courier New") is whatever the system gives for that name, and
        # the system may smooth its edges (Wine does, as Windows does): edge pixels blend
        # the red text into the black background. Red on black blends to (r, 0, 0) in every
        # smoothing mode, grey or sub-pixel, so every pixel is black or a shade of red, and
        # the letters' insides are pure red.
        (w, h, rows), out = self.compose("empty", W, H, {}, [])
        self.assertIsNotNone(bbox(rows, lambda p: p == (255, 0, 0)), "no pure red")
        red = bbox(rows, is_red)
        self.assertLessEqual(abs((red[0] + red[2] + 1) // 2 - W // 2), 2)
        self.assertLess(red[3], H // 2)
        others = bbox(rows, lambda p: p != (0, 0, 0) and not is_red(p))
        self.assertIsNone(others, "pixels that are neither black nor a shade of red")

        (w, h, rows), out = self.compose("broken", W, H, {}, [self.broken])
        self.assertEqual(out.count("0x0"), 3, out)  # count + 2 tries before the message
        cant = bbox(rows, is_red)
        self.assertIsNotNone(cant)
        self.assertLess(cant[2] - cant[0], red[2] - red[0])  # shorter than "No pictures selected"


if __name__ == "__main__":
    unittest.main()
