"""Real shows of kelvsaver.scr under Wine, checked picture by picture:

- photo-like pictures that must be scaled (BMP and JPEG) appear on the screen exactly as
  the program's portable decoder and composition code compose them natively
  (tests/tools/compose_reference, from the native build named by KELV_NATIVE_BUILD);
- the resume point "Prev" names the last picture seen (not the one composed ahead during
  the delay), and a run that starts from the previous one goes on after it;
- with basicfx switched off in the "\\Plugins" values, the show runs the divingfx and stamp
  transitions (named one per change in the KELVORA_TEST_TRACE file).
"""
import os
import subprocess
import time
import unittest
from pathlib import Path

from pictures import numbered_picture, read_ppm, read_ppm8
from test_show import BASICFX_GROUPS, PICTURES, WINE_X11_KEY, ShowRuns, classify
from winebench import PRODUCT_KEY, SCREEN, Bench

# Photo-like pictures: (file name, ImageMagick arguments). Both sizes need scaling on the
# 1024 x 768 screen: 1600 x 1200 is reduced to fill it, 800 x 1000 to 614 x 768 in the middle.
PHOTOS = (
    ("photo1.bmp", ["-size", "1600x1200", "-seed", "7", "plasma:orange-navy", "-type", "TrueColor"]),
    ("photo2.jpg", ["-size", "800x1000", "gradient:red-blue", "-seed", "3", "-size", "800x1000",
                    "plasma:fractal", "-compose", "overlay", "-composite", "-quality", "92"]),
    ("photo3.jpg", ["-size", "1600x1200", "-seed", "11", "plasma:green-yellow", "-quality", "90"]),
)
# Mean absolute difference per channel (0..255) allowed between a screenshot taken in the
# delay and the native composition. The screen shows the composed bitmap through a plain
# blit, and resampling is integer arithmetic, so a BMP must come out identical. A JPEG is
# decoded by libjpeg-turbo in both builds (the same release, integer slow DCT), which gives
# identical pixels too; 0.1 leaves room only for a decoder built with other rounding in its
# chroma upsampling (one level on a tenth of the pixels). The Good and the Best filters
# differ by 0.2 to 0.8 on these pictures and a misplaced row or column by far more, so
# either would fail.
SAME_SCREEN_MAD = {".bmp": 0.0, ".jpg": 0.1}
# A screenshot "shows" a picture when it is this close to its reference; anything above is
# a transition frame or the desktop.
SHOWS_MAD = 1.0


def native_tool() -> Path:
    """The reference tool of the native build (which may not have been built)."""
    build = os.environ.get("KELV_NATIVE_BUILD") or str(Path(__file__).resolve().parents[2] / "build" / "native")
    return Path(build) / "tests" / "tools" / "compose_reference"


def mean_abs_diff(a: bytes, b: bytes) -> float:
    assert len(a) == len(b)
    return sum(map(lambda x, y: abs(x - y), a, b)) / len(a)


