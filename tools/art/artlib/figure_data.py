"""The little girl as data: colour sets, joints per facing and frame, body parts per facing.

Units are pixels of a 64 x 64 cell; x grows to the right, y downwards, and the cell's centre
line is x = 32 (pixel i mirrors pixel 63 - i). The soles rest on the same line in every pose,
so that the spin turns the girl on the spot.

A point in a shape may be a joint's name ('hand_l') or a joint with an offset
(('foot_l', -1, 0)); JOINTS gives the joints of every facing and frame. The parts of a facing
are drawn in order, back to front. The fields of a part:

    name     parts may refer to each other by name; parts with the same name add up
    shape    the part's shape (see raster.py)
    fill     the colour role that fills it
    line     the colour role of a one-pixel line just inside its edge; None for no line
    line_against   names: a dark line only where the part meets those parts
    within   a name or a list of names: the part is clipped to what those parts covered
    shade    (role, dx, dy): the pixels whose neighbour (dx, dy) away lies outside the part
             take that colour, a rim of shadow on one side
    cast     (name, dx, dy): instead of a shape, the named part moved by (dx, dy), minus the
             part itself, a shadow that the part throws
    legs     True for the legs and shoes, which stay on the ground when the body bobs

Facing 'side' looks towards the viewer's left; the viewer's right is that picture mirrored.
"""

# ---------------------------------------------------------------------------------------------
# Colours.

COMMON_COLOURS = {
    'line': (58, 34, 52),         # the outline: a dark plum, never black
    'skin': (253, 220, 190),
    'skin_shade': (236, 176, 150),
    'blush': (246, 146, 150),
    'mouth': (204, 84, 98),
    'gleam': (246, 244, 214),     # the catch-light in the eyes: pale, but blue stays below 224
    'cream': (250, 238, 200),     # collar and socks
    'cream_shade': (218, 198, 166),
    'shoe': (128, 58, 54),
    'shoe_light': (184, 104, 88),
}

# Set 0: grey hair, blue dress; set 1 (the default): blonde hair, red dress; set 2: grey hair,
# green dress. The ribbons in the hair match the dress.
GREY_HAIR = {
    'hair': (178, 178, 198),
    'hair_shade': (130, 128, 158),
    'hair_light': (214, 214, 226),
}
COLOUR_SETS = [
    dict(GREY_HAIR,
         dress=(66, 116, 222), dress_shade=(42, 78, 170), dress_light=(124, 168, 242),
         iris=(70, 96, 190)),
    dict(hair=(246, 204, 86), hair_shade=(212, 150, 52), hair_light=(252, 232, 150),
         dress=(222, 52, 70), dress_shade=(160, 30, 52), dress_light=(246, 116, 124),
         iris=(54, 112, 196)),
    dict(GREY_HAIR,
         dress=(58, 170, 88), dress_shade=(34, 120, 62), dress_light=(118, 208, 130),
         iris=(42, 136, 112)),
]
for _set in COLOUR_SETS:
    _set.update(COMMON_COLOURS)
    _set['ribbon'] = _set['dress']
    _set['ribbon_shade'] = _set['dress_shade']


# ---------------------------------------------------------------------------------------------
# Joints: where the hands and feet are in each frame (frame 1 stands, 0 and 2 are the steps).
# "_l" and "_r" are the viewer's left and right; 'bob' lifts the body (not the legs) in a step.

_FRONT_STAND = {'hand_l': (20.5, 47.0), 'hand_r': (43.5, 47.0),
                'hip_l': (28.5, 47.0), 'hip_r': (35.5, 47.0),
                'foot_l': (28.0, 57.0), 'foot_r': (36.0, 57.0), 'bob': 0}
# Her right foot (the viewer's left) lifted, her arms swinging the other way; and the mirror.
_FRONT_STEP_L = dict(_FRONT_STAND, hand_l=(21.5, 45.0), hand_r=(43.0, 48.5),
                     foot_l=(29.0, 54.0), bob=-1)
_FRONT_STEP_R = dict(_FRONT_STAND, hand_l=(21.0, 48.5), hand_r=(42.5, 45.0),
                     foot_r=(35.0, 54.0), bob=-1)

