"""The melody check: how much of each reference theme (references.py) the melody line of a score
plays, note for note.

A score's melody line is the top note at every onset of the parts its song names as MELODY_LINE.
A theme is held against it at every bar line of the song's metre (BARS: the beat of a bar line and
the beats in a bar) and under one transposition each time (the one that most of its notes agree
on), so the key and the octave do not matter but the metre does. A note of the theme agrees when
the line has a note starting at the same beat, in the same bar position, at the theme's pitch plus
that transposition. The share of agreeing notes is the theme's score; the check reports the best
place, and how often the theme is played with at least 95 % agreement.

    /usr/bin/python3 tools/music/melody.py [--sim PATH] [--rolls DIR] [song ...]

--rolls writes a piano roll of each theme against the score (PNG, needs python3-pil).
"""

from collections import Counter
from fractions import Fraction
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE / "songs"))

from notation import parse  # noqa: E402
from references import themes  # noqa: E402

GOOD = 0.95  # a theme counts as played where this share of its notes agrees
EPS = 1e-6


def theme_notes(theme):
    """[(beat from the theme's first bar line, pitch)]: the top note of each event."""
    events, _ = parse(theme.text)
    pickup = Fraction(theme.pickup).limit_denominator(96)
    return [(event.beat - pickup, max(event.pitches)) for event in events]


def line_of(notes):
    """The melody line of (beat, pitch) notes: the top pitch at each onset, in order."""
    top = {}
    for beat, key in notes:
        at = Fraction(beat).limit_denominator(96)
        top[at] = max(key, top.get(at, key))
    return sorted(top.items())


def agreement(reference, line, start):
    """(agreeing notes, transposition) of reference notes placed at beat `start` of the line."""
    by_beat = dict(line)
    steps = []
    for beat, key in reference:
        found = by_beat.get(start + beat)
        steps.append(None if found is None else found - key)
    counts = Counter(s for s in steps if s is not None)
    if not counts:
        return 0, None
    shift, agree = counts.most_common(1)[0]
    return agree, shift


def compare(reference, line, bar, origin=0):
    """Holds reference notes [(beat, pitch)] against a melody line [(beat, pitch)] at every bar line
    (origin + k * bar) the line reaches. Returns a dict: share (best), start, shift, agree, total,
    played (how many starts reach GOOD)."""
    total = len(reference)
    best = {"share": 0.0, "start": None, "shift": None, "agree": 0, "total": total, "played": 0}
    if not line or not reference:
        return best
    first, last = line[0][0], line[-1][0]
    lo, hi = reference[0][0], reference[-1][0]
    origin = Fraction(origin).limit_denominator(96)
    k = (first - hi - origin) // bar  # the first bar line from which the theme reaches the line
    while origin + k * bar + lo <= last:
        start = origin + k * bar
        agree, shift = agreement(reference, line, start)
        share = agree / total
        if share >= GOOD - EPS:
            best["played"] += 1
        if share > best["share"] + EPS:
            best.update(share=share, start=start, shift=shift, agree=agree)
        k += 1
    return best


# ---------------------------------------------------------------------------------------------
# The check of the songs (needs the scores, and the simulator for the show beats).

def score_line(module, score):
    """The top note at each onset of the parts the song names as its MELODY_LINE."""
    names = module.MELODY_LINE if isinstance(module.MELODY_LINE, tuple) else (module.MELODY_LINE,)
    return line_of((beat, key) for part in score.parts if part.name in names for beat, _, key, _ in part.notes)


def check_song(name, score, module):
    line = score_line(module, score)
    origin, bar = module.BARS
    rows = []
    for theme in themes(name):
        if theme.bar != bar:
            raise ValueError(f"{name}: theme {theme.name} is in bars of {theme.bar}, the score of {bar}")
        result = compare(theme_notes(theme), line, bar, origin)
        rows.append((theme, result))
    return rows, line


