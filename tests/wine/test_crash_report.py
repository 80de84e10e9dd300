"""The bug report under Wine: the HTML file in the application-data folder, its lines, the
numbered name when a report is there already, exit code 217, the run statistics kept in
the registry, and the browser start.

KELVORA_TEST_FAULT makes the chosen mode fail at its start ("exception", "foreign" or
"access"). Wine has no web browser here, so the "explorer.exe <report>" the program starts
stays behind; the tests end those processes (found in the bench's prefix by the report
path on their command line) by process id.
"""
import re
import shutil
import time
import unittest
from pathlib import Path

from winebench import PRODUCT_KEY, Bench, reg_text

SCR = "kelvsaver.scr"
WINE_X11_KEY = r"HKEY_CURRENT_USER\Software\Wine\X11 Driver"


def report_folder(bench: Bench) -> Path:
    users = bench.prefix / "drive_c" / "users"
    for user in users.iterdir():
        folder = user / "AppData" / "Roaming" / "Kelvora"
        if (user / "AppData").exists():
            return folder
    raise RuntimeError("no AppData folder in the prefix")


BROWSER = ("explorer.exe", "BugReport")


def browser_pids(bench: Bench):
    """Process ids of the browser starts the reports made in the bench's prefix."""
    return bench.prefix_processes(*BROWSER)


def end_browsers(bench: Bench):
    bench.end_prefix_processes(*BROWSER)


