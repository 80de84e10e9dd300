"""basicfx.dll under Wine: the DLL checks of the Windows test program (descriptor as the
host copies it, every effect to the end, stop flag, Setup's run-time errors reaching the
process as the documented exception), and halfway frames of all 29 effects written by the
same program, checked pixel by pixel for a mix of the old and the next picture and put
together into one contact sheet (out/basicfx/halfway.png) for the eye.
"""
import shutil
import subprocess
import unittest

from pictures import count_matching, font_args, read_bmp24
from winebench import Bench

W, H = 320, 200
GROUPS = [2, 4, 4, 3, 2, 2, 2, 2, 4, 4]
# Effects whose halfway frame is a blend (pixels of neither picture) rather than a mosaic
# of old and next pixels.
BLENDS = {(4, 0), (4, 1), (7, 0), (7, 1)}


def old_pixel(x, y):
    return (0x20, 0x40, 0xC0) if ((x // 20 + y // 20) & 1) else (0x30, 0x60, 0xE0)


def next_pixel(x, y):
    return (0xC0, x * 255 // W, 0)


class BasicFxDll(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.frames = cls.bench.out / "basicfx"
        shutil.rmtree(cls.frames, ignore_errors=True)
        cls.frames.mkdir(parents=True)

    def test_dll_checks_pass(self):
        code, out = self.bench.run("kelv_wintests.exe", ["--gtest_filter=BasicFxDll*"], timeout=300)
        self.assertEqual(code, 0, out[-3000:])
        self.assertIn("[  PASSED  ]", out)
        self.assertNotIn("FAILED", out)

    def test_halfway_frames_mix_both_pictures(self):
        code, out = self.bench.run(
            "kelv_wintests.exe", ["--gtest_filter=BasicFxDll.WritesHalfwayFramesWhenAsked"],
            timeout=300, env_extra={"KELV_FX_FRAMES": self.bench.windows_path(self.frames)})
        self.assertEqual(code, 0, out[-3000:])
        names = []
        for g, count in enumerate(GROUPS):
            for e in range(count):
                path = self.frames / f"g{g}e{e}.bmp"
                self.assertTrue(path.exists(), path)
                names.append(path)
                width, height, rows = read_bmp24(path)
                self.assertEqual((width, height), (W, H), path)
                old = count_matching(rows, old_pixel)
                new = count_matching(rows, next_pixel)
                mixed = W * H - old - new
                with self.subTest(effect=f"{g}/{e}"):
                    if (g, e) in BLENDS:
                        self.assertGreater(mixed, W * H // 2)
                    else:
                        self.assertEqual(mixed, 0)
                        self.assertGreater(old, W * H // 10)
                        self.assertGreater(new, W * H // 10)
        sheet = self.frames / "halfway.png"
        subprocess.run(["montage", *font_args(), "-label", "%t", *map(str, names), "-tile", "6x",
                        "-geometry", "+4+4", str(sheet)], check=False, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


if __name__ == "__main__":
    unittest.main()
