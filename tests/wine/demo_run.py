"""Runs the saver full screen for the demo (scripts/demo.sh): sets the registry values
that point the saver at the dist folder and the sample pictures, starts "kelvsaver.scr /s"
on the current DISPLAY (or on a private Xvfb display when there is none), saves
screenshots over the run, ends the saver with a key press, then opens the settings dialog
("/c") and saves a screenshot of each page, and stops what it started.

usage: demo_run.py --samples <folder> --out <folder> [--seconds N]   (KELV_BUILD names the
build folder, as for the test bench)
"""
import argparse
import os
import shutil
import subprocess
import time
from pathlib import Path

from winebench import PRODUCT_KEY, Bench, reg_text


class DisplayBench(Bench):
    """The bench on a display that is already there (the user's DISPLAY)."""

    def __init__(self, display: str):
        super().__init__()
        self.x_display = display

    def env(self) -> dict:
        env = super().env()
        env["DISPLAY"] = self.x_display
        return env

    def screenshot(self, name: str) -> Path:
        path = self.out / name
        subprocess.run(["import", "-display", self.x_display, "-window", "root", str(path)],
                       check=True, timeout=60)
        return path


def display_works(display: str) -> bool:
    try:
        return subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=20).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


def configure(bench: Bench, samples: Path):
    dist = bench.windows_path(bench.dist)
    bench.reg_delete_key(PRODUCT_KEY)
    bench.reg_import(
        f"[{PRODUCT_KEY}]\n"
        f"\"Path\"={reg_text(dist)}\n"
        "\"Delay\"=\"3000\"\n"
        "\"Convert\"=\"1500\"\n"
        f"\n[{PRODUCT_KEY}\\Folders]\n"
        f"\"1\"={reg_text(bench.windows_path(samples))}\n")
    # The folder list is only read when there is no catalogue cache file yet.
    for cache in bench.prefix.glob("drive_c/users/*/AppData/Roaming/Kelvora/piclist.dat"):
        cache.unlink()


def show_settings_dialog(bench: Bench, out: Path):
    """Opens the settings dialog, saves a screenshot of each of its pages and closes it
    with the close box's key (nothing is saved)."""
    dialog = bench.start("kelvsaver.scr", ["/c"], log_name="demo-settings.log")
    try:
        box = bench.wait_message_box("^Kelvora$", timeout=30)
        if not box:
            print("the settings dialog did not appear")
            return
        window, geometry = box
        bench.xdotool_ok("windowfocus", "--sync", window)
        # The first tab sits at the top left of the window's client area; the arrow keys
        # move from page to page.
        bench.xdotool("mousemove", geometry["X"] + 30, geometry["Y"] + 20)
        bench.xdotool("click", "1")
        for i, page in enumerate(("general", "photos", "effects", "about")):
            if i:
                bench.xdotool("key", "Right")
            time.sleep(1.0)
            shot = bench.screenshot(f"demo-settings-{page}.png")
            shutil.copy(shot, out / shot.name)
            print(f"screenshot {out / shot.name}")
        bench.press_key_in(window, "alt+F4")
        code, _ = bench.finish(dialog, timeout=15)
        dialog = None
        print("settings dialog closed" + (f" with exit code {code}" if code is not None else " (stopped)"))
    finally:
        if dialog is not None:
            bench.finish(dialog, timeout=1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--samples", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--seconds", type=float, default=20)
    args = parser.parse_args()
    out = Path(args.out)
    out.mkdir(parents=True, exist_ok=True)

    display = os.environ.get("DISPLAY", "")
    own_xvfb = not (display and display_works(display))
    if own_xvfb:
        bench = Bench()
        bench.setup()  # private Xvfb, prefix, wineserver
        print(f"running on a private Xvfb display :{bench.display}")
    else:
        bench = DisplayBench(display)
        # On a display of the user's, Bench.setup would start Xvfb: this does the rest of it.
        server = bench.start_prefix()
        print(f"running on DISPLAY {display}")

    saver = None
    try:
        configure(bench, Path(args.samples).resolve())
        saver = bench.start("kelvsaver.scr", ["/s"], log_name="demo-saver.log")
        shots = 5
        start = time.time()
        for i in range(shots):
            target = start + 2 + i * (args.seconds - 2) / shots
            time.sleep(max(0.0, target - time.time()))
            shot = bench.screenshot(f"demo-{i + 1}.png")
            shutil.copy(shot, out / shot.name)
            print(f"screenshot {out / shot.name}")
            if saver.poll() is not None:
                break
        # Any key ends the saver (until the saver run is built, it closes its message box).
        bench.xdotool("key", "Return")
        code, log = bench.finish(saver, timeout=15)
        saver = None
        print("saver ended" + (f" with exit code {code}" if code is not None else " (stopped after a time-out)"))
        if log.strip():
            print(log.strip())
        show_settings_dialog(bench, out)
    finally:
        if saver is not None:
            bench.finish(saver, timeout=1)
        if own_xvfb:
            bench.teardown()  # wineserver and Xvfb
        else:
            bench.stop_prefix(server)


if __name__ == "__main__":
    main()
