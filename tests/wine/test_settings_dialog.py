"""The settings dialog of the real `kelvsaver.scr /c` under Wine, driven with xdotool.

Once its windows are shown, the dialog (and each small dialog) appends one line per control
to the KELVORA_TEST_TRACE file: id, window class, place on the screen, visibility and
text. The tests check those places against the dialog's layout scaled here on their own,
click controls at their centres and type into them, and read what OK wrote with a registry
export. The registry starts from a complete set of settings in exactly the form the save
writes them, so any value the save changes without being asked shows up.
"""
import re
import time
import unittest
from fractions import Fraction
from typing import NamedTuple

import test_crash_report
from test_settings import logfont
from winebench import PRODUCT_KEY, PRODUCT_KEY_LM, Bench, reg_text

SCR = "kelvsaver.scr"
MAIN = "KSSW_Kelvora"
IMAGES = "Kelvora Images per screen"
FILTER = "Kelvora_filter"
# The run statistics write these on every start and end; nothing else may change.
STATS = {"ver", "win", "uwer", "uer", "er", "count", "prever"}
DESKTOP_KEY = r"HKEY_CURRENT_USER\Control Panel\Desktop"
THEME_KEY = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\ThemeManager"

# Every value the save writes, in the form it writes them.
BASE_TEXT = {
    "Delay": "7000", "Convert": "3000", "Enlarge": "0", "crop": "0", "Background": "0", "Resize": "1",
    "Order": "17", "DDraw": "1", "StopKey": "1", "ArrowKeys": "1", "Wallpaper": "0", "MouseMove": "1",
    "ignoreexif": "0", "Screens": "4", "Random1often": "1", "TextFileName": "0", "TextPos": "3",
    "TextDate": "0", "Textbg": "0", "filterres": "0", "filterx": "100", "filtery": "100",
}
BASE_BINARY = {
    "RandomScreens": bytes([1, 4, 9, 16, 25]),
    "Font": logfont(-24),
    "FontColor": bytes([0, 255, 0, 0]),
}

LINE = re.compile(r"control dialog=(.*?) id=(-?\d+) class=(.*?) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) "
                  r"visible=(\d) enabled=(\d)(?: extent=(\d+),(\d+) need=(\d+) window=(\d+) parent=(\d+))? text=(.*)$")
DIALOG_LINE = re.compile(r"dialog=(.*?) dpi=(\d+) awareness=(-?\d+)$")


class Control(NamedTuple):
    dialog: str
    id: int
    cls: str
    left: int
    top: int
    right: int
    bottom: int
    visible: bool
    enabled: bool
    text: str
    extent: tuple = (0, 0)  # the caption's size in the control's font
    need: int = 0  # the width the control needs to show its caption whole; 0: no caption
    window: int = 0
    parent: int = 0

    @property
    def width(self):
        return self.right - self.left

    def overlaps(self, other) -> bool:
        """More than the pixel by which boxes laid edge to edge may overlap once scaled."""
        return (self.left < other.right - 1 and other.left < self.right - 1 and self.top < other.bottom - 1
                and other.top < self.bottom - 1)

    @property
    def centre(self):
        return (self.left + self.right) // 2, (self.top + self.bottom) // 2


def scale(value: int, dpi: int) -> int:
    """round(value × dpi / 96) with ties to even, exactly."""
    return round(Fraction(value * dpi, 96))


