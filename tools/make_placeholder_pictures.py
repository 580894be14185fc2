#!/usr/bin/env python3
"""Draws the placeholder pictures and writes them to assets/pictures/ as 24-bit BMP files.

    poses0.bmp, poses1.bmp, poses2.bmp  768 x 64, twelve 64 x 64 poses of the little girl
    sparkle.bmp                         64 x 64, two sparkles
    celebration.bmp                     136 x 201, a festive ball split open, with a banner
    balloon.bmp                         131 x 72, a speech balloon pointing down

Each picture has a key colour that the program treats as transparent: white for the poses and
the sparkle, black for the celebration, red for the balloon. Nothing that is drawn comes close
to its picture's key. Pose i of a sheet sits at x = 64 * i; i = facing * 3 + frame, where facing
0 looks at the viewer, 1 to the viewer's left, 2 to the viewer's right and 3 away, and frame 1
is standing while frames 0 and 2 are the two walking steps.

Only the Python standard library is used; running it again writes the same bytes.
"""

import math
import os
import struct
import sys

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
RED = (255, 0, 0)


class Canvas:
    """A picture as rows of (r, g, b) tuples, with hard-edged shapes drawn from predicates."""

    def __init__(self, width, height, background):
        self.width = width
        self.height = height
        self.rows = [[background] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = colour

    def get(self, x, y):
        return self.rows[y][x]

    def shape(self, inside, box, fill, outline=None):
        """Fills the pixels (x, y) within box = (x0, y0, x1, y1), inclusive, for which
        inside(x, y) holds; with `outline`, the pixels just around them get that colour."""
        x0, y0, x1, y1 = box
        mask = {}
        for y in range(y0 - 2, y1 + 3):
            for x in range(x0 - 2, x1 + 3):
                mask[x, y] = x0 <= x <= x1 and y0 <= y <= y1 and bool(inside(x, y))
        for y in range(y0 - 1, y1 + 2):
            for x in range(x0 - 1, x1 + 2):
                if mask[x, y]:
                    self.put(x, y, fill)
                elif outline is not None and any(
                        mask[x + dx, y + dy] for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                    self.put(x, y, outline)

    def rect(self, x0, y0, x1, y1, fill, outline=None):
        self.shape(lambda x, y: True, (x0, y0, x1, y1), fill, outline)

    def ellipse(self, cx, cy, rx, ry, fill, outline=None, clip=None):
        def inside(x, y):
            if clip is not None and not clip(x, y):
                return False
            return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0

        box = (math.floor(cx - rx), math.floor(cy - ry), math.ceil(cx + rx), math.ceil(cy + ry))
        self.shape(inside, box, fill, outline)

    def polygon(self, points, fill, outline=None):
        self.shape(lambda x, y: in_polygon(points, x, y), bounds(points), fill, outline)

    def stroke(self, points, radius, fill, outline=None):
        """A thick line through `points` with round ends."""
        def inside(x, y):
            return any(segment_distance(x, y, a, b) <= radius
                       for a, b in zip(points, points[1:]))

        x0, y0, x1, y1 = bounds(points)
        r = math.ceil(radius)
        self.shape(inside, (x0 - r, y0 - r, x1 + r, y1 + r), fill, outline)

    def mirrored(self, x0, x1):
        """Mirrors the columns x0..x1 (inclusive) left to right."""
        for row in self.rows:
            row[x0:x1 + 1] = row[x0:x1 + 1][::-1]


def bounds(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return (math.floor(min(xs)), math.floor(min(ys)), math.ceil(max(xs)), math.ceil(max(ys)))


def in_polygon(points, x, y):
    # Even-odd rule, sampling at the pixel's centre.
    px, py = x + 0.5, y + 0.5
    inside = False
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        ax, ay, bx, by = ax + 0.5, ay + 0.5, bx + 0.5, by + 0.5
        if (ay > py) != (by > py):
            cross_x = ax + (py - ay) * (bx - ax) / (by - ay)
            if px < cross_x:
                inside = not inside
    return inside


def segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


class Rng:
    """A small linear congruential generator, so the scatter never depends on Python's own."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def below(self, n):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return (self.state >> 8) % n


def write_bmp(path, canvas):
    """Writes a 24-bit, bottom-up BMP file with a BITMAPINFOHEADER."""
    stride = (canvas.width * 3 + 3) // 4 * 4
    image = bytearray()
    for row in reversed(canvas.rows):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        image += line
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(image), 0, 0, 14 + 40)
    info = struct.pack('<IiiHHIIiiII', 40, canvas.width, canvas.height, 1, 24, 0, len(image),
                       2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + bytes(image))


# ---------------------------------------------------------------------------------------------
# The little girl.

OUTLINE = (40, 28, 36)
SKIN = (250, 206, 170)
SKIN_SHADE = (222, 170, 136)
CHEEK = (240, 150, 140)
MOUTH = (190, 60, 70)
EYE = (40, 28, 36)
SHOE = (110, 60, 40)
SOCK = (238, 212, 200)   # pale, but well away from the white key
COLLAR = (246, 222, 150)

COLOUR_SETS = [
    {'hair': (150, 150, 162), 'hair_shade': (112, 112, 126),   # grey hair
     'dress': (62, 104, 204), 'dress_shade': (40, 74, 160)},   # blue dress
    {'hair': (236, 196, 72), 'hair_shade': (196, 150, 40),     # blonde hair
     'dress': (204, 44, 56), 'dress_shade': (150, 26, 40)},    # red dress
    {'hair': (150, 150, 162), 'hair_shade': (112, 112, 126),   # grey hair
     'dress': (52, 154, 74), 'dress_shade': (30, 110, 50)},    # green dress
]

HEAD_X, HEAD_Y, HEAD_R = 32, 17, 11


def draw_legs_front(c, ox, step):
    """Legs seen from the front or back; on a step one foot is lifted."""
    for side, hip_x in ((-1, 29), (1, 35)):
        lifted = step == side
        foot_y = 54 if lifted else 57
        foot_x = hip_x + side * (1 if lifted else 0)
        c.stroke([(ox + hip_x, 44), (ox + foot_x, foot_y)], 2.0, SOCK, OUTLINE)
        c.ellipse(ox + foot_x + 0.5 * side, foot_y + 2, 3.2, 2.2, SHOE, OUTLINE)


def draw_legs_side(c, ox, step):
    """Legs seen from the side (walking towards the viewer's left): a stride on a step."""
    if step == 0:
        feet = [(31, 57), (34, 57)]
    else:
        # The leg drawn second is the near one; the two steps swap which leg leads.
        lead, trail = (25, 56), (39, 57)
        feet = [trail, lead] if step < 0 else [lead, trail]
    for i, (fx, fy) in enumerate(feet):
        hip = (ox + 31 + i * 2, 44)
        colour = SOCK if i == 1 else SKIN_SHADE
        c.stroke([hip, (ox + fx, fy)], 2.0, colour, OUTLINE)
        c.ellipse(ox + fx - 1.5, fy + 2, 3.6, 2.0, SHOE, OUTLINE)


def draw_dress(c, ox, colours, narrow):
    half_top, half_hem = (5, 10) if narrow else (7, 12)
    top, hem = 29, 47
    c.polygon([(ox + 32 - half_top, top), (ox + 31 + half_top, top),
               (ox + 31 + half_hem, hem), (ox + 32 - half_hem, hem)],
              colours['dress'], OUTLINE)
    # A darker hem band and a belt line.
    c.rect(ox + 33 - half_hem, hem - 2, ox + 30 + half_hem, hem - 1, colours['dress_shade'])
    c.rect(ox + 33 - half_top - 1, 36, ox + 30 + half_top + 1, 36, colours['dress_shade'])


def draw_arm(c, shoulder, hand, skin=SKIN):
    c.stroke([shoulder, hand], 1.6, skin, OUTLINE)


def draw_ribbons(c, hx, sides):
    """Small red ribbons where the pigtails meet the head."""
    for side in sides:
        x = hx + side * 11
        c.rect(min(x, x + side), HEAD_Y + 1, max(x, x + side), HEAD_Y + 2, MOUTH)


def draw_fringe(c, hx, centre_x, colours):
    """The hair over the forehead, with a jagged lower edge, kept inside the head."""
    def clip(x, y):
        if (x - hx) ** 2 + (y - HEAD_Y) ** 2 > (HEAD_R - 1) ** 2:
            return False
        return y <= HEAD_Y - 1 - (1 if (x - hx) % 5 == 0 else 0)

    c.ellipse(centre_x, HEAD_Y - 5, 10, 5, colours['hair'], None, clip=clip)


def draw_head_front(c, ox, colours):
    hx = ox + HEAD_X
    # Pigtails behind the head, then the hair, the face and the fringe.
    for side in (-1, 1):
        c.ellipse(hx + side * 13, HEAD_Y + 3, 3.5, 4.5, colours['hair'], OUTLINE)
    c.ellipse(hx, HEAD_Y, HEAD_R, HEAD_R, colours['hair'], OUTLINE)
    draw_ribbons(c, hx, (-1, 1))
    c.ellipse(hx, HEAD_Y + 3, 9, 8, SKIN, OUTLINE)
    draw_fringe(c, hx, hx, colours)
    # Eyes, cheeks, mouth.
    for ex in (hx - 4, hx + 3):
        c.rect(ex, HEAD_Y + 2, ex + 1, HEAD_Y + 4, EYE)
    c.rect(hx - 7, HEAD_Y + 6, hx - 6, HEAD_Y + 6, CHEEK)
    c.rect(hx + 6, HEAD_Y + 6, hx + 7, HEAD_Y + 6, CHEEK)
    c.rect(hx - 1, HEAD_Y + 7, hx + 1, HEAD_Y + 7, MOUTH)


def draw_head_back(c, ox, colours):
    hx = ox + HEAD_X
    for side in (-1, 1):
        c.ellipse(hx + side * 13, HEAD_Y + 3, 3.5, 4.5, colours['hair'], OUTLINE)
    c.ellipse(hx, HEAD_Y, HEAD_R, HEAD_R, colours['hair'], OUTLINE)
    draw_ribbons(c, hx, (-1, 1))
    c.rect(hx, HEAD_Y - 10, hx, HEAD_Y + 2, colours['hair_shade'])  # the parting


def draw_head_left(c, ox, colours):
    """The head turned towards the viewer's left: the face on the left, hair behind."""
    hx = ox + HEAD_X
    c.ellipse(hx + 11, HEAD_Y + 4, 3.5, 5, colours['hair'], OUTLINE)  # the pigtail at the back
    c.ellipse(hx, HEAD_Y, HEAD_R, HEAD_R, colours['hair'], OUTLINE)
    draw_ribbons(c, hx, (1,))
    c.ellipse(hx - 3, HEAD_Y + 3, 8, 8, SKIN, OUTLINE, clip=lambda x, y: x <= hx + 1)
    draw_fringe(c, hx, hx - 2, colours)
    c.rect(hx - 12, HEAD_Y + 3, hx - 11, HEAD_Y + 4, SKIN)  # the nose
    c.put(hx - 12, HEAD_Y + 2, OUTLINE)
    c.put(hx - 12, HEAD_Y + 5, OUTLINE)
    c.put(hx - 13, HEAD_Y + 3, OUTLINE)
    c.put(hx - 13, HEAD_Y + 4, OUTLINE)
    c.rect(hx - 7, HEAD_Y + 2, hx - 6, HEAD_Y + 4, EYE)
    c.rect(hx - 4, HEAD_Y + 6, hx - 3, HEAD_Y + 6, CHEEK)
    c.rect(hx - 9, HEAD_Y + 7, hx - 8, HEAD_Y + 7, MOUTH)
    c.rect(hx + 2, HEAD_Y + 2, hx + 3, HEAD_Y + 4, SKIN_SHADE)  # the ear


def draw_pose(c, ox, facing, frame, colours):
    step = frame - 1  # -1, 0 or 1
    if facing in (0, 3):
        swing = 3 * step
        left_hand = (ox + 22, 43 + swing)
        right_hand = (ox + 42, 43 - swing)
        if facing == 3:
            left_hand, right_hand = (ox + 22, 43 - swing), (ox + 42, 43 + swing)
        draw_legs_front(c, ox, step if facing == 0 else -step)
        draw_dress(c, ox, colours, narrow=False)
        draw_arm(c, (ox + 25, 31), left_hand)
        draw_arm(c, (ox + 39, 31), right_hand)
        if facing == 0:
            c.rect(ox + 29, 29, ox + 35, 30, COLLAR, OUTLINE)
            draw_head_front(c, ox, colours)
        else:
            draw_head_back(c, ox, colours)
        return

    # Facing the viewer's left; facing right is the same cell mirrored.
    far_hand = {-1: (ox + 38, 42), 0: (ox + 33, 44), 1: (ox + 26, 41)}[step]
    near_hand = {-1: (ox + 26, 41), 0: (ox + 31, 44), 1: (ox + 38, 42)}[step]
    draw_arm(c, (ox + 33, 31), far_hand, SKIN_SHADE)
    draw_legs_side(c, ox, step)
    draw_dress(c, ox, colours, narrow=True)
    draw_arm(c, (ox + 31, 31), near_hand)
    c.rect(ox + 27, 29, ox + 33, 30, COLLAR, OUTLINE)
    draw_head_left(c, ox, colours)
    if facing == 2:
        c.mirrored(ox, ox + 63)


def pose_sheet(colours):
    c = Canvas(12 * 64, 64, WHITE)
    for facing in range(4):
        for frame in range(3):
            draw_pose(c, 64 * (facing * 3 + frame), facing, frame, colours)
    return c


# ---------------------------------------------------------------------------------------------
# The sparkle, the celebration and the balloon.

def star_inside(cx, cy, r, thinness=0.55):
    """A four-pointed star: |dx|^t + |dy|^t <= r^t, whose arms grow thinner as t falls."""
    def inside(x, y):
        dx, dy = abs(x - cx) / r, abs(y - cy) / r
        return dx ** thinness + dy ** thinness <= 1.0
    return inside


def sparkle():
    c = Canvas(64, 64, WHITE)
    yellow, light, edge = (252, 214, 0), (255, 240, 110), (196, 120, 0)
    for cx, cy, r in ((24, 24, 20), (48, 47, 12)):
        box = (cx - r, cy - r, cx + r, cy + r)
        c.shape(star_inside(cx, cy, r), box, yellow, edge)
        c.shape(star_inside(cx, cy, r * 0.45), box, light)
    return c


def celebration():
    c = Canvas(136, 201, BLACK)
    edge = (96, 56, 32)
    gold = (232, 184, 48)
    rng = Rng(20240601)
    confetti_colours = [(236, 64, 80), (72, 160, 236), (244, 208, 60), (92, 196, 96),
                        (236, 120, 200), (250, 150, 50)]

    hinge = (68, 16)
    # The cord the ball hangs from, and a little tassel knot.
    c.rect(67, 0, 68, 14, gold)
    c.ellipse(68, 15, 3, 3, gold, edge)

    # Streamers falling out of the ball on both sides of the banner.
    streamers = [(30, (236, 64, 80)), (44, (72, 160, 236)), (92, (92, 196, 96)),
                 (106, (244, 208, 60))]
    for i, (x, colour) in enumerate(streamers):
        points = [(x + 5 * math.sin(y / 9.0 + i * 1.7), y) for y in range(46, 176, 4)]
        c.stroke(points, 1.4, colour)

    # Confetti: small rectangles scattered over the lower part, mostly beside the banner.
    for _ in range(46):
        x, y = 4 + rng.below(124), 52 + rng.below(140)
        if 40 <= x <= 96 and y >= 66:
            continue
        colour = confetti_colours[rng.below(len(confetti_colours))]
        w, h = (4, 3) if rng.below(2) else (3, 4)
        c.rect(x, y, x + w - 1, y + h - 1, colour)

    # The two halves of the ball, each swung open about the hinge at the top.
    radius = 26
    for side, angle, shell, inner in ((-1, math.radians(-50), (220, 48, 64), (150, 24, 40)),
                                      (1, math.radians(50), (236, 236, 244), (200, 200, 214))):
        # Closed, the ball's centre is straight below the hinge; its half lies on `side`.
        cx0, cy0 = hinge[0], hinge[1] + radius
        ca, sa = math.cos(angle), math.sin(angle)

        def rotate(px, py, ca=ca, sa=sa):
            dx, dy = px - hinge[0], py - hinge[1]
            return hinge[0] + dx * ca + dy * sa, hinge[1] - dx * sa + dy * ca

        cx, cy = rotate(cx0, cy0)
        nx, ny = side * ca, -side * sa  # points out of the flat face, away from the split

        def half(x, y, cx=cx, cy=cy, nx=nx, ny=ny):
            dx, dy = x - cx, y - cy
            return dx * dx + dy * dy <= radius * radius and dx * nx + dy * ny >= 0

        def band(x, y, cx=cx, cy=cy, nx=nx, ny=ny):
            dx, dy = x - cx, y - cy
            along = dx * nx + dy * ny
            return half(x, y) and 8 <= along <= 12

        box = (int(cx) - radius - 1, int(cy) - radius - 1, int(cx) + radius + 1,
               int(cy) + radius + 1)
        c.shape(half, box, shell, edge)
        c.shape(band, box, gold)
        # The inside of the shell shows as a dark rim along the open face.
        c.shape(lambda x, y, cx=cx, cy=cy, nx=nx, ny=ny: half(x, y) and
                (x - cx) * nx + (y - cy) * ny <= 2, box, inner)

    # The banner, hanging from a rod below the ball.
    c.rect(38, 62, 98, 65, gold, edge)
    c.rect(67, 18, 68, 61, gold)
    c.rect(44, 67, 92, 188, (250, 246, 232), edge)
    c.rect(47, 70, 89, 185, (250, 246, 232), (214, 48, 64))
    c.polygon([(44, 188), (92, 188), (68, 197)], (250, 246, 232), edge)
    return c


def balloon():
    c = Canvas(131, 72, RED)
    edge = (40, 28, 36)
    left, top, right, bottom, corner = 2, 2, 128, 54, 16

    def body(x, y):
        if not (left <= x <= right and top <= y <= bottom):
            return False
        cx = min(max(x, left + corner), right - corner)
        cy = min(max(y, top + corner), bottom - corner)
        return (x - cx) ** 2 + (y - cy) ** 2 <= corner * corner

    tail = [(54, 50), (74, 50), (60, 68)]

    def inside(x, y):
        return body(x, y) or in_polygon(tail, x, y)

    c.shape(inside, (left, top, right, 68), WHITE, edge)
    # A second line of outline for weight.
    c.shape(lambda x, y: inside(x, y) and not all(
        inside(x + dx, y + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1)),
        (left, top, right, 68), edge)
    return c


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = os.path.join(root, 'assets', 'pictures')
    os.makedirs(out, exist_ok=True)
    pictures = [('poses%d.bmp' % i, pose_sheet(colours)) for i, colours in enumerate(COLOUR_SETS)]
    pictures += [('sparkle.bmp', sparkle()), ('celebration.bmp', celebration()),
                 ('balloon.bmp', balloon())]
    for name, canvas in pictures:
        path = os.path.join(out, name)
        write_bmp(path, canvas)
        print('%s: %d x %d' % (path, canvas.width, canvas.height))
    return 0


if __name__ == '__main__':
    sys.exit(main())
