"""How late the changes of a show on every monitor come, in the real program under Wine:
four 1920x1080 monitors (an Xvfb of four screens joined with Xinerama, one pixel wider each), "Delay" 3 s, a
transition of 0.5 s, one photo-sized JPEG per screen, good resize quality. Each monitor's
change is due its share of the delay after the primary's (monitor k of 4: k/4 of 3 s); the
program's test trace says how late each timed change started ("late monitor=N ms=L").

    python3 bench/wine_monitors_late.py [seconds]

Needs the win64 build (KELV_BUILD, default build/win64) with its Wine bench set up
(tests/wine/winebench.py setup). Prints each monitor's changes and lateness, and the share
of changes later than one pass of the show thread (30 ms) and than a tenth of a share.
"""
import re
import statistics
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "wine"))

sys.path.insert(0, str(Path(__file__).resolve().parent))

from script_runs import photo_folder, prefix_on_screens, saver_for  # noqa: E402
from winebench import PRODUCT_KEY, Bench, reg_text  # noqa: E402

# Xvfb's Xinerama puts every screen at 0,0, and Wine takes screens of one rectangle for one
# monitor: the four differ by a pixel of width.
SCREENS = [(1920 + k, 1080) for k in range(4)]
DELAY, CONVERT = 3000, 500
LATE = re.compile(r"^late monitor=(\d+) ms=(-?\d+)$")
COLOURS = [(200, 40, 40), (40, 160, 60), (40, 60, 200), (200, 180, 40), (40, 180, 190), (180, 40, 170),
           (120, 120, 120), (220, 120, 40)]


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 45.0
    bench = Bench()
    folder = photo_folder(bench, "monitors_late", COLOURS)
    bench.reg_delete_key(PRODUCT_KEY)
    bench.reg_import(
        f"[{PRODUCT_KEY}]\n\"Path\"={reg_text(bench.windows_path(bench.dist))}\n"
        f"\"Delay\"=\"{DELAY}\"\n\"Convert\"=\"{CONVERT}\"\n\"DDraw\"=\"0\"\n\"Screens\"=\"1\"\n\"Resize\"=\"1\"\n"
        "\"Order\"=\"1\"\n\"Monitors\"=\"1\"\n"
        f"[{PRODUCT_KEY}\\Folders]\n\"1\"={reg_text(bench.windows_path(folder))}\n")
    for cache in bench.prefix.glob("drive_c/users/*/AppData/Roaming/Kelvora/piclist.dat"):
        cache.unlink()

    try:
        with prefix_on_screens(bench, SCREENS):
            lines = saver_for(bench, seconds, bench.out / "monitors_late.txt", "monitors_late.log")
    finally:
        bench.reg_delete_key(PRODUCT_KEY)

    late = [(int(m[1]), int(m[2])) for m in map(LATE.match, lines) if m]
    frames = [dict(kv.split("=", 1) for kv in line.split()) for line in lines if line.startswith("frames=")]
    print(f"{len(SCREENS)} monitors of {SCREENS[0][0]}x{SCREENS[0][1]}, Delay {DELAY} ms, transition {CONVERT} ms,"
          f" {seconds:.0f} s: {len(late)} timed changes")
    share = DELAY // len(SCREENS)
    for monitor in range(len(SCREENS)):
        ms = [v for m, v in late if m == monitor]
        if not ms:
            print(f"  monitor {monitor}: no timed change")
            continue
        print(f"  monitor {monitor}: {len(ms):3d} changes, late median {statistics.median(ms):5.0f} ms,"
              f" worst {max(ms):5d} ms; every one: {' '.join(map(str, ms))}")
    if late:
        over_pass = sum(1 for _, v in late if v > 30)
        over_tenth = sum(1 for _, v in late if v > share // 10)
        print(f"  later than one pass (30 ms): {over_pass} of {len(late)}; later than a tenth of a"
              f" monitor's share ({share // 10} ms): {over_tenth} of {len(late)}")
    if frames:
        took = [int(f["ms"]) for f in frames]
        print(f"  transitions: median {statistics.median(took):.0f} ms (configured {CONVERT} ms)")


if __name__ == "__main__":
    main()