# The dialog's layout in 96-dpi units: (text, id, parent, x, y, width, height). The parent is
# a group box named by its text, "page" (the tab's page window) or "client" (the main
# window's client area). A height of None is not checked (a combo box's is its open list's).
LAYOUT = [
    ("Main_TAB", 27, "client", 10, 10, 583, 395),
    ("Help", 13, "client", 10, 412, 75, 23),
    ("OK", 16, "client", 347, 412, 75, 23),
    ("Cancel", 17, "client", 432, 412, 75, 23),
    ("Preview", 26, "client", 517, 412, 75, 23),
    # General
    ("Time delay", 24, "page", 16, 15, 260, 106),
    ("seconds", 14, "Time delay", 90, 31, 45, 25),
    ("track 1", 28, "page", 26, 80, 240, 30),
    ("Resize images", 23, "page", 296, 15, 260, 106),
    ("Enlarge to screen size", 21, "Resize images", 20, 22, 125, 16),
    ("Good resize quality", 70, "Resize images", 20, 47, 120, None),
    ("Fill the screen", 66, "Resize images", 160, 22, 85, 16),
    ("Blurred background", 88, "Resize images", 144, 49, 112, 16),
    ("4 images per screen", 53, "Resize images", 20, 73, 220, None),
    ("Display order", 0, "page", 16, 136, 260, 106),
    ("Sequential", 32, "Display order", 20, 24, 90, 16),
    ("Reverse", 35, "Display order", 20, 49, 90, 16),
    ("Random", 33, "Display order", 20, 74, 90, 16),
    ("Start from previous", 42, "Display order", 135, 24, 110, 16),
    ("Start from random", 34, "Display order", 135, 49, 110, 16),
    ("Events", 0, "page", 16, 257, 260, 96),
    ("Use arrow keys", 0, "Events", 20, 20, 110, 16),
    ("Spacebar pauses the screensaver", 44, "Events", 20, 43, 230, 16),
    ("Set wallpaper on exit", 0, "Events", 20, 66, 140, 16),
    ("Exit on mouse move", 0, "Events", 130, 20, 120, 16),
    ("Text", 64, "page", 296, 136, 260, 187),
    ("Show file name (F)", 56, "Text", 20, 20, 110, 16),
    ("Transparent", 73, "Text", 40, 45, 80, 16),
    ("Font", 55, "Text", 160, 30, 80, 23),
    ("Include path", 61, "Text", 150, 90, 100, 16),
    ("Include folder", 74, "Text", 150, 110, 105, 16),
    ("Include extension", 62, "Text", 150, 130, 105, 16),
    ("Include date taken", 91, "Text", 150, 150, 106, 16),
    ("Position", 0, "page", 316, 216, 110, 78),
    ("Top", 57, "Position", 27, 17, 70, 16),
    ("Center", 59, "Position", 27, 35, 70, 16),
    ("Bottom", 58, "Position", 27, 53, 70, 16),
    ("Pictures on every monitor", 92, "page", 306, 330, 180, 16),
    # Photos
    ("", 0, "page", 6, 4, 210, 359),
    ("Tree Images", 54, "", 10, 16, 190, 240),
    ("Add folder", 4, "", 10, 276, 90, 20),
    ("Remove", 5, "", 110, 276, 90, 20),
    ("Add picture", 63, "", 10, 306, 90, 20),
    ("Filter...", 81, "", 110, 306, 90, 20),
    ("Auto rotate photos (EXIF)", 8, "", 20, 332, 150, 20),
    ("Image properties", 0, "page", 226, 275, 340, 88),
    ("Width : ", 0, "Image properties", 20, 20, 120, 20),
    ("Height : ", 0, "Image properties", 20, 43, 120, 20),
    ("Format : ", 0, "Image properties", 20, 66, 120, 20),
    ("Size : ", 0, "Image properties", 170, 20, 120, 20),
    ("Refresh folder", 65, "Image properties", 170, 20, 103, 25),
    ("Include subdirectories", 6, "Image properties", 20, 40, 150, 20),
    ("Auto Refresh", 7, "Image properties", 180, 50, 150, 20),
    # Effects
    ("Tree Effects", 50, "page", 16, 20, 220, 225),
    ("Image2 PR", 39, "page", 256, 20, 300, 225),
    ("Select all", 51, "page", 21, 255, 90, 23),
    ("Select none", 52, "page", 131, 255, 90, 23),
    ("Use DirectDraw", 41, "page", 26, 295, 180, 16),
    ("Pan and zoom", 93, "page", 26, 320, 180, 16),
    ("Transition effect duration", 25, "page", 248, 265, 318, 93),
    ("seconds", 19, "Transition effect duration", 90, 25, 70, 25),
    ("track 2", 29, "page", 254, 319, 305, 30),
    # About
    ("Kelvora", 0, "page", 126, 28, 450, 31),
    ("Version : 1.4.0.0", 0, "page", 266, 68, 120, 25),
    ("Home page :", 0, "page", 186, 178, 80, 20),
    ("Technical support :", 0, "page", 186, 228, 100, 20),
]


