"""A small text notation for melodies and harmonies, so that a song reads like a lead sheet.

Melody: tokens separated by spaces; a beat is a quarter note.

    E5/8     a note: a pitch as score.pitch reads it (C4 is middle C; F#3, Bb5), then '/' and its
             length: 1 whole (4 beats), 2 half, 4 quarter (1 beat), 8 eighth, 16 sixteenth, 32;
             a '.' after the number dots it (4. = 1.5 beats), a 't' makes it a triplet (8t = 1/3 beat).
    E5       without '/', the length of the previous token goes on (the first token needs one).
    r/4      a rest.
    E4+G#4+B4/2   a chord: pitches joined by '+'.
    ~/8      hold the previous note (or chord) longer by this length (a tie).
    E5/8>    '>' after the token: accented (louder); "'" after it: staccato (short).
    |        a bar line: ignored, but checked when play() or parse() gets a bar length.

    play(part, 41, "B4/16 B4 B4/8 B4/16 B4 B4/8 | B4/16 B4 E5/8 F#5 G#5", velocity=80, bar=2)

play() writes the notes into a score part from a beat and returns the beat after them; it can
shorten them (gate), shift them (transpose, octave) and fold notes above an instrument's top down
an octave (ceiling="D6"). parse() gives the events and the length without writing anything.

Harmony: chord symbols with lengths in the same way, "E/2 B7/2 | E/4 A/4 B7/2". A symbol is a root
(C, F#, Bb...) and a quality: '' major, 'm' minor, '7', 'maj7', 'm7', 'dim', 'dim7', 'aug',
'sus4', '6', 'm6', '9'. chord_notes("B7", low="E4", count=3) gives the lowest `count` chord tones
at or above `low` (a close voicing); root("B7", octave=2) the root's pitch in that octave.
"""

import sys
from fractions import Fraction
from pathlib import Path

_MUSIC = str(Path(__file__).resolve().parents[1])  # tools/music, where score.py lives
if _MUSIC not in sys.path:
    sys.path.insert(0, _MUSIC)

from score import pitch  # noqa: E402

QUALITIES = {
    "": (0, 4, 7), "m": (0, 3, 7), "7": (0, 4, 7, 10), "maj7": (0, 4, 7, 11), "m7": (0, 3, 7, 10),
    "dim": (0, 3, 6), "dim7": (0, 3, 6, 9), "aug": (0, 4, 8), "sus4": (0, 5, 7), "6": (0, 4, 7, 9),
    "m6": (0, 3, 7, 9), "9": (0, 4, 7, 10, 14),
}
ACCENT = 18  # velocity added by '>'
STACCATO = 0.45  # share of its length a staccato note sounds


def length(text):
    """The length in beats of a length such as "8", "4.", "8t"."""
    dotted, triplet = text.endswith("."), text.endswith("t")
    number = int(text.rstrip(".t"))
    if number not in (1, 2, 4, 8, 16, 32):
        raise ValueError(f"unknown length /{text}")
    value = Fraction(4, number)
    if dotted:
        value *= Fraction(3, 2)
    if triplet:
        value *= Fraction(2, 3)
    return value


class Event:
    """One note, chord or rest of a melody: where it starts and how long it is, in beats."""

    def __init__(self, beat, length, pitches, accent=False, staccato=False):
        self.beat, self.length, self.pitches = beat, length, pitches
        self.accent, self.staccato = accent, staccato

    def __repr__(self):
        return f"Event({float(self.beat)}, {float(self.length)}, {self.pitches})"


