#!/usr/bin/env python3
"""Draws the program icon (resources/vantrel.ico) and the about window's logo
(resources/logo.bmp). Standard library only; run it from anywhere after changing a picture:

    python3 tools/make-icons.py

Both pictures are built from a few rectangles and discs on a design grid, so every size comes
from one drawing: the 16-colour images pick the nearest palette colour at each pixel centre (no
dithering, no blending, as 16-colour icons must), the 32-bit ones take 4 x 4 samples per pixel
for smooth edges.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
RESOURCES = os.path.join(HERE, "..", "resources")

# The standard 16-colour palette; 16-colour icons must use these exact entries.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, TEAL, SILVER, GREY, RED, LIME, AQUA, WHITE = (VGA[0], VGA[4], VGA[6], VGA[7], VGA[8], VGA[9], VGA[10],
                                                         VGA[14], VGA[15])


# ---------------------------------------------------------------------------------------------
# The program icon on a 32-unit grid: two monitors at the top, a red network line joining them
# to a computer with its keyboard below. Shapes are painted in order; later ones cover earlier.

def monitor(left, top):
    return [
        ("rect", left, top, left + 13, top + 10, BLACK),
        ("rect", left + 1, top + 1, left + 12, top + 9, SILVER),
        ("rect", left + 2, top + 2, left + 11, top + 8, NAVY),
        ("rect", left + 3, top + 3, left + 10, top + 7, TEAL),
        ("rect", left + 3, top + 3, left + 6, top + 4, AQUA),  # a glint on the screen
        ("rect", left + 5, top + 10, left + 8, top + 11, GREY),  # neck
        ("rect", left + 3, top + 11, left + 10, top + 12, BLACK),  # foot
    ]


def program_icon_shapes():
    shapes = monitor(0, 1) + monitor(19, 1)
    shapes += [
        # The network: down from each monitor's foot, along a bus, down to the computer.
        ("rect", 5.5, 12, 7.5, 16, RED),
        ("rect", 24.5, 12, 26.5, 16, RED),
        ("rect", 5.5, 14, 26.5, 16, RED),
        ("rect", 15, 14, 17, 19, RED),
        # The computer: a desktop case with a drive slot and a power light...
        ("rect", 6, 18, 26, 25, BLACK),
        ("rect", 7, 19, 25, 24, SILVER),
        ("rect", 7, 19, 25, 20, WHITE),
        ("rect", 9, 21, 17, 22, GREY),
        ("rect", 21, 21, 23, 23, LIME),
        # ...and its keyboard in front.
        ("rect", 3, 26, 29, 32, BLACK),
        ("rect", 4, 27, 28, 31, SILVER),
    ]
    for row, y in enumerate((27.5, 29.5)):
        for x in range(5 + row, 27 - row, 2):
            shapes.append(("rect", x, y, x + 1, y + 1, GREY))
    return shapes


def small_program_icon_shapes():
    """16 x 16 has no room for detail: blocky monitors, a one-pixel network, a plain computer."""
    def small_monitor(left):
        return [
            ("rect", left, 0, left + 7, 6, BLACK),
            ("rect", left + 1, 1, left + 6, 5, TEAL),
            ("rect", left + 1, 1, left + 3, 2, AQUA),
            ("rect", left + 2, 6, left + 5, 7, BLACK),
        ]
    return small_monitor(0) + small_monitor(9) + [
        ("rect", 3, 7, 4, 9, RED),
        ("rect", 12, 7, 13, 9, RED),
        ("rect", 3, 8, 13, 9, RED),
        ("rect", 7.5, 8, 8.5, 10, RED),
        ("rect", 3, 10, 13, 13, BLACK),
        ("rect", 4, 11, 12, 12, SILVER),
        ("rect", 10, 11, 11, 12, LIME),
        ("rect", 1, 13, 15, 16, BLACK),
        ("rect", 2, 14, 14, 15, SILVER),
        ("rect", 4, 14, 5, 15, GREY),
        ("rect", 7, 14, 8, 15, GREY),
        ("rect", 10, 14, 11, 15, GREY),
    ]


def sample(shapes, x, y):
    """The colour (r, g, b, a) of the drawing at design point (x, y)."""
    colour = (0, 0, 0, 0)
    for shape in shapes:
        kind = shape[0]
        if kind == "rect":
            _, x0, y0, x1, y1, rgb = shape
            if x0 <= x < x1 and y0 <= y < y1:
                colour = rgb + (255,)
        elif kind == "disc":
            _, cx, cy, radius, rgb = shape
            if (x - cx) ** 2 + (y - cy) ** 2 < radius * radius:
                colour = rgb + (255,)
        elif kind == "ring":
            _, cx, cy, inner, outer, rgb = shape
            if inner * inner <= (x - cx) ** 2 + (y - cy) ** 2 < outer * outer:
                colour = rgb + (255,)
        elif kind == "fn":
            hit = shape[1](x, y)
            if hit:
                colour = hit
    return colour


def render(shapes, grid, width, height, samples):
    """Rows of (r, g, b, a), top-down; straight alpha."""
    scale_x, scale_y = grid[0] / width, grid[1] / height
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = sample(shapes, (px + (sx + 0.5) / samples) * scale_x, (py + (sy + 0.5) / samples) * scale_y)
                    r += c[0] * c[3]
                    g += c[1] * c[3]
                    b += c[2] * c[3]
                    a += c[3]
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(a / (samples * samples))))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def nearest_palette_index(rgb):
    return min(range(16), key=lambda i: sum((rgb[k] - VGA[i][k]) ** 2 for k in range(3)))


def and_mask(rows):
    size_x = len(rows[0])
    stride = ((size_x + 31) // 32) * 4
    data = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, c in enumerate(row):
            if c[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        data += bytes(bits)
    return data


def icon_image_4bpp(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in VGA)
    stride = ((size * 4 + 31) // 32) * 4
    pixels = b""
    for row in reversed(rows):
        line = bytearray(stride)
        for x, c in enumerate(row):
            index = nearest_palette_index(c) if c[3] >= 128 else 0
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        pixels += bytes(line)
    return header + palette + pixels + and_mask(rows)


def icon_image_32bpp(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(struct.pack("BBBB", c[2], c[1], c[0], c[3]) for row in reversed(rows) for c in row)
    return header + pixels + and_mask(rows)


def png(rows):
    width, height = len(rows[0]), len(rows)
    raw = b"".join(b"\0" + bytes(v for c in row for v in c) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_icon(path):
    images = []  # (size, bits per pixel, data)
    for size in (16, 32, 48):
        shapes, grid = (small_program_icon_shapes(), 16) if size == 16 else (program_icon_shapes(), 32)
        images.append((size, 4, icon_image_4bpp(render(shapes, (grid, grid), size, size, 1))))
    for size in (16, 20, 24, 32, 40, 48, 64, 256):
        shapes, grid = (small_program_icon_shapes(), 16) if size < 24 else (program_icon_shapes(), 32)
        rows = render(shapes, (grid, grid), size, size, 1 if size <= 32 else 4)
        images.append((size, 32, png(rows) if size == 256 else icon_image_32bpp(rows)))

    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, bpp, data in images:
        colours = 16 if bpp == 4 else 0
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
        body += data
    with open(path, "wb") as out:
        out.write(directory + body)


# ---------------------------------------------------------------------------------------------
# The logo of Durvane Computing: an emblem (a white "D" on a deep blue tile, a red node at its
# heart) above the name set in a blocky 5 x 7 letter face, on the visual style's face colour so
# it sits in the about window without a visible box.

FACE = (228, 235, 241)
SLATE = (29, 43, 56)
ACCENT = (47, 111, 168)
DEEP = (26, 64, 110)
NODE = (214, 48, 49)

LETTERS = {
    "D": ["1110.", "1..1.", "1...1", "1...1", "1...1", "1..1.", "1110."],
    "U": ["1...1", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."],
    "R": ["1111.", "1...1", "1...1", "1111.", "1.1..", "1..1.", "1...1"],
    "V": ["1...1", "1...1", "1...1", "1...1", ".1.1.", ".1.1.", "..1.."],
    "A": [".111.", "1...1", "1...1", "11111", "1...1", "1...1", "1...1"],
    "N": ["1...1", "11..1", "1.1.1", "1.1.1", "1..11", "1...1", "1...1"],
    "E": ["11111", "1....", "1....", "1111.", "1....", "1....", "11111"],
    "C": [".111.", "1...1", "1....", "1....", "1....", "1...1", ".111."],
    "O": [".111.", "1...1", "1...1", "1...1", "1...1", "1...1", ".111."],
    "M": ["1...1", "11.11", "1.1.1", "1.1.1", "1...1", "1...1", "1...1"],
    "P": ["1111.", "1...1", "1...1", "1111.", "1....", "1....", "1...."],
    "T": ["11111", "..1..", "..1..", "..1..", "..1..", "..1..", "..1.."],
    "I": ["111", ".1.", ".1.", ".1.", ".1.", ".1.", "111"],
    "G": [".111.", "1...1", "1....", "1.111", "1...1", "1...1", ".1111"],
}


def text_shapes(text, centre_x, top, cell, gap, colour):
    """Rectangles for `text`, centred on centre_x, each font pixel `cell` units square."""
    width = sum(len(LETTERS[ch][0]) for ch in text) * cell + (len(text) - 1) * gap
    x = centre_x - width / 2
    shapes = []
    for ch in text:
        glyph = LETTERS[ch]
        for row, line in enumerate(glyph):
            for column, bit in enumerate(line):
                if bit == "1":
                    shapes.append(("rect", x + column * cell, top + row * cell,
                                   x + (column + 1) * cell, top + (row + 1) * cell, colour))
        x += len(glyph[0]) * cell + gap
    return shapes


def emblem(cx, top, size):
    radius = size * 0.18
    left, right, bottom = cx - size / 2, cx + size / 2, top + size

    def tile(x, y):
        if not (left <= x < right and top <= y < bottom):
            return None
        # Rounded corners.
        nx = min(max(x, left + radius), right - radius)
        ny = min(max(y, top + radius), bottom - radius)
        if (x - nx) ** 2 + (y - ny) ** 2 > radius * radius:
            return None
        # A gentle top-to-bottom shading from the accent to the deep blue.
        t = (y - top) / size
        return tuple(round(ACCENT[k] * (1 - t) + DEEP[k] * t) for k in range(3)) + (255,)

    stroke = size * 0.13
    bar_left = cx - size * 0.26
    d_top, d_bottom = top + size * 0.2, top + size * 0.8
    bowl_cx, bowl_cy, bowl_r = cx - size * 0.05, (d_top + d_bottom) / 2, (d_bottom - d_top) / 2

    def letter(x, y):
        in_bar = bar_left <= x < bar_left + stroke and d_top <= y < d_bottom
        in_arms = bar_left <= x < bowl_cx and (d_top <= y < d_top + stroke or d_bottom - stroke <= y < d_bottom)
        distance = math.hypot(x - bowl_cx, y - bowl_cy)
        in_bowl = x >= bowl_cx and bowl_r - stroke <= distance < bowl_r
        return WHITE + (255,) if in_bar or in_arms or in_bowl else None

    node_r = size * 0.085
    return [("fn", tile), ("fn", letter), ("disc", bowl_cx + size * 0.02, bowl_cy, node_r, NODE)]


def write_logo(path):
    width, height = 161, 121
    shapes = [("rect", 0, 0, width, height, FACE)]
    shapes += emblem(width / 2, 8, 56)
    shapes += text_shapes("DURVANE", width / 2, 74, 3, 3, SLATE)
    shapes += text_shapes("COMPUTING", width / 2, 101, 1.5, 3, ACCENT)
    rows = render(shapes, (width, height), width, height, 4)

    stride = (width * 3 + 3) // 4 * 4
    pixels = b""
    for row in reversed(rows):
        line = b"".join(struct.pack("BBB", c[2], c[1], c[0]) for c in row)
        pixels += line + b"\0" * (stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(path, "wb") as out:
        out.write(header + info + pixels)


if __name__ == "__main__":
    write_icon(os.path.join(RESOURCES, "vantrel.ico"))
    write_logo(os.path.join(RESOURCES, "logo.bmp"))