JOINTS = {
    'front': [_FRONT_STEP_L, _FRONT_STAND, _FRONT_STEP_R],
    # From behind, her right foot is on the viewer's right: the steps swap sides.
    'back': [_FRONT_STEP_R, _FRONT_STAND, _FRONT_STEP_L],
    # Walking to the viewer's left: the far limbs are drawn behind the body, the near ones in
    # front. A step has one foot forward on the ground and the other behind with its heel up.
    'side': [
        {'hand_near': (38.5, 45.5), 'hand_far': (25.5, 45.0),
         'hip_near': (30.5, 47.0), 'hip_far': (33.5, 47.0),
         'foot_near': (25.5, 57.0), 'foot_far': (39.0, 56.0),
         'tilt_near': 0, 'tilt_far': -30, 'bob': -1},
        {'hand_near': (32.5, 47.5), 'hand_far': (30.0, 47.0),
         'hip_near': (30.5, 47.0), 'hip_far': (34.0, 47.0),
         'foot_near': (29.0, 57.0), 'foot_far': (35.0, 57.0),
         'tilt_near': 0, 'tilt_far': 0, 'bob': 0},
        {'hand_near': (25.5, 45.0), 'hand_far': (38.5, 45.5),
         'hip_near': (33.5, 47.0), 'hip_far': (30.5, 47.0),
         'foot_near': (39.0, 56.0), 'foot_far': (25.5, 57.0),
         'tilt_near': -30, 'tilt_far': 0, 'bob': -1},
    ],
}


# ---------------------------------------------------------------------------------------------
# Pieces shared by the facings.

HEAD = ('ellipse', (32.0, 22.5), 15.5, 13.5)


def mirrored(points):
    """The points followed by their mirror images about x = 32, in reverse order."""
    return list(points) + [(64.0 - x, y) for x, y in reversed(points)]


def bow(centre, fill='ribbon', knot='ribbon_shade', size=1.0):
    """A little bow: two lobes, two short ends and a knot."""
    cx, cy = centre
    s = size
    return [
        {'name': 'bow', 'fill': fill,
         'shape': ('union', [
             ('ellipse', (cx - 2.7 * s, cy - 0.6 * s), 2.9 * s, 2.2 * s, 25),
             ('ellipse', (cx + 2.7 * s, cy - 0.6 * s), 2.9 * s, 2.2 * s, -25),
             ('poly', [(cx - 0.8 * s, cy), (cx - 2.8 * s, cy + 3.8 * s),
                       (cx - 0.2 * s, cy + 3.2 * s)]),
             ('poly', [(cx + 0.8 * s, cy), (cx + 2.8 * s, cy + 3.8 * s),
                       (cx + 0.2 * s, cy + 3.2 * s)])])},
        {'name': 'knot', 'fill': knot, 'line': None, 'within': 'bow',
         'shape': ('rect', (cx - 1.0, cy - 2.0 * s), (cx + 1.0, cy + 1.0 * s))},
    ]


def eye(left, lash, width=4):
    """An eye whose left column is x = left: dark, with the iris below a catch-light and a lash
    flicking out on the side `lash` (-1 left, 1 right)."""
    right = left + width
    tip = left - 1 if lash < 0 else right
    return [
        {'name': 'eye', 'fill': 'line', 'line': None,
         'shape': ('union', [('rect', (left, 24), (right, 31)), ('rect', (tip, 23), (tip + 1, 25))])},
        {'name': 'iris', 'fill': 'iris', 'line': None,
         'shape': ('rect', (left, 27), (right, 30))},
        {'name': 'gleam', 'fill': 'gleam', 'line': None,
         'shape': ('rect', (left + 1, 25), (left + 2, 27))},
        {'name': 'eye_corner', 'fill': 'skin', 'line': None,
         'shape': ('union', [('rect', (left, 30), (left + 1, 31)),
                             ('rect', (right - 1, 30), (right, 31))])},
    ]


def leg(hip, foot, toe_dx=0.0, tilt=0, skin='skin'):
    """A short leg with a cream sock and a round shoe; toe_dx moves the shoe's toe."""
    return [
        {'name': 'leg', 'fill': skin, 'legs': True,
         'shape': ('capsule', [hip, (foot, 0.0, -2.0)], 2.1)},
        {'name': 'sock', 'fill': 'cream', 'legs': True, 'within': 'leg',
         'shape': ('rect', (foot, -8.0, -5.0), (foot, 8.0, 4.0))},
        {'name': 'shoe', 'fill': 'shoe', 'legs': True,
         'shape': ('ellipse', (foot, toe_dx, 0.0), 4.2, 2.6, tilt)},
        {'name': 'shoe_gleam', 'fill': 'shoe_light', 'line': None, 'legs': True,
         'within': 'shoe', 'shape': ('rect', (foot, toe_dx - 3.0, -2.0), (foot, toe_dx, -1.0))},
    ]


