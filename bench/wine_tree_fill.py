"""How long the settings dialog takes to fill its picture tree for a large catalogue, in the
running program under Wine: 100 folders of 1000 pictures each (100,000 pictures) read from
the cache file, the dialog started with `kelvsaver.scr /c` on the test bench.

    python3 bench/wine_tree_fill.py [runs] [folders] [pictures per folder]

For each run it prints, from the start of the process, when the dialog had laid out its
controls (the trace's "controls dialog=KSSW_Kelvora end", the window's own start) and when
the picture tree was filled (the trace's "picture tree built"), the tree's time after the
window and the ratio of the two; then, on the Photos page, how long a folder takes to show
its picture nodes after the key that opens it (the trace's "picture tree folder filled",
written only by a program that makes them then; a program that made them in the build has
nothing to wait for). The trace file is polled every 5 ms.

Needs the win64 build (KELV_BUILD, default build/win64) with its Wine bench set up
(tests/wine/winebench.py setup). The pictures need not exist: the tree shows names only.
"""
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "wine"))

from test_settings_dialog import BASE_TEXT, LINE, MAIN  # noqa: E402
from test_settings_trees import write_cache  # noqa: E402
from winebench import PRODUCT_KEY, Bench, reg_text  # noqa: E402


def cache_path(bench: Bench) -> Path:
    users = [u for u in (bench.prefix / "drive_c" / "users").iterdir() if (u / "AppData").exists()]
    return users[0] / "AppData" / "Roaming" / "Kelvora" / "piclist.dat"


def wait_line(trace: Path, start: float, prefix: str, timeout: float, after: int = 0):
    """(seconds since `start` when a line starting with `prefix` first appeared beyond the
    first `after` such lines, that line), or (None, None)."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        text = trace.read_text(errors="replace") if trace.exists() else ""
        found = [l for l in text.splitlines() if l.startswith(prefix)]
        if len(found) > after:
            return time.monotonic() - start, found[after]
        time.sleep(0.005)
    return None, None


def control_centre(trace: Path, id: int):
    """The centre of the dialog's control `id` on the screen, from the first trace block."""
    for line in trace.read_text(errors="replace").splitlines():
        m = LINE.match(line)
        if m and m[1] == MAIN and int(m[2]) == id:
            left, top, right, bottom = map(int, m.groups()[3:7])
            return (left + right) // 2, (top + bottom) // 2, left, top
    return None


def open_a_folder(bench: Bench, trace: Path):
    """On the Photos page, the seconds from the key that opens a folder node to its picture
    nodes (None when the program made them with the tree)."""
    box = bench.wait_message_box("^Kelvora$", timeout=10)
    tab, tree = control_centre(trace, 27), control_centre(trace, 54)
    if not box or not tab or not tree:
        return None
    bench.xdotool_ok("windowfocus", "--sync", box[0])
    time.sleep(0.5)
    bench.xdotool("mousemove", tab[2] + 20, tab[3] + 10)
    bench.xdotool("click", "1")
    for key in ("Left", "Left", "Left", "Right"):
        bench.xdotool("key", key)
        time.sleep(0.1)
    time.sleep(1.0)
    bench.xdotool("mousemove", tree[0], tree[1])  # selects the folder node there
    bench.xdotool("click", "1")
    time.sleep(1.0)
    before = sum(1 for l in trace.read_text(errors="replace").splitlines()
                 if l.startswith("picture tree folder filled"))
    pressed = time.monotonic()
    bench.xdotool("key", "Right")
    took, _ = wait_line(trace, pressed, "picture tree folder filled", 5, before)
    return took


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    folder_count = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    per_folder = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    bench = Bench()
    trace = bench.out / "tree-fill-trace.txt"
    folders = [(f"C:\\Photos\\Folder{f:03d}", [f"C:\\Photos\\Folder{f:03d}\\picture{n:05d}.jpg"
                                             for n in range(per_folder)]) for f in range(folder_count)]
    cache = cache_path(bench)
    bench.reg_delete_key(PRODUCT_KEY)
    lines = [f"[{PRODUCT_KEY}]", f'"Path"={reg_text(bench.windows_path(bench.dist))}']
    lines += [f'"{name}"={reg_text(value)}' for name, value in BASE_TEXT.items()]
    bench.reg_import("\n".join(lines) + "\n")
    print(f"{folder_count} folders x {per_folder} pictures = {folder_count * per_folder} pictures, {runs} runs")
    rows = []
    try:
        for run in range(runs):
            write_cache(cache, folders)
            if trace.exists():
                trace.unlink()
            start = time.monotonic()
            proc = bench.start("kelvsaver.scr", ["/c"], log_name="tree-fill.log",
                               env_extra={"KELVORA_TEST_TRACE": bench.windows_path(trace)})
            shown, _ = wait_line(trace, start, f"controls dialog={MAIN} end", 60)
            built, line = wait_line(trace, start, "picture tree built", 300)
            opened = None
            if built is not None:
                opened = open_a_folder(bench, trace)
            # Cancel: a clean end, so that the next start counts no dead run.
            cancel = control_centre(trace, 17)
            if cancel:
                bench.xdotool("mousemove", cancel[0], cancel[1])
                bench.xdotool("click", "1")
            bench.finish(proc, 20)
            rows.append((shown, built, opened))
            show = f"{shown:6.2f} s" if shown is not None else "   --   "
            tree = f"{built:6.2f} s" if built is not None else "   --   "
            after = f"{built - shown:6.2f} s" if shown is not None and built is not None else "   --   "
            ratio = f"{built / shown:5.1f}" if shown and built is not None else "  -- "
            folder = f"{opened * 1000:6.0f} ms" if opened is not None else "  (none)"
            print(f"run {run + 1}: window {show}  tree {tree}  tree after window {after}  "
                  f"tree / window {ratio}  a folder opened {folder}  ({line})")
    finally:
        if cache.exists():
            cache.unlink()
        bench.reg_delete_key(PRODUCT_KEY)
    done = [r for r in rows if r[0] is not None and r[1] is not None]
    if done:
        print(f"window {min(r[0] for r in done):.2f}-{max(r[0] for r in done):.2f} s, "
              f"tree {min(r[1] for r in done):.2f}-{max(r[1] for r in done):.2f} s, "
              f"tree after window {min(r[1] - r[0] for r in done):.2f}-{max(r[1] - r[0] for r in done):.2f} s")


if __name__ == "__main__":
    main()
