"""The screen-saver password and the wallpaper on exit, on the real `kelvsaver.scr` under
Wine.

The password libraries are stand-ins the tests build (tests/fakesystem): PASSWORD.CPL
answers as KELV_FAKE_PASSWORD says, MPR.DLL logs the change request; both log each call to
the file named by KELV_FAKE_PASSWORD_LOG. They are put beside the program for a test only.
Wine prefers its own mpr.dll, so the change test loads the stand-in with a DLL override.
"""
import shutil
import struct
import time
import unittest
from pathlib import Path

import test_crash_report
from pictures import read_ppm
from test_settings_dialog import LINE
from test_settings_trees import write_bmp
from winebench import PRODUCT_KEY, PRODUCT_KEY_LM, Bench, reg_text

SCR = "kelvsaver.scr"
SAVER_TITLE = "^Tarnwick Kelvora$"
DESKTOP_KEY = r"HKEY_CURRENT_USER\Control Panel\Desktop"
WINE_X11_KEY = r"HKEY_CURRENT_USER\Software\Wine\X11 Driver"


def read_bmp(path: Path):
    """(header fields, width, height, rows top-down as lists of RGB) of a 24-bit BMP."""
    data = path.read_bytes()
    fields = struct.unpack_from("<2sIIIIiiHH6I", data, 0)
    width, height = fields[5], fields[6]
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        start = fields[3] + (height - 1 - y) * stride
        row = data[start:start + width * 3]
        rows.append([(row[3 * x + 2], row[3 * x + 1], row[3 * x]) for x in range(width)])
    return fields, data, rows


