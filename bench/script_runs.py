"""What the benchmark scripts that drive the show tests' helpers (test_show.ShowRuns)
outside unittest need of it: the few assertions and the cleanup list those helpers use;
and the prefix brought up on a display of other screens for a run."""
import contextlib
import json
import time

from pictures import numbered_picture

from test_cover_windows import WINE_X11_KEY
from winebench import end_process


class ScriptRuns:
    def addCleanup(self, f, *args):
        self.cleanups.append((f, args))

    def assertIsNotNone(self, value, message):
        if value is None:
            raise SystemExit(message)

    def assertEqual(self, a, b, message):
        if a != b:
            print(f"warning: {message} ({a})")


@contextlib.contextmanager
def prefix_on_screens(bench, screens):
    """The bench's Wine prefix brought up on a new Xvfb of these screens (its desktop
    process reads the monitors at start; Wine told not to use XRandR and not to let a
    window manager place windows), and back on the bench's own display afterwards."""
    home = bench.display
    bench.reg_import(f"[{WINE_X11_KEY}]\n\"UseXRandR\"=\"N\"\n\"Managed\"=\"N\"\n")
    state = json.loads(bench.state_file.read_text())
    bench.stop_prefix(state.get("wineserver_pid"))
    display = bench._start_xvfb(screens)
    xvfb = bench._xvfb_pid
    bench.display = display
    server = bench.start_prefix()
    try:
        yield display
    finally:
        bench.stop_prefix(server)
        end_process(xvfb, "Xvfb", wait=10)
        bench.display = home
        state = json.loads(bench.state_file.read_text())
        state["wineserver_pid"] = bench.start_prefix()
        bench.state_file.write_text(json.dumps(state))
        bench.run("reg", ["delete", WINE_X11_KEY, "/v", "UseXRandR", "/f"], timeout=60)
        bench.run("reg", ["delete", WINE_X11_KEY, "/v", "Managed", "/f"], timeout=60)


def photo_folder(bench, name, colours):
    """A folder of the bench holding one 3000 x 2000 photo-sized JPEG per colour (made once)."""
    folder = bench.out / name
    folder.mkdir(exist_ok=True)
    for n, rgb in enumerate(colours):
        target = folder / f"photo{n}.jpg"
        if not target.exists():
            numbered_picture(f"JPEG:{target}", 3000, 2000, rgb, str(n), 900)
    return folder


def saver_for(bench, seconds, trace, log_name):
    """Runs the saver with the test trace for `seconds`, then ends it with a key; returns
    the trace's lines."""
    trace.unlink(missing_ok=True)
    bench.xdotool("mousemove", 0, 0)
    proc = bench.start("kelvsaver.scr", ["/s"], log_name=log_name,
                       env_extra={"KELVORA_TEST_TRACE": bench.windows_path(trace)})
    time.sleep(seconds)
    bench.xdotool("key", "Escape")
    code, _ = bench.finish(proc, 30)
    if code is None:
        proc.kill()
    return trace.read_text(errors="replace").splitlines() if trace.exists() else []
