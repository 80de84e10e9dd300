"""The frame rate of pan and zoom in the real program under Wine at 1280x720: one photo-sized
JPEG per screen, good resize quality, "Delay" 6 s, through GDI and through DirectDraw. At the
end of each moving stay the program's test trace gives "motion frames=N ms=M" (the frames
of the stay and the time from its first frame to its end); the rate is N / M.

    python3 bench/wine_motion_rate.py [seconds per presentation]

Needs the win64 build (KELV_BUILD, default build/win64) with its Wine bench set up
(tests/wine/winebench.py setup). The frames come at most every 10 ms, so 100 frames per
second is the ceiling; the show thread also composes the next picture during the stay.
"""
import re
import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "wine"))
sys.path.insert(0, str(Path(__file__).resolve().parent))

from script_runs import photo_folder, prefix_on_screens, saver_for  # noqa: E402
from winebench import PRODUCT_KEY, Bench, reg_text  # noqa: E402

SCREEN = (1280, 720)
DELAY, CONVERT = 6000, 500
MOTION = re.compile(r"^motion frames=(\d+) ms=(\d+) source=(\d+)x(\d+)$")
COLOURS = [(200, 40, 40), (40, 160, 60), (40, 60, 200), (200, 180, 40)]


def run(bench, folder, ddraw: bool, seconds: float):
    bench.reg_delete_key(PRODUCT_KEY)
    bench.reg_import(
        f"[{PRODUCT_KEY}]\n\"Path\"={reg_text(bench.windows_path(bench.dist))}\n"
        f"\"Delay\"=\"{DELAY}\"\n\"Convert\"=\"{CONVERT}\"\n\"DDraw\"=\"{int(ddraw)}\"\n\"Screens\"=\"1\"\n"
        "\"Resize\"=\"1\"\n\"Order\"=\"1\"\n\"Motion\"=\"1\"\n"
        f"[{PRODUCT_KEY}\\Folders]\n\"1\"={reg_text(bench.windows_path(folder))}\n")
    for cache in bench.prefix.glob("drive_c/users/*/AppData/Roaming/Kelvora/piclist.dat"):
        cache.unlink()
    lines = saver_for(bench, seconds, bench.out / f"motion_rate_{int(ddraw)}.txt", f"motion_rate_{int(ddraw)}.log")
    return [(int(m[1]), int(m[2])) for m in map(MOTION.match, lines) if m]


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 40.0
    bench = Bench()
    folder = photo_folder(bench, "motion_rate", COLOURS)
    results = {}
    try:
        with prefix_on_screens(bench, [SCREEN]):
            for ddraw in (False, True):
                results[ddraw] = run(bench, folder, ddraw, seconds)
    finally:
        bench.reg_delete_key(PRODUCT_KEY)
    print(f"pan and zoom at {SCREEN[0]}x{SCREEN[1]}, Delay {DELAY} ms, {seconds:.0f} s per presentation")
    for ddraw, stays in results.items():
        name = "DirectDraw" if ddraw else "GDI"
        if not stays:
            print(f"  {name}: no moving stay")
            continue
        rates = [1000 * f / ms for f, ms in stays if ms > 0]
        print(f"  {name:10s}: {len(stays)} stays, frames per second median {statistics.median(rates):.0f},"
              f" lowest {min(rates):.0f}, highest {max(rates):.0f}; each stay: "
              + " ".join(f"{f}/{ms}ms" for f, ms in stays))


if __name__ == "__main__":
    main()
