"""The pictures the tests make and look at: the font file every drawn text names,
numbered test pictures, screenshots and reference pictures as binary PPM files (the
screenshot tool writes 16-bit samples unless told otherwise), and the 24-bit bottom-up BMP
files the Windows test programs write.

`python3 pictures.py font` prints the font file (scripts/demo.sh draws with it too)."""
import subprocess
import sys
from pathlib import Path

# Every text that the tests and the demo draw with ImageMagick names this font file:
# ImageMagick's default font is Ghostscript's Helvetica, which a machine installed without
# recommended packages does not have. The file comes from the Debian package below, which
# scripts/install-deps.sh installs.
FONT_FILE = Path("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf")
FONT_PACKAGE = "fonts-dejavu-core"


def font_file() -> Path:
    if not FONT_FILE.is_file():
        raise FileNotFoundError(f"no font file {FONT_FILE}: install the Debian package {FONT_PACKAGE} "
                                "(scripts/install-deps.sh does)")
    return FONT_FILE


def font_args() -> list:
    """The ImageMagick arguments that select the font for -annotate, -draw text and labels."""
    return ["-font", str(font_file())]


def numbered_picture(target: str, width: int, height: int, rgb, number: str, pointsize: int):
    """A picture of one solid colour with a big white number in the middle; `target` may
    carry an ImageMagick format prefix such as BMP3:."""
    subprocess.run(["convert", "-size", f"{width}x{height}", f"xc:rgb{tuple(rgb)}", *font_args(),
                    "-fill", "white", "-pointsize", str(pointsize), "-gravity", "center",
                    "-annotate", "0", number, str(target)], check=True, timeout=60)


class Ppm:
    """A binary (P6) picture with 8-bit or 16-bit samples; pixels read as 8-bit (r, g, b)."""

    def __init__(self, width: int, height: int, sample_bytes: int, data: bytes):
        self.width, self.height, self.sample_bytes, self.data = width, height, sample_bytes, data

    def pixel(self, x: int, y: int):
        s = self.sample_bytes
        i = (y * self.width + x) * 3 * s
        return tuple(self.data[i + c * s] for c in range(3))

    def rows(self):
        return [[self.pixel(x, y) for x in range(self.width)] for y in range(self.height)]


def read_ppm(path: Path) -> Ppm:
    """Parses the header field by field: exactly one white-space byte ends it, so pixel
    data that starts with a byte such as 10 or 32 is not eaten."""
    raw = Path(path).read_bytes()
    fields, pos = [], 0
    while len(fields) < 4:
        while raw[pos:pos + 1].isspace():
            pos += 1
        if raw[pos:pos + 1] == b"#":
            while raw[pos:pos + 1] not in (b"\n", b""):
                pos += 1
            continue
        end = pos
        while end < len(raw) and not raw[end:end + 1].isspace():
            end += 1
        fields.append(raw[pos:end])
        pos = end
    assert fields[0] == b"P6", f"{path} is not a binary PPM"
    w, h, maxval = int(fields[1]), int(fields[2]), int(fields[3])
    sample_bytes = 2 if maxval > 255 else 1
    return Ppm(w, h, sample_bytes, raw[pos + 1:pos + 1 + w * h * 3 * sample_bytes])


def read_ppm8(path: Path):
    """(width, height, RGB bytes) of an 8-bit binary PPM."""
    picture = read_ppm(path)
    assert picture.sample_bytes == 1, f"{path} is not an 8-bit PPM"
    return picture.width, picture.height, picture.data


def pixel(shot: Ppm, x: int, y: int):
    """(r, g, b) in 0..255 at (x, y)."""
    return shot.pixel(x, y)


def near(a, b, tolerance=24) -> bool:
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def read_bmp24(path: Path):
    """24-bit bottom-up BMP -> (width, height, rows of (r, g, b)), rows[y][x] top-down."""
    raw = Path(path).read_bytes()
    bits = int.from_bytes(raw[28:30], "little")
    assert bits == 24, f"{path}: {bits} bits per pixel, not 24"
    off = int.from_bytes(raw[10:14], "little")
    w = int.from_bytes(raw[18:22], "little", signed=True)
    h = int.from_bytes(raw[22:26], "little", signed=True)
    stride = (w * 3 + 3) & ~3
    rows = []
    for y in range(h):
        start = off + (h - 1 - y) * stride
        row = raw[start:start + w * 3]
        rows.append([(row[3 * x + 2], row[3 * x + 1], row[3 * x]) for x in range(w)])
    return w, h, rows


def count_matching(rows, expected) -> int:
    """How many pixels equal expected(x, y)."""
    return sum(1 for y, row in enumerate(rows) for x, p in enumerate(row) if p == expected(x, y))


if __name__ == "__main__":
    if sys.argv[1:] != ["font"]:
        sys.exit("usage: pictures.py font")
    print(font_file())
