"""A long run of the real saver under Wine that shows leaks: fast changes, random grids of
1 to 25 pictures, every effect of every effect module, captions on, pictures of every
format the modules read (and one broken file). Prints the saver process's resident
memory (RSS, from /proc) and its handle, GDI and USER object counts (from the test
trace's line after each transition) at the start, every minute and at the end, with
their growth.

    python3 bench/soak.py [minutes] [--ddraw] [--motion]

With --motion, pan and zoom is on and each screen stays 2.5 s (most of them one picture,
so most move; a grid stays still); the summary adds the moving stays and their frames.

Needs the win64 build (KELV_BUILD, default build/win64) with its Wine bench set up
(tests/wine/winebench.py setup). "Start" is the first transition's line (after the
first screen was composed and shown); the growth is given from the start and, so that
caches filled once do not read as a leak, from the end of the first minute.
"""
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "wine"))
sys.path.insert(0, str(Path(__file__).resolve().parent))

from pictures import numbered_picture  # noqa: E402
from script_runs import ScriptRuns  # noqa: E402
from test_show import WINE_X11_KEY, ShowRuns  # noqa: E402
from winebench import PRODUCT_KEY, Bench  # noqa: E402

# (file name, ImageMagick target prefix, width, height): every decoder, sizes from tiny to
# larger than the screen, both orientations.
PICTURES = (
    ("large.jpg", "JPEG", 3000, 2000), ("tall.jpg", "JPEG", 600, 1400), ("small.jpg", "JPEG", 160, 120),
    ("plain.bmp", "BMP3", 800, 600), ("photo.png", "PNG", 1280, 720), ("anim.gif", "GIF", 500, 500),
    ("scan.tif", "TIFF", 1200, 1600), ("web.webp", "WEBP", 1600, 900), ("phone.heic", "HEIC", 640, 480),
    ("new.avif", "AVIF", 800, 800), ("grey.ppm", "PPM", 700, 500),
)
COLOURS = ((200, 40, 40), (40, 160, 40), (40, 40, 200), (200, 200, 40), (40, 200, 200), (200, 40, 200))


class SoakRun(ScriptRuns, ShowRuns):
    def __init__(self, ddraw: bool, motion: bool = False):
        self.bench = Bench()
        self.cleanups = []
        self.ddraw = ddraw
        self.motion = motion
        self.folder = self.bench.out / "soak"
        self.folder.mkdir(exist_ok=True)
        for k, (name, kind, w, h) in enumerate(PICTURES):
            path = self.folder / name
            if not path.exists():
                numbered_picture(f"{kind}:{path}", w, h, COLOURS[k % len(COLOURS)], str(k + 1), min(w, h) // 2)
        # A file that no decoder can read: the failure paths run too.
        (self.folder / "broken.jpg").write_bytes(b"\xff\xd8\xff\xe0" + b"\x00" * 64)

    def run(self, minutes: float):
        # Random order, random grids (the one-picture screen no more often than the others),
        # captions with the whole path, every effect (no "\Plugins" values: all are on).
        settings = {"Screens": 0, "Random1often": 0, "TextFileName": 15, "StartFromPrevious": 0}
        if self.motion:
            settings.update({"Motion": 1, "Random1often": 1})
        self.configure_show(self.folder, delay=2500 if self.motion else 150, convert=500, order=2, ddraw=self.ddraw,
                            settings=settings)
        trace = self.bench.out / "soak_trace.txt"
        if trace.exists():
            trace.unlink()
        proc = self.start_show("soak", env_extra={"KELVORA_TEST_TRACE": self.bench.windows_path(trace)})
        rows = []
        started = time.time()
        try:
            while not self.counts(trace):
                if time.time() - started > 60:
                    raise SystemExit("no transition within a minute")
                time.sleep(0.5)
            rows.append(("start", *self.sample(proc, trace)))
            print(self.row_text(rows[-1], rows[0]), flush=True)
            for minute in range(1, int(minutes) + 1):
                time.sleep(max(0.0, started + 60 * minute - time.time()))
                if proc.poll() is not None:
                    raise SystemExit(f"the saver ended by itself (exit code {proc.returncode})")
                rows.append((f"{minute} min", *self.sample(proc, trace)))
                print(self.row_text(rows[-1], rows[0]), flush=True)
            self.bench.screenshot("soak_end.png")
        finally:
            if proc.poll() is None:
                self.end_with_key(proc)
            for f, args in self.cleanups:
                f(*args)
            self.cleanups.clear()
        end, first = rows[-1], rows[min(1, len(rows) - 1)]
        lines = trace.read_text(errors="replace").splitlines()
        transitions = sum(1 for line in lines if line.startswith("frames="))
        moving = [dict(kv.split("=", 1) for kv in line.split()[1:]) for line in lines if line.startswith("motion frames=")]
        print(f"end after {len(rows) - 1} min, {transitions} transitions:")
        if self.motion:
            frames, ms = sum(int(m["frames"]) for m in moving), sum(int(m["ms"]) for m in moving)
            print(f"  {len(moving)} moving stays, {frames} frames in {ms / 1000:.0f} s"
                  f" ({1000 * frames / max(ms, 1):.0f} frames per second)")
        print("  growth from the start:        " + self.growth_text(end, rows[0]))
        print("  growth from the first minute: " + self.growth_text(end, first))

    @staticmethod
    def counts(trace: Path) -> dict:
        """The counts of the last "frames=" line of the trace, or {}."""
        if not trace.exists():
            return {}
        for line in reversed(trace.read_text(errors="replace").splitlines()):
            if line.startswith("frames="):
                values = dict(kv.split("=", 1) for kv in line.split() if "=" in kv)
                return {k: int(values[k]) for k in ("handles", "gdi", "user") if k in values}
        return {}

    def sample(self, proc, trace: Path):
        rss = 0
        for line in Path(f"/proc/{proc.pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
        c = self.counts(trace)
        return rss, c.get("handles", -1), c.get("gdi", -1), c.get("user", -1)

    @staticmethod
    def row_text(row, start) -> str:
        label, rss, handles, gdi, user = row
        return (f"{label:>7s}: RSS {rss / 1024:7.1f} MB ({(rss - start[1]) / 1024:+.1f})  handles {handles:5d} "
                f"({handles - start[2]:+d})  GDI {gdi:5d} ({gdi - start[3]:+d})  USER {user:5d} ({user - start[4]:+d})")

    @staticmethod
    def growth_text(end, since) -> str:
        return (f"RSS {(end[1] - since[1]) / 1024:+.1f} MB, handles {end[2] - since[2]:+d}, GDI {end[3] - since[3]:+d}, "
                f"USER {end[4] - since[4]:+d} (from {since[0]})")


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    minutes = float(args[0]) if args else 30.0
    run = SoakRun(ddraw="--ddraw" in sys.argv, motion="--motion" in sys.argv)
    run.bench.reg_add(WINE_X11_KEY, "Managed", "N")
    try:
        run.run(minutes)
    finally:
        run.bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)
        run.bench.reg_delete_key(PRODUCT_KEY)


if __name__ == "__main__":
    main()
