"""Hard-edged drawing from shape descriptions, on numpy masks.

A shape is data: a tuple whose first item names the primitive, in design units (for the
figures, one unit is one pixel of a 64 x 64 cell):

    ('ellipse', (cx, cy), rx, ry)            optionally a fifth item: the tilt in degrees
    ('circle', (cx, cy), r)
    ('rect', (x0, y0), (x1, y1))             the box x0 <= x < x1, y0 <= y < y1
    ('poly', [(x, y), ...])                  even-odd rule
    ('capsule', [(x, y), ...], r)            a thick line through the points, round ends
    ('star', (cx, cy), r, thinness)            four-pointed: |dx|^t + |dy|^t <= r^t
    ('union', [shape, ...]), ('minus', shape, [shape, ...]), ('inter', [shape, ...])

A picture is rasterised by sampling every pixel once, at its centre, so edges stay hard: a
pixel is either inside a shape or not. `scale` turns design units into pixels.
"""

import math

import numpy as np


def grid(width, height, scale=1.0, origin=(0.0, 0.0)):
    """The design coordinates of the pixel centres of a width x height picture."""
    xs = (np.arange(width) + 0.5) / scale + origin[0]
    ys = (np.arange(height) + 0.5) / scale + origin[1]
    return np.meshgrid(xs, ys)


def _segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    if length2 == 0:
        return np.hypot(x - ax, y - ay)
    t = np.clip(((x - ax) * dx + (y - ay) * dy) / length2, 0.0, 1.0)
    return np.hypot(x - (ax + t * dx), y - (ay + t * dy))


def _in_polygon(x, y, points):
    inside = np.zeros(x.shape, dtype=bool)
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        if ay == by:
            continue
        crosses = (ay > y) != (by > y)
        cross_x = ax + (y - ay) * (bx - ax) / (by - ay)
        inside ^= crosses & (x < cross_x)
    return inside


def mask(shape, x, y):
    """The pixels (as a boolean array shaped like x and y) inside `shape`."""
    kind = shape[0]
    if kind == 'ellipse':
        (cx, cy), rx, ry = shape[1:4]
        tilt = math.radians(shape[4]) if len(shape) > 4 else 0.0
        dx, dy = x - cx, y - cy
        if tilt:
            c, s = math.cos(tilt), math.sin(tilt)
            dx, dy = dx * c + dy * s, -dx * s + dy * c
        return (dx / rx) ** 2 + (dy / ry) ** 2 <= 1.0
    if kind == 'circle':
        (cx, cy), r = shape[1:3]
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    if kind == 'rect':
        (x0, y0), (x1, y1) = shape[1:3]
        return (x >= x0) & (x < x1) & (y >= y0) & (y < y1)
    if kind == 'poly':
        return _in_polygon(x, y, list(shape[1]))
    if kind == 'capsule':
        points, r = list(shape[1]), shape[2]
        if len(points) == 1:
            points = points * 2
        inside = np.zeros(x.shape, dtype=bool)
        for a, b in zip(points, points[1:]):
            inside |= _segment_distance(x, y, a, b) <= r
        return inside
    if kind == 'star':
        (cx, cy), r, thinness = shape[1:4]
        dx, dy = np.abs(x - cx) / r, np.abs(y - cy) / r
        return dx ** thinness + dy ** thinness <= 1.0
    if kind == 'union':
        inside = np.zeros(x.shape, dtype=bool)
        for part in shape[1]:
            inside |= mask(part, x, y)
        return inside
    if kind == 'inter':
        inside = np.ones(x.shape, dtype=bool)
        for part in shape[1]:
            inside &= mask(part, x, y)
        return inside
    if kind == 'minus':
        inside = mask(shape[1], x, y)
        for part in shape[2]:
            inside &= ~mask(part, x, y)
        return inside
    raise ValueError('unknown shape %r' % (kind,))


def shifted(m, dx, dy):
    """m moved by (dx, dy) pixels; what comes in from outside is False."""
    out = np.zeros_like(m)
    h, w = m.shape
    xs_to = slice(max(dx, 0), w + min(dx, 0))
    xs_from = slice(max(-dx, 0), w + min(-dx, 0))
    ys_to = slice(max(dy, 0), h + min(dy, 0))
    ys_from = slice(max(-dy, 0), h + min(-dy, 0))
    out[ys_to, xs_to] = m[ys_from, xs_from]
    return out


def _disk(radius):
    r = int(math.ceil(radius))
    return [(dx, dy) for dy in range(-r, r + 1) for dx in range(-r, r + 1)
            if dx * dx + dy * dy <= radius * radius + 1e-9]


def dilate(m, radius=1.0):
    """Every pixel within `radius` of m (radius 1 is the four neighbours). Beyond a radius of 4
    the disc is approximated by an octagon, grown a pixel at a time."""
    if radius > 4:
        out = m.copy()
        for step in range(int(round(radius))):
            grown = out.copy()
            offsets = ((1, 0), (-1, 0), (0, 1), (0, -1))
            if step % 2:
                offsets += ((1, 1), (1, -1), (-1, 1), (-1, -1))
            for dx, dy in offsets:
                grown |= shifted(out, dx, dy)
            out = grown
        return out
    out = m.copy()
    for dx, dy in _disk(radius):
        if dx or dy:
            out |= shifted(m, dx, dy)
    return out


def erode(m, radius=1.0):
    return ~dilate(~m, radius)


def inner_edge(m, width=1.0):
    """The pixels of m that lie within `width` of a pixel outside m."""
    return m & ~erode(m, width)


def outer_ring(m, width=1.0):
    """The pixels outside m that lie within `width` of m."""
    return dilate(m, width) & ~m


class Picture:
    """An RGB picture as a numpy array, with helpers that paint through masks."""

    def __init__(self, width, height, background, scale=1.0, origin=(0.0, 0.0)):
        self.width, self.height, self.scale = width, height, scale
        self.rgb = np.zeros((height, width, 3), dtype=np.uint8)
        self.rgb[:, :] = background
        self.x, self.y = grid(width, height, scale, origin)

    def mask(self, shape):
        return mask(shape, self.x, self.y)

    def paint(self, m, colour):
        self.rgb[m] = colour

    def fill(self, shape, colour):
        m = self.mask(shape)
        self.rgb[m] = colour
        return m

    def image(self):
        from PIL import Image
        return Image.fromarray(self.rgb, 'RGB')
