"""Cover windows over the other monitors of a full-screen run, under Wine on an Xvfb of
several screens.

Wine reports several monitors when Xvfb joins several screens with Xinerama and Wine's X11
driver does not use XRandR. Wine's desktop process reads the monitors when the prefix comes
up, so each test brings the prefix up on a display of its own and the bench's display and
prefix come back afterwards. Xvfb's Xinerama puts every screen at 0,0: the tests look at the
cover windows' existence, class, title, style and size, and at input on them.
"""
import json
import subprocess
import time
import unittest

from test_settings_trees import write_bmp
from winebench import PRODUCT_KEY, Bench, end_process, reg_text

SCR = "kelvsaver.scr"
TITLE = "^Tarnwick Kelvora$"
WINE_X11_KEY = r"HKEY_CURRENT_USER\Software\Wine\X11 Driver"


class CoverWindows(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.home_display = cls.bench.display
        pictures = cls.bench.out / "cover-pictures"
        pictures.mkdir(exist_ok=True)
        write_bmp(pictures / "c1.bmp", 320, 240, (200, 30, 30))
        cls.bench.reg_delete_key(PRODUCT_KEY)
        cls.bench.reg_import(
            f"[{PRODUCT_KEY}]\n\"Path\"={reg_text(cls.bench.windows_path(cls.bench.dist))}\n"
            "\"Delay\"=\"60000\"\n\"Convert\"=\"1000\"\n\"DDraw\"=\"0\"\n"
            f"[{PRODUCT_KEY}\\Folders]\n\"1\"={reg_text(cls.bench.windows_path(pictures))}\n"
            f"[{WINE_X11_KEY}]\n\"UseXRandR\"=\"N\"\n\"Managed\"=\"N\"\n")

    @classmethod
    def tearDownClass(cls):
        # The bench's own display and prefix, as the other tests expect them.
        cls.bench.display = cls.home_display
        state = json.loads(cls.bench.state_file.read_text())
        state["wineserver_pid"] = cls.bench.start_prefix()
        cls.bench.state_file.write_text(json.dumps(state))
        cls.bench.run("reg", ["delete", WINE_X11_KEY, "/v", "UseXRandR", "/f"], timeout=60)
        cls.bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)
        cls.bench.reg_delete_key(PRODUCT_KEY)  # the picture folder of these tests

    def on_screens(self, screens):
        """Brings the prefix up on a new display of these screens; returns (display, Xvfb pid, wineserver pid)."""
        state = json.loads(self.bench.state_file.read_text())
        self.bench.stop_prefix(state.get("wineserver_pid"))
        state["wineserver_pid"] = None
        self.bench.state_file.write_text(json.dumps(state))
        display = self.bench._start_xvfb(screens)
        xvfb = self.bench._xvfb_pid
        self.bench.display = display
        server = self.bench.start_prefix()
        return display, xvfb, server

    def leave_screens(self, xvfb, server):
        self.bench.stop_prefix(server)
        end_process(xvfb, "Xvfb", wait=10)

    def windows(self):
        return self.bench.xdotool("search", "--onlyvisible", "--name", TITLE).split()

    def size(self, window):
        out = subprocess.run(["xwininfo", "-id", window], env=self.bench.env(), capture_output=True,
                             text=True, timeout=30).stdout
        fields = dict(line.strip().split(":", 1) for line in out.splitlines() if ":" in line)
        return int(fields["Width"]), int(fields["Height"])

    def test_one_cover_per_other_monitor_and_input_on_it_ends_the_saver(self):
        for screens in ([(1024, 768), (800, 600)], [(1024, 768), (800, 600), (640, 480)], [(1024, 768)]):
            with self.subTest(screens=len(screens)):
                display, xvfb, server = self.on_screens(screens)
                try:
                    proc = self.bench.start(SCR, ["/s"], log_name=f"cover-{len(screens)}.log")
                    end = time.monotonic() + 30
                    while len(self.windows()) < len(screens) and time.monotonic() < end:
                        time.sleep(0.2)
                    time.sleep(1)
                    windows = self.windows()
                    self.assertEqual(len(windows), len(screens), "one window per monitor")
                    sizes = sorted(self.size(w) for w in windows)
                    self.assertEqual(sizes, sorted(screens))
                    self.bench.screenshot(f"cover-{len(screens)}.png")
                    # A key on a cover window (not the first screen's saver window) ends the run.
                    covers = [w for w in windows if self.size(w) != screens[0]]
                    target = covers[0] if covers else windows[0]
                    self.assertTrue(self.bench.press_key_in(target, "Return", title=TITLE, timeout=20))
                    code, _ = self.bench.finish(proc, 20)
                    self.assertEqual(code, 0)
                    self.assertEqual(self.windows(), [], "windows left after the run")
                finally:
                    self.leave_screens(xvfb, server)


if __name__ == "__main__":
    unittest.main()