class PasswordAndWallpaper(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.bench.reg_add(WINE_X11_KEY, "Managed", "N")
        cls.fakes = cls.bench.build / "tests" / "fakesystem"
        cls.log = cls.bench.out / "fake-password.log"
        cls.pictures = cls.bench.out / "wallpaper-pictures"
        cls.pictures.mkdir(exist_ok=True)
        for n, colour in enumerate([(200, 30, 30), (30, 30, 200), (30, 180, 30)], 1):
            write_bmp(cls.pictures / f"w{n}.bmp", 640, 480, colour)
        cls.appdata = test_crash_report.report_folder(cls.bench)
        cls.wallpaper = cls.appdata / "Kelvora.bmp"

    @classmethod
    def tearDownClass(cls):
        cls.bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)
        cls.bench.reg_delete_key(PRODUCT_KEY)  # the picture folder of these tests

    def setUp(self):
        self.bench.reg_delete_key(PRODUCT_KEY)
        self.bench.reg_delete_key(PRODUCT_KEY_LM)
        self.bench.reg_import(
            f"[{PRODUCT_KEY}]\n\"Path\"={reg_text(self.bench.windows_path(self.bench.dist))}\n"
            "\"Screens\"=\"1\"\n\"Enlarge\"=\"1\"\n"
            f"[{PRODUCT_KEY}\\Folders]\n\"1\"={reg_text(self.bench.windows_path(self.pictures))}\n")
        for cache in self.appdata.glob("piclist.dat"):
            cache.unlink()
        if self.log.exists():
            self.log.unlink()
        self.proc = None

    def tearDown(self):
        if self.proc is not None and self.proc.poll() is None:
            self.bench.finish(self.proc, 0.1)
        self.bench.run("reg", ["delete", DESKTOP_KEY, "/v", "ScreenSaveUsePassword", "/f"], timeout=60)
        # The plain desktop again: later runs capture it as their first screen.
        self.bench.run("set_wallpaper.exe", [], timeout=60)
        for name in ("WallpaperStyle", "TileWallpaper"):
            self.bench.run("reg", ["delete", DESKTOP_KEY, "/v", name, "/f"], timeout=60)

    def settings(self, **values):
        self.bench.reg_import(f"[{PRODUCT_KEY}]\n" + "".join(f"\"{k}\"=\"{v}\"\n" for k, v in values.items()))

    def beside_program(self, name):
        """A stand-in library in the program's folder for this test."""
        target = self.bench.dist / name
        shutil.copyfile(self.fakes / name, target)
        self.addCleanup(lambda: target.unlink(missing_ok=True))

    def start(self, args=("/s",), env=None):
        env = dict(env or {}, KELV_FAKE_PASSWORD_LOG=self.bench.windows_path(self.log))
        self.proc = self.bench.start(SCR, list(args), log_name="password-wallpaper.log", env_extra=env)
        window = self.bench.wait_window(SAVER_TITLE, 30)
        self.assertIsNotNone(window, "no saver window")
        time.sleep(2)
        return window

    def log_lines(self):
        return self.log.read_text().splitlines() if self.log.exists() else []

    def mouse_moves(self, count):
        for _ in range(count):
            self.position = getattr(self, "position", 0) + 1  # a new place each time
            self.bench.xdotool("mousemove", 100 + 37 * (self.position % 20), 200 + 23 * (self.position % 17))
            time.sleep(0.3)

    # ---- password ------------------------------------------------------------------
    def test_password_refused_accepted_missing_and_from_the_dialog(self):
        self.settings(Delay="60000", Convert="1000")
        self.bench.reg_add(DESKTOP_KEY, "ScreenSaveUsePassword", "1")  # a string counts as on
        self.beside_program("PASSWORD.CPL")

        self.start(env={"KELV_FAKE_PASSWORD": "refuse"})
        for i in range(8):  # mouse moves until the countdown asks
            self.mouse_moves(1)
            time.sleep(0.3)
            if self.log_lines():
                break
        time.sleep(1)
        self.assertEqual(self.log_lines(), ["verify owner=KSFW_Kelvora cursor=1 answer=refuse"])
        self.assertIsNone(self.proc.poll(), "a refused password ended the saver")
        self.mouse_moves(4)  # the countdown starts again at 5: four moves do not ask
        time.sleep(1)
        self.assertEqual(len(self.log_lines()), 1)
        self.mouse_moves(1)
        time.sleep(1)
        self.assertEqual(len(self.log_lines()), 2)
        self.bench.finish(self.proc, 0.1)

        self.log.unlink()
        self.start(env={"KELV_FAKE_PASSWORD": "accept"})
        self.bench.xdotool("key", "Return")
        code, _ = self.bench.finish(self.proc, 20)
        self.assertEqual(code, 0)
        self.assertEqual(self.log_lines(), ["verify owner=KSFW_Kelvora cursor=1 answer=accept"])

        # Without the library nothing asks: the first input ends the saver.
        (self.bench.dist / "PASSWORD.CPL").unlink()
        self.log.unlink()
        self.start()
        self.bench.xdotool("key", "Return")
        code, _ = self.bench.finish(self.proc, 20)
        self.assertEqual(code, 0)
        self.assertEqual(self.log_lines(), [])

    def test_the_password_dialog_stays_visible_while_the_show_runs(self):
        # Transitions one after the other, drawn through DirectDraw.
        self.settings(Delay="0", Convert="1500", DDraw="1")
        self.bench.reg_add(DESKTOP_KEY, "ScreenSaveUsePassword", "1")
        self.beside_program("PASSWORD.CPL")
        self.start(env={"KELV_FAKE_PASSWORD": "dialog"})
        self.bench.xdotool("key", "Return")
        box = self.bench.wait_message_box("^Password$", timeout=20)
        self.assertIsNotNone(box, "no password dialog")
        time.sleep(4)  # several changes' time
        _, colours = self.bench.wait_painted(box[1], "password-dialog-over-show.png", colours=3)
        self.assertGreaterEqual(colours, 3, "the password dialog was drawn over")
        self.assertTrue(self.bench.press_key_in(box[0], "Return", title="^Password$"))
        code, _ = self.bench.finish(self.proc, 20)
        self.assertEqual(code, 0)

    def test_preview_button_never_asks(self):
        self.settings(Delay="60000", Convert="1000")
        self.bench.reg_add(DESKTOP_KEY, "ScreenSaveUsePassword", "1")
        self.beside_program("PASSWORD.CPL")
        trace = self.bench.out / "password-dialog-trace.txt"
        trace.unlink(missing_ok=True)
        env = {"KELV_FAKE_PASSWORD": "refuse", "KELV_FAKE_PASSWORD_LOG": self.bench.windows_path(self.log),
               "KELVORA_TEST_TRACE": self.bench.windows_path(trace)}
        self.proc = self.bench.start(SCR, ["/c"], log_name="password-dialog.log", env_extra=env)
        dialog = self.bench.wait_message_box("^Kelvora$", timeout=30)
        self.assertIsNotNone(dialog)
        window, geometry = dialog
        # The Preview button's place on the screen, from the dialog's trace of its controls.
        end = time.monotonic() + 20
        while not (trace.exists() and "controls dialog=KSSW_Kelvora end" in trace.read_text()):
            self.assertLess(time.monotonic(), end, "the dialog traced no controls")
            time.sleep(0.2)
        button = next(LINE.match(l) for l in trace.read_text().splitlines()
                      if LINE.match(l) and LINE.match(l)[2] == "26")
        left, top, right, bottom = map(int, button.groups()[3:7])
        self.bench.xdotool_ok("windowfocus", "--sync", window)
        time.sleep(1)
        self.bench.xdotool("mousemove", (left + right) // 2, (top + bottom) // 2)
        self.bench.xdotool("click", "1")
        saver = self.bench.wait_message_box(SAVER_TITLE, timeout=30)
        self.bench.screenshot("password-dialog-preview.png")
        self.assertIsNotNone(saver, "no full-screen preview")
        time.sleep(2)
        self.assertTrue(self.bench.press_key_in(saver[0], "Escape", title=SAVER_TITLE, timeout=20))
        self.assertIsNone(self.proc.poll(), "the dialog ended with its preview")
        self.assertEqual(self.log_lines(), [])
        self.bench.press_key_in(window, "alt+F4")
        code, _ = self.bench.finish(self.proc, 20)
        self.assertEqual(code, 0)

    def test_password_change_and_a_bad_owner(self):
        self.beside_program("MPR.DLL")
        code, _ = self.bench.run(SCR, ["/a", "1234"], timeout=30,
                                 env_extra={"WINEDLLOVERRIDES": "mscoree,mshtml=;mpr=n",
                                            "KELV_FAKE_PASSWORD_LOG": self.bench.windows_path(self.log)})
        self.assertEqual(code, 0)
        self.assertEqual(self.log_lines(), ["change provider=SCRSAVE owner=1234 reserved=0,0000000000000000"])

        for f in self.appdata.glob("BugReport*.html"):
            f.unlink()
        self.addCleanup(test_crash_report.end_browsers, self.bench)
        code, _ = self.bench.run(SCR, ["/a:abc"], timeout=60)
        self.assertEqual(code, 217)
        report = (self.appdata / "BugReport.html").read_text(errors="replace")
        self.assertIn("Exception: &#39;abc&#39; is not a valid integer value", report)
        self.assertIn("Exception class: EConvertError", report)

    # ---- wallpaper -------------------------------------------------------------------
    def test_wallpaper_is_the_screen_shown(self):
        self.settings(Wallpaper="1", Delay="60000", Convert="1000")
        self.wallpaper.unlink(missing_ok=True)
        self.start()
        time.sleep(2)  # the first picture is up after its one-second change
        self.bench.xdotool("key", "Right")  # a step: the next picture at once, then the delay
        time.sleep(2)
        shot = read_ppm(self.bench.screenshot("wallpaper-screen.ppm"))
        self.bench.xdotool("key", "Escape")
        code, _ = self.bench.finish(self.proc, 20)
        self.assertEqual(code, 0)

        fields, data, rows = read_bmp(self.wallpaper)
        width, height = shot.width, shot.height
        self.assertEqual(fields[:9], (b"BM", 54 + width * 3 * height, 0, 54, 40, width, height, 1, 24))
        self.assertEqual(fields[9:], (0, 0, 0, 0, 0, 0))
        self.assertEqual(len(data), 54 + width * 3 * height)  # 1024 pixels: rows need no padding
        differing = sum(1 for y in range(0, height, 4) for x in range(0, width, 4)
                        if rows[y][x] != shot.pixel(x, y))
        self.assertEqual(differing, 0, "the wallpaper is not the screen shown")
        desktop = self.bench.reg_export(DESKTOP_KEY)
        self.assertEqual(desktop["WallpaperStyle"], ("REG_SZ", "0"))
        self.assertEqual(desktop["TileWallpaper"], ("REG_SZ", "1"))
        # The system's own setting names the file.
        self.assertTrue(desktop["Wallpaper"][1].lower().endswith(r"\kelvora\kelvora.bmp"), desktop["Wallpaper"])

    def test_wallpaper_during_a_change_is_a_capture_and_an_unwritable_file_stays(self):
        self.settings(Wallpaper="1", Delay="0", Convert="600000")
        self.wallpaper.unlink(missing_ok=True)
        self.start()
        time.sleep(2)
        shot = read_ppm(self.bench.screenshot("wallpaper-change.ppm"))
        self.bench.xdotool("key", "Escape")
        code, _ = self.bench.finish(self.proc, 20)
        self.assertEqual(code, 0)
        _, _, rows = read_bmp(self.wallpaper)
        samples = [(x, y) for y in range(0, shot.height, 8) for x in range(0, shot.width, 8)]
        same = sum(1 for x, y in samples if rows[y][x] == shot.pixel(x, y))
        self.assertGreater(same / len(samples), 0.95, "the wallpaper is not the screen during the change")

        # A wallpaper file that cannot be written: the run still ends normally.
        self.wallpaper.unlink()
        self.wallpaper.mkdir()
        self.addCleanup(self.wallpaper.rmdir)
        self.start()
        self.bench.xdotool("key", "Escape")
        code, _ = self.bench.finish(self.proc, 20)
        self.assertEqual(code, 0)
        self.assertTrue(self.wallpaper.is_dir())


if __name__ == "__main__":
    unittest.main()