def parse(text, bar=None):
    """(events, total length in beats) of a melody text; the events in order, rests left out.
    A bar length (in beats) checks every bar between '|' marks and the last one."""
    events, position, last_length = [], Fraction(0), None
    bar_start, bar_number = Fraction(0), 1

    def check_bar(final=False):
        if bar is None or (final and position == bar_start):
            return
        if position - bar_start != bar:
            where = "the last bar" if final else f"bar {bar_number}"
            raise ValueError(f"{where} lasts {float(position - bar_start)} beats, not {bar}: {text!r}")

    for token in text.split():
        if token == "|":
            check_bar()
            bar_start, bar_number = position, bar_number + 1
            continue
        accent = staccato = False
        while token[-1] in ">'":
            accent |= token[-1] == ">"
            staccato |= token[-1] == "'"
            token = token[:-1]
        name, _, size = token.partition("/")
        if size:
            last_length = length(size)
        elif last_length is None:
            raise ValueError(f"the first token needs a length: {token!r}")
        if name == "~":
            if not events:
                raise ValueError("'~' with nothing to hold")
            events[-1].length += last_length
        elif name != "r":
            pitches = [pitch(part) for part in name.split("+")]
            events.append(Event(position, last_length, pitches, accent, staccato))
        position += last_length
    check_bar(final=True)
    return events, position


def total(text, bar=None):
    """The length of a melody text in beats."""
    return float(parse(text, bar)[1])


def play(part, at, text, velocity=90, gate=0.92, transpose=0, bar=None, octave=0, ceiling=None):
    """Writes a melody text into a score part from beat `at`; returns the beat after its end.
    `gate` is the share of its length a note sounds (1 legato), `transpose` semitones,
    `octave` whole octaves (both added to every pitch); a note above `ceiling` (a pitch, the
    instrument's top) is played an octave lower."""
    events, end = parse(text, bar)
    shift = transpose + 12 * octave
    top = None if ceiling is None else pitch(ceiling)
    for event in events:
        share = STACCATO if event.staccato else gate
        loud = min(127, velocity + (ACCENT if event.accent else 0))
        for key in event.pitches:
            key += shift
            while top is not None and key > top:
                key -= 12
            part.note(at + float(event.beat), float(event.length) * share, key, loud)
    return at + float(end)


def harmony(text, bar=None):
    """The chords of a harmony text: a list of (beat, length, symbol), beats from 0."""
    chords, position, last_length = [], Fraction(0), None
    for token in text.split():
        if token == "|":
            continue
        name, _, size = token.partition("/")
        if size:
            last_length = length(size)
        elif last_length is None:
            raise ValueError(f"the first chord needs a length: {token!r}")
        if name != "r":
            chord_intervals(name)  # checks the symbol
            chords.append((float(position), float(last_length), name))
        position += last_length
    if bar is not None and position % bar:
        raise ValueError(f"a harmony of {float(position)} beats is not whole bars of {bar}: {text!r}")
    return chords


def chord_intervals(symbol):
    """(root pitch class, intervals) of a chord symbol such as "F#m7"."""
    letters = 2 if len(symbol) > 1 and symbol[1] in "#b" else 1
    root_name, quality = symbol[:letters], symbol[letters:]
    if quality not in QUALITIES:
        raise ValueError(f"unknown chord {symbol!r}")
    return pitch(root_name + "0") % 12, QUALITIES[quality]


def root(symbol, octave=2):
    """The root of a chord symbol as a pitch in the given octave (C2 = 36)."""
    pitch_class, _ = chord_intervals(symbol)
    return 12 * (octave + 1) + pitch_class


def fifth(symbol, octave=2):
    """The chord's fifth (or its third-from-top tone in a diminished chord) just above its root."""
    pitch_class, intervals = chord_intervals(symbol)
    return 12 * (octave + 1) + pitch_class + intervals[2]


def chord_notes(symbol, low="C4", count=3):
    """The lowest `count` tones of the chord at or above pitch `low` (a close voicing)."""
    pitch_class, intervals = chord_intervals(symbol)
    classes = {(pitch_class + i) % 12 for i in intervals}
    notes, key = [], pitch(low)
    while len(notes) < count:
        if key % 12 in classes:
            notes.append(key)
        key += 1
    return notes