class DialogDriver:
    """Starting the dialog on the complete base settings, and driving it (for the test
    classes here and in test_settings_trees.py)."""
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.bench = Bench()
        cls.trace = cls.bench.out / "settings-dialog-trace.txt"
        cls.report_folder = test_crash_report.report_folder(cls.bench)

    def setUp(self):
        self.bench.reg_delete_key(PRODUCT_KEY)
        self.bench.reg_delete_key(PRODUCT_KEY_LM)
        lines = [f"[{PRODUCT_KEY}]", f'"Path"={reg_text(self.bench.windows_path(self.bench.dist))}']
        lines += [f'"{name}"={reg_text(value)}' for name, value in BASE_TEXT.items()]
        lines += [f'"{name}"=hex:' + ",".join(f"{b:02x}" for b in data) for name, data in BASE_BINARY.items()]
        self.bench.reg_import("\n".join(lines) + "\n")
        self.proc = None

    def tearDown(self):
        if self.proc is not None and self.proc.poll() is None:
            self.bench.finish(self.proc, 0.1)

    # ---- driving the dialog ----------------------------------------------------------
    def open(self, extra_registry: str = "", env_extra=None):
        """Starts the dialog and waits for its controls' trace lines."""
        if extra_registry:
            self.bench.reg_import(extra_registry)
        if self.trace.exists():
            self.trace.unlink()
        env = {"KELVORA_TEST_TRACE": self.bench.windows_path(self.trace)}
        env.update(env_extra or {})
        self.proc = self.bench.start(SCR, ["/c"], log_name="settings-dialog.log", env_extra=env)
        box = self.bench.wait_message_box("^Kelvora$", timeout=30)
        self.assertIsNotNone(box, "the settings dialog did not appear")
        self.window = box[0]
        self.controls = self.wait_controls(MAIN)
        self.focus()

    def wait_controls(self, dialog: str, shown: int = 1, timeout: float = 20) -> list:
        """The controls of the `shown`-th time the dialog was shown (its trace block is
        complete once its end line is there)."""
        end = time.monotonic() + timeout
        while True:
            lines = self.trace.read_text(errors="replace").splitlines() if self.trace.exists() else []
            blocks, current = [], []
            for line in lines:
                m = LINE.match(line)
                if m and m[1] == dialog:
                    current.append(Control(m[1], int(m[2]), m[3], *map(int, m.groups()[3:7]), m[8] == "1",
                                           m[9] == "1", m[15], (int(m[10] or 0), int(m[11] or 0)),
                                           int(m[12] or 0), int(m[13] or 0), int(m[14] or 0)))
                elif line == f"controls dialog={dialog} end":
                    blocks.append(current)
                    current = []
            if len(blocks) >= shown:
                return blocks[shown - 1]
            self.assertLess(time.monotonic(), end, f"no controls traced for {dialog}")
            time.sleep(0.1)

    def focus(self, window=None):
        self.bench.xdotool_ok("windowfocus", "--sync", window or self.window)
        time.sleep(0.5)  # keys pressed before Wine has taken the focus in go to the old window

    def control(self, text=None, id=None, controls=None) -> Control:
        matches = [c for c in (controls or self.controls)
                   if (text is None or c.text == text) and (id is None or c.id == id)]
        self.assertTrue(matches, f"no control {text!r} id {id}")
        return matches[0]

    def click(self, text=None, id=None, controls=None):
        x, y = self.control(text, id, controls).centre
        self.bench.xdotool("mousemove", x, y)
        self.bench.xdotool("click", "1")
        time.sleep(0.3)

    def keys(self, *keys):
        for key in keys:
            self.bench.xdotool("key", key)
            time.sleep(0.1)

    def type_into(self, id: int, text: str, leave=True):
        """Replaces an edit's text by typing; Tab then takes the focus away."""
        self.click(id=id)
        self.keys("End", "shift+Home")
        self.bench.xdotool("type", "--delay", "50", text)
        time.sleep(0.3)
        if leave:
            self.keys("Tab")

    def choose_item(self, id: int, index: int):
        """Chooses a combo box item with the keyboard from the open list."""
        self.click(id=id)
        self.keys("Home", *["Down"] * index, "Return")
        time.sleep(0.3)

    def show_page(self, index: int):
        tab = self.control("Main_TAB", 27)
        self.bench.xdotool("mousemove", tab.left + 20, tab.top + 10)  # the first tab takes the focus,
        self.bench.xdotool("click", "1")
        self.keys(*["Left"] * 3, *["Right"] * index)  # the arrows move through the pages
        time.sleep(0.5)

    def wait_other_window(self, title: str, timeout: float = 20):
        """A visible window named `title` other than the dialog's own."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            for window in self.bench.xdotool("search", "--onlyvisible", "--name", title).split():
                if window != self.window:
                    return window
            time.sleep(0.1)
        return None

    def ok(self):
        self.click(id=16)
        code, out = self.bench.finish(self.proc, 30)
        self.assertEqual(code, 0, out[-2000:])

    def exported(self) -> dict:
        values = self.bench.reg_export(PRODUCT_KEY)
        return {name: data for name, (kind, data) in values.items() if name not in STATS}

    def expected(self, **changed) -> dict:
        values = dict(BASE_TEXT, **BASE_BINARY, Path=self.bench.windows_path(self.bench.dist))
        values.update(changed)
        return values

    def wait_closed(self, title: str, timeout: float = 10):
        end = time.monotonic() + timeout
        while self.bench.xdotool("search", "--onlyvisible", "--name", f"^{re.escape(title)}$").strip():
            self.assertLess(time.monotonic(), end, f"the {title} dialog stays open")
            time.sleep(0.1)
        time.sleep(0.3)

    def open_small_dialog(self, title: str, dialog: str, shown: int = 1) -> list:
        box = self.bench.wait_message_box(f"^{re.escape(title)}$", timeout=20)
        self.assertIsNotNone(box, f"the {title} dialog did not open")
        self.focus(box[0])
        return self.wait_controls(dialog, shown)

    def new_controls(self, after: int, dialog: str = MAIN, timeout: float = 20) -> list:
        """The controls of the first trace block of the dialog after the first `after`."""
        return self.wait_controls(dialog, after + 1, timeout)

    def dialog_line(self, dialog: str = MAIN):
        """The dpi the dialog was laid out at and the dpi awareness of its window."""
        text = self.trace.read_text(errors="replace") if self.trace.exists() else ""
        found = [m for m in map(DIALOG_LINE.match, text.splitlines()) if m and m[1] == dialog]
        self.assertTrue(found, f"no dpi line for {dialog}")
        return int(found[-1][2]), int(found[-1][3])

    def blocks(self, dialog: str = MAIN) -> int:
        text = self.trace.read_text(errors="replace") if self.trace.exists() else ""
        return text.count(f"controls dialog={dialog} end")


class SettingsDialog(DialogDriver, unittest.TestCase):
    # ---- layout and looks --------------------------------------------------------------
    def check_layout(self, dpi: int):
        controls = self.controls
        page = self.control(id=0, controls=[c for c in controls if c.cls == "Bramblecor TPage"])
        tab = self.control("Main_TAB", 27)
        origins = {"page": (page.left, page.top),
                   "client": (tab.left - scale(10, dpi), tab.top - scale(10, dpi))}
        for text, id, parent, x, y, w, h in LAYOUT:
            with self.subTest(control=text, id=id):
                c = self.control(text, id)
                if parent not in origins:
                    group = self.control(parent, controls=[g for g in controls if g.cls == "Button"])
                    origins[parent] = (group.left, group.top)
                ox, oy = origins[parent]
                self.assertEqual((c.left - ox, c.top - oy), (scale(x, dpi), scale(y, dpi)))
                # A box keeps its width (at 96 dpi always), or grows to the right where its
                # caption needs more.
                if dpi == 96:
                    self.assertEqual(c.width, scale(w, dpi))
                self.assertGreaterEqual(c.width, scale(w, dpi))
                if c.width > scale(w, dpi):
                    self.assertGreater(c.need, scale(w, dpi))
                if h is not None:
                    self.assertEqual(c.bottom - c.top, scale(h, dpi))
        preview = self.control("Image1 PR", 9)
        self.assertEqual((preview.left - page.left, preview.top - page.top), (scale(236, dpi), scale(20, dpi)))
        self.assertEqual((preview.right - preview.left, preview.bottom - preview.top),
                         (scale(320, dpi) - 1, scale(240, dpi) - 1))

    def check_captions(self):
        """Every caption of every page lies whole inside its box, as the program measures it
        in the control's own font."""
        captioned = [c for c in self.controls if c.need]
        self.assertGreater(len(captioned), 40)
        for c in captioned:
            with self.subTest(caption=c.text, id=c.id):
                self.assertGreater(c.extent[0], 0)
                self.assertLessEqual(c.need, c.width)

    def overlapping(self) -> set:
        """The pairs of controls of one page that overlap (a group box and what it holds
        among them)."""
        windows = {c.window: c for c in self.controls}

        def page(c):
            while c.parent in windows and c.cls != "Bramblecor TPage":
                c = windows[c.parent]
            return c.window

        key = lambda c: (c.cls, c.id, c.text)
        return {(key(a), key(b)) for i, a in enumerate(self.controls) for b in self.controls[i + 1:]
                if page(a) == page(b) and a.overlaps(b)}

    def test_pages_at_96_dpi_and_120_dpi(self):
        self.open()
        self.check_layout(96)
        self.assertEqual(self.dialog_line(), (96, 1))
        at_96 = self.overlapping()
        # The caption controls follow Show file name (F), which starts unchecked.
        for id in (61, 74, 62, 91, 55, 57, 59, 58, 73):
            self.assertFalse(self.control(id=id).enabled, id)
        self.assertEqual(self.control(id=15).text, "7")
        self.assertEqual(self.control(id=20).text, "3")
        geometry = self.bench.window_geometry(self.window)
        for index, name in enumerate(("general", "photos", "effects", "about")):
            if index:
                self.show_page(index)
            png, colours = self.bench.wait_painted(geometry, f"settings-{name}.png", colours=20)
            self.assertGreaterEqual(colours, 20, f"the {name} page looks empty")
        self.click(id=17)
        code, _ = self.bench.finish(self.proc, 30)
        self.assertEqual(code, 0)

        # Wine's own visual style draws check-box captions at a scaled dpi in a font other
        # than the one the control reports, which nothing measures: the scaled runs draw
        # without it, so that the screenshots show what the program measured.
        _, theme = self.bench.run("reg", ["query", THEME_KEY, "/v", "ThemeActive"])
        theme_was = re.search(r"ThemeActive\s+REG_SZ\s+(\S+)", theme)
        self.bench.run("reg", ["add", THEME_KEY, "/v", "ThemeActive", "/t", "REG_SZ", "/d", "0", "/f"])
        try:
            for dpi in (120, 144, 192):
                with self.subTest(dpi=dpi):
                    self.bench.run("reg", ["add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
                                           "/f"])
                    self.open()
                    self.check_layout(dpi)
                    # Every caption whole, no box over one it did not overlap at 96 dpi, and
                    # the window declares the one dpi it is laid out at (the system stretches
                    # it on a monitor of another scale).
                    self.check_captions()
                    self.assertEqual(self.overlapping(), at_96)
                    self.assertEqual(self.dialog_line(), (dpi, 1))
                    if dpi == 120:
                        add = self.control("Add folder", 4)
                        self.assertEqual((add.right - add.left, add.bottom - add.top), (112, 25))
                    if dpi < 192:  # the 192-dpi window is larger than the test screen
                        self.bench.wait_painted(self.bench.window_geometry(self.window),
                                                f"settings-general-{dpi}dpi.png", colours=20)
                    self.focus()
                    self.keys("alt+F4")
                    code, _ = self.bench.finish(self.proc, 30)
                    self.assertEqual(code, 0)
        finally:
            # Wine keeps a copy of the dpi under its font key and falls back to it when
            # the desktop's value is gone: both go, or later runs stay at 120 dpi.
            self.bench.run("reg", ["delete", DESKTOP_KEY, "/v", "LogPixels", "/f"])
            self.bench.run("reg", ["delete", r"HKEY_CURRENT_USER\Software\Wine\Fonts", "/v", "LogPixels", "/f"])
            if theme_was:
                self.bench.run("reg", ["add", THEME_KEY, "/v", "ThemeActive", "/t", "REG_SZ", "/d", theme_was[1], "/f"])
            else:
                self.bench.run("reg", ["delete", THEME_KEY, "/v", "ThemeActive", "/f"])

    # ---- what OK, Cancel and the close box write ----------------------------------------
    def test_ok_writes_exactly_what_the_controls_chose(self):
        self.open()
        self.type_into(15, "1a2", leave=False)
        self.bench.xdotool("type", "3")  # the caret stayed after the "2"
        self.keys("Tab")
        self.click("Include path")  # disabled: nothing happens
        self.click("Reverse")
        self.click("Start from random")  # unchecks Start from previous
        self.click("Show file name (F)")
        self.click("Include path")
        self.click("Include date taken")
        self.click("Top")
        self.click("Enlarge to screen size")
        self.click("Set wallpaper on exit")
        self.click("Pictures on every monitor")
        self.click("Spacebar pauses the screensaver")
        self.click("Blurred background")
        self.choose_item(70, 2)  # Best resize quality
        self.choose_item(53, 4)  # 16 images per screen
        self.show_page(1)
        self.click("Auto rotate photos (EXIF)")
        self.show_page(2)
        self.click("Pan and zoom")
        self.type_into(20, "0")  # shown as 1 once the edit loses focus
        self.show_page(0)
        self.click("Fill the screen")
        self.ok()
        self.assertEqual(self.exported(), self.expected(
            Delay="123000", Convert="1000", Order="12", TextFileName="3", TextDate="1", TextPos="1",
            Enlarge="1", Wallpaper="1", StopKey="0", Resize="2", Screens="16", ignoreexif="1", crop="1",
            Background="1", Monitors="1", Motion="1"))

    def test_number_edits_and_an_odd_order(self):
        self.open()
        self.type_into(15, "abc")
        self.show_page(2)
        self.type_into(20, "2000")
        self.ok()
        self.assertEqual(self.exported(), self.expected(Delay="5000", Convert="1000000"))

        # "Order" 3 shows as Sequential and is saved as 1.
        self.open(f'[{PRODUCT_KEY}]\n"Order"="3"\n')
        self.type_into(15, "100000")
        self.ok()
        self.assertEqual(self.exported(), self.expected(Delay="86400000", Convert="1000000", Order="1"))

    def test_cancel_and_the_close_box_write_nothing(self):
        before = self.exported()
        for closing in ("cancel", "close box"):
            with self.subTest(closing):
                self.open()
                self.type_into(15, "42")
                self.choose_item(70, 0)
                self.click("Enlarge to screen size")
                self.click("Blurred background")
                self.click("Fill the screen")
                self.click("Show file name (F)")
                self.click("Include date taken")
                self.click("Pictures on every monitor")
                self.show_page(2)
                self.click("Pan and zoom")
                if closing == "cancel":
                    self.click(id=17)
                else:
                    self.keys("alt+F4")
                code, _ = self.bench.finish(self.proc, 30)
                self.assertEqual(code, 0)
                self.assertEqual(self.exported(), before)

    # ---- the small dialogs ---------------------------------------------------------------
    def test_images_per_screen_and_filter_dialogs(self):
        self.open()
        # Only 25 checked, then 16 and 4 added and 25 taken away.
        for shown, boxes in ((1, (105, 106, 107, 108)), (2, (108, 106, 109))):
            self.choose_item(53, 0)
            controls = self.open_small_dialog("Images per screen", IMAGES, shown)
            for id in boxes:
                self.click(id=id, controls=controls)
            self.click(id=102, controls=controls)
            self.wait_closed("Images per screen")
        # None checked: the message, and the dialog stays until Escape closes it.
        self.choose_item(53, 0)
        controls = self.open_small_dialog("Images per screen", IMAGES, 3)
        for id in (106, 108):
            self.click(id=id, controls=controls)
        self.click(id=102, controls=controls)
        message = self.wait_other_window("^Kelvora$")
        self.assertIsNotNone(message, "no message for an empty choice")
        self.assertTrue(self.bench.press_key_in(message, "Return"))
        images = self.bench.wait_message_box("^Images per screen$", timeout=5)
        self.assertIsNotNone(images, "the dialog closed with nothing checked")
        self.focus(images[0])
        self.keys("Escape")  # closes it like Cancel
        self.wait_closed("Images per screen")

        self.focus()
        self.show_page(1)
        self.click(id=81)
        controls = self.open_small_dialog("Filter", FILTER)
        self.click(id=115, controls=controls)
        edits = [c for c in controls if c.cls == "Edit"]
        for edit, text in zip(edits, ("0", "50")):
            x, y = edit.centre
            self.bench.xdotool("mousemove", x, y)
            self.bench.xdotool("click", "1")
            self.keys("End", "shift+Home")
            self.bench.xdotool("type", text)
        self.click(id=112, controls=controls)
        self.wait_closed("Filter")
        self.focus()
        self.ok()
        self.assertEqual(self.exported(), self.expected(
            Screens="0", RandomScreens=bytes([4, 16]), filterres="1", filterx="100", filtery="50"))

    # ---- help and odd settings -------------------------------------------------------
    def test_help_opens_the_page_topic_and_a_missing_file_is_reported(self):
        self.open(env_extra={"WINEDEBUG": "+htmlhelp"})
        self.show_page(1)
        self.keys("F1")
        self.assertIsNotNone(self.bench.wait_message_box("^Kelvora Help$", timeout=20), "no help window")
        self.bench.finish(self.proc, 1)
        log = (self.bench.out / "settings-dialog.log").read_text(errors="replace")
        self.assertIn("Help.chm::/Images.html", log)

        for f in self.report_folder.glob("BugReport*.html"):
            f.unlink()
        self.addCleanup(test_crash_report.end_browsers, self.bench)
        self.open(f'[{PRODUCT_KEY}]\n"Help"="C:\\\\nowhere\\\\Help.chm"\n')
        self.click(id=13)
        code, _ = self.bench.finish(self.proc, 60)
        self.assertEqual(code, 217)
        report = (self.report_folder / "BugReport.html").read_text(errors="replace")
        self.assertRegex(report, r"Exception: Can&#39;t open help\. Error \d+")

    def test_odd_stored_values_open_a_sane_dialog(self):
        self.open(f'[{PRODUCT_KEY}]\n"Delay"=dword:00000010\n"Convert"="-5"\n"Order"="abc"\n"Screens"="7"\n'
                  '"TextPos"="9"\n"Resize"="5"\n"RandomScreens"="text"\n"Font"=hex:01,02\n"filterx"="x"\n'
                  '"crop"="1"\n"Background"="7"\n')
        self.assertEqual(self.control(id=15).text, "5")
        # Fill the screen leaves no bars to fill: Blurred background is greyed.
        self.assertFalse(self.control("Blurred background", 88).enabled)
        self.assertTrue(self.control(id=16).visible)
        self.bench.wait_painted(self.bench.window_geometry(self.window), "settings-odd-values.png", colours=20)
        self.click(id=17)
        code, _ = self.bench.finish(self.proc, 30)
        self.assertEqual(code, 0)


if __name__ == "__main__":
    unittest.main()
