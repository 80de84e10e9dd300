"""divingfx.dll and stamp.dll under Wine: the DLL checks of the Windows test program
(descriptor as the host copies it, every effect to the complete next picture on wide,
tall, square and tiny areas, stop flag, two stamp shapes in a row on one instance), and
halfway frames of all 17 effects on a wide and a tall area, checked pixel by pixel for a
mix of the old and the next picture and put together into one contact sheet
(out/divingfx_stamp/halfway.png) for the eye.
"""
import shutil
import subprocess
import unittest

from pictures import count_matching, font_args, read_bmp24
from winebench import Bench

MODULES = {"divingfx": 8, "stamp": 9}
AREAS = {"wide": (320, 200), "tall": (200, 320)}


def old_pixel(x, y):
    return (0x20, 0x40, 0xC0) if ((x // 20 + y // 20) & 1) else (0x30, 0x60, 0xE0)


def next_pixel(x, y, width):
    return (0xC0, x * 255 // width, y & 0x3F)


class DivingStampDll(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.frames = cls.bench.out / "divingfx_stamp"
        shutil.rmtree(cls.frames, ignore_errors=True)
        cls.frames.mkdir(parents=True)

    def test_dll_checks_pass(self):
        code, out = self.bench.run(
            "kelv_wintests.exe", ["--gtest_filter=*DivingStampDll*:StampDllInstances*"], timeout=300)
        self.assertEqual(code, 0, out[-3000:])
        self.assertIn("[  PASSED  ]", out)
        self.assertNotIn("FAILED", out)

    def test_halfway_frames_mix_both_pictures_on_every_aspect(self):
        code, out = self.bench.run(
            "kelv_wintests.exe", ["--gtest_filter=DivingStampFrames.WritesHalfwayFramesWhenAsked"],
            timeout=300, env_extra={"KELV_FX_FRAMES": self.bench.windows_path(self.frames)})
        self.assertEqual(code, 0, out[-3000:])
        names = []
        for module, count in MODULES.items():
            for tag, (w, h) in AREAS.items():
                for e in range(count):
                    path = self.frames / f"{module}_{tag}_e{e}.bmp"
                    self.assertTrue(path.exists(), path)
                    names.append(path)
                    width, height, rows = read_bmp24(path)
                    self.assertEqual((width, height), (w, h))
                    old = count_matching(rows, old_pixel)
                    new = count_matching(rows, lambda x, y: next_pixel(x, y, w))
                    with self.subTest(effect=f"{module} {tag} {e}"):
                        self.assertEqual(w * h - old - new, 0)
                        self.assertGreater(old, w * h // 50)
                        self.assertGreater(new, w * h // 10)
        sheet = self.frames / "halfway.png"
        subprocess.run(["montage", *font_args(), "-label", "%t", *map(str, names), "-tile", "8x",
                        "-geometry", "+4+4", str(sheet)], check=False, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


if __name__ == "__main__":
    unittest.main()
