#!/usr/bin/env python3
"""Draws two resources of kelvsaver.scr and writes them in the Windows file formats that
windres reads:
  dialog.ico     the class icon of the dialog windows: a framed landscape photo,
                 32x32 and 16x16, 32-bit colour with alpha;
  link_hand.cur  the pointer shown over hyperlinks: a hand pointing up, 32x32, 32-bit,
                 hotspot at the tip of the pointing finger.
Plain Python, no imaging library; the build runs it (host/CMakeLists.txt).
usage: draw_resources.py <output folder>"""
import struct
import sys
from pathlib import Path

# ---- drawing -------------------------------------------------------------------------
# A picture is a list of rows of (r, g, b, a) tuples, top row first.


def blank(size):
    return [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]


def inside_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def mix(c0, c1, t):
    return tuple(round(a + (b - a) * t) for a, b in zip(c0, c1))


# The framed photo in two designs, each on its own grid so that the edges fall on whole
# pixels: the frame's shadow, border and mount, the photo inside it (sky, sun, mountain,
# hill, meadow).
PHOTO_32 = dict(units=32, shadow=(3, 5, 31, 29), border=(1, 3, 29, 27), mount=(2, 4, 28, 26),
                photo=(5, 7, 25, 23), sun=(19.5, 11, 2.6),
                mountain=[(5, 23), (5, 18), (11, 11.5), (18, 20), (18, 23)],
                hill=[(11.5, 23), (19.5, 14), (25, 19.5), (25, 23)], meadow=20.5)
PHOTO_16 = dict(units=16, shadow=(2, 3, 16, 16), border=(0, 1, 15, 15), mount=(1, 2, 14, 14),
                photo=(2, 3, 13, 13), sun=(10, 5.5, 1.5),
                mountain=[(2, 13), (2, 10), (5.5, 6), (9.5, 11.5), (9.5, 13)],
                hill=[(6, 13), (10.5, 8), (13, 10.5), (13, 13)], meadow=11)


def in_box(x, y, box):
    return box[0] <= x < box[2] and box[1] <= y < box[3]


def photo_colour(design):
    """The colour of the framed photo at a point, or None outside it; the shapes are
    painted bottom to top and the last one that covers the point wins."""
    def at(x, y):
        colour = None
        if in_box(x, y, design["shadow"]):
            colour = (0, 0, 0, 90)
        if in_box(x, y, design["border"]):
            colour = (70, 70, 78, 255)
        if in_box(x, y, design["mount"]):
            colour = (246, 243, 234, 255)
        photo = design["photo"]
        if in_box(x, y, photo):
            # Sky, lighter towards the horizon.
            colour = mix((52, 120, 205), (178, 220, 250), (y - photo[1]) / (design["meadow"] - photo[1])) + (255,)
            sx, sy, sr = design["sun"]
            if (x - sx) ** 2 + (y - sy) ** 2 <= sr ** 2:
                colour = (255, 208, 60, 255)
            if inside_polygon(x, y, design["mountain"]):
                colour = (92, 110, 118, 255)
            if inside_polygon(x, y, design["hill"]):
                colour = (60, 130, 70, 255)
            if y >= design["meadow"]:
                colour = (70, 150, 60, 255)
        return colour
    return at


def render(size, colour_at, units, samples=4):
    """Renders colour_at (a function of a point in a units x units square) at size x size
    pixels, each pixel the average of samples x samples points (alpha-weighted)."""
    image = blank(size)
    scale = units / size
    n = samples * samples
    for py in range(size):
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) * scale, (py + (sy + 0.5) / samples) * scale)
                    if c:
                        r += c[0] * c[3]
                        g += c[1] * c[3]
                        b += c[2] * c[3]
                        a += c[3]
            image[py][px] = (round(r / a), round(g / a), round(b / a), round(a / n)) if a else (0, 0, 0, 0)
    return image


# The pointing hand, on a pixel grid: each finger is a column of pixels with a one-pixel
# gap to the next above the palm; the outline is every pixel beside the hand.
HAND_PARTS = [
    ((5, 7), (1, 13)),    # pointing finger: x range, y range (inclusive)
    ((9, 11), (6, 13)),   # middle finger
    ((13, 15), (7, 13)),  # ring finger
    ((17, 18), (9, 13)),  # little finger
    ((5, 18), (12, 18)),  # palm
    ((6, 17), (19, 21)),  # heel of the hand
]
HAND_HOTSPOT = (6, 0)  # the tip of the pointing finger's outline


def hand_pixels():
    pixels = set()
    for (x0, x1), (y0, y1) in HAND_PARTS:
        pixels |= {(x, y) for x in range(x0, x1 + 1) for y in range(y0, y1 + 1)}
    # The thumb: a slanting stroke from the palm's left edge down to the left.
    for y in range(12, 19):
        for x in range(0, 6):
            if abs((x - 1.6) - (y - 12.5) * 0.55) <= 1.3:
                pixels.add((x, y))
    return pixels


def render_hand(size=32):
    image = blank(size)
    hand = hand_pixels()
    for x, y in hand:
        image[y][x] = (255, 255, 255, 255)
    for x, y in hand:
        for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
            if 0 <= nx < size and 0 <= ny < size and (nx, ny) not in hand:
                image[ny][nx] = (0, 0, 0, 255)
    return image


# ---- file formats ----------------------------------------------------------------------


def dib(image):
    """A 32-bit icon image as stored in .ico and .cur files: the BITMAPINFOHEADER (height
    counting colour and mask), the BGRA rows bottom-up, then the 1-bit mask (1 =
    transparent), its rows padded to 4 bytes."""
    size = len(image)
    mask_row = (size + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, size * size * 4 + mask_row * size,
                         0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(image):
        bits = bytearray(mask_row)
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def icon_file(kind, entries):
    """kind 1 (.ico) or 2 (.cur); entries: (image, field1, field2) where the two fields
    are planes and bit count for an icon and the hotspot's x and y for a cursor."""
    data = [dib(image) for image, _, _ in entries]
    out = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    for (image, f1, f2), d in zip(entries, data):
        size = len(image)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, f1, f2, len(d), offset)
        offset += len(d)
    return out + b"".join(data)


def main(folder: Path) -> int:
    folder.mkdir(parents=True, exist_ok=True)
    icon = icon_file(1, [(render(size, photo_colour(design), design["units"]), 1, 32)
                         for size, design in ((32, PHOTO_32), (16, PHOTO_16))])
    (folder / "dialog.ico").write_bytes(icon)
    cursor = icon_file(2, [(render_hand(), *HAND_HOTSPOT)])
    (folder / "link_hand.cur").write_bytes(cursor)
    return 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1])))