def arm(shoulder, hand, skin='skin'):
    return [{'name': 'arm', 'fill': skin,
             'shape': ('union', [('capsule', [shoulder, hand], 1.9), ('circle', hand, 2.4)])}]


DRESS_FRONT = ('poly', [(25.0, 35.0), (39.0, 35.0), (45.5, 49.0), (42.0, 51.0), (32.0, 51.8),
                        (22.0, 51.0), (18.5, 49.0)])
DRESS_SIDE = ('poly', [(27.0, 35.0), (37.0, 35.0), (42.5, 49.0), (39.5, 51.0), (31.0, 51.8),
                       (23.5, 51.0), (21.0, 49.0)])
DRESS_PARTS = [
    {'name': 'hem', 'fill': 'dress_shade', 'line': None, 'within': 'dress',
     'shape': ('rect', (0, 48.5), (64, 64))},
]


def _tail(side):
    """A twin tail hanging at the side of the head; side -1 is the viewer's left."""
    return {'name': 'tail', 'fill': 'hair', 'shade': ('hair_shade', 0, 3),
            'shape': ('ellipse', (32.0 + side * 16.2, 31.0), 4.6, 8.6, side * -14.0)}


CROWN = {'name': 'crown', 'fill': 'hair_light', 'line': None, 'within': 'hair',
         'shape': ('minus', ('ellipse', (31.0, 20.0), 12.5, 10.0),
                   [('ellipse', (32.5, 22.5), 12.5, 10.0)])}
AHOGE = {'name': 'hair', 'fill': 'hair',
         'shape': ('capsule', [(33.0, 10.5), (34.2, 8.4), (36.6, 7.9)], 1.1)}

FRONT_BANGS = mirrored([(15.0, 8.0), (15.0, 34.0), (19.5, 35.5), (21.0, 28.0), (21.6, 23.0),
                        (23.6, 19.8), (25.4, 23.4), (27.8, 19.0), (30.2, 22.6), (32.0, 19.6)])


# ---------------------------------------------------------------------------------------------
# The facings.

PARTS = {}

PARTS['front'] = (
    [_tail(-1), _tail(1)]
    + leg('hip_l', 'foot_l', -0.3) + leg('hip_r', 'foot_r', 0.3)
    + [{'name': 'dress', 'fill': 'dress', 'shade': ('dress_shade', 3, 0), 'shape': DRESS_FRONT}]
    + DRESS_PARTS
    + arm((24.5, 39.5), 'hand_l') + arm((39.5, 39.5), 'hand_r')
    + [{'name': 'sleeve', 'fill': 'dress_light',
        'shape': ('ellipse', (24.0, 38.8), 4.3, 3.6)},
       {'name': 'sleeve', 'fill': 'dress_light',
        'shape': ('ellipse', (40.0, 38.8), 4.3, 3.6)},
       {'name': 'collar', 'fill': 'cream',
        'shape': ('union', [('ellipse', (28.5, 37.2), 4.2, 2.6),
                            ('ellipse', (35.5, 37.2), 4.2, 2.6)])},
       {'name': 'hair', 'fill': 'hair', 'shape': HEAD},
       AHOGE,
       {'name': 'face', 'fill': 'skin', 'shape': ('ellipse', (32.0, 27.0), 12.5, 10.2)},
       {'name': 'bangs', 'fill': 'hair', 'line': None, 'line_against': ['face'],
        'within': ['hair', 'face'], 'shape': ('poly', FRONT_BANGS)},
       dict(CROWN, within=['hair', 'bangs']),
       {'name': 'fringe_shadow', 'fill': 'skin_shade', 'line': None, 'within': 'face',
        'cast': ('bangs', 0, 1)},
       {'name': 'blush', 'fill': 'blush', 'line': None,
        'shape': ('union', [('ellipse', (22.0, 31.5), 2.6, 1.2),
                            ('ellipse', (42.0, 31.5), 2.6, 1.2)])},
      ]
    + eye(24, -1) + eye(36, 1)
    + [
       {'name': 'mouth', 'fill': 'line', 'line': None,
        'shape': ('union', [('rect', (30, 33), (31, 34)), ('rect', (33, 33), (34, 34)),
                            ('rect', (31, 34), (33, 35))])}]
    + bow((17.6, 23.0)) + bow((46.4, 23.0))
)

