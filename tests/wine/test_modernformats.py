"""The modern formats DLL (WebP, HEIC/HEIF, AVIF) under Wine, against Debian's own tools.

- pictures made during the run by cwebp, img2webp, heif-enc and avifenc decode through the
  real DLL, in buffer mode and row by row, to the pixels of the reference decoders (dwebp,
  heif-convert, avifdec): exactly for WebP and 8-bit HEIC (the DLL's libwebp, libheif and
  libde265 are cross-built from the source packages of those tools) and for lossless AVIF
  (the source picture itself); within one level for lossy 8-bit AVIF, whose reference
  converts to RGB with its own code, and for 10- and 12-bit pictures, where the references'
  8-bit reduction rounds its own way. WebP is pre-scaled like JPEG (dwebp -resize gives the
  same pixels); an animation shows its first frame; an AVIF grid comes out assembled; a
  ".heic" file holding AVIF data decodes too (the content decides, not the extension);
- a HEIF picture given rotation and mirroring properties (heif_boxes.py: heif-enc writes
  none) comes out upright: the plain picture turned and mirrored as the properties say;
- damaged and truncated files of every format fail cleanly with zero sizes or decode
  consistently, and the program driving the DLL never crashes.

stdformats_decode.exe (tests/winprogs) runs a list of decode jobs through any input module
and writes each delivered picture as a PPM beside one report line.
"""
import random
import re
import shutil
import subprocess
import unittest
from pathlib import Path

from heif_boxes import add_transforms
from test_stdformats import first_difference, photo_ppm, read_pnm
from winebench import Bench

TOOLS = (("cwebp", "webp"), ("dwebp", "webp"), ("img2webp", "webp"),
         ("heif-enc", "libheif-examples"), ("heif-convert", "libheif-examples"),
         ("avifenc", "libavif-bin"), ("avifdec", "libavif-bin"), ("convert", "imagemagick"))
EXTENSIONS = (".webp", ".heic", ".heif", ".avif")  # the DLL's format list, in order
OPT_FILL = 0x4
W, H = 301, 203  # odd sides: chroma subsampling and padding at the edges


def missing_tools() -> str:
    missing = [f"{tool} (Debian package {package})" for tool, package in TOOLS if not shutil.which(tool)]
    if not missing:
        return ""
    return "missing test tools: " + ", ".join(missing) + "; scripts/install-deps.sh installs them"


def transformed(w: int, h: int, rgb: bytes, transforms):
    """The picture with HEIF transforms applied in order: irot n turns it n quarters
    anticlockwise; imir 0 exchanges top and bottom, imir 1 left and right."""
    for kind, value in transforms:
        rows = [rgb[y * w * 3:(y + 1) * w * 3] for y in range(h)]
        pixels = [[row[x * 3:x * 3 + 3] for x in range(w)] for row in rows]
        if kind == "imir":
            pixels = pixels[::-1] if value == 0 else [r[::-1] for r in pixels]
        else:
            for _ in range(value):  # one quarter anticlockwise: the last column becomes the top row
                pixels = [[pixels[y][x] for y in range(len(pixels))] for x in range(len(pixels[0]) - 1, -1, -1)]
        h, w = len(pixels), len(pixels[0])
        rgb = b"".join(b"".join(r) for r in pixels)
    return w, h, rgb


