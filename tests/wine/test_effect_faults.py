"""Faults inside an effect module during a real full-screen show under Wine: the bug
report names the module, version, group and effect, tells what kind of fault it was, and
the process ends with 217 after counting the crash.

The installation folder holds kelvsaver.scr, fastmm.dll, stdformats.dll (for the BMP
pictures) and, as the only effect module, faultfx.dll from tests/fakeplugins: its one
effect draws the top half of the next picture and then faults as KELV_FAKE_FAULT says
("write", "divide" or "exception"), so the first transition of the show fails. With
KELV_FAKE_GO the module holds at the halfway frame until the test creates that file, and
the test looks at the screen in between.
"""
import re
import shutil
import subprocess
import time
import unittest
from pathlib import Path

from test_crash_report import browser_pids, end_browsers, report_folder
from pictures import near, numbered_picture, pixel, read_ppm
from winebench import PRODUCT_KEY, Bench, reg_text

SAVER_TITLE = "Tarnwick Kelvora"
WINE_X11_KEY = r"HKEY_CURRENT_USER\Software\Wine\X11 Driver"
PICTURES = (("1", (255, 0, 0)), ("2", (0, 160, 0)), ("3", (0, 0, 255)))
MODULE = "faultfx"
# What the module's descriptor says: its name and version 0x01000205; one group, one effect.
MODULE_TEXT = "faultfx 1.0.2.5"
HEX = r"[0-9A-F]"