PARTS['back'] = (
    leg('hip_l', 'foot_l') + leg('hip_r', 'foot_r')
    + [{'name': 'dress', 'fill': 'dress', 'shade': ('dress_shade', 3, 0), 'shape': DRESS_FRONT}]
    + DRESS_PARTS
    + [{'name': 'sash', 'fill': 'dress_shade', 'line': None, 'within': 'dress',
        'shape': ('rect', (0, 41), (64, 43))}]
    + bow((32.0, 42.5), fill='dress_light', knot='dress_shade', size=1.2)
    + arm((24.5, 39.5), 'hand_l') + arm((39.5, 39.5), 'hand_r')
    + [{'name': 'sleeve', 'fill': 'dress_light',
        'shape': ('ellipse', (24.0, 38.8), 4.3, 3.6)},
       {'name': 'sleeve', 'fill': 'dress_light',
        'shape': ('ellipse', (40.0, 38.8), 4.3, 3.6)},
       _tail(-1), _tail(1),
       {'name': 'hair', 'fill': 'hair', 'shade': ('hair_shade', 0, 2),
        'shape': ('union', [HEAD, ('ellipse', (32.0, 30.5), 13.0, 7.0)])},
       AHOGE,
       CROWN,
       {'name': 'strands', 'fill': 'hair_shade', 'line': None, 'within': 'hair',
        'shape': ('union', [('capsule', [(32.0, 12.0), (32.0, 18.0)], 0.5),
                            ('capsule', [(25.0, 28.0), (24.0, 36.0)], 0.5),
                            ('capsule', [(39.0, 28.0), (40.0, 36.0)], 0.5),
                            ('capsule', [(32.0, 30.0), (32.0, 37.0)], 0.5)])}]
    + bow((17.6, 23.0)) + bow((46.4, 23.0))
)

SIDE_BANGS = [(12.0, 8.0), (12.0, 30.0), (16.5, 25.0), (17.5, 21.0), (19.8, 23.5), (21.0, 19.0),
              (23.6, 22.6), (25.6, 18.8), (28.2, 21.4), (31.0, 17.0), (33.5, 23.0), (34.0, 33.5),
              (37.0, 35.0), (50.0, 30.0), (50.0, 8.0)]

PARTS['side'] = (
    arm((33.0, 39.5), 'hand_far', skin='skin_shade')
    + [{'name': 'tail', 'fill': 'hair_shade',
        'shape': ('ellipse', (45.5, 29.0), 4.0, 7.5, -30.0)}]
    + leg('hip_far', 'foot_far', -1.2, 'tilt_far', skin='skin_shade')
    + leg('hip_near', 'foot_near', -1.2, 'tilt_near')
    + [{'name': 'dress', 'fill': 'dress', 'shade': ('dress_shade', 3, 0), 'shape': DRESS_SIDE}]
    + DRESS_PARTS
    + [{'name': 'collar', 'fill': 'cream', 'shape': ('ellipse', (29.0, 37.2), 4.0, 2.6)},
       {'name': 'hair', 'fill': 'hair', 'shape': HEAD},
       AHOGE,
       {'name': 'face', 'fill': 'skin', 'shape': ('ellipse', (27.0, 27.0), 11.0, 10.2)},
       {'name': 'bangs', 'fill': 'hair', 'line': None, 'line_against': ['face'],
        'within': ['hair', 'face'], 'shape': ('poly', SIDE_BANGS)},
       dict(CROWN, within=['hair', 'bangs']),
       {'name': 'fringe_shadow', 'fill': 'skin_shade', 'line': None, 'within': 'face',
        'cast': ('bangs', 0, 1)},
       {'name': 'blush', 'fill': 'blush', 'line': None,
        'shape': ('ellipse', (27.0, 31.0), 2.6, 1.2)},
      ]
    + eye(20, -1, width=3)
    + [
       {'name': 'mouth', 'fill': 'line', 'line': None,
        'shape': ('union', [('rect', (17, 33), (18, 34)), ('rect', (18, 34), (20, 35))])},
       {'name': 'tail', 'fill': 'hair', 'shade': ('hair_shade', 0, 3),
        'shape': ('ellipse', (42.5, 31.0), 4.6, 8.6, -18.0)}]
    + bow((39.0, 23.0))
    + arm((33.0, 39.5), 'hand_near')
    + [{'name': 'sleeve', 'fill': 'dress_light', 'shape': ('ellipse', (33.0, 38.8), 4.0, 3.6)}]
)

# Facing 0 towards the viewer, 1 to the viewer's left, 2 to the viewer's right (1 mirrored),
# 3 away.
FACINGS = [('front', False), ('side', False), ('side', True), ('back', False)]
