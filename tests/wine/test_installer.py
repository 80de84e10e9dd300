"""The x64 installer and its uninstaller under Wine (the x86 installer only builds here).

Built by scripts/package.sh into <build>/installer. A silent install puts the program
into a folder of drive C:, its copy into the system folder and "Path" and the uninstall key
into the chosen hive; the saver then runs from the system folder and finds its plug-ins
through "Path". The silent uninstall removes exactly that and keeps the user's settings.
"""
import time
import unittest
from pathlib import Path

from test_settings_trees import write_bmp
from winebench import PRODUCT_KEY, PRODUCT_KEY_LM, Bench, reg_text

UNINSTALL = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvora"
FILES = ["kelvsaver.scr", "fastmm.dll", "stdformats.dll", "sysformats.dll", "modernformats.dll", "basicfx.dll",
         "divingfx.dll", "stamp.dll", "Help.chm", "uninstall.exe"]
WINE_X11_KEY = r"HKEY_CURRENT_USER\Software\Wine\X11 Driver"


class Installer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        setups = list((cls.bench.build / "installer").glob("Kelvora-*-x64-setup.exe"))
        if not setups:
            raise unittest.SkipTest("no x64 installer built (scripts/package.sh)")
        cls.setup_exe = setups[0]
        cls.target = cls.bench.prefix / "drive_c" / "KelvoraTest"
        cls.system_scr = cls.bench.prefix / "drive_c" / "windows" / "system32" / "kelvsaver.scr"
        cls.pictures = cls.bench.out / "installer-pictures"
        cls.pictures.mkdir(exist_ok=True)
        write_bmp(cls.pictures / "i1.bmp", 400, 300, (30, 160, 200))
        cls.bench.reg_add(WINE_X11_KEY, "Managed", "N")

    @classmethod
    def tearDownClass(cls):
        cls.bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)
        cls.bench.reg_delete_key(PRODUCT_KEY)  # the picture folder of these tests

    def setUp(self):
        for key in (PRODUCT_KEY, PRODUCT_KEY_LM, "HKEY_CURRENT_USER\\" + UNINSTALL, "HKEY_LOCAL_MACHINE\\" + UNINSTALL):
            self.bench.reg_delete_key(key)
        # The user's own settings, which the uninstaller must keep.
        self.bench.reg_import(f"[{PRODUCT_KEY}]\n\"Delay\"=\"60000\"\n\"Convert\"=\"1000\"\n"
                              f"[{PRODUCT_KEY}\\Folders]\n\"1\"={reg_text(self.bench.windows_path(self.pictures))}\n")
        for cache in self.bench.prefix.glob("drive_c/users/*/AppData/Roaming/Kelvora/piclist.dat"):
            cache.unlink()

    def values(self, key):
        return {name: data for name, (kind, data) in self.bench.reg_export(key).items()}

    def install_run_uninstall(self, hive, extra):
        code, out = self.bench.run(str(self.setup_exe), ["/S", *extra, r"/D=C:\KelvoraTest"], timeout=120)
        self.assertEqual(code, 0, out)
        for name in FILES:
            self.assertTrue((self.target / name).is_file(), name)
        self.assertTrue(self.system_scr.is_file(), "no copy in the system folder")
        self.assertEqual(self.values(f"{hive}\\Software\\Tarnwick\\Kelvora").get("Path"), r"C:\KelvoraTest")
        uninstall = self.values(f"{hive}\\{UNINSTALL}")
        self.assertEqual(uninstall["DisplayName"], "Kelvora")
        self.assertEqual(uninstall["DisplayVersion"], "1.4.0.0")
        self.assertEqual(uninstall["Publisher"], "Tarnwick")
        self.assertEqual(uninstall["DisplayIcon"], r"C:\KelvoraTest\kelvsaver.scr")
        self.assertEqual(uninstall["UninstallString"], r'"C:\KelvoraTest\uninstall.exe"')
        self.assertEqual(uninstall["QuietUninstallString"], r'"C:\KelvoraTest\uninstall.exe" /S')
        self.assertGreater(uninstall["EstimatedSize"], 1000)

        # The saver from the system folder finds its plug-ins through "Path": the picture shows.
        proc = self.bench.start(r"C:\windows\system32\kelvsaver.scr", ["/s"], log_name="installed-saver.log")
        self.assertIsNotNone(self.bench.wait_window("^Tarnwick Kelvora$", 30), "the installed saver did not start")
        # Until the first change has settled: the screen's centre in the picture's one colour.
        end = time.monotonic() + 15
        while True:
            png = self.bench.screenshot(f"installed-saver-{'me' if extra else 'all'}.png")
            centre = self.bench.area_colours(png, {"X": 500, "Y": 370, "WIDTH": 20, "HEIGHT": 20})
            if centre == 1 or time.monotonic() > end:
                break
            time.sleep(0.5)
        self.bench.xdotool("key", "Return")
        code, _ = self.bench.finish(proc, 20)
        self.assertEqual(code, 0)
        self.assertEqual(centre, 1, "the installed saver shows no picture")

        code, _ = self.bench.run(r"C:\KelvoraTest\uninstall.exe", ["/S"], timeout=60)
        end = time.monotonic() + 60  # the uninstaller goes on from a copy of itself
        while self.target.exists() and time.monotonic() < end:
            time.sleep(0.5)
        self.assertFalse(self.target.exists(), "files left in the program folder")
        self.assertFalse(self.system_scr.exists(), "the system folder's copy was left")
        self.assertNotIn("Path", self.values(f"{hive}\\Software\\Tarnwick\\Kelvora"))
        self.assertEqual(self.values(f"{hive}\\{UNINSTALL}"), {})
        self.assertEqual(self.values(PRODUCT_KEY).get("Delay"), "60000", "the user's settings went")

    def test_silent_install_for_all_users_and_for_me_only(self):
        for hive, extra in (("HKEY_LOCAL_MACHINE", []), ("HKEY_CURRENT_USER", ["/CURRENTUSER"])):
            with self.subTest(hive=hive):
                self.install_run_uninstall(hive, extra)

    def test_installing_over_a_running_installation(self):
        """A second install over the first while the installed saver runs: the saver is
        asked to end, the files are replaced, nothing is there twice."""
        code, out = self.bench.run(str(self.setup_exe), ["/S", r"/D=C:\KelvoraTest"], timeout=120)
        self.assertEqual(code, 0, out)
        first = self.values(f"HKEY_LOCAL_MACHINE\\{UNINSTALL}")
        saver = self.bench.start(r"C:\windows\system32\kelvsaver.scr", ["/s"], log_name="upgrade-saver.log")
        self.assertIsNotNone(self.bench.wait_window("^Tarnwick Kelvora$", 30), "the installed saver did not start")
        time.sleep(2)
        (self.target / "kelvsaver.scr").write_bytes(b"old")  # an older program file
        code, out = self.bench.run(str(self.setup_exe), ["/S", r"/D=C:\KelvoraTest"], timeout=120)
        self.assertEqual(code, 0, out)
        saver_code, _ = self.bench.finish(saver, 30)
        self.assertEqual(saver_code, 0, "the running saver was not ended")
        program = (self.bench.dist / "kelvsaver.scr").read_bytes()
        self.assertEqual((self.target / "kelvsaver.scr").read_bytes(), program)
        self.assertEqual(self.system_scr.read_bytes(), program)
        self.assertEqual(self.values(f"HKEY_LOCAL_MACHINE\\{UNINSTALL}"), first)
        self.assertEqual(sorted(p.name for p in self.target.iterdir()), sorted(FILES))
        self.bench.run(r"C:\KelvoraTest\uninstall.exe", ["/S", "/REMOVESETTINGS"], timeout=60)
        end = time.monotonic() + 60
        while self.target.exists() and time.monotonic() < end:
            time.sleep(0.5)
        self.assertFalse(self.target.exists())
        self.assertEqual(self.values(PRODUCT_KEY), {}, "Remove my settings left the settings")
        self.assertEqual(list(self.bench.prefix.glob("drive_c/users/*/AppData/Roaming/Kelvora")), [],
                         "Remove my settings left the catalogue cache")

    def next_button(self, box):
        """A click on the page's forward button (Next, I Agree, Install, Finish): they all
        sit at one place of the installer window."""
        window, geometry = box
        self.bench.xdotool_ok("windowfocus", "--sync", window)
        self.bench.xdotool("mousemove", geometry["X"] + 360, geometry["Y"] + 357)
        self.bench.xdotool("click", "1")
        time.sleep(1)

    def test_the_installer_pages(self):
        """The installer run by hand: each page's screenshot, then its forward button, and
        the settings dialog the finish page opens."""
        proc = self.bench.start(str(self.setup_exe), [], log_name="installer-pages.log")
        title = "^Kelvora 1.4.0.0 Setup"  # the page name may follow
        pages = ["welcome", "notice", "users", "components", "folder"]
        for page in pages:
            box = self.bench.wait_message_box(title, timeout=30)
            if box is None:
                self.bench.screenshot(f"installer-missing-{page}.png")
            self.assertIsNotNone(box, f"no installer window at the {page} page")
            time.sleep(1)
            _, colours = self.bench.wait_painted(box[1], f"installer-{page}.png", colours=10)
            self.assertGreaterEqual(colours, 10, f"the {page} page looks empty")
            self.next_button(box)
        # Installing, then the finish page, whose Return opens the settings dialog.
        end = time.monotonic() + 60
        program = self.bench.prefix / "drive_c" / "Program Files" / "Kelvora" / "uninstall.exe"
        while not program.exists() and time.monotonic() < end:
            time.sleep(0.5)
        self.assertTrue(program.exists(), "nothing installed")
        time.sleep(2)
        box = self.bench.wait_message_box(title, timeout=30)
        self.bench.wait_painted(box[1], "installer-finish.png", colours=10)
        self.next_button(box)  # Finish
        self.bench.finish(proc, 30)
        dialog = self.bench.wait_message_box("^Kelvora$", timeout=30)
        self.assertIsNotNone(dialog, "the finish page did not open the settings")
        self.assertTrue(self.bench.press_key_in(dialog[0], "alt+F4"))
        self.bench.run(r"C:\Program Files\Kelvora\uninstall.exe", ["/S"], timeout=60)
        end = time.monotonic() + 60
        while program.parent.exists() and time.monotonic() < end:
            time.sleep(0.5)
        self.assertFalse(program.parent.exists())


if __name__ == "__main__":
    unittest.main()