class ModernFormatsAgainstReferenceDecoders(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.work = cls.bench.out / "modernformats"
        shutil.rmtree(cls.work, ignore_errors=True)
        cls.work.mkdir(parents=True)
        cls.missing = missing_tools()
        if cls.missing:
            return
        cls.source = cls.work / "source.ppm"
        cls.source.write_bytes(photo_ppm(W, H))
        cls.png = cls.png_of(cls.source, "source.png")
        # 16-bit samples make the encoders write 10- and 12-bit pictures.
        cls.deep = cls.work / "deep.png"
        subprocess.run(["convert", str(cls.source), "-depth", "16", "-evaluate", "add", "97",
                        str(cls.deep)], check=True, timeout=60)

    def setUp(self):
        if self.missing:
            self.fail(self.missing)

    # ---- helpers -----------------------------------------------------------------
    @classmethod
    def png_of(cls, ppm: Path, name: str) -> Path:
        target = cls.work / name
        subprocess.run(["convert", str(ppm), "-depth", "8", str(target)], check=True, timeout=60)
        return target

    def tool(self, *args):
        r = subprocess.run([str(a) for a in args], capture_output=True, text=True, timeout=300)
        self.assertEqual(r.returncode, 0, f"{args}: {r.stdout}{r.stderr}")

    def as_ppm(self, picture: Path):
        """Any picture the reference tools wrote, as 8-bit RGB (16-bit samples rounded
        to 8 bits by ImageMagick)."""
        ppm = picture.with_suffix(picture.suffix + ".ppm")
        self.tool("convert", picture, "-depth", "8", f"PPM:{ppm}")
        return read_pnm(ppm.read_bytes())

    def decode_all(self, jobs: list[dict]) -> list[dict]:
        """Runs the jobs through the DLL (the decoder of the picture's extension); adds
        each job's report fields and picture."""
        lines = []
        for i, job in enumerate(jobs):
            job["output"] = self.work / f"job{i}.ppm"
            job["output"].unlink(missing_ok=True)
            index = EXTENSIONS.index(job["picture"].suffix)
            lines.append(f"{job.get('mode', 'buffer')} {job.get('flags', 0):x} {job.get('want', (0, 0))[0]} "
                         f"{job.get('want', (0, 0))[1]} {index} {self.bench.windows_path(job['picture'])} "
                         f"{self.bench.windows_path(job['output'])}")
        (self.work / "jobs.txt").write_text("\n".join(lines) + "\n")
        report = self.work / "report.txt"
        report.unlink(missing_ok=True)
        code, output = self.bench.run(
            "stdformats_decode.exe",
            [self.bench.windows_path(self.bench.dist / "modernformats.dll"),
             self.bench.windows_path(self.work / "jobs.txt"), self.bench.windows_path(report)],
            timeout=600)
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

    def assert_delivery(self, job: dict, size):
        """Buffer mode fills exactly one host buffer; row mode takes the rows upright and
        red, green, blue (orientation 1) and allocates nothing."""
        self.assertEqual(job["want_out"], size, job["what"])
        if job.get("mode", "buffer") == "buffer":
            self.assertEqual((job["buffer"], job["alloc"], job["pad"], job["header"]),
                             ("host", size[0] * size[1] * 4, 0, 0), job["what"])
        else:
            self.assertEqual((job["buffer"], job["alloc"], job["header"]), ("nil", 0, 1), job["what"])

    def assert_picture(self, job: dict, want, tolerance: int = 0):
        self.assertIsNotNone(job["got"], f"{job['what']}: no picture")
        gw, gh, got = job["got"]
        ww, wh, expected = want
        self.assertEqual((gw, gh), (ww, wh), job["what"])
        worst = max(abs(a - b) for a, b in zip(got, expected))
        if worst > tolerance:
            self.fail(f"{job['what']}: off by {worst} (allowed {tolerance}); "
                      f"{first_difference(ww, got, expected)}")

    # ---- tests -------------------------------------------------------------------
    def test_pictures_match_the_reference_decoders(self):
        w = self.work
        frame2 = w / "frame2.png"
        self.tool("convert", self.source, "-negate", "-depth", "8", frame2)
        grid_png = w / "grid.png"
        self.tool("convert", self.source, "-resize", "320x200!", "-depth", "8", grid_png)
        # (file, how it is made, reference picture or the reference tool's command, tolerance)
        made = [
            ("lossless.webp", ["cwebp", "-quiet", "-lossless", self.png, "-o"], self.source, 0),
            ("lossy.webp", ["cwebp", "-quiet", "-q", "80", self.png, "-o"], ["dwebp", "-ppm"], 0),
            ("animated.webp", ["img2webp", "-lossless", self.png, "-lossy", frame2, "-o"], self.source, 0),
            ("lossy.heic", ["heif-enc", "-q", "80", self.png, "-o"], ["heif-convert"], 0),
            ("lossless.heif", ["heif-enc", "-L", "-p", "chroma=444", "--matrix_coefficients=0", self.png, "-o"],
             ["heif-convert"], 0),
            ("deep10.heic", ["heif-enc", "-b", "10", "-q", "80", self.deep, "-o"], ["heif-convert"], 1),
            ("lossy.avif", ["avifenc", "-s", "8", self.png], ["avifdec"], 1),
            ("lossless.avif", ["avifenc", "-s", "8", "-l", self.png], self.source, 0),
            ("deep10.avif", ["avifenc", "-s", "8", "-d", "10", self.deep], ["avifdec", "-d", "8"], 1),
            ("deep12.avif", ["avifenc", "-s", "8", "-d", "12", self.deep], ["avifdec", "-d", "8"], 1),
            ("grid.avif", ["avifenc", "-s", "8", "-l", "--grid", "2x2", grid_png], grid_png, 0),
        ]
        jobs = []
        for name, make, reference, tolerance in made:
            picture = w / name
            self.tool(*make, picture)
            if isinstance(reference, list):
                out = w / (name + ".ref.ppm" if reference[0] == "dwebp" else name + ".ref.png")
                self.tool(*reference, picture, *(["-o"] if reference[0] == "dwebp" else []), out)
                reference = out
            ref = self.as_ppm(reference) if reference.suffix == ".png" else read_pnm(reference.read_bytes())
            size = (ref[0], ref[1])
            for mode in ("buffer", "rows"):
                jobs.append(dict(what=f"{name} {mode}", mode=mode, picture=picture, ref=ref, size=size,
                                 tolerance=tolerance))
            # A full-size wish changes nothing; a small one neither, but for still WebP,
            # which is pre-scaled (below).
            wishes = [size] if name.endswith(".webp") and "animated" not in name else [size, (40, 30)]
            for want in wishes:
                jobs.append(dict(what=f"{name} wish {want}", want=want, picture=picture, ref=ref, size=size,
                                 tolerance=tolerance))
        # AVIF data in a file named .heic: the file's content chooses the decoder.
        disguised = w / "avif-inside.heic"
        shutil.copyfile(w / "lossless.avif", disguised)
        jobs.append(dict(what="AVIF named .heic", picture=disguised, ref=read_pnm(self.source.read_bytes()),
                         size=(W, H), tolerance=0))
        # WebP pre-scaling as the JPEG decoder scales: per side the largest of 8, 4, 2, 1
        # not above side div wish, the larger of the two (fit) or the smaller (fill).
        for want, flags, n in (((150, 101), 0, 2), ((75, 50), 0, 4), ((75, 25), 0, 8), ((75, 25), OPT_FILL, 4)):
            sw, sh = -(-W // n), -(-H // n)
            out = w / f"lossy.webp.{n}.ppm"
            self.tool("dwebp", "-quiet", w / "lossy.webp", "-resize", sw, sh, "-ppm", "-o", out)
            for mode in ("buffer", "rows"):
                jobs.append(dict(what=f"lossy.webp wish {want} flags {flags} 1/{n} {mode}", mode=mode,
                                 want=want, flags=flags, picture=w / "lossy.webp", size=(sw, sh),
                                 ref=read_pnm(out.read_bytes()), tolerance=0))

        for job in self.decode_all(jobs):
            self.assertEqual(job["src"], (W, H) if job["picture"].stem != "grid" else (320, 200), job["what"])
            self.assert_delivery(job, job["size"])
            self.assert_picture(job, job["ref"], job["tolerance"])

    def test_rotated_and_mirrored_heif_come_out_upright(self):
        plain = self.work / "plain.heic"
        self.tool("heif-enc", "-q", "85", self.png, "-o", plain)
        variants = [[("irot", 1)], [("irot", 2)], [("irot", 3)], [("imir", 0)], [("imir", 1)],
                    [("irot", 1), ("imir", 0)], [("imir", 1), ("irot", 3)]]
        jobs = [dict(what="plain", picture=plain, transforms=[])]
        for k, transforms in enumerate(variants):
            picture = self.work / f"turned{k}.heic"
            picture.write_bytes(add_transforms(plain.read_bytes(), transforms))
            for mode in ("buffer", "rows"):
                jobs.append(dict(what=f"{transforms} {mode}", mode=mode, picture=picture, transforms=transforms))
        jobs = self.decode_all(jobs)
        upright = jobs[0]["got"]
        self.assertIsNotNone(upright, "the plain picture did not decode")
        self.assertEqual(upright[:2], (W, H))
        for job in jobs[1:]:
            want = transformed(*upright, job["transforms"])
            self.assertEqual(job["src"], (want[0], want[1]), job["what"])
            self.assert_delivery(job, (want[0], want[1]))
            self.assert_picture(job, want)
        # A look at the results: the plain picture and the turned ones side by side.
        outputs = [str(j["output"]) for j in jobs if j.get("mode", "buffer") == "buffer"]
        subprocess.run(["montage", *outputs, "-tile", f"{len(outputs)}x1", "-geometry", "+4+4",
                        str(self.bench.out / "modernformats-turned.png")], check=False, timeout=120)

    def test_damaged_and_truncated_files_fail_cleanly(self):
        w = self.work
        samples = {
            "d.webp": ["cwebp", "-quiet", "-q", "70", self.png, "-o"],
            "dl.webp": ["cwebp", "-quiet", "-lossless", self.png, "-o"],
            "da.webp": ["img2webp", "-lossy", self.png, self.png, "-o"],
            "d.heic": ["heif-enc", "-q", "60", self.png, "-o"],
            "d.avif": ["avifenc", "-s", "9", self.png],
            "dg.avif": ["avifenc", "-s", "9", "--grid", "1x2", self.png],
        }
        random.seed(20261208)
        jobs = []
        for name, make in samples.items():
            picture = w / name
            if name == "dg.avif":  # a grid needs even tile sizes
                even = w / "even.png"
                self.tool("convert", self.png, "-crop", "300x200+0+0", "+repage", even)
                make = make[:-1] + [even]
            self.tool(*make, picture)
            data = picture.read_bytes()
            cuts = sorted({0, 1, 8, 12, 16, 30, 64, 200, len(data) // 3, len(data) // 2, len(data) - 1})
            damaged = [(f"cut{n}", data[:n]) for n in cuts if n < len(data)]
            for k in range(14):
                d = bytearray(data)
                # Mostly in the first kilobyte, where the boxes and headers are.
                span = min(len(d), 1024) if k % 2 == 0 else len(d)
                for _ in range(1 + k % 4):
                    d[random.randrange(span)] = random.randrange(256)
                damaged.append((f"flip{k}", bytes(d)))
            for label, content in damaged:
                target = w / f"{label}-{name}"
                target.write_bytes(content)
                for mode in ("buffer", "rows"):
                    jobs.append(dict(what=f"{target.name} {mode}", mode=mode, picture=target, want=(97, 61)))
        # Not a picture at all, under every extension.
        for ext in EXTENSIONS:
            target = w / f"text{ext}"
            target.write_text("not a picture\n" * 20)
            jobs.append(dict(what=target.name, picture=target, expect_failure=True))
        failures = 0
        for job in self.decode_all(jobs):
            ww, wh = job["want_out"]
            if (ww, wh) == (0, 0):
                failures += 1
                self.assertEqual((job["src"], job["buffer"], job["alloc"]), ((0, 0), "nil", 0), job["what"])
                continue
            self.assertFalse(job.get("expect_failure"), job["what"])
            # Damage the decoders cannot see (in pixel data, say) still gives a whole picture.
            self.assertGreater(ww, 0, job["what"])
            self.assertGreater(wh, 0, job["what"])
            self.assert_delivery(job, (ww, wh))
        self.assertGreater(failures, len(jobs) // 3, "hardly any damaged file failed")


if __name__ == "__main__":
    unittest.main()
