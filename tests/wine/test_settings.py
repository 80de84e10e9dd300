"""The settings store on the real registry: values imported with regedit are loaded by
settings_roundtrip.exe, which saves them back; the export shows what the save wrote."""
import struct
import subprocess
import unittest

from winebench import PRODUCT_KEY, PRODUCT_KEY_LM, Bench

PLUGINS_KEY = PRODUCT_KEY + r"\Plugins"
FOLDERS_KEY = PRODUCT_KEY + r"\Folders"


def screenshot_pixels(path):
    """(width, height, RGB bytes) of a PNG screenshot, through ImageMagick's PPM output."""
    data = subprocess.run(["convert", str(path), "ppm:-"], check=True, capture_output=True).stdout
    magic, width, height, _, pixels = data.split(maxsplit=4)
    assert magic == b"P6"
    return int(width), int(height), pixels


def logfont(height: int) -> bytes:
    """The default caption font record with the given height."""
    return struct.pack("<5i8B32s", height, 0, 0, 0, 400, 0, 0, 0, 1, 0, 0, 0, 0, b"Courier New")


class SettingsStoreTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()

    def setUp(self):
        self.clean()

    def tearDown(self):
        self.clean()

    def clean(self):
        self.bench.reg_delete_key(PRODUCT_KEY)
        self.bench.reg_delete_key(PRODUCT_KEY_LM)

    def run_roundtrip(self, *args, timeout=60):
        log = self.bench.out / "settings_roundtrip.txt"
        if log.exists():
            log.unlink()
        code, output = self.bench.run("settings_roundtrip.exe", [self.bench.windows_path(log), *args],
                                      timeout=timeout)
        self.assertEqual(code, 0, output)
        return self.read_log(log)

    @staticmethod
    def read_log(log):
        fields = {}
        for line in log.read_text(errors="replace").splitlines():
            name, _, value = line.partition("=")
            fields[name] = value
        return fields

    def test_load_and_save_round_trip(self):
        self.bench.reg_import(r'''
[HKEY_CURRENT_USER\Software\Tarnwick\Kelvora]
"Path"="C:\\KelvoraTest\\Install"
"Delay"="abc"
"Convert"="2000000000"
"Resize"="-5"
"Order"="18"
"filterres"="2"
"filterx"=" 320 "
"TextFileName"="5"
"RandomScreens"=hex:01,09,19
"Font"=hex:e2,ff,ff,ff
"FontColor"=hex:11,22,33,00
"pmon"="0"
"rtresize"="abc"
"TextOverlay"="0"
"RandomPos"="1"

[HKEY_CURRENT_USER\Software\Tarnwick\Kelvora\Plugins]
"fakefx.dll"=hex:01
"gone.dll"=hex:ff,ff

[HKEY_CURRENT_USER\Software\Tarnwick\Kelvora\Folders]
"b"="C:\\Second"
"A"="C:\\First"
''')
        got = self.run_roundtrip("save")
        self.assertEqual(got["done"], "1")
        self.assertNotIn("message", got)
        self.assertEqual(got["Delay"], "5000")
        self.assertEqual(got["Convert"], "1000000000")
        self.assertEqual(got["Resize"], str(256 - 5))
        self.assertEqual((got["Order"], got["StartFromRandom"], got["StartFromPrevious"]), ("2", "0", "1"))
        self.assertEqual(got["filterres"], "0")
        self.assertEqual(got["filterx"], "320")
        self.assertEqual((got["ShowFileName"], got["IncludeExtension"]), ("1", "1"))
        self.assertEqual((got["pmon"], got["rtresize"], got["TextOverlay"], got["RandomPos"]), ("0", "1", "0", "1"))
        self.assertEqual(got["RandomScreens"], "1 9 25 ")
        self.assertEqual(got["FontHeight"], "-30")
        self.assertEqual(got["FontFace"], "Courier New")
        self.assertEqual(got["FontColor"], str(0x332211))
        self.assertEqual(got["NoticeFontHeight"], "-18")  # the bench screen is 1024 wide
        self.assertEqual(got["InstallFolder"], r"C:\KelvoraTest\Install")
        self.assertEqual(got["InstallInUserHive"], "1")
        self.assertEqual(got["HelpFile"], r"C:\KelvoraTest\Install\Help.chm")
        self.assertTrue(got["CacheFile"].endswith(r"\Kelvora\piclist.dat"), got["CacheFile"])
        self.assertEqual(got["FolderRoots"], r"C:\First;C:\Second;")
        # Group count 0 switched the first group and its effects off; the data ended there.
        self.assertEqual(got["module fakefx.dll"], "1 0:000 1:11")
        self.assertEqual(got["module otherfx.dll"], "1 1:1")
        self.assertEqual(got["saveCatalogue"], got["CacheFile"])
        self.assertEqual(got["cacheFolderExists"], "1")

        saved = self.bench.reg_export(PRODUCT_KEY)
        expected_text = {
            "Delay": "5000", "Convert": "1000000000", "Enlarge": "0", "crop": "0", "Resize": "251",
            "Order": "18", "DDraw": "1", "StopKey": "1", "ArrowKeys": "1", "Wallpaper": "0",
            "MouseMove": "1", "ignoreexif": "0", "Screens": "0", "Random1often": "1",
            "TextFileName": "5", "TextPos": "3", "Textbg": "0", "filterres": "0", "filterx": "320",
            "filtery": "100",
            # never written by the save: as imported
            "pmon": "0", "rtresize": "abc", "TextOverlay": "0", "RandomPos": "1",
        }
        for name, text in expected_text.items():
            self.assertEqual(saved.get(name), ("REG_SZ", text), name)
        self.assertEqual(saved["RandomScreens"], ("REG_BINARY", bytes([1, 9, 25])))
        self.assertEqual(saved["Font"], ("REG_BINARY", logfont(-30)))
        self.assertEqual(saved["FontColor"], ("REG_BINARY", bytes([0x11, 0x22, 0x33, 0x00])))

        plugins = self.bench.reg_export(PLUGINS_KEY)
        self.assertEqual(plugins["fakefx.dll"], ("REG_BINARY", bytes([0x41, 0x06])))
        self.assertEqual(plugins["otherfx.dll"], ("REG_BINARY", bytes([0x23])))
        self.assertEqual(plugins["gone.dll"], ("REG_BINARY", bytes([0xFF, 0xFF])))  # kept
        # The save never writes the initial folders.
        self.assertEqual(self.bench.reg_export(FOLDERS_KEY), {"b": ("REG_SZ", r"C:\Second"),
                                                              "A": ("REG_SZ", r"C:\First")})

    def test_damaged_binary_values_take_their_defaults(self):
        self.bench.reg_import(r'''
[HKEY_CURRENT_USER\Software\Tarnwick\Kelvora]
"Path"="C:\\KelvoraTest\\Install"
"RandomScreens"="1"
"Font"=dword:00000010
"FontColor"=hex:01,02,03,04,05
"Delay"=dword:00000007
''')
        got = self.run_roundtrip("save")
        self.assertEqual(got["done"], "1")
        self.assertEqual(got["Delay"], "5000")
        self.assertEqual(got["RandomScreensCount"], "5")
        self.assertEqual(got["FontHeight"], "-13")
        self.assertEqual(got["FontColor"], str(0x00FF00))
        saved = self.bench.reg_export(PRODUCT_KEY)
        self.assertEqual(saved["RandomScreens"], ("REG_BINARY", bytes([1, 4, 9, 16, 25])))
        self.assertEqual(saved["Font"], ("REG_BINARY", logfont(-13)))
        self.assertEqual(saved["FontColor"], ("REG_BINARY", bytes([0x00, 0xFF, 0x00, 0x00])))
        self.assertEqual(saved["Delay"], ("REG_SZ", "5000"))

    def test_path_only_in_local_machine_reads_help_there(self):
        self.bench.reg_import(r'''
[HKEY_LOCAL_MACHINE\Software\Tarnwick\Kelvora]
"Path"="C:\\Machine"
"Help"="C:\\Machine\\Manual.chm"

[HKEY_CURRENT_USER\Software\Tarnwick\Kelvora]
"Help"="C:\\User\\Manual.chm"
''')
        got = self.run_roundtrip()
        self.assertNotIn("message", got)
        self.assertEqual(got["InstallFolder"], r"C:\Machine")
        self.assertEqual(got["PluginFolder"], r"C:\Machine")
        self.assertEqual(got["InstallInUserHive"], "0")
        self.assertEqual(got["HelpFile"], r"C:\Machine\Manual.chm")

    def test_missing_path_shows_the_corrupted_registry_message(self):
        log = self.bench.out / "settings_roundtrip.txt"
        if log.exists():
            log.unlink()
        proc = self.bench.start("settings_roundtrip.exe", [self.bench.windows_path(log)])
        try:
            box = self.bench.wait_message_box(timeout=30)
            self.assertIsNotNone(box, "no message box")
            window, geometry = box
            shot, _ = self.bench.wait_painted(geometry, "settings_corrupted_registry.png")
            self.assertTrue(self.bench.press_key_in(window, "Return"), "the message box did not close on Return")
        finally:
            code, output = self.bench.finish(proc, timeout=30)
        self.assertEqual(code, 0, output)
        # A light box in the middle of the otherwise black screen, with dark text in it.
        width, height, pixels = screenshot_pixels(shot)
        def at(x, y):
            i = (y * width + x) * 3
            return tuple(pixels[i:i + 3])
        self.assertEqual(at(5, 5), (0, 0, 0))
        centre = [at(x, y) for x in range(width // 2 - 60, width // 2 + 60) for y in range(height // 2 - 30, height // 2 + 30)]
        light = sum(1 for p in centre if min(p) > 200)
        dark = sum(1 for p in centre if max(p) < 80)
        self.assertGreater(light, len(centre) // 2)
        self.assertGreater(dark, 50)
        got = self.read_log(log)
        self.assertEqual(got["message"], r"Corrupted registry.\r\nPlease, Reinstall Kelvora")
        self.assertEqual(got["done"], "1")  # the load went on after the message
        self.assertEqual(got["InstallFolder"], "")
        self.assertEqual(got["HelpFile"], r"\Help.chm")


if __name__ == "__main__":
    unittest.main()
