"""sysformats.dll through its binary interface under Wine (Wine's own gdiplus): GIF, TIFF,
PNG and BMP pictures made with ImageMagick decode to exactly their pixels, in buffer mode
and row by row; size-only and filtered requests; damaged files fail with zero sizes and no
buffer; a decode after the release notice fails cleanly.

plugin_probe.exe (tests/fakeplugins) loads the library, sends the options and decodes one
file; its report holds "w h srcW srcH header=.. buffer=.." and then the pixels.
"""
import shutil
import subprocess
import unittest

from winebench import Bench

W, H = 13, 7  # odd sizes: rows are not multiples of anything convenient


def pattern():
    """RGB bytes of the test picture: few enough colours for GIF's palette."""
    out = bytearray()
    for y in range(H):
        for x in range(W):
            out += bytes(((x * 19) % 256, (y * 37) % 256, ((x + y) * 11) % 256))
    return bytes(out)


class SysFormats(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.probe = str(cls.bench.build / "tests" / "fakeplugins" / "plugin_probe.exe")
        cls.dll = cls.bench.windows_path(cls.bench.dist / "sysformats.dll")
        cls.work = cls.bench.out / "sysformats"
        shutil.rmtree(cls.work, ignore_errors=True)
        cls.work.mkdir(parents=True)
        cls.rgb = pattern()
        source = cls.work / "source.ppm"
        source.write_bytes(b"P6\n%d %d\n255\n" % (W, H) + cls.rgb)
        cls.pictures = {}
        for name, prefix in (("pic.png", "PNG24:"), ("pic.gif", "GIF:"), ("pic.tif", "TIFF:"),
                             ("pic.tiff", "TIFF:"), ("pic.bmp", "BMP3:")):
            target = cls.work / name
            subprocess.run(["convert", str(source), "-type", "TrueColor", f"{prefix}{target}"]
                           if prefix != "GIF:" else ["convert", str(source), f"{prefix}{target}"],
                           check=True, timeout=60)
            cls.pictures[name] = target

    def decode(self, picture, mode="buffer"):
        report = self.work / f"{picture.name}-{mode.replace(':', '_')}.out"
        if report.exists():
            report.unlink()
        code, output = self.bench.run(self.probe, ["decode", self.dll, mode,
                                                   self.bench.windows_path(picture),
                                                   self.bench.windows_path(report)], timeout=60)
        self.assertEqual(code, 0, output)
        data = report.read_bytes()
        first, _, rest = data.partition(b"\n")
        self.assertEqual(first, b"options 1 00000000")  # accepted, acknowledged
        if rest.startswith(b"release "):
            released, _, rest = rest.partition(b"\n")
            self.assertEqual(released, b"release 1")
        second, _, pixels = rest.partition(b"\n")
        fields = second.decode().split()
        sizes = [int(v) for v in fields[:4]]
        info = dict(f.split("=") for f in fields[4:])
        return sizes, info, pixels

    def expect_bgr(self, pixels, step):
        got = bytes(b for i in range(0, len(pixels), step) for b in pixels[i:i + 3])
        want = bytes(b for i in range(0, len(self.rgb), 3) for b in (self.rgb[i + 2], self.rgb[i + 1], self.rgb[i]))
        self.assertEqual(len(got), len(want))
        if got != want:
            bad = next(i for i in range(len(got)) if got[i] != want[i]) // 3
            self.fail(f"pixel {bad % W},{bad // W}: got {got[bad*3:bad*3+3].hex()} want {want[bad*3:bad*3+3].hex()}")

    def test_every_format_decodes_exactly_into_the_host_buffer(self):
        for name, picture in self.pictures.items():
            with self.subTest(name):
                sizes, info, pixels = self.decode(picture)
                self.assertEqual(sizes, [W, H, W, H])
                self.assertEqual(info["buffer"], "host")
                self.assertEqual(len(pixels), W * H * 4)
                self.expect_bgr(pixels, 4)

    def test_rows_arrive_top_down_as_bgr_triplets(self):
        for name in ("pic.png", "pic.gif", "pic.tif", "pic.bmp"):
            with self.subTest(name):
                sizes, info, rows = self.decode(self.pictures[name], "rows")
                self.assertEqual(sizes, [W, H, W, H])
                self.assertEqual(info["header"], "101")
                self.assertEqual(len(rows), W * H * 3)
                self.expect_bgr(rows, 3)

    def test_sizes_only_and_size_filter(self):
        sizes, info, pixels = self.decode(self.pictures["pic.png"], "sizes")
        self.assertEqual(sizes, [W, H, W, H])
        self.assertEqual(pixels, b"")
        # Fits into 14 x 8 in its own orientation, and into 8 x 14 turned.
        for box in ("filter:14x8", "filter:8x14"):
            sizes, info, pixels = self.decode(self.pictures["pic.gif"], box)
            self.assertEqual(sizes, [W, H, -W, -H], box)
            self.assertEqual(info["buffer"], "nil")
        sizes, info, pixels = self.decode(self.pictures["pic.gif"], "filter:13x7")
        self.assertEqual(sizes, [W, H, W, H])
        self.expect_bgr(pixels, 4)

    def test_damaged_files_give_zero_sizes_and_no_buffer(self):
        png = self.pictures["pic.png"].read_bytes()
        tif = self.pictures["pic.tif"].read_bytes()
        damaged = {
            "garbage.png": bytes((i * 7919) % 251 for i in range(3000)),
            "empty.gif": b"",
            "header-only.png": png[:40],
            "text.bmp": b"BM this is not a bitmap at all",
            "cut.tif": tif[:30],
            "missing.png": None,
        }
        for name, content in damaged.items():
            with self.subTest(name):
                path = self.work / name
                if content is not None:
                    path.write_bytes(content)
                sizes, info, pixels = self.decode(path)
                self.assertEqual(sizes, [0, 0, 0, 0])
                self.assertEqual(info["buffer"], "nil")

    def test_decode_after_release_fails_cleanly(self):
        sizes, info, pixels = self.decode(self.pictures["pic.png"], "released")
        self.assertEqual(sizes, [0, 0, 0, 0])
        self.assertEqual(info["buffer"], "nil")


if __name__ == "__main__":
    unittest.main()
