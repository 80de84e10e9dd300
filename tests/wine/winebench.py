"""The Wine test bench: runs the real Windows binaries of the win64 build under Wine on a
private Xvfb display, imports and reads back registry values, takes screenshots and sends
keys and mouse moves.

State shared between the tests of one run (display number, Xvfb and wineserver pids)
lives in <build>/wine/state.json; `winebench.py setup` and `winebench.py teardown` start
and stop the display and the wineserver around the run (CTest fixtures call them).

Wine's helper processes inherit the standard output of the first program started in a
prefix and outlive it, so program output always goes to a file, never to a pipe.

The bench ends only processes it started, by their process ids: the programs it started
(each Windows program is the process of the wine64 loader that the bench started), the
Xvfb and wineserver of its run, and processes of its own private prefix (see
prefix_processes); `wineserver -k` ends the rest of that prefix's processes.
"""
import atexit
import json
import os
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"
if not os.path.exists(WINESERVER):
    WINESERVER = "/usr/lib/wine/wineserver"
SCREEN = (1024, 768)
PRODUCT_KEY = r"HKEY_CURRENT_USER\Software\Tarnwick\Kelvora"
PRODUCT_KEY_LM = r"HKEY_LOCAL_MACHINE\Software\Tarnwick\Kelvora"


def build_dir() -> Path:
    d = os.environ.get("KELV_BUILD")
    if d:
        return Path(d).resolve()
    return (Path(__file__).resolve().parents[2] / "build" / "win64").resolve()


