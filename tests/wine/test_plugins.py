"""The plug-in host under Wine with real libraries: which libraries of the installation
folder are taken and in which order, what each fake plug-in receives (its calls are logged
to KELV_FAKE_LOG), the release notice at the end, and the two messages that end the program:
an input module that does not acknowledge the options, and a missing memory manager; the
real program ends cleanly there too (its run statistics' marker goes back to "0").

plugin_probe.exe (tests/fakeplugins) runs LoadPlugins over a prepared folder and writes the
tables it got to a report file.
"""
import shutil
import subprocess
import unittest

from winebench import PRODUCT_KEY, Bench


class PluginLoading(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.fakes = cls.bench.build / "tests" / "fakeplugins"
        cls.probe = str(cls.fakes / "plugin_probe.exe")
        cls.work = cls.bench.out / "plugins"
        shutil.rmtree(cls.work, ignore_errors=True)
        cls.work.mkdir(parents=True)

    # ---- helpers -----------------------------------------------------------------
    def folder(self, name, libraries, memory_manager=True):
        """A fresh installation folder; libraries maps target name -> source file."""
        d = self.work / name
        shutil.rmtree(d, ignore_errors=True)
        d.mkdir(parents=True)
        if memory_manager:
            shutil.copy(self.bench.dist / "fastmm.dll", d / "fastmm.dll")
        for target, source in libraries.items():
            (d / target).parent.mkdir(parents=True, exist_ok=True)
            if isinstance(source, bytes):
                (d / target).write_bytes(source)
            else:
                shutil.copy(source, d / target)
        return d

    def start_probe(self, folder, name, picture=None):
        report = self.work / f"{name}-report.txt"
        log = self.work / f"{name}-calls.txt"
        for p in (report, log):
            if p.exists():
                p.unlink()
        env = {"KELV_FAKE_LOG": self.bench.windows_path(log), "WINEDEBUG": "+msgbox"}
        args = ["load", self.bench.windows_path(folder), self.bench.windows_path(report)]
        if picture:
            args.append(self.bench.windows_path(picture))
        proc = self.bench.start(self.probe, args,
                                log_name=f"{name}-probe.log", env_extra=env)
        return proc, report, log

    def counters(self):
        return {k: v[1] for k, v in self.bench.reg_export(PRODUCT_KEY).items()}

    def read(self, path):
        return path.read_text(errors="replace").splitlines() if path.exists() else []

    def answer_message_box(self, proc, shot_name):
        """Waits for the message box, photographs it once painted, presses OK; returns the
        number of colours in the box's area and the program's exit code and output."""
        box = self.bench.wait_message_box(timeout=30)
        self.assertIsNotNone(box, "no message box")
        window, geometry = box
        _, colours = self.bench.wait_painted(geometry, shot_name)
        self.assertTrue(self.bench.press_key_in(window, "Return"), "the message box did not close on Return")
        code, output = self.bench.finish(proc, timeout=60)
        return colours, code, output

    # ---- tests -------------------------------------------------------------------
    def test_loading_order_versions_and_release(self):
        folder = self.folder("normal", {
            "b.DLL": self.fakes / "fxmod.dll",
            "A.dll": self.fakes / "release.dll",
            "wrongver.dll": self.fakes / "wrongver.dll",
            "nothing.dll": self.fakes / "nothing.dll",
            "both.dll": self.fakes / "both.dll",
            "sysformats.dll": self.bench.dist / "sysformats.dll",
            "readme.txt": b"not a library",
            "notes.dll.txt": b"not a library either",
            # A library in a subfolder is never looked at: this one would end the program.
            "sub/tooold.dll": self.fakes / "tooold.dll",
        })
        # A picture decoded through the host: routed by its upper-case extension to the
        # platform-formats module, its pixels in the buffer from the memory manager, and
        # the date it was taken (written into its eXIf chunk) asked of the module's optional
        # GetPictureInfo export right after.
        picture = self.work / "Picture.PNG"
        subprocess.run(["convert", "-size", "5x3", "xc:#123456", f"PNG24:{picture}"], check=True, timeout=60)
        subprocess.run(["exiftool", "-q", "-overwrite_original", "-DateTimeOriginal=2021:07:14 10:30:00",
                        str(picture)], check=True, timeout=60, capture_output=True)
        proc, report, log = self.start_probe(folder, "normal", picture)
        code, output = self.bench.finish(proc, timeout=120)
        lines = self.read(report)
        calls = self.read(log)
        self.assertEqual(code, 0, output + "\n".join(lines))

        inputs = [l.split()[1:] for l in lines if l.startswith("input ")]
        self.assertEqual([i[0] for i in inputs], ["A.dll", "both.dll", "sysformats.dll"])
        self.assertEqual(inputs[0][1:], ["release", "00010302", "01020304", "00010008"])
        self.assertEqual(lines[2], "input sysformats.dll GDI+ image formats 00010302 01000008 0001000A")
        effects = [l for l in lines if l.startswith("effect ")]
        self.assertEqual(effects, [
            "effect b.DLL fxmod 01000205 groups Group one:2 Group two:3",
            "effect both.dll both 01000205 groups Group one:2 Group two:3",
        ])
        self.assertIn("libraries 4", lines)  # A, b, both, sysformats: both.dll counted once
        self.assertIn("extensions .fak .fak .gif .tiff .tif .png .bmp", lines)
        self.assertIn(f"decode 1 PNG 5x3 size {picture.stat().st_size} bitmap 5x3 00123456", lines)
        self.assertIn("date 2021:07:14 10:30:00", lines)
        self.assertEqual(lines[-1], "unloaded")

        # Load order, the options each input module got, silent skips and unloads.
        self.assertEqual(calls[:3], ["release GetInModule", "release options 0x1", "fxmod GetEffectModule"])
        self.assertIn("both options 0x1", calls)
        self.assertLess(calls.index("nothing unloaded"), calls.index("wrongver GetInModule"))
        after = calls[calls.index("wrongver GetInModule") + 1]
        self.assertEqual(after, "wrongver unloaded")  # wrong version: no options, freed at once
        self.assertFalse(any(c.startswith("tooold") for c in calls))
        # At the end only the module with flags 8 and 0x10000 hears the release notice.
        tail = calls[calls.index("wrongver unloaded") + 1:]
        self.assertEqual(tail[0], "release options 0x10000")
        self.assertNotIn("both options 0x10000", tail)
        self.assertEqual(sorted(tail[1:]), ["both unloaded", "fxmod unloaded", "release unloaded"])

    def test_module_not_acknowledging_options_ends_program(self):
        folder = self.folder("tooold", {"a.dll": self.fakes / "release.dll",
                                        "tooold.dll": self.fakes / "tooold.dll",
                                        "z.dll": self.fakes / "fxmod.dll"})
        proc, report, log = self.start_probe(folder, "tooold")
        colours, code, output = self.answer_message_box(proc, "plugins-tooold.png")
        self.assertEqual(code, 0)
        self.assertIn("tooold plugin is too old. Please download new version", output)
        self.assertGreater(colours, 2)
        lines = self.read(report)
        self.assertFalse(any(l.startswith("libraries") for l in lines))  # ended inside LoadPlugins
        calls = self.read(log)
        self.assertIn("tooold options 0x1", calls)
        self.assertFalse(any(c.startswith("fxmod") for c in calls))  # z.dll never reached

    def test_missing_memory_manager_ends_program(self):
        folder = self.folder("nofastmm", {"a.dll": self.fakes / "release.dll"}, memory_manager=False)
        proc, report, log = self.start_probe(folder, "nofastmm")
        colours, code, output = self.answer_message_box(proc, "plugins-nofastmm.png")
        self.assertEqual(code, 0)
        self.assertIn('Can\'t load \\"fastmm.dll\\". Please reinstall Kelvora. Error 0, 126', output)
        self.assertGreater(colours, 2)
        self.assertEqual(self.read(log), [])  # no plug-in was touched

    def test_program_ends_cleanly_before_the_early_exits(self):
        # The real program with "Path" on a folder whose plug-in load ends it. The end is an
        # orderly one: "win" goes back to "0" (from "-1", set at the start), so the next
        # start neither waits nor counts a dead run.
        cases = [
            ("tooold", {"a.dll": self.fakes / "release.dll", "tooold.dll": self.fakes / "tooold.dll"},
             True, "tooold plugin is too old. Please download new version"),
            ("nofastmm", {"a.dll": self.fakes / "release.dll"},
             False, 'Can\'t load \\"fastmm.dll\\". Please reinstall Kelvora.'),
        ]
        self.addCleanup(self.bench.reg_delete_key, PRODUCT_KEY)
        for name, libraries, memory_manager, message in cases:
            with self.subTest(name):
                folder = self.folder(f"program-{name}", libraries, memory_manager)
                self.bench.reg_delete_key(PRODUCT_KEY)
                self.bench.reg_add(PRODUCT_KEY, "Path", self.bench.windows_path(folder))
                proc = self.bench.start("kelvsaver.scr", ["/c"], log_name=f"program-{name}.log",
                                        env_extra={"WINEDEBUG": "+msgbox"})
                self.assertIsNotNone(self.bench.wait_message_box(timeout=30), "no message box")
                marker = self.counters().get("win")
                colours, code, output = self.answer_message_box(proc, f"plugins-program-{name}.png")
                self.assertEqual(marker, "-1", "while the box is up the run is marked as started")
                self.assertEqual(code, 0, output)
                self.assertIn(message, output)
                self.assertGreater(colours, 2)
                c = self.counters()
                self.assertEqual((c.get("count"), c.get("win"), c.get("prever")), ("1", "0", "0"))

    def test_library_that_cannot_load_raises(self):
        folder = self.folder("badlib", {"a.dll": self.fakes / "release.dll",
                                        "bad.dll": b"MZ this is no library" + bytes(200)})
        proc, report, log = self.start_probe(folder, "badlib")
        code, output = self.bench.finish(proc, timeout=60)
        self.assertEqual(code, 3, output)
        self.assertEqual(self.read(report), ["exception can't load bad.dll, 193"])


if __name__ == "__main__":
    unittest.main()
