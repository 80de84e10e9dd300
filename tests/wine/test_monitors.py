"""Pictures on every monitor ("Monitors" = "1"), the primary through GDI and through
DirectDraw, under Wine on an Xvfb of two screens joined with Xinerama: 800x600 (the
primary) and 1280x1024. Xvfb puts both at 0,0, so the primary's
window covers the second monitor's top left; the part only the second covers shows the
second monitor's own screen.

Every picture is one colour, 640x512 (the second monitor's shape), enlarged to the screen:
on the second monitor it fills the screen, on the primary it stands between black bars. The
trace's "shown monitor=N index=K file=PATH" lines say which picture each monitor shows. The
DirectDraw run has pan and zoom on: each monitor's picture moves on its own (the trace's
"motion frames=N ms=M [monitor=N]" line at the end of each moving stay).
"""
import re
import time
import unittest

import test_cover_windows
from pictures import near, read_ppm
from test_settings_trees import write_bmp
from test_show import BASICFX_GROUPS, enable_bits
from winebench import PRODUCT_KEY, Bench, reg_text

SCR = "kelvsaver.scr"
TITLE = "^Tarnwick Kelvora$"
SCREENS = [(800, 600), (1280, 1024)]
COLOURS = {"red": (220, 30, 30), "green": (30, 200, 40), "blue": (30, 40, 220), "yellow": (230, 220, 30),
           "cyan": (30, 210, 220), "magenta": (210, 30, 210)}
SHOWN = re.compile(r"^shown monitor=(\d+) index=(-?\d+) file=(.*)$")
LATE = re.compile(r"^late monitor=(\d+) ms=(-?\d+)$")
MOTION = re.compile(r"^motion frames=(\d+) ms=(\d+) source=(\d+)x(\d+)(?: monitor=(\d+))?$")


