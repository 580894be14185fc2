#!/usr/bin/env python3
"""Draws the program's placeholder icon and writes it to assets/icons/ as zumbolo-<size>.png.

The icon is three little figures side by side, one per colour set (blue, red and green dress),
the middle one in mid-hop, with a music note above the right one. It is drawn as 16 x 16 pixel
art, so the 16 px icon is exact; sizes that are a multiple of 16 are the same art with every
pixel made a square block, and the others (22, 24) are resampled by area, each pixel of the
result the coverage-weighted average of the art's pixels under it.

Only the Python standard library is used; running it again writes the same bytes.
"""

import os
import struct
import sys
import zlib

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

PALETTE = {
    ".": None,  # transparent
    "k": (43, 29, 29),     # eyes, shoes, the note
    "s": (247, 214, 181),  # skin
    "y": (242, 201, 76),   # blonde hair
    "g": (176, 176, 186),  # grey hair
    "b": (52, 101, 214),   # blue dress
    "r": (217, 48, 48),    # red dress
    "e": (46, 160, 67),    # green dress
}

# One figure, five pixels wide; H is the hair, D the dress.
FIGURE = [
    ".HHH.",
    "HHHHH",
    "HsssH",
    "sksks",
    ".sss.",
    ".DDD.",
    "DDDDD",
    "sDDDs",
    ".DDD.",
    "DDDDD",
    ".s.s.",
    ".k.k.",
]

NOTE = [  # three pixels wide, at the top right
    ".kk",
    ".k.",
    "kk.",
    "kk.",
]


def art():
    """The 16 x 16 picture as rows of palette keys."""
    rows = [["."] * 16 for _ in range(16)]

    def put(shape, left, top, hair="", dress=""):
        for y, line in enumerate(shape):
            for x, key in enumerate(line):
                if key == ".":
                    continue
                key = {"H": hair, "D": dress}.get(key, key)
                rows[top + y][left + x] = key

    put(FIGURE, 0, 4, hair="g", dress="b")
    put(FIGURE, 5, 2, hair="y", dress="r")  # hopping
    put(FIGURE, 10, 4, hair="g", dress="e")
    put(NOTE, 12, 0)
    return rows


def render(size, rows):
    """RGBA rows of the picture at `size` x `size`."""
    n = len(rows)
    out = []
    for ty in range(size):
        line = bytearray()
        for tx in range(size):
            # The target pixel covers [tx, tx + 1) * n / size of the art; integer arithmetic in
            # units of 1 / size keeps the result exact and repeatable.
            x0, x1 = tx * n, (tx + 1) * n
            y0, y1 = ty * n, (ty + 1) * n
            r = g = b = a = 0
            for sy in range(y0 // size, min(n, (y1 + size - 1) // size)):
                cover_y = min(y1, (sy + 1) * size) - max(y0, sy * size)
                if cover_y <= 0:
                    continue
                for sx in range(x0 // size, min(n, (x1 + size - 1) // size)):
                    cover_x = min(x1, (sx + 1) * size) - max(x0, sx * size)
                    if cover_x <= 0:
                        continue
                    colour = PALETTE[rows[sy][sx]]
                    if colour is None:
                        continue
                    w = cover_x * cover_y
                    r += colour[0] * w
                    g += colour[1] * w
                    b += colour[2] * w
                    a += w
            total = n * n
            if a == 0:
                line += bytes((0, 0, 0, 0))
            else:
                # Colour averaged over the opaque part, alpha by coverage (straight alpha).
                line += bytes(((r + a // 2) // a, (g + a // 2) // a, (b + a // 2) // a,
                               (255 * a + total // 2) // total))
        out.append(bytes(line))
    return out


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    raw = b"".join(b"\x00" + row for row in pixels)  # filter type 0 on every row
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "assets", "icons")
    os.makedirs(folder, exist_ok=True)
    rows = art()
    for size in SIZES:
        path = os.path.join(folder, "zumbolo-%d.png" % size)
        with open(path, "wb") as f:
            f.write(png(size, render(size, rows)))
        print(path)


if __name__ == "__main__":
    main()
