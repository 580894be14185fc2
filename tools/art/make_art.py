#!/usr/bin/env python3
"""Draws Zumbolo!'s pictures and icons from the data in tools/art/artlib/.

    make_art.py --all                 everything below, into assets/
    make_art.py --pictures            assets/pictures/*.bmp only
    make_art.py --icons               assets/icons/zumbolo-<size>.png and zumbolo.ico only
    make_art.py --all --out DIR       into DIR/pictures and DIR/icons instead of assets/
    make_art.py --preview DIR         also write enlarged PNG previews into DIR

The pictures are 24-bit uncompressed bottom-up BMP files, as the program reads them:

    poses0.bmp, poses1.bmp, poses2.bmp  768 x 64: the twelve 64 x 64 poses of a colour set,
                                        pose i at x = 64 * i (grey/blue, blonde/red, grey/green)
    sparkle.bmp                         64 x 64: two sparkles on white
    celebration.bmp                     136 x 201: the kusudama and its banner on black
    balloon.bmp                         131 x 72: the speech balloon on red

White, black and red are the pictures' transparent keys; before anything is written, every
picture is checked to keep all that it draws well away from its key. Running this again
writes the same bytes.

Needs Python 3 with Pillow and NumPy, and the Noto Sans CJK font (Debian: python3-pil,
python3-numpy, fonts-noto-cjk).
"""

import argparse
import os
import sys

try:
    import numpy as np
    from PIL import Image
except ImportError as missing:
    sys.exit('make_art.py needs Pillow and NumPy (Debian: apt-get install python3-pil '
             'python3-numpy, then run it with /usr/bin/python3): %s' % missing)

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from artlib import figures, icons, popups  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(HERE))

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
RED = (255, 0, 0)


def near_white(rgb):
    return np.all(rgb >= 224, axis=-1)


def near_black(rgb):
    return np.all(rgb <= 31, axis=-1)


def near_red(rgb):
    return (rgb[..., 0] >= 200) & (rgb[..., 1] <= 60) & (rgb[..., 2] <= 60)


def check(name, rgb, key, near_key):
    """Fails unless every pixel is the key itself or far from it, and the corners are key."""
    is_key = np.all(rgb == key, axis=-1)
    bad = near_key(rgb) & ~is_key
    if bad.any():
        y, x = np.argwhere(bad)[0]
        raise SystemExit('%s: pixel (%d, %d) = %s is too close to the key %s'
                         % (name, x, y, tuple(rgb[y, x]), key))
    for y, x in ((0, 0), (0, -1), (-1, 0), (-1, -1)):
        if not is_key[y, x]:
            raise SystemExit('%s: a corner is not the key colour' % name)


def pictures():
    """(file name, RGB array, key, near-key test) of every picture."""
    out = [('poses%d.bmp' % i, figures.pose_sheet(i), WHITE, near_white) for i in range(3)]
    out.append(('sparkle.bmp', popups.sparkle(), WHITE, near_white))
    out.append(('celebration.bmp', popups.celebration(), BLACK, near_black))
    out.append(('balloon.bmp', popups.balloon(), RED, near_red))
    return out


def write_pictures(folder):
    os.makedirs(folder, exist_ok=True)
    made = pictures()
    for name, rgb, key, near_key in made:
        check(name, rgb, key, near_key)
    for name, rgb, _, _ in made:
        path = os.path.join(folder, name)
        Image.fromarray(rgb, 'RGB').save(path, format='BMP')
        print('%s: %d x %d' % (path, rgb.shape[1], rgb.shape[0]))
    return made


def write_icons(folder):
    os.makedirs(folder, exist_ok=True)
    images = {size: Image.fromarray(icons.icon(size), 'RGBA') for size in icons.SIZES}
    for size, image in images.items():
        path = os.path.join(folder, 'zumbolo-%d.png' % size)
        image.save(path, format='PNG', optimize=True)
        print(path)
    # Each size of the Windows icon is its own drawing, not the big one scaled down.
    path = os.path.join(folder, 'zumbolo.ico')
    biggest = images[max(icons.SIZES)]
    others = [images[s] for s in icons.SIZES if s != max(icons.SIZES)]
    biggest.save(path, format='ICO', sizes=[(s, s) for s in icons.SIZES], append_images=others)
    print(path)
    return images


def enlarged(image, factor):
    return image.resize((image.width * factor, image.height * factor), Image.NEAREST)


def write_previews(folder, made):
    """Enlarged views for a person to look at: every picture at 4x, the figures also as the
    mini mode shows them (halved by nearest neighbour), and the icons on light and dark."""
    os.makedirs(folder, exist_ok=True)
    for name, rgb, _, _ in made:
        image = Image.fromarray(rgb, 'RGB')
        stem = os.path.splitext(name)[0]
        if stem.startswith('poses'):
            # Two rows of six, so that the preview stays a sensible width.
            rows = np.concatenate([rgb[:, :384], rgb[:, 384:]], axis=0)
            enlarged(Image.fromarray(rows, 'RGB'), 4).save(os.path.join(folder, stem + '-4x.png'))
            half = image.resize((image.width // 2, image.height // 2), Image.NEAREST)
            enlarged(half, 4).save(os.path.join(folder, stem + '-mini-4x.png'))
        else:
            enlarged(image, 4).save(os.path.join(folder, stem + '-4x.png'))
    for background, label in (((236, 236, 240), 'light'), ((44, 48, 60), 'dark')):
        width = sum(icons.SIZES) + 8 * (len(icons.SIZES) + 1)
        sheet = Image.new('RGBA', (width, max(icons.SIZES) + 16), background + (255,))
        x = 8
        for size in icons.SIZES:
            sheet.alpha_composite(Image.fromarray(icons.icon(size), 'RGBA'), (x, 8))
            x += size + 8
        sheet.convert('RGB').save(os.path.join(folder, 'icons-%s.png' % label))
    small = Image.new('RGBA', (16 + 22 + 24 + 32 + 40, 40), (236, 236, 240, 255))
    x = 8
    for size in (16, 22, 24, 32):
        small.alpha_composite(Image.fromarray(icons.icon(size), 'RGBA'), (x, 4))
        x += size + 8
    enlarged(small.convert('RGB'), 4).save(os.path.join(folder, 'icons-small-4x.png'))
    print('previews in %s' % folder)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--all', action='store_true', help='the pictures and the icons')
    parser.add_argument('--pictures', action='store_true', help='the pictures')
    parser.add_argument('--icons', action='store_true', help='the icons')
    parser.add_argument('--out', default=os.path.join(ROOT, 'assets'),
                        help='the folder that holds pictures/ and icons/ (default: assets/)')
    parser.add_argument('--preview', metavar='DIR', help='also write enlarged previews here')
    args = parser.parse_args(argv)
    if not (args.all or args.pictures or args.icons or args.preview):
        parser.error('say what to make: --all, --pictures or --icons')
    made = None
    if args.all or args.pictures:
        made = write_pictures(os.path.join(args.out, 'pictures'))
    if args.all or args.icons:
        write_icons(os.path.join(args.out, 'icons'))
    if args.preview:
        if made is None:
            made = pictures()
        write_previews(args.preview, made)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
