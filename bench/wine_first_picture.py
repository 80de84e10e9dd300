"""The start of the real saver under Wine with a large catalogue: 100,000 pictures in 100
folders, read from the cache file. For each kind of start, several runs; each prints when
the saver's window showed the captured desktop and when the first picture's change began,
in milliseconds since the process was created (the test trace's "saver window ms=" and
"first picture ms=" lines).

    python3 bench/wine_first_picture.py [runs per kind] [--cold] [--against=<dist folder>]

Needs the win64 build (KELV_BUILD, default build/win64) with its Wine bench set up
(tests/wine/winebench.py setup). The pictures are hard links to a few photo-like JPEGs
in the prefix's drive C:, so that every catalogue name is a real file; the cache file is
written here in the program's format (the first run would otherwise scan all folders).

On Windows the desktop's process is always there when a screen saver starts; in the
bench's prefix Wine starts its desktop process (explorer.exe) with the first program
that needs one and ends it a little after the last, so that every run would pay its
start (about 150 to 300 ms here). A small hidden window is kept open for the whole
measurement, so that the desktop stays; --cold measures without it.

--against names another build's dist folder (an older saver and its plug-ins): its
runs alternate with this build's in the same prefix, so that both meet the same load
of a shared machine, and each kind ends with the ratio of the medians (this build's /
the other's).
"""
import os
import statistics
import struct
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "wine"))
sys.path.insert(0, str(Path(__file__).resolve().parent))

from script_runs import ScriptRuns  # noqa: E402
from test_show import WINE_X11_KEY, ShowRuns  # noqa: E402
from winebench import PRODUCT_KEY, Bench  # noqa: E402

FOLDERS = 100
PER_FOLDER = 1000
SOURCES = 4  # distinct JPEGs the pictures link to


def album(f: int) -> str:
    return f"Holiday Album {f:03d}"


def picture(f: int, p: int) -> str:
    return f"IMG_{f * PER_FOLDER + p:06d}.jpg"


def cache_file_bytes(folders) -> bytes:
    """The cache file of the catalogue (Root empty, then the folders), current version."""
    out = bytearray(b"PR" + struct.pack("<I", 0x02030000))

    def entry(path: str, flags: int, names):
        block = b"".join(n.encode("latin-1") + b"\0" for n in names)
        p = path.encode("latin-1")
        out.extend(struct.pack("<H", len(p) + 18) + p + b"\0" + bytes([flags]))
        out.extend(struct.pack("<IIII", len(names), len(block), 0, 0) + block)

    entry("Root", 2, [])
    for path, names in folders:
        entry(path, 2, names)
    return bytes(out)


class FirstPictureRuns(ScriptRuns, ShowRuns):
    def __init__(self):
        self.bench = Bench()
        self.cleanups = []
        self.root = self.bench.prefix / "drive_c" / "Pictures"
        self.sources = self.bench.out / "first_picture_sources"
        self.sources.mkdir(exist_ok=True)
        self.make_pictures()

    def make_pictures(self):
        import subprocess
        for k in range(SOURCES):
            src = self.sources / f"photo{k}.jpg"
            if not src.exists():
                # A photo-like 3000 x 2000 picture (a plasma fractal), about 1 MB.
                subprocess.run(["convert", "-size", "3000x2000", f"plasma:fractal", "-seed", str(k + 1),
                                "-quality", "85", str(src)], check=True, timeout=300)
        for f in range(FOLDERS):
            d = self.root / album(f)
            d.mkdir(parents=True, exist_ok=True)
            for p in range(PER_FOLDER):
                target = d / picture(f, p)
                if not target.exists():
                    os.link(self.sources / f"photo{(f * PER_FOLDER + p) % SOURCES}.jpg", target)

    def windows_name(self, f: int, p: int | None = None) -> str:
        text = "C:\\Pictures\\" + album(f)
        return text if p is None else text + "\\" + picture(f, p)

    def write_cache(self):
        folders = [(self.windows_name(f), [self.windows_name(f, p) for p in range(PER_FOLDER)]) for f in range(FOLDERS)]
        data = cache_file_bytes(folders)
        for appdata in self.bench.prefix.glob("drive_c/users/*/AppData/Roaming"):
            (appdata / "Kelvora").mkdir(exist_ok=True)
            (appdata / "Kelvora" / "piclist.dat").write_bytes(data)
        return len(data)

    def one_run(self, name: str, order: int, settings: dict, prev: str | None, dist: Path):
        self.bench.dist = dist  # the saver started and the plug-in folder it is given
        self.configure_show(self.root, delay=3000, convert=800, order=order, prev=prev, settings=settings)
        self.write_cache()
        trace = self.bench.out / f"first_picture_{name}.txt"
        if trace.exists():
            trace.unlink()
        proc = self.start_show(f"first_picture_{name}", env_extra={"KELVORA_TEST_TRACE": self.bench.windows_path(trace)})
        figures = {}
        end = time.time() + 30
        while time.time() < end and "first picture" not in figures:
            if trace.exists():
                for line in trace.read_text(errors="replace").splitlines():
                    for key in ("saver window", "first picture"):
                        if line.startswith(key + " ms="):
                            figures[key] = int(line.split("=", 1)[1])
            time.sleep(0.1)
        time.sleep(0.3)
        self.end_with_key(proc)
        for f, args in self.cleanups:
            f(*args)
        self.cleanups.clear()
        return figures.get("saver window", -1), figures.get("first picture", -1)