class Bench:
    def __init__(self, build: Path | None = None):
        self.build = Path(build) if build else build_dir()
        self.dist = self.build / "dist"
        self.root = self.build / "wine"
        self.prefix = self.root / "prefix"
        self.out = self.root / "out"
        self.state_file = self.root / "state.json"
        self.root.mkdir(parents=True, exist_ok=True)
        self.out.mkdir(parents=True, exist_ok=True)
        self.display = None
        if self.state_file.exists():
            self.display = json.loads(self.state_file.read_text()).get("display")
        self.started = []  # the programs start() started that finish() has not collected
        atexit.register(self.end_started)

    # ---- environment -------------------------------------------------------------
    def env(self) -> dict:
        env = dict(os.environ)
        env.update(
            WINEPREFIX=str(self.prefix),
            WINEARCH="win64",
            WINEDEBUG=os.environ.get("KELV_WINEDEBUG", "-all"),
            WINEDLLOVERRIDES="mscoree,mshtml=",
        )
        if self.display is not None:
            env["DISPLAY"] = f":{self.display}"
        return env

    def windows_path(self, path: Path) -> str:
        """The Wine drive Z: path of a Linux path."""
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    # ---- start and stop ----------------------------------------------------------
    def setup(self):
        self.display = self._start_xvfb()
        # Written at once too, so that a teardown after a failed start still ends the Xvfb.
        self.state_file.write_text(json.dumps({"display": self.display, "xvfb_pid": self._xvfb_pid}))
        server = self.start_prefix()
        self.state_file.write_text(json.dumps({"display": self.display, "xvfb_pid": self._xvfb_pid,
                                               "wineserver_pid": server}))

    def start_prefix(self) -> int:
        """Creates the prefix when it is not there yet, starts the persistent wineserver
        and brings up the prefix's services; returns the wineserver's process id."""
        if not (self.prefix / "system.reg").exists():
            self.prefix.mkdir(parents=True, exist_ok=True)
            subprocess.run([WINE, "wineboot", "-i"], env=self.env(), stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=300, check=False)
            self.wait_server()
        self.install_dialog_font()  # also into prefixes made before it was done
        self.own_pictures_folder()
        # Keep one wineserver for the whole run: each program then starts quickly.
        server = subprocess.Popen([WINESERVER, "-p"], env=self.env(), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, start_new_session=True)
        time.sleep(0.5)
        # A first program start brings up the prefix's services (explorer, winedevice).
        self.run("cmd", ["/c", "exit"], timeout=120)
        self.link_fonts()
        return server.pid

    # The fonts (file, face) that give the characters the program's faces lack: CJK from
    # WenQuanYi Micro Hei, symbols and emoji from Symbola (scripts/install-deps.sh); linked
    # to faces the prefix has only (the dialogs' Tahoma, and DejaVu Sans for captions): on
    # a face it lacks, Wine would draw in the first linked font instead of its usual stand-in.
    FONT_LINKS = ("wqy-microhei.ttc,WenQuanYi Micro Hei", "Symbola_hint.ttf,Symbola")
    LINKED_FACES = ("Tahoma", "DejaVu Sans")

    def link_fonts(self, for_utf8_program: bool = False):
        """Links those fonts to the faces the dialogs and captions use, as a Windows with
        those scripts installed links its own: the system then draws a name's characters
        from them where the face has no glyph (font linking).

        Wine writes its default links of Tahoma and Microsoft Sans Serif anew whenever a
        program starts under another code page than the one before (its "Codepages"
        value), so a UTF-8 program would lose them after any other program: with
        `for_utf8_program` the links are written as the last thing before such a program,
        with the code page it runs in."""
        value = "".join(link + "\0" for link in self.FONT_LINKS) + "\0"
        # A REGEDIT4 file gives the text of a hex(7) value in 8-bit characters.
        data = ",".join(f"{b:02x}" for b in value.encode("ascii"))
        key = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink"
        text = f"[{key}]\n" + "".join(f'"{face}"=hex(7):{data}\n' for face in self.LINKED_FACES)
        if for_utf8_program:
            text += '\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts]\n"Codepages"="65001,65001"\n'
        self.reg_import(text)

    def install_dialog_font(self):
        """Puts Wine's own Tahoma into the prefix's font folder. The dialog font (MS Shell
        Dlg) stands for Tahoma, but Debian's Wine does not look in the folder where
        fonts-wine keeps it and falls back to the much wider DejaVu Sans; with Tahoma the
        dialogs are laid out in the face their sizes are made for."""
        fonts = self.prefix / "drive_c" / "windows" / "Fonts"
        fonts.mkdir(parents=True, exist_ok=True)
        for name in ("tahoma.ttf", "tahomabd.ttf"):
            source = Path("/usr/share/wine/fonts") / name
            if source.exists() and not (fonts / name).exists():
                shutil.copyfile(source, fonts / name)

    def own_pictures_folder(self):
        """Wine links the user's Pictures folder to the Linux home folder. Runs without
        picture folders of their own scan Pictures, the program's default, and would walk
        the whole home folder of whoever runs the tests; the prefix gets an empty folder
        of its own instead."""
        for pictures in self.prefix.glob("drive_c/users/*/Pictures"):
            if pictures.is_symlink():
                pictures.unlink()
                pictures.mkdir()

    def stop_prefix(self, server_pid: int | None = None):
        """Ends every process of this bench's private prefix (`wineserver -k` acts on the
        prefix of its environment only), then the wineserver it started, by its pid."""
        subprocess.run([WINESERVER, "-k"], env=self.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=False)
        if server_pid:
            end_process(server_pid, "wineserver", wait=10)

    def teardown(self):
        state = json.loads(self.state_file.read_text()) if self.state_file.exists() else {}
        self.stop_prefix(state.get("wineserver_pid"))
        if state.get("xvfb_pid"):
            end_process(state["xvfb_pid"], "Xvfb", wait=10)
        if self.state_file.exists():
            self.state_file.unlink()

    def wait_server(self):
        subprocess.run([WINESERVER, "-w"], env=self.env(), timeout=300, check=False)

    def _start_xvfb(self, screens=(SCREEN,)) -> int:
        """A free display with the given screens (width, height); several screens are
        joined with Xinerama, which Wine then reports as several monitors."""
        screen_args = []
        for i, (w, h) in enumerate(screens):
            screen_args += ["-screen", str(i), f"{w}x{h}x24"]
        if len(screens) > 1:
            screen_args.insert(0, "+xinerama")
        for n in range(90, 190):
            if Path(f"/tmp/.X11-unix/X{n}").exists() or Path(f"/tmp/.X{n}-lock").exists():
                continue
            proc = subprocess.Popen(
                ["Xvfb", f":{n}", *screen_args, "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
            for _ in range(100):
                if Path(f"/tmp/.X11-unix/X{n}").exists():
                    self._xvfb_pid = proc.pid
                    return n
                if proc.poll() is not None:
                    break
                time.sleep(0.05)
            proc.kill()
        raise RuntimeError("no free X display for Xvfb")

    # ---- programs ----------------------------------------------------------------
    def exe(self, name: str) -> str:
        """A program of the dist folder or of the build folder's test programs."""
        for d in (self.dist, self.build / "tests"):
            p = d / name
            if p.exists():
                return str(p)
        return name

    def start(self, program: str, args=(), log_name: str | None = None, env_extra=None):
        """Starts a Windows program; its output goes to a log file (never a pipe)."""
        log = self.out / (log_name or (Path(program).stem + ".log"))
        env = self.env()
        if env_extra:
            env.update(env_extra)
        fh = open(log, "wb")
        proc = subprocess.Popen([WINE, self.exe(program), *args], env=env, stdout=fh,
                                stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        proc.log_path = log
        proc.log_handle = fh
        self.started.append(proc)
        return proc

    def finish(self, proc, timeout: float):
        """Waits for a started program; returns (exit code or None on time-out, output)."""
        try:
            code = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            code = None
            proc.kill()
            proc.wait()
        proc.log_handle.close()
        if proc in self.started:
            self.started.remove(proc)
        return code, Path(proc.log_path).read_text(errors="replace")

    def run(self, program: str, args=(), timeout: float = 60, env_extra=None):
        proc = self.start(program, args, env_extra=env_extra)
        return self.finish(proc, timeout)

    def end_started(self):
        """Ends the programs this bench started that are still running, by their process
        ids (also run when the test process exits)."""
        for proc in list(self.started):
            if proc.poll() is None:
                proc.kill()
            proc.wait()
            if not proc.log_handle.closed:
                proc.log_handle.close()
            self.started.remove(proc)

    def prefix_processes(self, *words: str) -> list:
        """Process ids of the processes that run in this bench's private prefix (their
        WINEPREFIX is it) and whose command line holds every one of `words`: what the
        bench's programs started in turn, such as the browser a bug report opens."""
        wanted = b"WINEPREFIX=" + str(self.prefix).encode()
        pids = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                environ = (entry / "environ").read_bytes().split(b"\0")
                cmd = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
            except OSError:
                continue
            if wanted in environ and all(w in cmd for w in words):
                pids.append(int(entry.name))
        return pids

    def end_prefix_processes(self, *words: str):
        """Ends the processes prefix_processes(*words) finds, by their process ids."""
        for pid in self.prefix_processes(*words):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    # ---- registry ----------------------------------------------------------------
    def reg_import(self, text: str):
        """Imports a .reg file text (REGEDIT4 header added when missing; a text with
        characters beyond Latin-1 goes as a Unicode file, the header of version 5)."""
        wide = any(ord(c) > 255 for c in text)
        if not text.lstrip().startswith(("REGEDIT4", "Windows Registry Editor")):
            text = ("Windows Registry Editor Version 5.00" if wide else "REGEDIT4") + "\n\n" + text
        path = self.out / "import.reg"
        path.write_text(text.replace("\n", "\r\n"), encoding="utf-16" if wide else "latin-1")
        code, out = self.run("regedit", ["/S", self.windows_path(path)], timeout=60)
        if code != 0:
            raise RuntimeError(f"regedit import failed ({code}): {out}")

    def reg_delete_key(self, key: str):
        self.run("reg", ["delete", key, "/f"], timeout=60)

    def reg_add(self, key: str, name: str, value: str, kind: str = "REG_SZ"):
        code, out = self.run("reg", ["add", key, "/v", name, "/t", kind, "/d", value, "/f"], timeout=60)
        if code != 0:
            raise RuntimeError(f"reg add failed: {out}")

    def reg_export(self, key: str) -> dict:
        """All values of one key as {name: (type, data)}: REG_SZ data is text, REG_BINARY
        data is bytes, REG_DWORD data is int. Empty dict when the key does not exist."""
        path = self.out / "export.reg"
        if path.exists():
            path.unlink()
        self.run("regedit", ["/E", self.windows_path(path), key], timeout=60)
        if not path.exists():
            return {}
        raw = path.read_bytes()
        text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("latin-1")
        return parse_reg_export(text, key)

    # ---- display -----------------------------------------------------------------
    def screenshot(self, name: str) -> Path:
        path = self.out / name
        subprocess.run(["import", "-display", f":{self.display}", "-window", "root", str(path)],
                       check=True, timeout=60)
        return path

    def xdotool(self, *args) -> str:
        r = subprocess.run(["xdotool", *map(str, args)], env=self.env(), capture_output=True,
                           text=True, timeout=30)
        return r.stdout

    def xdotool_ok(self, *args, timeout: float = 10) -> bool:
        """Whether an xdotool command succeeded within `timeout` seconds."""
        try:
            return subprocess.run(["xdotool", *map(str, args)], env=self.env(), capture_output=True,
                                  timeout=timeout).returncode == 0
        except subprocess.TimeoutExpired:
            return False

    def wait_window(self, title: str, timeout: float = 20) -> str | None:
        end = time.time() + timeout
        while time.time() < end:
            ids = self.xdotool("search", "--name", title).split()
            if ids:
                return ids[0]
            time.sleep(0.2)
        return None

    def window_geometry(self, window: str) -> dict | None:
        """{"X", "Y", "WIDTH", "HEIGHT"} of a window in screen pixels; None when the window
        is gone."""
        fields = dict(line.split("=", 1) for line in
                      self.xdotool("getwindowgeometry", "--shell", window).split() if "=" in line)
        try:
            return {k: int(fields[k]) for k in ("X", "Y", "WIDTH", "HEIGHT")}
        except (KeyError, ValueError):
            return None

    def wait_message_box(self, title: str = "^Kelvora$", timeout: float = 20):
        """(window id, geometry) of the first window named `title` (a regular expression)
        that is mapped and has a size, or None when none comes within `timeout` seconds.
        The poll looks again while the window is not mapped yet or is gone before its
        geometry is read: Wine may replace a window's X window while it shows it."""
        end = time.monotonic() + timeout
        while True:
            for window in self.xdotool("search", "--onlyvisible", "--name", title).split():
                geometry = self.window_geometry(window)
                if geometry and geometry["WIDTH"] > 0 and geometry["HEIGHT"] > 0:
                    return window, geometry
            if time.monotonic() >= end:
                return None
            time.sleep(0.1)

    def area_colours(self, png: Path, geometry: dict) -> int:
        """The number of distinct colours inside `geometry` of a screenshot."""
        crop = f"{geometry['WIDTH']}x{geometry['HEIGHT']}+{geometry['X']}+{geometry['Y']}"
        r = subprocess.run(["convert", str(png), "-crop", crop, "+repage", "-format", "%k", "info:"],
                           capture_output=True, text=True, timeout=60, check=True)
        return int(r.stdout.strip())

    def wait_painted(self, geometry: dict, name: str, colours: int = 3, timeout: float = 10):
        """Screenshots the display (as `name`) until the area of `geometry` shows at least
        `colours` colours (a message box's frame, text and button give many) or `timeout`
        seconds have passed; returns the last screenshot and its colour count there."""
        end = time.monotonic() + timeout
        while True:
            png = self.screenshot(name)
            count = self.area_colours(png, geometry)
            if count >= colours or time.monotonic() >= end:
                return png, count
            time.sleep(0.1)

    def press_key_in(self, window: str, key: str, title: str = "^Kelvora$", timeout: float = 10) -> bool:
        """Gives `window` the keyboard focus and presses `key` until the window (named
        `title`) is gone; False when it is still there after `timeout` seconds.

        The key goes to the focused window through the XTEST extension (`xdotool key`
        without --window): a key sent to a window id fails half-way when the press closes
        that window, and the key then stays down and repeats into the next window."""
        end = time.monotonic() + timeout
        def there() -> bool:
            return window in self.xdotool("search", "--onlyvisible", "--name", title).split()
        while there():
            if time.monotonic() >= end:
                return False
            # No key without the focus: it would go to whatever window has it.
            if self.xdotool_ok("windowfocus", "--sync", window, timeout=5):
                self.xdotool("key", key)
            for _ in range(10):
                if not there():
                    return True
                time.sleep(0.1)
        return True


def end_process(pid: int, name: str, wait: float):
    """Ends the process `pid` that the bench started as `name` (a program name its
    command line holds): SIGTERM, then SIGKILL when it is still there after `wait`
    seconds. A pid that now belongs to another program is left alone."""
    def running() -> bool:
        try:
            cmd = Path(f"/proc/{pid}/cmdline").read_bytes()
            state = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0]
        except OSError:
            return False
        return name.encode() in cmd and state != "Z"
    def send(sig):
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            pass
    if not running():
        return
    send(signal.SIGTERM)
    end = time.monotonic() + wait
    while running() and time.monotonic() < end:
        time.sleep(0.1)
    if running():
        send(signal.SIGKILL)


def reg_text(value: str) -> str:
    """A string value as a .reg file writes it: quoted, backslashes and quotes escaped."""
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def parse_reg_export(text: str, key: str) -> dict:
    """Reads the values of `key` from a regedit export."""
    values = {}
    current = None
    lines = text.replace("\r\n", "\n").split("\n")
    joined = []
    for line in lines:  # continuation lines end in a backslash
        if joined and joined[-1].endswith("\\"):
            joined[-1] = joined[-1][:-1] + line.strip()
        else:
            joined.append(line)
    for line in joined:
        if line.startswith("["):
            current = line.strip()[1:-1]
            continue
        if current is None or current.lower() != key.lower() or "=" not in line:
            continue
        name, _, data = _split_value(line)
        if data.startswith('"'):
            values[name] = ("REG_SZ", _unescape(data[1:-1]))
        elif data.startswith("dword:"):
            values[name] = ("REG_DWORD", int(data[6:], 16))
        elif data.startswith("hex:"):
            body = data[4:]
            values[name] = ("REG_BINARY", bytes(int(b, 16) for b in body.split(",") if b))
        elif data.startswith("hex("):
            kind, _, body = data.partition("):")
            values[name] = ("hex" + kind[3:] + ")", bytes(int(b, 16) for b in body.split(",") if b))
        elif data.startswith("str(2):"):
            values[name] = ("REG_EXPAND_SZ", _unescape(data[8:-1]))
    return values


def _split_value(line: str):
    if line.startswith("@="):
        return "", "=", line[2:]
    assert line.startswith('"')
    i = 1
    while i < len(line):
        if line[i] == "\\":
            i += 2
            continue
        if line[i] == '"':
            break
        i += 1
    return _unescape(line[1:i]), "=", line[i + 2:]


def _unescape(s: str) -> str:
    return s.replace('\\"', '"').replace("\\\\", "\\")


if __name__ == "__main__":
    bench = Bench()
    if sys.argv[1:] == ["setup"]:
        bench.setup()
        print(f"wine bench ready on display :{bench.display}")
    elif sys.argv[1:] == ["teardown"]:
        bench.teardown()
        print("wine bench stopped")
    else:
        print("usage: winebench.py setup|teardown")
        sys.exit(2)
