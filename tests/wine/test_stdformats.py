"""The standard formats DLL under Wine.

- its part of the Windows unit tests (the DLL loaded from dist/ and driven through its
  binary interface), run on its own so that `ctest -R stdformats` selects it;
- photo-like JPEGs written by cjpeg (odd and even sizes, 4:2:0, 4:2:2, 4:4:4, gray,
  progressive, restart markers) decode through the real DLL to exactly the pixels djpeg
  writes with `-dct int -scale 1/N` for the scale the pre-scale rule picks, in buffer mode
  and row by row. The DLL's libjpeg is cross-built from the Debian source package of the
  djpeg installed here; the test checks that the versions agree. The decoder keeps the
  library's default (fancy) upsampling and block smoothing, djpeg's defaults too, so no
  extra djpeg switch is needed;
- copies of one non-square photo tagged by exiftool with orientations 1 to 8 come out as
  the upright picture: the orientation-1 decode turned and mirrored as the placement table
  says; the row sink gets the stored rows with the orientation in its first call;
- CMYK JPEGs written by Pillow and YCCK ones written by ImageMagick (both with the Adobe
  segment, samples stored as 255 minus the ink), and one with that segment removed by
  exiftool, show (255 - ink)(255 - black ink) / 255 per channel, rounded to nearest, on the
  samples Pillow (the same library release) reads back, in buffer mode and row by row.

stdformats_decode.exe (tests/winprogs) runs a list of decode jobs through the DLL and
writes each delivered picture as a PPM beside one report line.
"""
import re
import shutil
import subprocess
import unittest
from pathlib import Path

from winebench import Bench

TOOLS = (("cjpeg", "libjpeg-turbo-progs"), ("djpeg", "libjpeg-turbo-progs"),
         ("exiftool", "libimage-exiftool-perl"))
OPT_IGNORE_EXIF, OPT_FILL = 0x2, 0x4
JPEG_DECODER = 0  # ".jpg"


def missing_tools() -> str:
    missing = [f"{tool} (Debian package {package})" for tool, package in TOOLS if not shutil.which(tool)]
    if not missing:
        return ""
    return "missing test tools: " + ", ".join(missing) + "; scripts/install-deps.sh installs them"


