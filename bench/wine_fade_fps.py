"""Frames per second a Fade transition reaches on screen in the running program under
Wine, GDI and DirectDraw presentation, at the bench display's size: a real show of
full-screen pictures with only basicfx's Fade group on, read from the test trace
(one "frames=<n> ms=<t> present_ms=<p>" line after each transition).

    python3 bench/wine_fade_fps.py [seconds per path]

Needs the win64 build (KELV_BUILD, default build/win64) with its Wine bench set up
(tests/wine/winebench.py setup); prints one line per path and the time spent presenting.
"""
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "wine"))
sys.path.insert(0, str(Path(__file__).resolve().parent))

from pictures import numbered_picture  # noqa: E402
from script_runs import ScriptRuns  # noqa: E402
from test_show import BASICFX_GROUPS, PICTURES, WINE_X11_KEY, ShowRuns, effect_bits  # noqa: E402
from winebench import PRODUCT_KEY, SCREEN, Bench  # noqa: E402

FADE_GROUP = 4


class FadeRun(ScriptRuns, ShowRuns):
    def __init__(self):
        self.bench = Bench()
        self.cleanups = []
        self.folder = self.bench.out / "fade_fps"
        self.folder.mkdir(exist_ok=True)
        for number, rgb in PICTURES:
            numbered_picture(f"BMP3:{self.folder / ('pic' + number + '.bmp')}", SCREEN[0], SCREEN[1], rgb, number, 360)

    def measure(self, ddraw: bool, seconds: float):
        self.configure_show(self.folder, delay=300, convert=2000, ddraw=ddraw,
                            basicfx=set(range(len(BASICFX_GROUPS))) - {FADE_GROUP})
        # Only basicfx's Fade group: the other effect modules are switched off.
        self.bench.reg_import(f"[{PRODUCT_KEY}\\Plugins]\n"
                              f"\"basicfx.dll\"=hex:{effect_bits(BASICFX_GROUPS, lambda g, e: g == FADE_GROUP)}\n"
                              "\"divingfx.dll\"=hex:00\n\"stamp.dll\"=hex:00\n")
        trace = self.bench.out / f"fade_fps_{'ddraw' if ddraw else 'gdi'}.txt"
        if trace.exists():
            trace.unlink()
        proc = self.start_show(f"fade_fps_{'ddraw' if ddraw else 'gdi'}",
                               env_extra={"KELVORA_TEST_TRACE": self.bench.windows_path(trace)})
        time.sleep(seconds)
        self.end_with_key(proc)
        for f, args in self.cleanups:
            f(*args)
        self.cleanups.clear()
        lines = trace.read_text().splitlines() if trace.exists() else []
        rows = []
        for effect, frames in zip(lines, lines[1:]):
            if effect.startswith("effect=basicfx.dll 4.") and frames.startswith("frames="):
                v = dict(kv.split("=") for kv in frames.split())
                rows.append((effect.split(" ", 2)[2], int(v["frames"]), int(v["ms"]), int(v["present_ms"])))
        path = "DirectDraw" if ddraw else "GDI"
        # The first transition starts from the captured desktop; the rest are the show's.
        for name, frames, ms, present in rows[1:] or rows:
            fps = frames * 1000.0 / ms if ms else 0.0
            print(f"{path:10s} {name:12s} {SCREEN[0]}x{SCREEN[1]}  {frames:4d} frames in {ms:5d} ms"
                  f" = {fps:5.1f} fps; presenting {present} ms ({present * 100.0 / max(ms, 1):.0f} %)")
        if not rows:
            print(f"{path}: no Fade transition traced ({len(lines)} trace lines)")


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 12.0
    run = FadeRun()
    run.bench.reg_add(WINE_X11_KEY, "Managed", "N")
    try:
        for ddraw in (False, True):
            run.measure(ddraw, seconds)
    finally:
        run.bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)
        run.bench.reg_delete_key(PRODUCT_KEY)


if __name__ == "__main__":
    main()
