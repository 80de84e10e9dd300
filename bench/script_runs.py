"""What the benchmark scripts that drive the show tests' helpers (test_show.ShowRuns)
outside unittest need of it: the few assertions and the cleanup list those helpers use;
and the prefix brought up on a display of other screens for a run."""
import contextlib
import json

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