def table(results):
    lines = ["| track | theme | main | notes | agree | best place (beat) | places ≥ 95 % | source |",
             "|---|---|---|---|---|---|---|---|"]
    for theme, r in results:
        place = "" if r["start"] is None else f"{float(r['start']):g}"
        lines.append(f"| {theme.song} | {theme.name} | {'yes' if theme.main else ''} | {r['total']} | "
                     f"{100 * r['share']:.0f} % ({r['agree']}) | {place} | {r['played']} | {theme.source} |")
    return "\n".join(lines)


def piano_roll(path, theme, result, line, pixels_per_beat=64, row=8):
    """The theme (outlined, at the transposition found) over the score's line (filled) around the
    best place; agreeing notes green, the others red."""
    from PIL import Image, ImageDraw
    reference = theme_notes(theme)
    start, shift = result["start"], result["shift"] or 0
    if start is None:
        return
    lo_beat, hi_beat = start + reference[0][0] - 1, start + reference[-1][0] + 2
    shown = [(b, k) for b, k in line if lo_beat <= b <= hi_beat]
    keys = [k for _, k in shown] + [k + shift for _, k in reference]
    top, bottom = max(keys) + 2, min(keys) - 2
    width = int((hi_beat - lo_beat) * pixels_per_beat) + 1
    image = Image.new("RGB", (width, (top - bottom) * row + 1), "white")
    draw = ImageDraw.Draw(image)
    for k in range(int(lo_beat), int(hi_beat) + 1):
        x = (k - lo_beat) * pixels_per_beat
        draw.line([(x, 0), (x, image.height)], fill=(225, 225, 225) if (k - start) % theme.bar else (150, 150, 150))
    by_beat = dict(line)
    end_of = {b: nb for (b, _), (nb, _) in zip(shown, shown[1:])}
    for b, k in shown:
        x0 = (b - lo_beat) * pixels_per_beat
        x1 = (end_of.get(b, b + Fraction(1, 2)) - lo_beat) * pixels_per_beat - 2
        y = (top - k) * row
        draw.rectangle([x0 + 2, y + 2, max(x0 + 3, x1 - 3), y + row - 3], fill=(90, 90, 200))
    for (b, k), nxt in zip(reference, reference[1:] + [(reference[-1][0] + Fraction(1, 2), 0)]):
        x0 = (start + b - lo_beat) * pixels_per_beat
        x1 = (start + nxt[0] - lo_beat) * pixels_per_beat - 2
        y = (top - (k + shift)) * row
        ok = by_beat.get(start + b) == k + shift
        draw.rectangle([x0, y, max(x0 + 4, x1 - 1), y + row - 1], outline=(0, 170, 0) if ok else (220, 0, 0), width=2)
    image.save(path)


def check(names, sim=None, rolls=None):
    """The melody check of the named songs: [(theme, result)]; piano rolls into the folder `rolls`."""
    from beats import song_beats
    from check import load_song
    from score import Score
    results = []
    for name in names:
        module = load_song(name)
        if module is None or not hasattr(module, "MELODY_LINE"):
            continue
        score = Score(module.beat_times()) if hasattr(module, "beat_times") else Score(*song_beats(name, sim=sim))
        module.compose(score)
        rows, line = check_song(name, score, module)
        results += rows
        if rolls:
            Path(rolls).mkdir(parents=True, exist_ok=True)
            for theme, r in rows:
                slug = theme.name.replace(" ", "-").replace(",", "")
                piano_roll(Path(rolls, f"{name}-{slug}.png"), theme, r, line)
    return results


def main():
    import argparse
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("names", nargs="*", default=["spring", "bgm", "tell", "fun", "rad"])
    parser.add_argument("--sim")
    parser.add_argument("--rolls", help="folder for the piano rolls")
    args = parser.parse_args()
    results = check(args.names, args.sim, args.rolls)
    print(table(results))
    weak = [f"{t.song} {t.name}" for t, r in results if t.main and r["share"] < GOOD]
    if weak:
        print("main themes below 95 %: " + ", ".join(weak), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