class ShowPicturesTest(ShowRuns, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.bench.reg_add(WINE_X11_KEY, "Managed", "N")
        cls.out = cls.bench.out / "show_pictures2"
        cls.out.mkdir(exist_ok=True)
        cls.photos = cls.out / "photos"
        cls.photos.mkdir(exist_ok=True)
        for name, args in PHOTOS:
            target = cls.photos / name
            if not target.exists():
                prefix = "BMP3:" if name.endswith(".bmp") else ""
                subprocess.run(["convert", *args, prefix + str(target)], check=True, timeout=120)
        cls.solids = cls.out / "solids"
        cls.solids.mkdir(exist_ok=True)
        for number, rgb in PICTURES:
            target = cls.solids / f"pic{number}.bmp"
            if not target.exists():
                numbered_picture(f"BMP3:{target}", 1024, 768, rgb, number, 360)

    @classmethod
    def tearDownClass(cls):
        cls.bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)
        cls.bench.reg_delete_key(PRODUCT_KEY)

    # ---- set-up and running ------------------------------------------------------
    def configure(self, folder: Path, delay, convert, order=1, basicfx=None, prev=None, settings=None):
        """GDI presentation, no caption, no crop, no enlarging unless `settings` say so."""
        self.configure_show(folder, delay, convert, order=order, basicfx=basicfx, prev=prev,
                            settings={"TextFileName": 0, "crop": 0, "Enlarge": 0, **(settings or {})})

    def shot(self, name) -> Path:
        """An 8-bit PPM screenshot of the whole display."""
        path = self.out / (name + ".ppm")
        subprocess.run(["import", "-display", f":{self.bench.display}", "-window", "root", "-depth", "8",
                        f"PPM:{path}"], check=True, timeout=60)
        return path

    def keep_png(self, ppm: Path):
        subprocess.run(["convert", str(ppm), str(ppm.with_suffix(".png"))], check=True, timeout=60)

    def prev_value(self) -> str:
        kind, data = self.bench.reg_export(PRODUCT_KEY).get("Prev", ("", ""))
        return data

    # ---- the tests ---------------------------------------------------------------
    def photo_show(self, name, settings):
        """Runs a show of the photos with the composition settings and returns the
        screenshots as (path, index of the closest reference, mean difference) and the
        picture on screen when the show was ended (None in a transition)."""
        tool = native_tool()
        if not tool.exists():
            self.skipTest(f"no native reference tool at {tool}: build the native tree (its tests/tools) "
                          "and set KELV_NATIVE_BUILD to it to compare the show with the native composition")
        references = []
        for photo, _ in PHOTOS:
            ref = self.out / f"{name}_{Path(photo).stem}_reference.ppm"
            r = subprocess.run([str(tool), str(self.photos / photo), str(ref), str(SCREEN[0]), str(SCREEN[1]),
                                *[f"{k}={v}" for k, v in settings.items()]],
                               capture_output=True, text=True, timeout=120,
                               env={**os.environ, "ASAN_OPTIONS": "detect_leaks=0"})
            self.assertEqual(r.returncode, 0, f"{photo}: {r.stdout}{r.stderr}")
            w, h, data = read_ppm8(ref)
            self.assertEqual((w, h), SCREEN)
            references.append(data)
            self.keep_png(ref)

        # No in-place effects: every change brings the next picture.
        self.configure(self.photos, delay=3000, convert=1000, basicfx={7}, settings=settings)
        proc = self.start_show(name)
        shots = []
        # Three changes take about 13 s; then the show is ended while a picture stands still
        # (two screenshots in a row alike and equal to a reference: a delay, not a transition).
        end = time.time() + 15
        previous, on_screen = None, None
        while time.time() < end or (on_screen is None and time.time() < end + 8):
            path = self.shot(f"{name}_{len(shots):02d}")
            w, h, data = read_ppm8(path)
            self.assertEqual((w, h), SCREEN)
            diffs = [mean_abs_diff(data, ref) for ref in references]
            best = min(range(len(diffs)), key=diffs.__getitem__)
            shots.append((path, best, diffs[best]))
            same = diffs[best] <= SAME_SCREEN_MAD[Path(PHOTOS[best][0]).suffix]
            on_screen = best if same and data == previous else None
            previous = data
            time.sleep(0.3)
        self.assertIsNone(proc.poll(), "the show ended by itself")
        self.end_with_key(proc)
        (self.out / f"{name}.txt").write_text(
            "\n".join(f"{p.name} closest={b} mad={d:.3f}" for p, b, d in shots))

        # Every picture came up as the native composition has it, in catalogue order.
        shown = [b for _, b, d in shots if d <= SHOWS_MAD]
        firsts = [b for k, b in enumerate(shown) if b not in shown[:k]]
        self.assertEqual(firsts, [0, 1, 2], f"pictures shown: {[(b, round(d, 2)) for _, b, d in shots]}")
        for k in range(len(PHOTOS)):
            path, _, mad = min((s for s in shots if s[1] == k), key=lambda s: s[2])
            self.keep_png(path)
            self.assertLessEqual(mad, SAME_SCREEN_MAD[Path(PHOTOS[k][0]).suffix],
                                 f"{PHOTOS[k][0]}: {path.name} differs by {mad:.3f}")
        return shots, on_screen

    def test_photos_row_by_row_with_good_quality_match_the_native_composition(self):
        # Good quality (Hermite) with the incremental resize: the decoder streams its rows.
        shots, on_screen = self.photo_show("show_photos_good", {"Resize": 1, "rtresize": 1})
        # The resume point is the picture on screen, although the next one is composed
        # and waiting during the delay.
        self.assertIsNotNone(on_screen, "the show was not ended during a delay")
        self.assertEqual(self.prev_value(),
                         f"{on_screen}?{self.bench.windows_path(self.photos)}\\{PHOTOS[on_screen][0]}")

    def test_photos_whole_with_best_quality_match_the_native_composition(self):
        # Best quality (Lanczos3) on whole decoded pictures.
        self.photo_show("show_photos_best", {"Resize": 2, "rtresize": 0})

    def test_prev_keeps_the_picture_seen_and_the_next_run_goes_on_after_it(self):
        folder = self.bench.windows_path(self.solids)
        # A run ended before its first change was over has shown no picture: the stored
        # point stays as it was.
        self.configure(self.solids, delay=2500, convert=20000, basicfx={7}, prev=f"2?{folder}\\pic3.bmp")
        proc = self.start_show("show_prev_early")
        time.sleep(1.0)
        self.end_with_key(proc)
        self.assertEqual(self.prev_value(), f"2?{folder}\\pic3.bmp")

        self.configure(self.solids, delay=2500, convert=800, basicfx={7})
        proc = self.start_show("show_prev")
        # End the show while picture 2 is on screen (picture 3 is then composed and waiting).
        end = time.time() + 25
        seen = []
        while time.time() < end and (not seen or seen[-1] != "2"):
            seen.append(classify(read_ppm(self.shot("show_prev"))))
        self.assertEqual(seen[-1], "2", f"picture 2 never came: {seen}")
        # Past the end of the change to picture 2 (0.8 s), well inside its delay (2.5 s).
        time.sleep(1.0)
        self.assertEqual(classify(read_ppm(self.shot("show_prev"))), "2")
        self.end_with_key(proc)
        self.assertEqual(self.prev_value(), f"1?{folder}\\pic2.bmp")

        # Start from previous (16) with sequential order (1): the first picture is the one
        # after the stored picture; the stored name is found again ignoring case.
        self.configure(self.solids, delay=1500, convert=800, order=17, basicfx={7},
                       prev=f"2?{folder.upper()}\\PIC3.BMP")
        proc = self.start_show("show_resume")
        seen = []
        end = time.time() + 15
        while time.time() < end and not any(seen):
            seen.append(classify(read_ppm(self.shot("show_resume"))))
        self.end_with_key(proc)
        self.assertEqual([s for s in seen if s][:1], ["4"], f"resumed show: {seen}")

    def test_divingfx_and_stamp_transitions_in_a_real_show(self):
        trace = self.out / "show_dive_trace.txt"
        if trace.exists():
            trace.unlink()
        # The solid pictures fill the screen exactly, so each screen pixel is some
        # picture's pixel; a subsample of every 8th pixel each way is compared exactly.
        refs = []
        for number, _ in PICTURES:
            ppm = self.out / f"pic{number}_8bit.ppm"
            subprocess.run(["convert", str(self.solids / f"pic{number}.bmp"), "-depth", "8", f"PPM:{ppm}"],
                           check=True, timeout=60)
            refs.append(subsample(read_ppm8(ppm)))

        # basicfx: every group with effect count 0, so only divingfx and stamp remain.
        self.configure(self.solids, delay=700, convert=2200, basicfx=set(range(len(BASICFX_GROUPS))))
        proc = self.start_show("show_dive", env_extra={"KELVORA_TEST_TRACE": self.bench.windows_path(trace)})
        paths = []
        end = time.time() + 24
        while time.time() < end:
            paths.append(self.shot(f"show_dive_{len(paths):03d}"))
        self.assertIsNone(proc.poll(), "the show ended by itself")
        self.end_with_key(proc)

        lines = [l.split(" ", 2) for l in trace.read_text().splitlines() if l.startswith("effect=")]
        picked = [(l[0][len("effect="):], l[1]) for l in lines]
        modules = {m.lower() for m, _ in picked}
        self.assertGreaterEqual(len(picked), 4, f"too few transitions: {picked}")
        self.assertLessEqual(modules, {"divingfx.dll", "stamp.dll"}, f"effects picked: {picked}")
        self.assertGreaterEqual(len(set(picked)), 3, f"effects picked: {picked}")
        # After each transition the process's handle, GDI and USER object counts.
        counts = [dict(kv.split("=") for kv in l.split()) for l in trace.read_text().splitlines()
                  if l.startswith("frames=")]
        self.assertTrue(counts, "no transition ended")
        for c in counts:
            self.assertTrue(all(int(c.get(k, "-1")) > 0 for k in ("handles", "gdi", "user")), f"counts: {c}")

        # Each screenshot is one picture whole (a delay), a mix of exactly two consecutive
        # pictures (a transition), or, before the first picture, the desktop in a mix.
        completes, mixes, report = [], [], []
        for path in paths:
            points = subsample(read_ppm8(path))
            share = [sum(p == q for p, q in zip(points, ref)) / len(points) for ref in refs]
            report.append(f"{path.name} " + " ".join(f"{v:.3f}" for v in share))
            whole = [i for i, v in enumerate(share) if v == 1.0]
            # Two pictures make a mix when every point is one of theirs and each has points
            # of its own (the white numbers are common to all pictures where they overlap).
            pairs = [(a, b) for a in range(len(refs)) for b in range(a + 1, len(refs))
                     if mixes_exactly(points, refs[a], refs[b])]
            if whole:
                completes.append((path, whole[0]))
                report[-1] += f" picture {whole[0] + 1}"
            elif pairs:
                # Late in a change only the white digit of the old picture may remain, and
                # white stands in another picture there too: then several pairs fit, and the
                # one that goes on from the picture last seen whole is the change.
                last = completes[-1][1] if completes else None
                pair = next((p for p in pairs if last in p), pairs[0])
                mixes.append((path, pair))
                report[-1] += f" mix {pair[0] + 1}+{pair[1] + 1}"
                if len(report) < 2 or " mix " not in report[-2]:
                    self.keep_png(path)  # the first frame of each transition seen
            else:
                self.assertFalse(completes, f"{path.name} after the first picture is neither one "
                                            f"picture nor two: {share}")
        (self.out / "show_dive.txt").write_text("\n".join(" ".join(l) for l in lines) + "\n" + "\n".join(report))
        self.assertTrue(mixes, "no transition frame showed two pictures")
        for path, (a, b) in mixes:
            self.assertTrue(b == a + 1 or (a, b) == (0, len(PICTURES) - 1), f"{path.name}: pictures {a}, {b}")
        self.assertGreaterEqual(len({n for _, n in completes}), 3, f"complete pictures: {completes}")
        self.keep_png(completes[-1][0])


def subsample(picture):
    """Every 8th pixel of every 8th row, as RGB triples."""
    w, h, data = picture
    return [data[i:i + 3] for y in range(0, h, 8) for i in range(y * w * 3, (y + 1) * w * 3, 24)]


def mixes_exactly(points, a, b) -> bool:
    own_a = own_b = False
    for p, pa, pb in zip(points, a, b):
        if p == pa:
            own_a = own_a or p != pb
        elif p == pb:
            own_b = True
        else:
            return False
    return own_a and own_b


if __name__ == "__main__":
    unittest.main()
