"""The sparkle overlay, the celebration picture and the speech balloon."""

import math

import numpy as np

from . import raster
from . import text

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
RED = (255, 0, 0)


class Lcg:
    """A small linear congruential generator, so that the scatter never depends on Python's."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def below(self, n):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return (self.state >> 8) % n

    def uniform(self, lo, hi):
        return lo + (hi - lo) * self.below(1 << 20) / float(1 << 20)


def outlined(picture, m, fill, edge, width=1.0):
    """Fills m and gives it a dark edge just inside and just outside, as the figures have."""
    picture.paint(m, fill)
    picture.paint(raster.inner_edge(m, width), edge)
    picture.paint(raster.outer_ring(m, width), edge)


# ---------------------------------------------------------------------------------------------
# The sparkle: two four-pointed stars, drawn over whatever a figure shows.

SPARKLE = {
    'fill': (255, 214, 36),
    'core': (255, 244, 150),
    'edge': (206, 120, 16),
    # (centre, radius) of each star: a big one by the head, a small one by the hand.
    'stars': [((16.0, 16.0), 15.0), ((48.0, 45.0), 10.0)],
    'thinness': 0.5,
}


def sparkle():
    p = raster.Picture(64, 64, WHITE)
    for centre, r in SPARKLE['stars']:
        star = p.mask(('star', centre, r, SPARKLE['thinness']))
        outlined(p, star, SPARKLE['fill'], SPARKLE['edge'])
        core = p.mask(('star', centre, r * 0.5, SPARKLE['thinness'])) & raster.erode(star, 2)
        p.paint(core, SPARKLE['core'])
    return p.rgb


# ---------------------------------------------------------------------------------------------
# The celebration: a kusudama split open, with streamers, confetti and a banner bearing 祝.

CELEBRATION = {
    'edge': (88, 40, 44),
    'gold': (238, 186, 50),
    'gold_light': (252, 228, 124),
    'gold_shade': (196, 132, 34),
    'inside': (138, 36, 58),
    'inside_light': (180, 62, 80),
    'flowers': [(232, 56, 72), (246, 150, 178), (252, 246, 232)],
    'flower_heart': (238, 186, 50),
    'cloth': (252, 248, 236),
    'cloth_shade': (228, 218, 196),
    'border': (214, 40, 58),
    'ink': (196, 22, 44),
    'cord': (238, 186, 50),
    'streamers': [
        # colour, start (x, y), sway amplitude, wave length, drift per pixel, length, phase
        ((236, 64, 84), (40, 58), 5.0, 34.0, -0.16, 128, 0.0),
        ((70, 150, 236), (30, 52), 4.0, 28.0, -0.10, 96, 1.3),
        ((250, 208, 64), (52, 64), 3.5, 40.0, -0.06, 138, 2.4),
        ((84, 196, 104), (96, 58), 5.0, 34.0, 0.16, 128, 3.1),
        ((240, 124, 190), (106, 52), 4.0, 28.0, 0.10, 96, 0.4),
        ((160, 112, 232), (84, 64), 3.5, 40.0, 0.06, 138, 1.9),
    ],
    'confetti': [(236, 64, 84), (70, 150, 236), (250, 208, 64), (84, 196, 104),
                 (240, 124, 190), (250, 150, 54), (160, 112, 232), (252, 246, 232)],
    'hinge': (68.0, 9.0),
    'radius': 29,
    'swing': 40.0,           # degrees each half has swung open
    'banner': (42, 70, 94, 160),  # left, top, right, bottom of the cloth (the tails below)
    'tail': 12,              # how far the swallow-tail points hang below the cloth
    'word': '祝',
    'word_size': 46,
}


def _rotate(point, centre, degrees):
    a = math.radians(degrees)
    c, s = math.cos(a), math.sin(a)
    dx, dy = point[0] - centre[0], point[1] - centre[1]
    return (centre[0] + dx * c - dy * s, centre[1] + dx * s + dy * c)


def _streamer(p, colour, start, amplitude, wave, drift, length, phase):
    """A paper streamer fluttering down: a wavy line whose width twists between 1 and 3."""
    x0, y0 = start
    m = np.zeros((p.height, p.width), dtype=bool)
    dark = tuple(int(c * 0.72) for c in colour)
    shade = np.zeros_like(m)
    for t in range(0, length, 1):
        a = 2 * math.pi * t / wave + phase
        x = x0 + amplitude * math.sin(a) + drift * t
        y = y0 + t
        twist = abs(math.cos(a * 0.5 + phase))
        r = 0.6 + 1.4 * twist
        seg = p.mask(('circle', (x, y), r))
        m |= seg
        if twist < 0.45:
            shade |= seg
    p.paint(m, colour)
    p.paint(shade & m, dark)


def celebration():
    d = CELEBRATION
    p = raster.Picture(136, 201, BLACK)
    rng = Lcg(20240601)

    # Confetti first, so everything else lies over it; none on the banner.
    left, top, right, bottom = d['banner']
    for _ in range(90):
        x, y = rng.uniform(3, 133), rng.uniform(40, 198)
        if left - 3 <= x <= right + 3 and top - 4 <= y <= bottom + d['tail'] + 3:
            rng.below(8), rng.below(3), rng.below(180)
            continue
        colour = d['confetti'][rng.below(len(d['confetti']))]
        kind = rng.below(3)
        angle = rng.below(180)
        if kind == 0:
            w, h = 2.6, 1.5
            corners = [_rotate((x + sx * w, y + sy * h), (x, y), angle)
                       for sx, sy in ((-1, -1), (1, -1), (1, 1), (-1, 1))]
            p.fill(('poly', corners), colour)
        elif kind == 1:
            p.fill(('circle', (x, y), 1.7), colour)
        else:
            p.fill(('ellipse', (x, y), 2.8, 1.3, angle), colour)

    # Streamers from the open ball, down both sides of the banner.
    for s in d['streamers']:
        _streamer(p, *s)

    # A few gold twinkles among the confetti.
    for centre, r in (((18, 96), 5.5), ((120, 118), 5.0), ((14, 168), 4.0), ((124, 180), 4.5),
                      ((110, 74), 4.0)):
        star = p.mask(('star', centre, r, 0.6))
        p.paint(star, d['gold_light'])

    # The cord the ball hangs from.
    hx, hy = d['hinge']
    cord = p.mask(('capsule', [(hx, 0), (hx, hy)], 1.2))
    outlined(p, cord, d['cord'], d['edge'])

    # The strings and the banner.
    rod_y = top - 4
    strings = p.mask(('union', [('capsule', [(hx, hy + 6), (left + 3, rod_y)], 0.6),
                                ('capsule', [(hx, hy + 6), (right - 3, rod_y)], 0.6)]))
    p.paint(strings, d['gold_light'])
    cloth = p.mask(('poly', [(left, top - 2), (right, top - 2), (right, bottom + d['tail']),
                             ((left + right) / 2.0, bottom),
                             (left, bottom + d['tail'])]))
    outlined(p, cloth, d['cloth'], d['edge'])
    p.paint(cloth & ~raster.shifted(cloth, -3, 0) & ~raster.inner_edge(cloth), d['cloth_shade'])
    inner = raster.erode(cloth, 4)
    p.paint(raster.inner_edge(inner, 2), d['border'])
    word = text.place(text.text_mask(d['word'], d['word_size']), p.width, p.height,
                      ((left + right) / 2.0, (top + bottom) / 2.0 + 2))
    p.paint(word, d['ink'])
    rod = p.mask(('capsule', [(left - 4, rod_y), (right + 4, rod_y)], 2.2))
    outlined(p, rod, d['gold'], d['edge'])
    for end in (left - 5, right + 5):
        outlined(p, p.mask(('circle', (end, rod_y), 3.0)), d['gold_light'], d['edge'])

    # The two halves of the ball, each swung open about the hinge at the top.
    r = d['radius']
    centre = (hx, hy + r)
    for side in (-1, 1):
        angle = side * -d['swing']
        c = _rotate(centre, (hx, hy), angle)
        far = _rotate((hx, hy + 2 * r), (hx, hy), angle)   # the lower end of the cut
        # The half-disc on `side` of the cut, the cut running from the hinge to `far`.
        nx, ny = far[1] - hy, -(far[0] - hx)                # normal to the cut
        if (c[0] + side * r - hx) * nx + (c[1] - hy) * ny < 0:
            nx, ny = -nx, -ny
        half_plane = ('poly', [(hx, hy), far, (far[0] + nx * 3, far[1] + ny * 3),
                               (hx + nx * 3, hy + ny * 3)])
        shell = p.mask(('inter', [('circle', c, r), half_plane]))
        cut_angle = math.degrees(math.atan2(far[1] - hy, far[0] - hx))
        opening = p.mask(('ellipse', c, r, r * 0.28, cut_angle))
        outlined(p, shell | opening, d['gold'], d['edge'])
        body = shell & ~opening
        p.paint(body & ~raster.shifted(body, 2, 3) & raster.erode(shell | opening, 1),
                d['gold_light'])
        # Paper flowers all over the outside.
        k = 0
        for gy in range(-r, r + 1, 7):
            for gx in range(-r, r + 1, 7):
                fx = c[0] + gx + (3.5 if (gy // 7) % 2 else 0)
                fy = c[1] + gy
                flower = p.mask(('circle', (fx, fy), 2.6)) & raster.erode(body, 2)
                if flower.sum() < 8:
                    continue
                p.paint(flower, d['flowers'][k % len(d['flowers'])])
                p.paint(p.mask(('rect', (math.floor(fx), math.floor(fy)),
                                (math.floor(fx) + 1, math.floor(fy) + 1))) & flower,
                        d['flower_heart'])
                k += 1
        # A shine on the outside, the hollow inside of the open face.
        p.paint(body & ~raster.shifted(body, side * 2, 2) & raster.erode(shell | opening, 1),
                d['gold_shade'])
        hollow = raster.erode(opening, 2)
        p.paint(hollow, d['inside'])
        p.paint(hollow & ~raster.shifted(hollow, 0, 2), d['inside_light'])
        p.paint(raster.inner_edge(opening, 1) & raster.dilate(hollow, 1), d['gold_light'])
        p.paint(raster.outer_ring(shell | opening), d['edge'])
    # The knot where the halves hang from the cord.
    outlined(p, p.mask(('circle', (hx, hy - 2), 3.2)), d['gold_light'], d['edge'])
    return p.rgb


# ---------------------------------------------------------------------------------------------
# The speech balloon: "dance once more?", pointing down at the figures below it.

BALLOON = {
    'fill': (255, 255, 255),
    'shade': (226, 230, 244),
    'edge': (58, 34, 52),
    'ink': (58, 34, 52),
    'accent': (54, 112, 196),
    'body': (3, 3, 127, 55),      # left, top, right, bottom
    'corner': 17,
    'tail': [(54, 50), (72, 50), (66, 69)],
    'lines': ['もう一回', 'おどる？'],
    'size': 21,
}


def balloon():
    d = BALLOON
    p = raster.Picture(131, 72, RED)
    left, top, right, bottom = d['body']
    k = d['corner']
    body = p.mask(('union', [('rect', (left + k, top), (right - k, bottom)),
                             ('rect', (left, top + k), (right, bottom - k)),
                             ('circle', (left + k, top + k), k),
                             ('circle', (right - k, top + k), k),
                             ('circle', (left + k, bottom - k), k),
                             ('circle', (right - k, bottom - k), k)]))
    tail = p.mask(('poly', d['tail']))
    shape = body | tail
    p.paint(shape, d['fill'])
    p.paint(shape & ~raster.shifted(shape, 0, -3), d['shade'])
    p.paint(raster.inner_edge(shape, 2), d['edge'])
    p.paint(raster.outer_ring(shape, 1), d['edge'])
    # Two lines of text.
    middle = (left + right) / 2.0
    line_height = (bottom - top) / 2.0
    for i, words in enumerate(d['lines']):
        ink = text.place(text.text_mask(words, d['size']), p.width, p.height,
                         (middle, top + line_height * (i + 0.5) + (1 if i == 0 else -1)))
        p.paint(ink, d['ink'] if i == 0 else d['accent'])
    return p.rgb
