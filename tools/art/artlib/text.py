"""Text without anti-aliasing, from the Noto Sans CJK font."""

import os

import numpy as np
from PIL import Image, ImageDraw, ImageFont

FONT_FILES = [
    '/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc',
    '/usr/share/fonts/opentype/noto/NotoSansCJK-Black.ttc',
    '/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc',
]


class FontMissing(RuntimeError):
    pass


def font(size):
    """Noto Sans CJK JP (the first face of the collection), bold when installed."""
    for path in FONT_FILES:
        if os.path.exists(path):
            return ImageFont.truetype(path, size, index=0)
    raise FontMissing('Noto Sans CJK is not installed (Debian: apt-get install fonts-noto-cjk)')


def text_mask(text, size):
    """The glyphs of `text` as a boolean array, cropped to their ink.

    Drawn into a one-bit picture, so every pixel is either ink or not: no grey edges that
    could come near a picture's transparent key."""
    f = font(size)
    left, top, right, bottom = f.getbbox(text)
    picture = Image.new('1', (right - left + 4, bottom - top + 4), 0)
    draw = ImageDraw.Draw(picture)
    draw.fontmode = '1'
    draw.text((2 - left, 2 - top), text, fill=1, font=f)
    ink = np.array(picture, dtype=bool)
    ys, xs = np.nonzero(ink)
    return ink[ys.min():ys.max() + 1, xs.min():xs.max() + 1]


def place(mask, width, height, centre):
    """The mask placed in a width x height picture with its middle at `centre` (x, y)."""
    out = np.zeros((height, width), dtype=bool)
    h, w = mask.shape
    x0 = int(round(centre[0] - w / 2.0))
    y0 = int(round(centre[1] - h / 2.0))
    out[y0:y0 + h, x0:x0 + w] = mask
    return out
