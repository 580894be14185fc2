"""Draws the little girl's twelve poses from figure_data, in any of the three colour sets."""

import numpy as np

from . import figure_data as data
from . import raster

CELL = 64
WHITE = (255, 255, 255)


def _is_point_ref(value):
    return isinstance(value, str) or (isinstance(value, tuple) and value and
                                      isinstance(value[0], str) and len(value) == 3 and
                                      not isinstance(value[1], (list, tuple)))


def resolve(shape, joints, dy=0.0):
    """The shape with its joint names replaced by points and everything moved down by dy."""
    def point(p):
        if isinstance(p, str):
            x, y = joints[p]
        elif _is_point_ref(p):
            x, y = joints[p[0]]
            x, y = x + p[1], y + p[2]
        else:
            x, y = p
        return (x, y + dy)

    def number(v):
        return joints[v] if isinstance(v, str) else v

    kind = shape[0]
    if kind in ('ellipse', 'circle', 'star'):
        return (kind, point(shape[1])) + tuple(number(v) for v in shape[2:])
    if kind == 'rect':
        return (kind, point(shape[1]), point(shape[2]))
    if kind == 'poly':
        return (kind, [point(p) for p in shape[1]])
    if kind == 'capsule':
        return (kind, [point(p) for p in shape[1]], shape[2])
    if kind in ('union', 'inter'):
        return (kind, [resolve(s, joints, dy) for s in shape[1]])
    if kind == 'minus':
        return (kind, resolve(shape[1], joints, dy), [resolve(s, joints, dy) for s in shape[2]])
    raise ValueError(kind)


def draw_parts(picture, parts, joints, palette, line_width=1.0, outline_width=1.0):
    """Paints the parts back to front and outlines the whole figure; returns its mask.

    Every part gets a line just inside its edge (unless it says otherwise), so parts in front
    stand out from those behind; then the figure's silhouette gets a dark edge both just inside
    and just outside it, twice as heavy as the inner lines, which keeps it whole when the
    picture is halved."""
    masks = {}
    figure = np.zeros((picture.height, picture.width), dtype=bool)
    bob = joints.get('bob', 0)
    for part in parts:
        if 'cast' in part:
            name, dx, dy = part['cast']
            source = masks[name]
            step = picture.scale
            m = raster.shifted(source, int(round(dx * step)), int(round(dy * step))) & ~source
        else:
            m = picture.mask(resolve(part['shape'], joints, 0 if part.get('legs') else bob))
        within = part.get('within')
        if within:
            names = [within] if isinstance(within, str) else within
            clip = np.zeros_like(m)
            for name in names:
                clip |= masks[name]
            m &= clip
        picture.paint(m, palette[part['fill']])
        if 'shade' in part:
            role, dx, dy = part['shade']
            s = picture.scale
            beyond = raster.shifted(m, -int(round(dx * s)), -int(round(dy * s)))
            picture.paint(m & ~beyond, palette[role])
        line = part.get('line', 'line')
        if line is not None:
            picture.paint(raster.inner_edge(m, line_width), palette[line])
        if 'line_against' in part:
            against = np.zeros_like(m)
            for other in part['line_against']:
                against |= masks[other]
            edge = raster.inner_edge(m, line_width) & raster.dilate(against & ~m, line_width)
            picture.paint(edge, palette['line'])
        name = part['name']
        masks[name] = masks[name] | m if name in masks else m
        figure |= m
    picture.paint(raster.inner_edge(figure, outline_width), palette['line'])
    picture.paint(raster.outer_ring(figure, outline_width), palette['line'])
    return raster.dilate(figure, outline_width)


def pose_cell(index, palette):
    """Pose `index` (facing * 3 + frame) as a 64 x 64 RGB array on white."""
    facing, frame = divmod(index, 3)
    kind, mirror = data.FACINGS[facing]
    picture = raster.Picture(CELL, CELL, WHITE)
    draw_parts(picture, data.PARTS[kind], data.JOINTS[kind][frame], palette)
    rgb = picture.rgb
    return rgb[:, ::-1].copy() if mirror else rgb


def pose_sheet(colour_set):
    """The twelve poses of one colour set side by side, pose i at x = 64 * i."""
    palette = data.COLOUR_SETS[colour_set]
    return np.concatenate([pose_cell(i, palette) for i in range(12)], axis=1)
