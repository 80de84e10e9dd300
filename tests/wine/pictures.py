"""Reading the pictures the Windows test programs write: 24-bit bottom-up BMP files."""
from pathlib import Path


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