def photo_ppm(w: int, h: int) -> bytes:
    """A deterministic picture with what photos have: shading, texture, noise, hard edges."""
    out = bytearray(b"P6\n%d %d\n255\n" % (w, h))
    seed = 12345
    for y in range(h):
        for x in range(w):
            seed = (seed * 1664525 + 1013904223) & 0xFFFFFFFF
            noise = (seed >> 28) - 8
            dx, dy = x - w // 3, y - h // 2
            r = 40 + 180 * x // max(w - 1, 1) + (x * 7 + y * 3) % 29 + noise
            g = 60 + 150 * y // max(h - 1, 1) + (x * x + y) % 23 - noise
            b = 128 + ((x ^ y) & 63) + noise * 2
            if dx * dx + dy * dy < (h // 4) ** 2:
                r, g, b = 250 - noise, 200 + noise, 30
            if (x // 23 + y // 17) % 5 == 0:
                b, g = 250 - (x % 11) * 9, g // 2
            out += bytes(min(255, max(0, v)) for v in (r, g, b))
    return bytes(out)


def read_pnm(data: bytes):
    """(width, height, RGB bytes) of a binary PGM or PPM; gray samples are expanded."""
    m = re.match(rb"P([56])\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    if not m:
        raise AssertionError(f"not a binary PNM: {data[:20]!r}")
    w, h = int(m.group(2)), int(m.group(3))
    samples = data[m.end():]
    if m.group(1) == b"5":
        samples = bytes(v for s in samples for v in (s, s, s))
    return w, h, samples


def upright(o: int, w: int, h: int, rgb: bytes):
    """The w x h stored picture placed by EXIF orientation o: (width, height, RGB)."""
    turned = o >= 5
    W, H = (h, w) if turned else (w, h)
    out = bytearray(W * H * 3)
    for r in range(h):
        for c in range(w):
            x, y = {1: (c, r), 2: (w - 1 - c, r), 3: (w - 1 - c, h - 1 - r), 4: (c, h - 1 - r),
                    5: (r, c), 6: (h - 1 - r, c), 7: (h - 1 - r, w - 1 - c),
                    8: (r, w - 1 - c)}[o]
            s, d = (r * w + c) * 3, (y * W + x) * 3
            out[d:d + 3] = rgb[s:s + 3]
    return W, H, bytes(out)


# Debian's python3-pil serves the system's Python, whatever interpreter runs the tests.
PILLOW_PYTHON = "/usr/bin/python3"
# "save <raw CMYK> <w> <h> <out> <quality>", or "samples <jpeg> <out> <n>": the samples the
# file decodes to at scale 1/n (Pillow hands CMYK back as 255 minus each sample).
PILLOW_SCRIPT = """import sys
from PIL import Image
if sys.argv[1] == "save":
    _, _, raw, w, h, out, quality = sys.argv
    Image.frombytes("CMYK", (int(w), int(h)), open(raw, "rb").read()).save(out, quality=int(quality))
else:
    _, _, path, out, n = sys.argv
    im = Image.open(path)
    if int(n) > 1:
        im.draft("CMYK", (im.size[0] // int(n), im.size[1] // int(n)))
    im.load()
    open(out, "wb").write(b"%d %d\\n" % im.size + bytes(255 - b for b in im.tobytes()))
"""


def pillow(*args):
    subprocess.run([PILLOW_PYTHON, "-c", PILLOW_SCRIPT, *map(str, args)], check=True, timeout=60)


def ink_light(samples: bytes, adobe: bool) -> bytes:
    """The screen colours of C, M, Y, K samples: ink is 255 - sample in Adobe files."""
    out = bytearray()
    for i in range(0, len(samples), 4):
        left = samples[i:i + 4] if adobe else bytes(255 - v for v in samples[i:i + 4])
        out += bytes(round(left[c] * left[3] / 255) for c in range(3))
    return bytes(out)


def first_difference(w: int, a: bytes, b: bytes) -> str:
    for i in range(0, min(len(a), len(b)), 3):
        if a[i:i + 3] != b[i:i + 3]:
            p = i // 3
            return f"first difference at ({p % w},{p // w}): got {tuple(a[i:i + 3])}, want {tuple(b[i:i + 3])}"
    return f"lengths {len(a)} and {len(b)}"


class StdFormatsUnderWine(unittest.TestCase):
    def test_dll_interface(self):
        bench = Bench()
        exe = bench.exe("kelv_wintests.exe")
        code, output = bench.run(exe, ["--gtest_filter=StdFormatsDll.*"], timeout=300)
        self.assertIsNotNone(code, "timed out:\n" + output)
        self.assertEqual(code, 0, output)
        self.assertIn("[  PASSED  ] 7 tests.", output)


class StdFormatsAgainstDjpeg(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.work = cls.bench.out / "stdformats"
        shutil.rmtree(cls.work, ignore_errors=True)
        cls.work.mkdir(parents=True)
        cls.missing = missing_tools()

    def setUp(self):
        if self.missing:
            self.fail(self.missing)

    # ---- helpers -----------------------------------------------------------------
    def compress(self, name: str, w: int, h: int, options: list[str]) -> Path:
        source = self.work / (name + ".ppm")
        source.write_bytes(photo_ppm(w, h))
        target = self.work / name
        subprocess.run(["cjpeg", "-quality", "88", *options, "-outfile", str(target), str(source)],
                       check=True, timeout=60)
        return target

    def reference(self, picture: Path, n: int):
        out = picture.with_name(f"{picture.name}.{n}.pnm")
        if not out.exists():
            subprocess.run(["djpeg", "-dct", "int", "-scale", f"1/{n}", "-ppm", "-outfile", str(out),
                            str(picture)], check=True, timeout=60)
        return read_pnm(out.read_bytes())

    def decode_all(self, jobs: list[dict]) -> list[dict]:
        """Runs the jobs through the DLL; adds each job's report fields and picture."""
        lines = []
        for i, job in enumerate(jobs):
            job["output"] = self.work / f"job{i}.ppm"
            if job["output"].exists():
                job["output"].unlink()
            lines.append(f"{job['mode']} {job.get('flags', 0):x} {job['want'][0]} {job['want'][1]} "
                         f"{JPEG_DECODER} {self.bench.windows_path(job['picture'])} "
                         f"{self.bench.windows_path(job['output'])}")
        (self.work / "jobs.txt").write_text("\n".join(lines) + "\n")
        report = self.work / "report.txt"
        if report.exists():
            report.unlink()
        code, output = self.bench.run(
            "stdformats_decode.exe",
            [self.bench.windows_path(self.bench.dist / "stdformats.dll"),
             self.bench.windows_path(self.work / "jobs.txt"), self.bench.windows_path(report)],
            timeout=300)
        self.assertEqual(code, 0, output)
        results = report.read_text().splitlines()
        self.assertEqual(len(results), len(jobs), results[-3:])
        for job, line in zip(jobs, results):
            m = re.fullmatch(r"(-?\d+) (-?\d+) (-?\d+) (-?\d+) header=([0-9A-F]+) buffer=(\w+) "
                             r"alloc=(\d+) pad=(\d+)", line)
            self.assertIsNotNone(m, line)
            job.update(want_out=(int(m[1]), int(m[2])), src=(int(m[3]), int(m[4])),
                       header=int(m[5], 16), buffer=m[6], alloc=int(m[7]), pad=int(m[8]))
            job["got"] = read_pnm(job["output"].read_bytes()) if job["output"].exists() else None
        return jobs

    def assert_picture(self, job: dict, want):
        self.assertIsNotNone(job["got"], f"{job['what']}: no picture")
        gw, gh, got = job["got"]
        ww, wh, expected = want
        self.assertEqual((gw, gh), (ww, wh), job["what"])
        if got != expected:
            self.fail(f"{job['what']}: {first_difference(ww, got, expected)}")

    # ---- tests -------------------------------------------------------------------
    def test_library_is_built_from_djpegs_source(self):
        """Exact comparison with djpeg means something only with the same library."""
        third = self.bench.build / "third"
        jconfig = (third / "libjpeg" / "include" / "jconfig.h").read_text()
        version = re.search(r"#define LIBJPEG_TURBO_VERSION\s+(\S+)", jconfig)[1]
        djpeg = subprocess.run(["djpeg", "-version"], capture_output=True, text=True, timeout=30)
        self.assertIn(f"libjpeg-turbo version {version} ", djpeg.stdout + djpeg.stderr)
        dsc = list((third / "src").glob("libjpeg-turbo_*.dsc"))
        if dsc:  # the source package the library was built from
            source = re.search(r"^Version: (\S+)", dsc[0].read_text(), re.M)[1]
            installed = subprocess.run(["dpkg-query", "-W", "-f=${source:Version}", "libjpeg-turbo-progs"],
                                       capture_output=True, text=True, timeout=30).stdout
            self.assertEqual(source, installed)

    def test_pictures_match_djpeg_pixel_for_pixel(self):
        variants = [("odd-420.jpg", 1001, 667, ["-sample", "2x2"]),
                    ("even-444.jpg", 640, 480, ["-sample", "1x1"]),
                    ("odd-422.jpg", 333, 251, ["-sample", "2x1"]),
                    ("gray.jpg", 333, 251, ["-grayscale"]),
                    ("progressive-420.jpg", 517, 389, ["-progressive", "-sample", "2x2"]),
                    ("progressive-444-restart.jpg", 250, 130,
                     ["-progressive", "-sample", "1x1", "-restart", "2"]),
                    ("tiny-420.jpg", 9, 7, ["-sample", "2x2"])]
        jobs = []
        for name, w, h, options in variants:
            picture = self.compress(name, w, h, options)
            # (wish, flags, scale): 1/1, 1/2, 1/4, 1/8, and fit against fill.
            wishes = [((0, 0), 0, 1), ((w, h), 0, 1)]
            wishes += [((w // n, h // n), 0, n) for n in (2, 4, 8) if w // n and h // n]
            if w >= 64 and h >= 64:
                wishes += [((w // 8, h // 2), 0, 8), ((w // 8, h // 2), OPT_FILL, 2)]
            for want, flags, n in wishes:
                for mode in ("buffer", "rows"):
                    jobs.append(dict(what=f"{name} wish {want} flags {flags} 1/{n} {mode}", mode=mode,
                                     flags=flags, want=want, picture=picture, n=n, size=(w, h),
                                     gray="-grayscale" in options))
        for job in self.decode_all(jobs):
            ref = self.reference(job["picture"], job["n"])
            self.assertEqual(job["src"], job["size"], job["what"])
            self.assertEqual(job["want_out"], (ref[0], ref[1]), job["what"])
            if job["mode"] == "buffer" or job["gray"]:
                # A gray picture never goes to the sink: it arrives in the buffer.
                self.assertEqual(job["buffer"], "host", job["what"])
                self.assertEqual(job["alloc"], ref[0] * ref[1] * 4, job["what"])
                self.assertEqual(job["pad"], 0, job["what"])
                self.assertEqual(job["header"], 0, job["what"])
            else:
                self.assertEqual(job["buffer"], "nil", job["what"])
                self.assertEqual(job["alloc"], 0, job["what"])
                self.assertEqual(job["header"], 1, job["what"])  # orientation 1, rows R, G, B
            self.assert_picture(job, ref)

    def test_exiftool_orientations_come_out_upright(self):
        w, h = 403, 237
        base = self.compress("base.jpg", w, h, ["-sample", "2x2"])
        # exiftool puts its EXIF APP1 right after the JFIF APP0, big-endian unless told
        # otherwise; without the JFIF segment the APP1 follows the start of image. The
        # module reads the tag in both places.
        layouts = [("be", [], True, b"MM"), ("le", ["-ExifByteOrder=II"], True, b"II"),
                   ("app1only", ["-JFIF:all="], False, b"MM")]
        jobs = []
        for layout, options, app0, order in layouts:
            for o in range(1, 9):
                picture = self.work / f"{layout}-{o}.jpg"
                subprocess.run(["exiftool", "-q", "-n", *options, f"-Orientation={o}", "-o", str(picture),
                                str(base)], check=True, timeout=60)
                data = picture.read_bytes()
                at = 20 if app0 else 2
                if app0:
                    self.assertEqual(data[2:6], b"\xff\xe0\x00\x10", picture.name)
                self.assertEqual(data[at:at + 2], b"\xff\xe1", picture.name)
                self.assertEqual(data[at + 10:at + 12], order, picture.name)
                # 403 x 237 against 200 x 40 is 1/4; turned pictures exchange the wish
                # (40 x 200) and get 1/8.
                for want, n in (((0, 0), 1), ((200, 40), 8 if o >= 5 else 4)):
                    for mode in ("buffer", "rows"):
                        jobs.append(dict(what=f"{picture.name} wish {want} {mode}", mode=mode, want=want,
                                         picture=picture, n=n, o=o))
                jobs.append(dict(what=f"{picture.name} orientation ignored", mode="buffer",
                                 flags=OPT_IGNORE_EXIF, want=(0, 0), picture=picture, n=1, o=1))
        for job in self.decode_all(jobs):
            ref = self.reference(base, job["n"])
            o = job["o"]
            turned = o >= 5
            self.assertEqual(job["src"], (h, w) if turned else (w, h), job["what"])
            if job["mode"] == "buffer":
                want = upright(o, *ref)
                self.assertEqual(job["want_out"], (want[0], want[1]), job["what"])
                self.assertEqual(job["pad"], 0, job["what"])
                self.assert_picture(job, want)
            else:
                self.assertEqual(job["header"], o, job["what"])
                self.assertEqual(job["buffer"], "nil", job["what"])
                self.assertEqual(job["want_out"], (ref[1], ref[0]) if turned else (ref[0], ref[1]),
                                 job["what"])
                self.assert_picture(job, ref)  # rows as stored
        # A look at the results: the eight orientations side by side.
        sheet = self.bench.out / "stdformats-orientations.png"
        outputs = [str(j["output"]) for j in jobs
                   if j["mode"] == "buffer" and j["want"] == (0, 0) and j["picture"].name.startswith("be-")
                   and j.get("flags", 0) == 0]
        if shutil.which("montage"):
            subprocess.run(["montage", *outputs, "-tile", "8x1", "-geometry", "+4+4", str(sheet)],
                           check=False, timeout=120)

    def test_cmyk_pictures_show_the_light_the_inks_leave(self):
        w, h = 96, 64
        raw = self.work / "ink.cmyk"
        # Solid cyan, magenta, yellow and black blocks on top, shaded inks below.
        pixels = bytearray()
        for y in range(h):
            for x in range(w):
                if y < 16:
                    pixels += bytes([(255, 0, 0, 0), (0, 255, 0, 0), (0, 0, 255, 0), (0, 0, 0, 255),
                                     (0, 0, 0, 0), (100, 50, 200, 40)][x // 16])
                else:
                    pixels += bytes([x * 255 // (w - 1), (y - 16) * 255 // (h - 17), (x * 7 + y * 13) % 256,
                                     (x // 8 + y // 8) % 3 * 60])
        raw.write_bytes(pixels)
        pil, magick, plain = (self.work / n for n in ("pillow-cmyk.jpg", "magick-ycck.jpg", "plain-cmyk.jpg"))
        pillow("save", raw, w, h, pil, 92)
        subprocess.run(["convert", "-size", f"{w}x{h}", "-depth", "8", f"cmyk:{raw}", "-quality", "90", str(magick)],
                       check=True, timeout=60)
        subprocess.run(["exiftool", "-q", "-Adobe:all=", "-o", str(plain), str(pil)], check=True, timeout=60)
        # (file, Adobe colour transform: 0 CMYK, 2 YCCK, None without the segment)
        pictures = [(pil, 0), (magick, 2), (plain, None)]
        jobs = []
        for picture, transform in pictures:
            data = picture.read_bytes()
            at = data.find(b"\xff\xee\x00\x0eAdobe")
            self.assertEqual(data[at + 15] if at >= 0 else None, transform, picture.name)
            for want, n in (((0, 0), 1), ((w // 2, h // 2), 2)):
                for mode in ("buffer", "rows"):
                    jobs.append(dict(what=f"{picture.name} 1/{n} {mode}", mode=mode, want=want, picture=picture,
                                     n=n, adobe=transform is not None))
        for job in self.decode_all(jobs):
            samples = job["picture"].with_name(f"{job['picture'].name}.{job['n']}.samples")
            pillow("samples", job["picture"], samples, job["n"])
            head, cmyk = samples.read_bytes().split(b"\n", 1)
            rw, rh = map(int, head.split())
            self.assertEqual(job["src"], (w, h), job["what"])
            self.assertEqual(job["want_out"], (rw, rh), job["what"])
            self.assertEqual(job["buffer"], "host" if job["mode"] == "buffer" else "nil", job["what"])
            self.assert_picture(job, (rw, rh, ink_light(cmyk, job["adobe"])))
            if job["adobe"]:  # the solid cyan block shows as cyan
                _, _, got = job["got"]
                centre = (8 // job["n"] * rw + 8 // job["n"]) * 3
                self.assertLessEqual(sum(abs(a - b) for a, b in zip(got[centre:centre + 3], (0, 255, 255))), 3,
                                     job["what"])


if __name__ == "__main__":
    unittest.main()
