"""Saver runs under Wine: full screen with the captured desktop, the input that pauses,
steps or ends a run, both presentation paths with the DirectDraw fall-back, the preview
inside another program's window and repeated dialog-style previews.

The runs are driven by saver_run.exe, which calls the saver run of the program with the
input settings given on its command line. Wine on Xvfb runs without a window manager, so
the tests switch Wine's X11 driver to unmanaged windows: otherwise every hidden full-screen
window waits two seconds for a window manager that never answers.

A run's first transition starts as soon as its first screen is composed, from the captured
desktop. The only effect these runs have is basicfx's bottom-to-top wipe, slowed down to
ten minutes (768 rows in 600 s, about a row in 0.8 s): everything above the bottom rows of
the screen stays the captured desktop while a test looks at it. A preview notices that its
window was hidden only between transitions, so the preview tests shorten the wipe.
"""
import time
import unittest
from pathlib import Path

from pictures import pixel, read_ppm
from test_crash_report import end_browsers
from test_show import BASICFX_GROUPS, effect_bits
from winebench import PRODUCT_KEY, Bench, reg_text

MAGENTA = (255, 0, 255)
BLACK = (0, 0, 0)
SAVER_TITLE = "Tarnwick Kelvora"
WINE_X11_KEY = r"HKEY_CURRENT_USER\Software\Wine\X11 Driver"
PLUGINS_KEY = PRODUCT_KEY + "\\Plugins"
# basicfx's group 2 (Wipe), effect 1 (Bottom-Top), as the show's trace names it.
WIPE_GROUP, WIPE_EFFECT = 2, 1
WIPE_TRACE = "effect=basicfx.dll 2.1 Bottom-Top"
SLOW = {"Delay": "600000", "Convert": "600000"}


class SaverRunTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.bench.reg_add(WINE_X11_KEY, "Managed", "N")
        # The run loads the settings from the registry: the installation folder, the slow
        # timing and the one effect (the other effect modules switched off).
        wipe = effect_bits(BASICFX_GROUPS, lambda g, e: (g, e) == (WIPE_GROUP, WIPE_EFFECT))
        cls.bench.reg_import(
            f"[{PRODUCT_KEY}]\n\"Path\"={reg_text(cls.bench.windows_path(cls.bench.dist))}\n"
            + "".join(f"\"{k}\"=\"{v}\"\n" for k, v in SLOW.items())
            + f"\n[{PLUGINS_KEY}]\n\"basicfx.dll\"=hex:{wipe}\n\"divingfx.dll\"=hex:00\n\"stamp.dll\"=hex:00\n")

    @classmethod
    def tearDownClass(cls):
        # Other tests of the run share the prefix and may rely on managed windows.
        cls.bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)
        for name in SLOW:
            cls.bench.run("reg", ["delete", PRODUCT_KEY, "/v", name, "/f"], timeout=60)
        cls.bench.reg_delete_key(PLUGINS_KEY)

    # ---- helpers -----------------------------------------------------------------
    def set_convert(self, ms):
        """Another length of the wipe for the runs started from now on in this test."""
        self.bench.reg_add(PRODUCT_KEY, "Convert", str(ms))
        self.addCleanup(self.bench.reg_add, PRODUCT_KEY, "Convert", SLOW["Convert"])

    def start_marker(self, name, x, y, w, h, rgb, hide_ms, live_ms=30000):
        """A coloured window on the desktop; returns (process, window handle)."""
        handle_file = self.bench.out / f"{name}.handle"
        if handle_file.exists():
            handle_file.unlink()
        proc = self.bench.start("desktop_window.exe",
                                [str(v) for v in (x, y, w, h, rgb, self.bench.windows_path(handle_file), hide_ms, live_ms)],
                                log_name=f"{name}.log")
        self.addCleanup(self._end, proc)
        end = time.time() + 30
        while time.time() < end and not (handle_file.exists() and handle_file.read_text().strip()):
            time.sleep(0.1)
        self.assertTrue(handle_file.exists(), "the marker window did not start")
        time.sleep(1.5)  # mapped and painted
        return proc, int(handle_file.read_text().split()[0])

    def _end(self, proc):
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        proc.log_handle.close()

    def start_saver(self, name, args, env=None, wait_title=True):
        proc = self.bench.start("saver_run.exe", [str(a) for a in args], log_name=f"{name}.log",
                                env_extra=env)
        self.addCleanup(self._end, proc)
        if wait_title:
            self.assertIsNotNone(self.bench.wait_window(SAVER_TITLE, 30), "no saver window")
            time.sleep(1.5)  # set-up done, the show thread is polling
        return proc

    def shot(self, name):
        self.bench.screenshot(name + ".png")
        return read_ppm(self.bench.screenshot(name + ".ppm"))

    def key(self, *keys):
        for k in keys:
            self.bench.xdotool("key", k)
            time.sleep(0.3)

    def assert_running(self, proc, what):
        time.sleep(0.5)
        self.assertIsNone(proc.poll(), f"the run ended after {what}")

    def ended_in(self, proc, limit):
        start = time.time()
        try:
            code = proc.wait(timeout=limit)
        except Exception:
            code = None
        return code, time.time() - start

    def output(self, proc):
        proc.log_handle.flush()
        return Path(proc.log_path).read_text(errors="replace")

    def presentation_report(self, proc):
        """The run's output once saver_run has reported the presentation path."""
        end = time.time() + 20
        while time.time() < end and "presentation:" not in self.output(proc):
            time.sleep(0.2)
        return self.output(proc)

    # ---- full screen -------------------------------------------------------------
    def test_full_screen_shows_captured_desktop_and_a_key_ends_it(self):
        # The marker hides itself once the saver window exists: what is left on screen at
        # its place is the saver's copy of the desktop, which the first transition (the
        # slow wipe, under way at once) starts from.
        trace = self.bench.out / "fs_gdi_trace.txt"
        if trace.exists():
            trace.unlink()
        self.start_marker("fs_marker", 100, 100, 300, 200, "FF00FF", -1)
        self.bench.xdotool("mousemove", 0, 0)
        saver = self.start_saver("fs_gdi", ["/s", "DDraw=0"],
                                 env={"KELVORA_TEST_TRACE": self.bench.windows_path(trace)})
        time.sleep(1.0)
        shot = self.shot("saver_fullscreen_gdi")
        self.assertEqual(pixel(shot, 250, 200), MAGENTA)
        self.assertEqual(pixel(shot, 101, 101), MAGENTA)
        self.assertEqual(pixel(shot, 99, 99), BLACK)
        self.assertEqual(pixel(shot, 700, 500), BLACK)
        self.assertIn("presentation: ddraw=0", self.presentation_report(saver))
        effects = [l for l in trace.read_text().splitlines() if l.startswith("effect=")] if trace.exists() else []
        self.assertEqual(effects, [WIPE_TRACE], "the first transition is the only one, under way")

        self.bench.xdotool("key", "a")
        code, took = self.ended_in(saver, 10)
        self.assertEqual(code, 0)
        print(f"a key ended the run after {took:.3f} s")
        # About 0.2 s on an idle machine; the bound leaves room for a loaded one.
        self.assertLess(took, 1.0, f"a key ended the run only after {took:.3f} s")
        after = self.shot("saver_fullscreen_after")
        self.assertEqual(pixel(after, 250, 200), BLACK, "the marker should have hidden itself")

    def test_mouse_movement_ends_at_the_fifth_new_position(self):
        # A run ends at the fifth mouse-move message with a new position. Wine reports one
        # or two moves of its own while the window appears (the pointer's last known place
        # and where it really is); saver_run tells how many moves are left after that.
        self.bench.xdotool("mousemove", 0, 0)
        saver = self.start_saver("mouse", ["/s", "DDraw=0", "MouseMove=1"])
        out = self.presentation_report(saver)
        left = int(out.split("mouse countdown:")[1].split()[0])
        self.assertIn(left, (3, 4, 5), "more than two moves counted before any movement")
        positions = [(10 * i, 10 * i) for i in range(1, left)]
        positions.insert(1, positions[0])  # a repeated position does not count
        for i, (x, y) in enumerate(positions):
            self.bench.xdotool("mousemove", x, y)
            self.assert_running(saver, f"mouse move {i + 1} to {x},{y}")
        self.bench.xdotool("mousemove", 300, 300)
        code, _ = self.ended_in(saver, 5)
        self.assertEqual(code, 0)

    def test_mouse_movement_is_ignored_when_switched_off_and_a_click_ends(self):
        self.bench.xdotool("mousemove", 0, 0)
        saver = self.start_saver("mouse_off", ["/s", "DDraw=0", "MouseMove=0"])
        for x in range(10, 90, 10):
            self.bench.xdotool("mousemove", x, x)
            time.sleep(0.1)
        self.assert_running(saver, "mouse moves with MouseMove off")
        self.bench.xdotool("click", 1)
        code, _ = self.ended_in(saver, 5)
        self.assertEqual(code, 0)

    def test_keys_that_pause_step_or_arm_do_not_end_the_run(self):
        self.bench.xdotool("mousemove", 0, 0)
        saver = self.start_saver("keys", ["/s", "DDraw=0", "StopKey=1", "ArrowKeys=1"])
        for k in ("space", "space", "F12", "f", "Right", "Left"):
            self.key(k)
            self.assert_running(saver, k)
        self.key("F12")  # a second F12 is an ordinary key
        code, _ = self.ended_in(saver, 5)
        self.assertEqual(code, 0)

    def test_space_and_arrows_end_the_run_when_their_settings_are_off(self):
        for setting, k in (("StopKey=0", "space"), ("ArrowKeys=0", "Right")):
            with self.subTest(setting=setting):
                self.bench.xdotool("mousemove", 0, 0)
                saver = self.start_saver("keys_off", ["/s", "DDraw=0", setting])
                self.bench.xdotool("key", k)
                code, _ = self.ended_in(saver, 5)
                self.assertEqual(code, 0)

    def test_f12_then_f11_reaches_the_crash_report(self):
        # The test failure is raised with the next transition: a short delay brings it.
        self.bench.reg_add(PRODUCT_KEY, "Delay", "300")
        self.addCleanup(self.bench.reg_add, PRODUCT_KEY, "Delay", SLOW["Delay"])
        self.set_convert(300)
        # The report's browser is a window on the desktop that later screenshots would show.
        self.addCleanup(end_browsers, self.bench)
        self.bench.xdotool("mousemove", 0, 0)
        saver = self.start_saver("testfailure", ["/s", "DDraw=0"])
        self.key("F12")
        self.assert_running(saver, "F12")
        self.key("F11")
        code, _ = self.ended_in(saver, 30)
        self.assertEqual(code, 217)
        self.assertIn("Floating point division by zero", self.output(saver))

    def test_the_program_runs_full_screen_and_as_a_preview(self):
        # kelvsaver.scr itself, with its default settings (DirectDraw on).
        self.start_marker("prog_marker", 100, 100, 300, 200, "FF00FF", -1)
        self.bench.xdotool("mousemove", 0, 0)
        saver = self.bench.start("kelvsaver.scr", ["/s"], log_name="prog_s.log")
        self.addCleanup(self._end, saver)
        self.assertIsNotNone(self.bench.wait_window(SAVER_TITLE, 30), "no saver window")
        time.sleep(3.0)
        shot = self.shot("program_fullscreen")
        self.assertEqual(pixel(shot, 250, 200), MAGENTA)
        self.assertEqual(pixel(shot, 700, 500), BLACK)
        # DirectDraw under Wine goes through OpenGL: set-up and release take a few seconds.
        self.bench.xdotool("key", "Escape")
        code, _ = self.ended_in(saver, 15)
        self.assertEqual(code, 0)

        # The preview's wipe is over long before its window is hidden.
        self.set_convert(2000)
        host, handle = self.start_marker("prog_host", 600, 400, 320, 240, "00FF00", 6000)
        preview = self.bench.start("kelvsaver.scr", ["/p", str(handle)], log_name="prog_p.log")
        self.addCleanup(self._end, preview)
        time.sleep(1.5)
        self.assertIsNone(preview.poll(), "the preview ended before its window was hidden")
        code, _ = self.ended_in(preview, 15)
        self.assertEqual(code, 0)

    # ---- presentation paths ------------------------------------------------------
    def test_directdraw_path_shows_the_captured_desktop(self):
        self.start_marker("dd_marker", 100, 100, 300, 200, "FF00FF", -1)
        self.bench.xdotool("mousemove", 0, 0)
        saver = self.start_saver("fs_ddraw", ["/s", "DDraw=1"])
        time.sleep(1.0)
        out = self.presentation_report(saver)
        shot = self.shot("saver_fullscreen_ddraw")
        self.assertIn("presentation: ddraw=1 primary=1", out)
        self.assertIn("surface locked: pitch 4096", out)
        self.assertEqual(pixel(shot, 250, 200), MAGENTA)
        self.assertEqual(pixel(shot, 700, 500), BLACK)
        self.bench.xdotool("key", "a")
        code, _ = self.ended_in(saver, 10)
        self.assertEqual(code, 0)

    def test_directdraw_lock_failures_fall_back(self):
        cases = (
            ("primary", "presentation: ddraw=1 primary=0", None),
            ("all", "presentation: ddraw=0", "fell back to GDI"),
            ("lost", "presentation: ddraw=0", "fell back to GDI"),
        )
        for seam, path_line, fallback_line in cases:
            with self.subTest(seam=seam):
                self.start_marker(f"seam_{seam}_marker", 100, 100, 300, 200, "FF00FF", -1)
                self.bench.xdotool("mousemove", 0, 0)
                saver = self.start_saver(f"seam_{seam}", ["/s", "DDraw=1"],
                                         env={"KELV_DDRAW_LOCK_FAIL": seam})
                out = self.presentation_report(saver)
                shot = self.shot(f"saver_ddraw_seam_{seam}")
                self.assertIn(path_line, out)
                if fallback_line:
                    self.assertIn(fallback_line, out)
                else:
                    self.assertNotIn("fell back", out)
                self.assertEqual(pixel(shot, 250, 200), MAGENTA)
                self.bench.xdotool("key", "a")
                code, _ = self.ended_in(saver, 10)
                self.assertEqual(code, 0)

    # ---- previews ----------------------------------------------------------------
    def test_preview_inside_another_programs_window_ends_when_it_is_hidden(self):
        self.set_convert(2000)  # the wipe is over long before the window is hidden
        host, handle = self.start_marker("pv_host", 600, 400, 320, 240, "00FF00", 8000)
        saver = self.start_saver("preview", ["/p", handle, "DDraw=1"], wait_title=False)
        time.sleep(1.0)
        self.assertIsNone(saver.poll(), "the preview ended before its window was hidden")
        for x in range(610, 900, 40):  # a preview never ends on mouse movement
            self.bench.xdotool("mousemove", x, 500)
            time.sleep(0.05)
        self.assert_running(saver, "mouse movement over the preview")
        code, _ = self.ended_in(saver, 15)
        self.assertEqual(code, 0, "hiding the host window should end the preview")

    def test_preview_shows_the_whole_screen_shrunk_into_its_window(self):
        # Wine draws a child window only inside its own process, so this preview's host
        # window belongs to saver_run itself (a white 320 x 240 window at 600, 400).
        # A 12 s wipe of the preview's 240 rows: it reaches row 121, the lowest checked
        # below, after 6 s, and it is over 6 s after the host window was hidden.
        self.set_convert(12000)
        self.start_marker("pvs_marker", 0, 0, 512, 384, "FF00FF", 0)
        saver = self.start_saver("preview_shown", ["/hosted", 6000, "DDraw=1"], wait_title=False)
        self.presentation_report(saver)
        shot = self.shot("saver_preview")
        # 1024 x 768 shrunk by 3.2: the magenta quarter fills the top-left 160 x 120 of the
        # preview; the rest is black but for the white host window, captured with the desktop.
        self.assertEqual(pixel(shot, 600 + 5, 400 + 5), MAGENTA)
        self.assertEqual(pixel(shot, 600 + 159, 400 + 119), MAGENTA)
        self.assertEqual(pixel(shot, 600 + 161, 400 + 121), BLACK)
        self.assertEqual(pixel(shot, 600 + 300, 400 + 40), BLACK)
        self.assertIn("presentation: ddraw=0", self.output(saver))
        code, _ = self.ended_in(saver, 15)
        self.assertEqual(code, 0)

    def test_repeated_dialog_previews_do_not_leak(self):
        code, out = self.bench.run("saver_run.exe", ["/dialog", "6", "DDraw=1"], timeout=120)
        (self.bench.out / "dialog_previews.txt").write_text(out)
        self.assertIn("gdi count probe", out)
        self.assertNotIn("not countable", out)
        self.assertIn("resources stable", out)
        self.assertEqual(code, 0)


if __name__ == "__main__":
    unittest.main()