class PicturesOnEveryMonitor(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.home_display = cls.bench.display
        cls.pictures = cls.bench.out / "monitor-pictures"
        cls.pictures.mkdir(exist_ok=True)
        for name, rgb in COLOURS.items():
            write_bmp(cls.pictures / f"{name}.bmp", 640, 512, rgb)
        cls.bench.reg_delete_key(PRODUCT_KEY)
        cls.bench.reg_import(
            f"[{PRODUCT_KEY}]\n\"Path\"={reg_text(cls.bench.windows_path(cls.bench.dist))}\n"
            "\"Delay\"=\"2000\"\n\"Convert\"=\"400\"\n\"DDraw\"=\"0\"\n\"Screens\"=\"1\"\n\"Enlarge\"=\"1\"\n"
            "\"Order\"=\"1\"\n\"Monitors\"=\"1\"\n"
            f"[{PRODUCT_KEY}\\Folders]\n\"1\"={reg_text(cls.bench.windows_path(cls.pictures))}\n"
            # No in-place effects (basicfx's grey-scale fades): every change brings a picture.
            f"[{PRODUCT_KEY}\\Plugins]\n\"basicfx.dll\"=hex:{enable_bits(BASICFX_GROUPS, {7})}\n"
            f"[{test_cover_windows.WINE_X11_KEY}]\n\"UseXRandR\"=\"N\"\n\"Managed\"=\"N\"\n")
        for cache in cls.bench.prefix.glob("drive_c/users/*/AppData/Roaming/Kelvora/piclist.dat"):
            cache.unlink()

    # The display of several screens and the bench's own display afterwards, as the cover
    # windows' tests bring them up.
    tearDownClass = classmethod(test_cover_windows.CoverWindows.tearDownClass.__func__)
    on_screens = test_cover_windows.CoverWindows.on_screens
    leave_screens = test_cover_windows.CoverWindows.leave_screens
    windows = test_cover_windows.CoverWindows.windows
    size = test_cover_windows.CoverWindows.size

    def shown(self, trace):
        lines = trace.read_text(errors="replace").splitlines() if trace.exists() else []
        return [(int(m[1]), int(m[2]), m[3]) for m in map(SHOWN.match, lines) if m], \
               [(int(m[1]), int(m[2])) for m in map(LATE.match, lines) if m]

    def colour_of(self, path):
        return COLOURS[re.split(r"[\\/]", path)[-1].rsplit(".", 1)[0]]

    def run_show(self, ddraw):
        """One saver run on the two monitors, presenting the primary through GDI or DirectDraw."""
        motion = ddraw == "1"
        self.bench.reg_import(f"[{PRODUCT_KEY}]\n\"DDraw\"=\"{ddraw}\"\n\"Motion\"=\"{int(motion)}\"\n")
        trace = self.bench.out / f"monitors-trace-{ddraw}.txt"
        if trace.exists():
            trace.unlink()
        self.bench.xdotool("mousemove", 0, 0)
        proc = self.bench.start(SCR, ["/s"], log_name=f"monitors-{ddraw}.log",
                                env_extra={"KELVORA_TEST_TRACE": self.bench.windows_path(trace)})
        end = time.monotonic() + 30
        while len(self.windows()) < 2 and time.monotonic() < end:
            time.sleep(0.2)
        windows = self.windows()
        self.assertEqual(sorted(self.size(w) for w in windows), sorted(SCREENS), "one window per monitor")

        # Three changes of the second monitor, each looked at right after it came up.
        checked = 0
        count = 0
        end = time.monotonic() + 40
        while checked < 3 and time.monotonic() < end:
            shown, _ = self.shown(trace)
            second = [s for s in shown if s[0] == 1]
            if len(second) == count:
                time.sleep(0.05)
                continue
            count = len(second)
            shot = read_ppm(self.bench.screenshot(f"monitors-{ddraw}-{checked}.ppm"))
            if self.shown(trace)[0] != shown:
                continue  # a monitor changed while the screenshot was taken: the next one
            self.bench.screenshot(f"monitors-{ddraw}-{checked}.png")
            want = self.colour_of(second[-1][2])
            # The part only the second monitor covers is its picture, edge to edge: the
            # picture was composed for 1280x1024, not for the primary's shape.
            for x, y in ((1270, 1014), (1000, 800), (1270, 10), (10, 1014), (810, 610)):
                self.assertTrue(near(shot.pixel(x, y), want), f"({x}, {y}) {shot.pixel(x, y)} not {want}")
            # The primary shows another picture, fitted to 800x600 between black bars.
            primary = [s for s in shown if s[0] == 0]
            self.assertTrue(primary, "the primary has shown no picture")
            self.assertNotEqual(primary[-1][2], second[-1][2], "one picture on two monitors")
            self.assertTrue(near(shot.pixel(400, 300), self.colour_of(primary[-1][2])))
            self.assertTrue(near(shot.pixel(10, 300), (0, 0, 0)), shot.pixel(10, 300))
            checked += 1
        self.assertEqual(checked, 3, "the second monitor did not change three times")

        shown, late = self.shown(trace)
        # The monitors change in turn, each picture of the one order in turn.
        monitors = [m for m, _, _ in shown]
        self.assertEqual(monitors[:6], [0, 1, 0, 1, 0, 1], shown)
        self.assertEqual([i for _, i, _ in shown[:6]], [0, 1, 2, 3, 4, 5], shown)
        self.assertTrue(late and all(ms < 1000 for _, ms in late), late)
        moved = [m for m in map(MOTION.match, trace.read_text(errors="replace").splitlines()) if m]
        if motion:
            # Both monitors moved through their stays, each with frames of its own, drawn
            # from a copy 1.15 times the enlarged picture's place (750x600 between the
            # primary's bars, the whole 1280x1024 of the second).
            for monitor, source in ((None, (862, 690)), ("1", (1472, 1178))):
                stays = [m for m in moved if m[5] == monitor]
                self.assertTrue(stays, f"monitor {monitor or 0} never moved")
                self.assertTrue(all(int(m[1]) > 20 and int(m[2]) > 1000 for m in stays), [m[0] for m in stays])
                self.assertTrue(all((int(m[3]), int(m[4])) == source for m in stays), [m[0] for m in stays])
        else:
            self.assertEqual(moved, [], "still pictures moved")

        # A key on the second monitor's window ends the saver; every window goes.
        second_window = next(w for w in windows if self.size(w) == SCREENS[1])
        self.assertTrue(self.bench.press_key_in(second_window, "Return", title=TITLE, timeout=20))
        code, _ = self.bench.finish(proc, 20)
        self.assertEqual(code, 0)
        self.assertEqual(self.windows(), [], "windows left after the run")

    def test_every_monitor_shows_its_own_pictures_composed_for_its_screen(self):
        display, xvfb, server = self.on_screens(SCREENS)
        try:
            # DirectDraw may serve the primary; the other monitor is always GDI's.
            for ddraw in ("0", "1"):
                with self.subTest(ddraw=ddraw):
                    self.run_show(ddraw)
        finally:
            self.leave_screens(xvfb, server)


if __name__ == "__main__":
    unittest.main()