class CrashReport(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.folder = report_folder(cls.bench)

    def setUp(self):
        self.bench.reg_delete_key(PRODUCT_KEY)
        if self.folder.exists():
            for f in self.folder.glob("BugReport*.html"):
                f.unlink()
        self.addCleanup(end_browsers, self.bench)

    def fail_mode(self, args, fault, timeout=40):
        t0 = time.time()
        code, out = self.bench.run(SCR, args, timeout=timeout, env_extra={"KELVORA_TEST_FAULT": fault})
        return code, out, time.time() - t0

    def report_lines(self, name="BugReport.html"):
        raw = (self.folder / name).read_bytes()
        self.assertTrue(raw.endswith(b"</BODY></html>\r\n"))
        self.assertNotIn(b"\n", raw.replace(b"\r\n", b""), "every line ends with CR LF")
        return raw.decode("latin-1").split("\r\n")[:-1]

    def counters(self):
        values = self.bench.reg_export(PRODUCT_KEY)
        return {k: v[1] for k, v in values.items()}

    # ---- the report file -------------------------------------------------------------
    def test_mode_failure_writes_the_report_and_counts_it(self):
        code, out, _ = self.fail_mode(["/c"], "exception")
        self.assertEqual(code, 217, out)
        lines = self.report_lines()
        # The page says what it is written in: the program's code page, UTF-8.
        self.assertEqual(lines[0], '<html><head><meta http-equiv="Content-Type" content="text/html; charset=utf-8">'
                                   "<title>Exception report: Kelvora</title></head><BODY>")
        self.assertEqual(lines[2], '<FORM action="http://kelvora.example.org/bugreport.php" method=post>')
        self.assertEqual(lines[5], "<TEXTAREA id=message name=message rows=11 wrap=PHYSICAL cols=60>")
        self.assertEqual(lines[6:8], ["Exception: Test failure", "Exception class: Exception"])
        self.assertRegex(lines[8], r"^Exception address: [0-9A-F]{16}$")
        self.assertEqual(lines[9:11], ["App mode: 32", "App version: 1.4.0.0"])
        self.assertRegex(lines[11], r"^System: Windows NT \d+\.\d+ Build: \d+ ")
        # The manifest names the systems up to Windows 11: this one gives its own version,
        # not the 6.2 build 9200 that every later system gives a program without them.
        self.assertNotRegex(lines[11], r"^System: Windows NT 6\.2 Build: 9200")
        self.assertRegex(lines[12], r"^Processor: (\d+x )?.+, \d+ MHz$")
        self.assertRegex(lines[13], r"^Memory: \d+ of \d+ MB, Allocated \d+ \(\d+ of \d+\) KB$")
        # First start ever, crashing: one start, this crash counts.
        self.assertEqual(lines[14], "Errstat: 0071")
        self.assertRegex(lines[15], r"^Worktime: \d+$")
        self.assertEqual(lines[16], "Resolution: 1024x768")
        self.assertEqual(lines[17:19], ["", "Registers:"])
        self.assertRegex(lines[19], r"^RAX=[0-9A-F]{16} RBX=[0-9A-F]{16} .* RSP=[0-9A-F]{16}")
        # Captured where the exception was made: the raiser's frame and our own code.
        self.assertRegex(lines[21], r"^Frame: [0-9A-F]{16}$")
        self.assertRegex(lines[22], r"^StackTrace: [0-9A-F]{16} mainexe\+[0-9A-F]{8}$")
        self.assertIn("Raw stack dump: ", lines)
        dump = lines[lines.index("Raw stack dump: ") + 1]
        self.assertRegex(dump, r"^([0-9A-F]{2} ){8}-([0-9A-F]{2} ){8}$")
        self.assertEqual(lines[-6:], ["</TEXTAREA><BR><BR>", "", "", '<INPUT type=submit value="Send Report" name=Submit>',
                                      "</FORM>", "</BODY></html>"])
        c = self.counters()
        self.assertEqual((c["count"], c["er"], c["prever"], c["win"]), ("1", "1", "1", "0"))
        self.assertEqual(c["ver"], "1.4.0.0")

        # A second report keeps the first one and takes a numbered name.
        first = (self.folder / "BugReport.html").read_bytes()
        code, out, _ = self.fail_mode(["/a"], "exception")
        self.assertEqual(code, 217, out)
        self.assertEqual((self.folder / "BugReport.html").read_bytes(), first)
        numbered = [p.name for p in self.folder.glob("BugReport?*.html")]
        self.assertEqual(len(numbered), 1, numbered)
        self.assertRegex(numbered[0], r"^BugReport\d{1,4}\.html$")
        lines = self.report_lines(numbered[0])
        self.assertIn("App mode: 256", lines)
        self.assertIn("Errstat: 0071, 2", lines)  # two starts, two crashes, second bad end
        c = self.counters()
        self.assertEqual((c["count"], c["er"], c["prever"], c["win"]), ("2", "2", "2", "0"))

    def test_report_of_a_run_in_a_folder_named_in_other_scripts(self):
        # The application-data folder (where the report goes) and the pictures' folder are
        # named outside any legacy code page: the report is written there, and it is valid
        # HTML in the charset it declares.
        from test_show import NAMED_FOLDER, make_named_pictures
        pictures = self.bench.out / NAMED_FOLDER
        make_named_pictures(pictures)
        data = self.bench.prefix / "drive_c" / f"{NAMED_FOLDER} data"
        shutil.rmtree(data, ignore_errors=True)
        data.mkdir()
        shell = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
        old = self.bench.reg_export(shell).get("AppData", ("", ""))[1]
        self.addCleanup(self.bench.reg_add, shell, "AppData", old)
        appdata = reg_text("C:\\" + NAMED_FOLDER + " data")
        folder = reg_text(self.bench.windows_path(pictures))
        # The program runs as on Windows 10: its manifest's list of systems makes the
        # system give its own version (a program without it is told 6.2 build 9200).
        defaults = r"HKEY_CURRENT_USER\Software\Wine\AppDefaults\kelvsaver.scr"
        self.addCleanup(self.bench.reg_delete_key, defaults)
        self.bench.reg_import(f"[{shell}]\n\"AppData\"={appdata}\n\n[{PRODUCT_KEY}\\Folders]\n\"1\"={folder}\n\n"
                              f"[{defaults}]\n\"Version\"=\"win10\"\n")
        code, out, _ = self.fail_mode(["/c"], "foreign")
        self.assertEqual(code, 217, out)
        report = data / "Kelvora" / "BugReport.html"
        self.assertTrue(report.exists(), list(data.rglob("*")))
        raw = report.read_bytes()
        head = re.match(rb'<html><head><meta http-equiv="Content-Type" content="text/html; charset=([^"]+)">', raw)
        self.assertIsNotNone(head, raw[:120])
        text = raw.decode(head.group(1).decode("ascii"))  # strict: a byte of another code page fails
        self.assertTrue(text.endswith("</FORM>\r\n</BODY></html>\r\n"))
        self.assertIn("Exception: Exception object std::runtime_error is not of class Exception.", text)
        self.assertEqual(head.group(1), b"utf-8")
        self.assertRegex(text, r"\r\nSystem: Windows NT 10\.0 Build: \d+")

    def test_access_violation_reaches_the_report_through_the_filter(self):
        code, out, _ = self.fail_mode(["/c"], "access")
        self.assertEqual(code, 217, out)
        lines = self.report_lines()
        self.assertIn("Exception class: EAccessViolation", lines)
        self.assertIn("App mode: 256", lines)
        self.assertIn("ExceptionInfo: Error when write to 0000000000000010", lines)
        trace = lines.index(next(l for l in lines if l.startswith("StackTrace: ")))
        # The first frame is the faulting instruction, inside the program.
        self.assertRegex(lines[trace], r"^StackTrace: [0-9A-F]{16} mainexe\+")
        self.assertFalse(any(l.startswith("Frame: ") for l in lines))

    def test_foreign_exception_is_named_and_escaped(self):
        code, out, _ = self.fail_mode(["/c"], "foreign")
        self.assertEqual(code, 217, out)
        lines = self.report_lines()
        self.assertIn("Exception: Exception object std::runtime_error is not of class Exception.", lines)

    def test_browser_is_started_with_the_report(self):
        code, out, _ = self.fail_mode(["/c"], "exception")
        self.assertEqual(code, 217, out)
        end = time.time() + 10
        while time.time() < end and not browser_pids(self.bench):
            time.sleep(0.2)
        pids = browser_pids(self.bench)
        self.assertTrue(pids, "no explorer.exe started with the report")
        cmd = Path(f"/proc/{pids[0]}/cmdline").read_bytes().replace(b"\0", b" ").decode()
        self.assertIn("BugReport.html", cmd)

    def test_full_screen_run_failure_waits_for_the_browser(self):
        # F12 then F11 make the show thread of a full-screen run fail.
        self.bench.reg_add(WINE_X11_KEY, "Managed", "N")
        self.addCleanup(self.bench.run, "reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], 60)
        self.bench.reg_add(PRODUCT_KEY, "Path", self.bench.windows_path(self.bench.dist))
        self.bench.xdotool("mousemove", 0, 0)
        saver = self.bench.start(SCR, ["/s"], log_name="crash-saver.log")
        try:
            self.assertIsNotNone(self.bench.wait_window("Tarnwick Kelvora", 30), "no saver window")
            time.sleep(1.5)
            win = self.counters().get("win")
            self.assertNotIn(win, (None, "0"), "the running instance is marked")
            self.bench.xdotool("key", "F12")
            time.sleep(0.5)
            self.bench.xdotool("key", "F11")
            end = time.time() + 20
            while time.time() < end and not browser_pids(self.bench):
                time.sleep(0.2)
            self.assertTrue(browser_pids(self.bench), "no browser start")
            # A full-screen run waits for the browser start to end.
            time.sleep(2)
            self.assertIsNone(saver.poll(), "the run did not wait for the browser")
            shot = self.bench.screenshot("crash-fullscreen-waiting.png")
            self.assertTrue(shot.exists())
            end_browsers(self.bench)
            code, out = self.bench.finish(saver, timeout=10)
        finally:
            if saver.poll() is None:
                self.bench.finish(saver, timeout=1)
        self.assertEqual(code, 217, out)
        lines = self.report_lines()
        self.assertIn("Exception: Floating point division by zero", lines)
        self.assertIn("Exception class: EZeroDivide", lines)
        self.assertTrue(any(l.startswith("App mode: ") and int(l[10:]) & 2 for l in lines), lines[9])
        resolution = next(l for l in lines if l.startswith("Resolution: "))
        if " - DDraw" in resolution:
            self.assertTrue(any(l.startswith("Processes: ") for l in lines))
        c = self.counters()
        self.assertEqual((c["er"], c["prever"], c["win"]), ("1", "1", "0"))

    # ---- the run statistics ----------------------------------------------------------
    def test_a_run_that_died_is_counted_at_the_next_start(self):
        cases = [("-1", "uwer", 1.0, 3.5), ("123456", "uer", 4.0, 8.0)]
        for win, counter, least, most in cases:
            with self.subTest(win=win):
                self.bench.reg_delete_key(PRODUCT_KEY)
                for name, value in (("ver", "1.4.0.0"), ("count", "3"), ("win", win)):
                    self.bench.reg_add(PRODUCT_KEY, name, value)
                t0 = time.time()
                code, out = self.bench.run(SCR, ["/x"], timeout=40)  # runs no mode: a clean end
                took = time.time() - t0
                self.assertEqual(code, 0, out)
                self.assertGreaterEqual(took, least)
                self.assertLess(took, most + 3)
                c = self.counters()
                self.assertEqual(c.get(counter), "1")
                self.assertEqual((c["count"], c["win"], c["prever"]), ("4", "0", "0"))

    def test_odd_counter_types_read_as_zero(self):
        self.bench.reg_add(PRODUCT_KEY, "ver", "1.4.0.0")
        self.bench.reg_add(PRODUCT_KEY, "count", "7", "REG_DWORD")
        self.bench.reg_add(PRODUCT_KEY, "win", "5", "REG_DWORD")
        code, out = self.bench.run(SCR, ["/x"], timeout=40)
        self.assertEqual(code, 0, out)
        c = self.counters()
        self.assertEqual((c["count"], c["win"]), ("1", "0"))


if __name__ == "__main__":
    unittest.main()
