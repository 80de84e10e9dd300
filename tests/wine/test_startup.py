"""Start-up of kelvsaver.scr under Wine: the command-line switches, the one-shot
"RunSettings" request, the preview inside a real parent window, and the failure paths that
end with the bug report (exit code 217).

The program appends what it read and what it chose to the file named by
KELVORA_TEST_TRACE ("mode=... param=... parent=..." and "dispatch=..."), so these tests do
not have to guess the mode from windows. KELVORA_TEST_FAULT makes the chosen mode fail at
its start ("exception", "foreign" or "access").
"""
import time
import unittest

import test_crash_report
from winebench import PRODUCT_KEY, PRODUCT_KEY_LM, Bench

SCR = "kelvsaver.scr"


class Startup(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.trace = cls.bench.out / "startup-trace.txt"
        cls.bench.reg_delete_key(PRODUCT_KEY)
        cls.bench.reg_delete_key(PRODUCT_KEY_LM)

    # ---- helpers -----------------------------------------------------------------
    def start(self, args, fault=None, log="startup.log"):
        if self.trace.exists():
            self.trace.unlink()
        env = {"KELVORA_TEST_TRACE": self.bench.windows_path(self.trace)}
        if fault:
            env["KELVORA_TEST_FAULT"] = fault
        return self.bench.start(SCR, args, log_name=log, env_extra=env)

    def trace_lines(self, proc=None, timeout=20.0):
        """The two trace lines, waiting until the dispatch line is there."""
        end = time.time() + timeout
        while time.time() < end:
            lines = self.trace.read_text().splitlines() if self.trace.exists() else []
            if any(l.startswith("dispatch=") for l in lines):
                # The start-up's own lines; a run's later lines (its window) may follow.
                return [l for l in lines if l.startswith(("mode=", "dispatch="))]
            if proc is not None and proc.poll() is not None:
                break
            time.sleep(0.1)
        return self.trace.read_text().splitlines() if self.trace.exists() else []

    def close_message_box(self, shot: str | None = None, timeout=20.0) -> bool:
        """Finds the message box titled "Kelvora", checks that it shows something (a frame,
        text and a button give many colours), screenshots it and closes it with Return."""
        box = self.bench.wait_message_box(timeout=timeout)
        if not box:
            return False
        window, geometry = box
        if shot:
            _, colours = self.bench.wait_painted(geometry, shot)
            self.assertGreaterEqual(colours, 3, f"message box area {geometry} is blank")
        self.assertTrue(self.bench.press_key_in(window, "Return"), "the message box did not close on Return")
        return True

    def run_to_message_box(self, args, shot=None):
        """Starts a mode that shows a message box until the box is closed; returns the
        trace lines and the exit code."""
        proc = self.start(args)
        try:
            lines = self.trace_lines(proc)
            closed = self.close_message_box(shot)
        finally:
            code, out = self.bench.finish(proc, timeout=20)
        self.assertTrue(closed, f"{args}: no message box; output: {out}")
        return lines, code

    def run_to_settings_dialog(self, args, shot=None):
        """A settings dialog start without an installation folder: the load's message box
        comes first, then the dialog, which the close box (Alt+F4) ends. Returns the trace
        lines and the exit code."""
        proc = self.start(args)
        try:
            lines = self.trace_lines(proc)
            closed = self.close_message_box(shot)
            dialog = self.bench.wait_message_box(timeout=30)
            ended = dialog is not None and self.bench.press_key_in(dialog[0], "alt+F4")
        finally:
            code, out = self.bench.finish(proc, timeout=20)
        self.assertTrue(closed, f"{args}: no message box; output: {out}")
        self.assertTrue(ended, f"{args}: no settings dialog, or it did not close; output: {out}")
        return lines, code

    def run_saver_start(self, args):
        """A saver start: the saver run ends on a key press (until it is built, its
        message box closes on one; boxes it shows on the way are closed too)."""
        proc = self.start(args, log="saver.log")
        try:
            lines = self.trace_lines(proc)
            end = time.time() + 30
            while proc.poll() is None and time.time() < end:
                if not self.close_message_box(timeout=2):
                    self.bench.xdotool("key", "Escape")
                time.sleep(0.5)
        finally:
            code, out = self.bench.finish(proc, timeout=10)
        return lines, code

    def run_quick(self, args, fault=None, timeout=20):
        proc = self.start(args, fault=fault)
        code, out = self.bench.finish(proc, timeout=timeout)
        lines = self.trace.read_text().splitlines() if self.trace.exists() else []
        return lines, code, out

    # ---- switches ----------------------------------------------------------------
    def test_switches_that_run_nothing_exit_at_once(self):
        cases = [
            (["/x"], "mode=x param= parent=0"),
            (["/p"], "mode=p param= parent=0"),
            (["/p:abc"], "mode=p param=abc parent=0"),
            (["/p:1234"], "mode=p param=1234 parent=1234"),      # 1234 is no window here
            (["/p", "1234"], "mode=p param=1234 parent=1234"),
            (["/p:1234", "99"], "mode=p param=1234 parent=1234"),
        ]
        for args, first in cases:
            with self.subTest(args=args):
                lines, code, out = self.run_quick(args)
                self.assertEqual(code, 0, out)
                self.assertEqual(lines, [first, "dispatch=none"])
                self.assertIsNone(self.bench.wait_window("^Kelvora$", timeout=0.5))

    def test_settings_dialog_starts(self):
        cases = [
            ([], "mode= param= parent=0"),
            (["s"], "mode= param= parent=0"),          # a bare "s" loses its only letter
            (["/c:1234"], "mode=c param=1234 parent=1234"),
            (["/C"], "mode=c param= parent=0"),
        ]
        for i, (args, first) in enumerate(cases):
            with self.subTest(args=args):
                lines, code = self.run_to_settings_dialog(args, shot=f"startup-settings-{i}.png")
                self.assertEqual(lines, [first, "dispatch=settings"])
                self.assertEqual(code, 0)

    def test_password_change_start(self):
        # Wine's own MPR.DLL: the change request goes to it and the program ends.
        lines, code, out = self.run_quick(["/a:1234"], timeout=30)
        self.assertEqual(lines, ["mode=a param=1234 parent=1234", "dispatch=password"])
        self.assertEqual(code, 0, out)

    def test_saver_starts(self):
        for args in (["/s"], ["-s"], ["Xs"], ["/S"]):
            with self.subTest(args=args):
                lines, code = self.run_saver_start(args)
                self.assertEqual(lines, ["mode=s param= parent=0", "dispatch=saver"])
                self.assertEqual(code, 0)

    def test_preview_inside_a_real_window(self):
        # An installed saver: without "Path" the load stops at its "Corrupted registry" box,
        # which the display settings' preview would never see closed.
        self.bench.reg_add(PRODUCT_KEY, "Path", self.bench.windows_path(self.bench.dist))
        self.addCleanup(self.bench.reg_delete_key, PRODUCT_KEY)
        handle_file = self.bench.out / "preview-host.txt"
        for i, form in enumerate(("/p {}", "/p:{}")):
            if handle_file.exists():
                handle_file.unlink()
            # The host closes its window after 12 s: a real preview ends with its parent.
            host = self.bench.start("preview_host.exe", [self.bench.windows_path(handle_file), "12"],
                                    log_name="preview-host.log")
            proc = None
            try:
                end = time.time() + 20
                while time.time() < end and not (handle_file.exists() and handle_file.read_text().strip()):
                    time.sleep(0.1)
                handle = handle_file.read_text().strip()
                args = form.format(handle).split()
                with self.subTest(args=args):
                    proc = self.start(args, log="preview.log")
                    lines = self.trace_lines(proc)
                    self.assertEqual(lines, [f"mode=p param={handle} parent={handle}", "dispatch=preview"])
                    time.sleep(2.0)
                    self.assertIsNone(proc.poll(), "the preview ended while its parent was open")
                    self.bench.screenshot(f"startup-preview-{i}.png")
                    # The host closes its window after 12 s and the preview ends with it.
                    code, out = self.bench.finish(proc, timeout=25)
                    proc = None
                    self.assertEqual(code, 0, out)
            finally:
                if proc is not None:
                    self.bench.finish(proc, timeout=1)
                self.bench.finish(host, timeout=25)

    # ---- the one-shot settings request -------------------------------------------------
    def test_settings_request_opens_the_dialog_once(self):
        for key in (PRODUCT_KEY, PRODUCT_KEY_LM):
            with self.subTest(key=key):
                self.bench.reg_add(key, "RunSettings", "1")
                self.bench.reg_add(key, "Delay", "7")
                try:
                    lines, code = self.run_to_settings_dialog(["/s"])
                    self.assertEqual(lines, ["mode=s param= parent=0", "dispatch=settings"])
                    self.assertEqual(code, 0)
                    values = self.bench.reg_export(key)
                    self.assertNotIn("RunSettings", values)
                    self.assertEqual(values.get("Delay"), ("REG_SZ", "7"))
                    lines, code = self.run_saver_start(["/s"])
                    self.assertEqual(lines[-1], "dispatch=saver")
                finally:
                    self.bench.reg_delete_key(key)

    def test_other_settings_requests_are_ignored_and_kept(self):
        cases = [("2", "REG_SZ", ("REG_SZ", "2")), ("1", "REG_DWORD", ("REG_DWORD", 1))]
        for data, kind, stored in cases:
            with self.subTest(kind=kind, data=data):
                self.bench.reg_add(PRODUCT_KEY, "RunSettings", data, kind)
                try:
                    lines, code = self.run_saver_start(["/s"])
                    self.assertEqual(lines, ["mode=s param= parent=0", "dispatch=saver"])
                    self.assertEqual(code, 0)
                    self.assertEqual(self.bench.reg_export(PRODUCT_KEY).get("RunSettings"), stored)
                finally:
                    self.bench.reg_delete_key(PRODUCT_KEY)

    # ---- failures ------------------------------------------------------------------
    def test_failures_end_with_the_bug_report(self):
        # Each report opens a browser window (Wine's explorer); it must not stay in the way
        # of the later tests.
        self.addCleanup(test_crash_report.end_browsers, self.bench)
        cases = [
            # (args, fault, expected lines of the report)
            (["/c"], "exception", ["Exception: Test failure", "Exception class: Exception",
                                   "App mode: 32"]),
            (["/c"], "foreign", ["Exception: Exception object std::runtime_error is not of class Exception.",
                                 "Exception class: std::runtime_error", "App mode: 256"]),
            (["/c"], "access", ["Exception class: EAccessViolation", "App mode: 256"]),
            # the password change has no mode guard: the unhandled procedure reports
            (["/a"], "exception", ["Exception: Test failure", "Exception class: Exception",
                                   "App mode: 256"]),
        ]
        for args, fault, expected in cases:
            with self.subTest(args=args, fault=fault):
                lines, code, out = self.run_quick(args, fault=fault)
                self.assertEqual(code, 217, out)
                # The report's text is copied to the error output.
                self.assertIn("<TEXTAREA id=message", out)
                report = out.splitlines()
                for line in expected:
                    self.assertIn(line, report, out)
                self.assertEqual(out.count("</BODY></html>"), 1)
                self.assertIsNone(self.bench.wait_window("^Kelvora$", timeout=0.5))
        lines, code, out = self.run_quick(["/c"], fault="access")
        self.assertRegex(out, r"Access violation at address [0-9A-F]{8,}: write to 0+10\r?\n")


if __name__ == "__main__":
    unittest.main()