KINDS = (
    # name, order value, further settings, resume point
    ("sequential, resume point", 17, {}, "50123?" + "C:\\Pictures\\" + album(50) + "\\" + picture(50, 123)),
    ("sequential, moved resume point", 17, {}, "7?" + "C:\\Pictures\\" + album(99) + "\\" + picture(99, 999)),
    ("random", 2, {}, None),
    ("random, size filter on", 2, {"filterres": 1, "filterx": 100, "filtery": 100}, None),
)


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    runs = int(args[0]) if args else 6
    against = next((Path(a.split("=", 1)[1]).resolve() for a in sys.argv[1:] if a.startswith("--against=")), None)
    bench_runs = FirstPictureRuns()
    bench = bench_runs.bench
    builds = [("this build", bench.dist)] + ([("against", against)] if against else [])
    bench.reg_add(WINE_X11_KEY, "Managed", "N")
    size = bench_runs.write_cache()
    print(f"catalogue: {FOLDERS * PER_FOLDER} pictures in {FOLDERS} folders, cache file {size / 1e6:.2f} MB")
    keeper = None
    if "--cold" not in sys.argv:
        # Hidden after 1 ms, open for an hour at most; ended below by its process id.
        keeper = bench.start("desktop_window.exe", ["0", "0", "8", "8", "000000",
                                                    bench.windows_path(bench.out / "first_picture_keeper.txt"),
                                                    "1", "3600000"], log_name="first_picture_keeper.log")
        time.sleep(2)
    try:
        for k, (name, order, settings, prev) in enumerate(KINDS):
            figures = {label: ([], []) for label, _ in builds}
            for r in range(runs):
                for label, dist in builds:
                    w, p = bench_runs.one_run(f"{k}_{r}{'b' if label == 'against' else ''}", order, settings, prev, dist)
                    figures[label][0].append(w)
                    figures[label][1].append(p)
            for label, (windows, firsts) in figures.items():
                print(f"{name:32s} {label:10s} window {min(windows):5d}-{max(windows):5d} ms "
                      f"(median {statistics.median(windows):5.0f}); first picture {min(firsts):5d}-{max(firsts):5d} ms "
                      f"(median {statistics.median(firsts):5.0f}); runs: {', '.join(map(str, firsts))}", flush=True)
            if against:
                ours, theirs = figures["this build"], figures["against"]
                print(f"{'':32s} ratio of medians: window {statistics.median(ours[0]) / statistics.median(theirs[0]):.2f}, "
                      f"first picture {statistics.median(ours[1]) / statistics.median(theirs[1]):.2f}", flush=True)
    finally:
        bench.dist = builds[0][1]
        if keeper is not None:
            keeper.kill()
            bench.finish(keeper, timeout=10)
        bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)
        bench.reg_delete_key(PRODUCT_KEY)


if __name__ == "__main__":
    main()