class EffectFaults(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.folder = report_folder(cls.bench)
        cls.bench.reg_add(WINE_X11_KEY, "Managed", "N")
        out = cls.bench.out
        cls.pictures = out / "fault_pictures"
        cls.pictures.mkdir(exist_ok=True)
        for number, rgb in PICTURES:
            numbered_picture(f"BMP3:{cls.pictures / ('pic' + number + '.bmp')}", 1024, 768, rgb, number, 200)
        # The installation folder: the faulting module is the only effect module.
        cls.dist = out / "fault_dist"
        shutil.rmtree(cls.dist, ignore_errors=True)
        cls.dist.mkdir()
        for name in ("kelvsaver.scr", "fastmm.dll", "stdformats.dll"):
            shutil.copy(cls.bench.dist / name, cls.dist / name)
        shutil.copy(cls.bench.build / "tests" / "fakeplugins" / f"{MODULE}.dll", cls.dist / f"{MODULE}.dll")

    @classmethod
    def tearDownClass(cls):
        cls.bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)
        cls.bench.reg_delete_key(PRODUCT_KEY)

    def setUp(self):
        bench = self.bench
        bench.reg_delete_key(PRODUCT_KEY)
        # Counters of earlier runs: three starts, one bad end since the last clean one.
        bench.reg_import(
            f"[{PRODUCT_KEY}]\n"
            f"\"Path\"={reg_text(bench.windows_path(self.dist))}\n"
            "\"Delay\"=\"300\"\n"
            "\"Convert\"=\"800\"\n"
            "\"DDraw\"=\"0\"\n"
            "\"Order\"=\"1\"\n"
            "\"Screens\"=\"1\"\n"
            "\"ver\"=\"1.4.0.0\"\n\"count\"=\"3\"\n\"er\"=\"0\"\n\"prever\"=\"1\"\n\"win\"=\"0\"\n"
            f"\n[{PRODUCT_KEY}\\Folders]\n"
            f"\"1\"={reg_text(bench.windows_path(self.pictures))}\n"
            # Module flag, group count 1, its one effect: bits 1,1,0,0,0,1.
            f"\n[{PRODUCT_KEY}\\Plugins]\n\"{MODULE}.dll\"=hex:23\n")
        for cache in bench.prefix.glob("drive_c/users/*/AppData/Roaming/Kelvora/piclist.dat"):
            cache.unlink()
        if self.folder.exists():
            for f in self.folder.glob("BugReport*.html"):
                f.unlink()
        self.addCleanup(end_browsers, bench)

    # ---- helpers ---------------------------------------------------------------------
    def run_show(self, fault, name, at=None, hold=False):
        """Runs the saver until the module's fault ends it; returns (exit code, output,
        module log lines, halfway screenshot or None)."""
        bench = self.bench
        log = bench.out / f"{name}-module.log"
        go = bench.out / f"{name}.go"
        for f in (log, go):
            if f.exists():
                f.unlink()
        env = {"KELV_FAKE_FAULT": fault, "KELV_FAKE_LOG": bench.windows_path(log)}
        if at:
            env["KELV_FAKE_FAULT_AT"] = at
        if hold:
            env["KELV_FAKE_GO"] = bench.windows_path(go)
        bench.xdotool("mousemove", 0, 0)
        proc = bench.start(str(self.dist / "kelvsaver.scr"), ["/s"], log_name=f"{name}.log", env_extra=env)
        self.case = name
        shot = None
        try:
            self.assertIsNotNone(bench.wait_window(SAVER_TITLE, 30), "no saver window")
            if hold:
                end = time.time() + 30
                while time.time() < end and not (log.exists() and "halfway" in log.read_text()):
                    time.sleep(0.2)
                self.assertIn("halfway", log.read_text(), "the effect never ran")
                time.sleep(0.3)
                shot_path = bench.screenshot(f"{name}-halfway.ppm")
                subprocess.run(["convert", str(shot_path), str(bench.out / f"{name}-halfway.png")],
                               check=True, timeout=60)
                shot = read_ppm(shot_path)
                go.write_bytes(b"go")
            # A full-screen run waits for the browser start the report makes.
            end = time.time() + 30
            while time.time() < end and not browser_pids(bench) and proc.poll() is None:
                time.sleep(0.2)
            end_browsers(bench)
            code, out = bench.finish(proc, timeout=30)
        finally:
            if proc.poll() is None:
                bench.finish(proc, timeout=1)
        return code, out, log.read_text().splitlines() if log.exists() else [], shot

    def report_lines(self):
        names = [p.name for p in self.folder.glob("BugReport*.html")]
        self.assertEqual(names, ["BugReport.html"])
        raw = (self.folder / "BugReport.html").read_bytes()
        (self.bench.out / f"{self.case}-report.html").write_bytes(raw)
        self.assertTrue(raw.endswith(b"</BODY></html>\r\n"))
        return raw.decode("latin-1").split("\r\n")[:-1]

    def counters(self):
        return {k: v[1] for k, v in self.bench.reg_export(PRODUCT_KEY).items()}

    def check_common(self, code, out, lines):
        """What every report of a failed effect run holds."""
        self.assertEqual(code, 217, out)
        self.assertIn("App mode: 2", lines)  # the full-screen run, as the effect guard hands it
        self.assertIn("Errstat: 0051, 2", lines)  # four starts, this crash, two bad ends in a row
        self.assertIn("Resolution: 1024x768", lines)
        self.assertRegex(lines[lines.index("Registers:") + 1], rf"^RAX={HEX}{{16}} RBX=")
        # The stack at the fault starts in the module's own code.
        trace = next(l for l in lines if l.startswith("StackTrace: "))
        self.assertRegex(trace, rf"^StackTrace: {HEX}{{16}} {MODULE}\.dll\+{HEX}{{8}}$")
        self.assertFalse(any(l.startswith("Frame: ") for l in lines), "a fault has no raiser's frame")
        c = self.counters()
        self.assertEqual((c["count"], c["er"], c["prever"], c["win"]), ("4", "1", "2", "0"))

    def plugin_line(self, lines):
        found = [l for l in lines if l.startswith("Plugin: ")]
        self.assertEqual(len(found), 1, lines)
        return found[0]

    # ---- the cases -------------------------------------------------------------------
    def test_write_to_a_bad_address_in_the_effect_run(self):
        code, out, calls, shot = self.run_show("write", "fault_write", hold=True)
        # Before the fault: the top half (rows 0 to 383) shows picture 1, the bottom half
        # still the screen the show started from (the captured desktop).
        for x in (40, 300, 980):
            for y in (0, 200, 383):
                self.assertTrue(near(pixel(shot, x, y), PICTURES[0][1]), (x, y, pixel(shot, x, y)))
            for y in (384, 600, 767):
                self.assertFalse(near(pixel(shot, x, y), PICTURES[0][1]), (x, y, pixel(shot, x, y)))
        self.assertIn(f"{MODULE} run 0", calls)
        lines = self.report_lines()
        self.check_common(code, out, lines)
        self.assertIn("Exception class: EAccessViolation", lines)
        message = next(l for l in lines if l.startswith("Exception: "))
        address = next(l for l in lines if l.startswith("Exception address: "))[len("Exception address: "):]
        self.assertEqual(message, f"Exception: Access violation at address {address}: write to 0000000000000010")
        self.assertIn("ExceptionInfo: Error when write to 0000000000000010", lines)
        self.assertRegex(self.plugin_line(lines),
                         rf"^Plugin: {re.escape(MODULE_TEXT)} - 0,0: f={HEX}{{16}} s={HEX}{{16}} d={HEX}{{16}}$")
        # The report lists the fault where the module's code faulted.
        trace = next(l for l in lines if l.startswith("StackTrace: "))
        self.assertEqual(trace[len("StackTrace: "):len("StackTrace: ") + 16], address)

    def test_integer_division_by_zero_in_the_effect_run(self):
        code, out, _, _ = self.run_show("divide", "fault_divide")
        lines = self.report_lines()
        self.check_common(code, out, lines)
        self.assertIn("Exception class: EExternalException", lines)
        self.assertRegex(next(l for l in lines if l.startswith("Exception: ")),
                         rf"^Exception: System exception C0000094 at address {HEX}{{16}}$")
        self.assertFalse(any(l.startswith("ExceptionInfo: ") for l in lines))
        self.assertRegex(self.plugin_line(lines), rf"^Plugin: {re.escape(MODULE_TEXT)} - 0,0: f=")

    def test_structured_exception_the_module_raises(self):
        code, out, _, _ = self.run_show("exception", "fault_exception")
        self.assertEqual(code, 217, out)
        lines = self.report_lines()
        self.assertRegex(next(l for l in lines if l.startswith("Exception: ")),
                         rf"^Exception: System exception E0FA0017 at address {HEX}{{16}}$")
        self.assertRegex(self.plugin_line(lines), rf"^Plugin: {re.escape(MODULE_TEXT)} - 0,0: f=")
        self.assertIn("App mode: 2", lines)
        # Raised from the system's RaiseException, called by the module's code.
        trace = lines.index(next(l for l in lines if l.startswith("StackTrace: ")))
        self.assertRegex(lines[trace + 1], rf"^{HEX}{{16}} {MODULE}\.dll\+{HEX}{{8}}$")
        c = self.counters()
        self.assertEqual((c["er"], c["prever"], c["win"]), ("1", "2", "0"))

    def test_write_fault_in_the_pre_step(self):
        code, out, calls, _ = self.run_show("write", "fault_prestep", at="prestep")
        self.assertIn(f"{MODULE} run 0x10000", calls)
        lines = self.report_lines()
        self.check_common(code, out, lines)
        self.assertIn("ExceptionInfo: Error when write to 0000000000000010", lines)
        self.assertEqual(self.plugin_line(lines), f"Plugin: {MODULE_TEXT} - 0.0")


if __name__ == "__main__":
    unittest.main()
