"""Draws the program's icon at every size, as RGBA arrays."""

import numpy as np

from . import icon_data as data
from . import raster
from .figures import draw_parts

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
SUPERSAMPLE = 4   # the big icons are drawn four times larger and averaged down: smooth edges


def _from_pixel_map(rows):
    size = len(rows)
    rgba = np.zeros((size, size, 4), dtype=np.uint8)
    for y, row in enumerate(rows):
        assert len(row) == size, (size, y, row)
        for x, key in enumerate(row):
            if key != '.':
                rgba[y, x, :3] = data.PALETTE[data.KEYS[key]]
                rgba[y, x, 3] = 255
    return rgba


def _drawn(pixels, line, outline):
    """The design drawn hard-edged into a pixels x pixels square, with its coverage."""
    picture = raster.Picture(pixels, pixels, (0, 0, 0), scale=pixels / 64.0)
    covered = draw_parts(picture, data.PARTS, {}, data.PALETTE, line, outline)
    return picture.rgb, covered


def icon(size):
    if size in data.PIXEL_MAPS:
        return _from_pixel_map(data.PIXEL_MAPS[size])
    if size < 48:
        rgb, covered = _drawn(size, 1.0, 1.0)
        return np.dstack([rgb, covered.astype(np.uint8) * 255])
    n = SUPERSAMPLE
    unit = size * n / 64.0
    rgb, covered = _drawn(size * n, max(1.0, 0.8 * unit), max(1.0, 1.0 * unit))
    # Average each n x n block; colours weighted by coverage so the edge keeps its own colour.
    a = covered.astype(np.float64)
    weighted = rgb.astype(np.float64) * a[..., None]
    blocks = lambda v: v.reshape(size, n, size, n, *v.shape[2:]).sum(axis=(1, 3))
    alpha = blocks(a)
    colour = blocks(weighted) / np.maximum(alpha, 1e-9)[..., None]
    out = np.zeros((size, size, 4), dtype=np.uint8)
    out[..., :3] = np.clip(np.rint(colour), 0, 255).astype(np.uint8)
    out[..., 3] = np.clip(np.rint(alpha * 255.0 / (n * n)), 0, 255).astype(np.uint8)
    out[out[..., 3] == 0, :3] = 0
    return out
