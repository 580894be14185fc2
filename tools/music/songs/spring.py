"""spring.res: light background music after the Allegro of Vivaldi's "Spring" (La primavera, RV 269).

Our own arrangement for a small string band with harpsichord, in E major, 4/4. It loops: the
player runs it to its end and goes on from 0.984 s, so the track is a lead-in of 0.984 s and then
72 bars that end leading into their own first bar (the last bar's closing eighth is the theme's
pick-up). The tempo is set so that the 72 bars fill the track exactly: 288 beats of 513.95 ms
(116.7 a minute) from 0.984 s to the track's end. The music is rendered on past the end with the
first bars again; build.py folds that overhang onto the loop start, so the loop has no seam, and
puts the end's last 0.984 s in front as the lead-in.

    bars   what plays
    1-6    ritornello: the theme (a a b) forte, then its echo piano
    7-13   the second motif forte, and its echo piano half a bar later
    14-21  the birds: solo violins trilling and calling over a held E
    22-24  the second motif, forte
    25-34  the brook: murmuring sixteenths in thirds
    35-37  the second motif in B major
    38-45  the thunder: tremolo and lightning scales, on to C sharp minor
    46-48  the second motif in C sharp minor
    49-54  the birds again
    55-57  ritornello in E
    58-65  solo violin in broken chords
    66-72  the second motif and its echo, whose last eighth is the theme's pick-up into bar 1

The themes are Vivaldi's (the first violin of his Allegro), the bass moving E-A-A#-B under the
theme's third bar as his does.
"""

from fractions import Fraction

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
from score import pitch  # noqa: E402

LOOP_START_MS = 984.0
TAIL_MS = 5000.0       # rendered on past the end, for the fold
CROSSFADE_MS = 500.0
LOUDNESS = -16.0

PCM_MS = 5704 * 1152 * 1000 / 44100  # the decoded track: (5705 - 1) frames of 1152 samples
BAR_COUNT = 72  # bars from the loop start to the end
UPBEAT = 2  # beats before bar 1 (492 ms each)
BARS = (UPBEAT, 4)  # the bar lines, for the melody check
MELODY_LINE = ("violin 1",)  # the tune, for the melody check
MELODY_PARTS = ("violin 1",)  # the tune, for its loudness
ACCOMPANIMENT_DB = -6  # dB on the accompaniment's own levels: its balance under the tune
BEAT_MS = (PCM_MS - LOOP_START_MS) / (4 * BAR_COUNT)

VIOLIN, CELLO, STRINGS, HARPSICHORD, CONTRABASS = 40, 42, 48, 6, 43

CHORDS = {
    "E": ("E", "G#", "B"), "A": ("A", "C#", "E"), "B": ("B", "D#", "F#"), "B7": ("B", "D#", "F#", "A"),
    "C#m": ("C#", "E", "G#"), "F#m": ("F#", "A", "C#"), "G#7": ("G#", "B#", "D#", "F#"),
    "F#7": ("F#", "A#", "C#", "E"), "F#": ("F#", "A#", "C#"), "E7": ("E", "G#", "B", "D"),
    # over another bass: the bass first
    "A/E": ("E", "A", "C#"), "E/B": ("B", "E", "G#"), "F#m/C#": ("C#", "F#", "A"),
    "F#7/A#": ("A#", "C#", "E", "F#"), "C#7/E#": ("E#", "G#", "B", "C#"), "D#dim/F#": ("F#", "A", "D#"),
}
E_MAJOR = ("E", "F#", "G#", "A", "B", "C#", "D#")
B_MAJOR = ("B", "C#", "D#", "E", "F#", "G#", "A#")
CS_MINOR = ("C#", "D#", "E", "F#", "G#", "A", "B#")


def beat_times():
    return [0.0, 492.0] + [LOOP_START_MS + k * BEAT_MS for k in range(4 * BAR_COUNT + 1)]


def bar(n):
    """The beat where bar n (1-based) begins."""
    return UPBEAT + 4 * (n - 1)


def pitch_class(name):
    return pitch(name + "4") % 12


def in_scale(scale):
    return sorted(pitch_class(n) for n in scale)


def scale_step(p, steps, scale):
    """The pitch `steps` scale degrees from p (p is in the scale, or near it)."""
    classes = in_scale(scale)
    below = [q for q in range(p - 12, p + 1) if q % 12 in classes]
    at = below[-1]
    while steps > 0:
        at += 1
        while at % 12 not in classes:
            at += 1
        steps -= 1
    while steps < 0:
        at -= 1
        while at % 12 not in classes:
            at -= 1
        steps += 1
    return at


LENGTHS = {"1": 4, "2": 2, "4": 1, "8": Fraction(1, 2), "16": Fraction(1, 4), "32": Fraction(1, 8)}


def melody(text):
    """[(beat offset, length, pitch or None for a rest)] of "G#5/8 G#5 F#5/16 E5 B5/4. r/8"."""
    out, at, size = [], Fraction(0), None
    for token in text.split():
        name, _, length_text = token.partition("/")
        if length_text:
            dotted = length_text.endswith(".")
            size = LENGTHS[length_text.rstrip(".")] * (Fraction(3, 2) if dotted else 1)
        out.append((at, size, None if name == "r" else pitch(name)))
        at += size
    return out


def length_of(notes):
    return sum(n[1] for n in notes)


class Band:
    def __init__(self, score, clip_beat=None):
        self.score, self.clip = score, clip_beat
        self.vn1 = score.part("violin 1", VIOLIN)
        self.vn2 = score.part("violin 2", VIOLIN)
        self.pad = score.part("strings", STRINGS)
        self.cello = score.part("cello", CELLO)
        self.bass = score.part("contrabass", CONTRABASS)
        self.hpsi = score.part("harpsichord", HARPSICHORD)
        for part, pan, reverb, volume in ((self.vn1, 44, 50, 110), (self.vn2, 84, 50, 100),
                                          (self.pad, 64, 60, 70), (self.cello, 76, 45, 80),
                                          (self.bass, 70, 40, 56), (self.hpsi, 58, 40, 84)):
            part.control(0, 10, pan)
            part.control(0, 91, reverb)
            part.control(0, 7, volume)

    def note(self, part, beat, length, p, velocity):
        if self.clip is not None:
            if beat >= self.clip:
                return
            length = min(length, self.clip - beat)
        part.note(float(beat), float(length), p, max(1, min(127, int(velocity))))

    def play(self, part, beat, notes, velocity, legato=0.92, shift=0):
        for at, size, p in notes:
            if p is not None:
                self.note(part, beat + at, size * legato, p + shift, velocity)

    # --- accompaniment -------------------------------------------------------------------------
    def harmony(self, beat, chords, level, style="ritornello"):
        """chords: [(symbol, beats)]. level: 0..1 (piano .. forte)."""
        at = Fraction(beat)
        for symbol, size in chords:
            size = Fraction(size)
            tones = CHORDS[symbol]
            root = pitch(tones[0] + "2")
            if root < pitch("C#2"):
                root += 12
            # The pad: the chord held, close, around G3..G4.
            pad = sorted(self.near(t, pitch("A3")) for t in tones[:4])
            for p in pad:
                self.note(self.pad, at, size * Fraction(97, 100), p, 34 + 22 * level)
            if style == "ritornello":
                # Cello and bass in repeated eighths; harpsichord on the beats.
                for k in range(int(size * 2)):
                    self.note(self.cello, at + Fraction(k, 2), Fraction(2, 5), root + 12, 58 + 30 * level)
                    if k % 2 == 0:
                        self.note(self.bass, at + Fraction(k, 2), Fraction(9, 10), root, 50 + 30 * level)
                for k in range(int(size)):
                    chord = sorted(self.near(t, pitch("E4")) for t in tones[:3])
                    for p in chord:
                        self.note(self.hpsi, at + k, Fraction(1, 2), p, 52 + 26 * level - 8 * (k % 2))
            elif style == "held":
                self.note(self.cello, at, size * Fraction(95, 100), root + 12, 44 + 20 * level)
                self.note(self.bass, at, size * Fraction(95, 100), root, 40 + 20 * level)
                for k in range(0, int(size), 2):
                    chord = sorted(self.near(t, pitch("E4")) for t in tones[:3])
                    for p in chord:
                        self.note(self.hpsi, at + k, Fraction(3, 2), p, 40 + 16 * level)
            elif style == "walking":
                # Cello on the beats, harpsichord off the beats: the brook and the solo.
                for k in range(int(size)):
                    p = root + 12 if k % 2 == 0 else self.near(tones[2], root + 12 + 5)
                    self.note(self.cello, at + k, Fraction(4, 5), p, 48 + 22 * level)
                    chord = sorted(self.near(t, pitch("E4")) for t in tones[:3])
                    for q in chord:
                        self.note(self.hpsi, at + k + Fraction(1, 2), Fraction(2, 5), q, 38 + 16 * level)
                self.note(self.bass, at, size * Fraction(9, 10), root, 42 + 20 * level)
            elif style == "tremolo":
                for k in range(int(size * 8)):
                    accent = 14 if k % 8 == 0 else 0
                    self.note(self.cello, at + Fraction(k, 8), Fraction(1, 9), root + 12, 52 + 20 * level + accent)
                self.note(self.bass, at, size * Fraction(95, 100), root, 56 + 24 * level)
                for k in range(int(size)):
                    chord = sorted(self.near(t, pitch("E4")) for t in tones[:3])
                    for q in chord:
                        self.note(self.hpsi, at + k, Fraction(1, 2), q, 44 + 16 * level)
            at += size

    @staticmethod
    def near(name, around):
        """The pitch of class `name` within a fifth or so of `around`, at or above around - 6."""
        cls = pitch_class(name)
        p = around - 6
        while p % 12 != cls:
            p += 1
        return p

    # --- the theme ----------------------------------------------------------------------------
    def theme(self, start, phrases, level, key="E"):
        """phrases: "a"/"b"/"b6" bars of the ritornello, from bar-start beat `start`."""
        loud = 60 + 34 * level
        for i, phrase in enumerate(phrases):
            beat = start + 4 * i
            mel1, mel2, chords = THEME[key][phrase]
            self.play(self.vn1, beat, melody(mel1), loud)
            self.play(self.vn2, beat, melody(mel2), loud - 10)
            self.harmony(beat, chords, level)


# The ritornello, two bars: (violin 1, violin 2, harmony). The last eighth of "b" is the pick-up
# of what follows; every phrase is one bar.
THEME = {
    "E": {
        "a": ("G#5/8 G#5 G#5 F#5/16 E5 B5/4. B5/16 A5",
              "E5/8 E5 E5 D#5/16 C#5 G#5/4. G#5/16 F#5",
              [("E", 4)]),
        "b": ("G#5/8 A5/16 B5 A5/8 G#5 F#5 D#5 B4 E5",
              "E5/8 F#5/16 G#5 F#5/8 E5 D#5 B4 F#4 B4",
              [("E", 1), ("A", 0.5), ("F#7/A#", 0.5), ("B", 2)]),
        # bar 6, the echo's close: the bass as in bar 3, the tune resting on the dominant
        "b6": ("G#5/8 A5/16 B5 A5/8 G#5 F#5/4 r/8 E5/8",
               "E5/8 F#5/16 G#5 F#5/8 E5 D#5/4 r/8 B4/8",
               [("E", 1), ("A", 0.5), ("F#7/A#", 0.5), ("B", 2)]),
    },
    "B": {
        "a": ("D#5/8 D#5 D#5 C#5/16 B4 F#5/4. F#5/16 E5",
              "B4/8 B4 B4 A#4/16 G#4 D#5/4. D#5/16 C#5",
              [("B", 4)]),
        "b": ("D#5/8 E5/16 F#5 E5/8 D#5 C#5 A#4 F#4 B4",
              "B4/8 C#5/16 D#5 C#5/8 B4 A#4 F#4 C#4 F#4",
              [("B", 1), ("E", 0.5), ("C#7/E#", 0.5), ("F#", 2)]),
    },
    "C#m": {
        "a": ("E5/8 E5 E5 D#5/16 C#5 G#5/4. G#5/16 F#5",
              "C#5/8 C#5 C#5 B#4/16 G#4 E5/4. E5/16 D#5",
              [("C#m", 4)]),
        "b": ("E5/8 F#5/16 G#5 F#5/8 E5 D#5 B#4 C#5/4",
              "C#5/8 D#5/16 E5 D#5/8 C#5 B#4 G#4 G#4/4",
              [("C#m", 2), ("G#7", 1), ("C#m", 1)]),
    },
}


def trill(band, part, beat, length, low, high, velocity, rate=Fraction(1, 8)):
    n = int(Fraction(length) / rate)
    for k in range(n):
        band.note(part, beat + k * rate, rate * Fraction(9, 10), pitch(high if k % 2 else low),
                  velocity + (8 if k == 0 else 0))


BIRD_BARS = [
    # (kind, ...): trills and calls of one bar, violin 1; violin 2 answers a fourth lower a beat later
    [("trill", 0, 2, "E6", "F#6"), ("mel", 2, "G#6/16 E6 G#6 E6 B5/8 r/8")],
    [("mel", 0, "r/4 B5/16 B5 B5 B5"), ("trill", 2, 1, "G#6", "A6"), ("mel", 3, "E6/8 r/8")],
    [("mel", 0, "E6/32 E6 E6 E6 E6 E6 E6 E6 F#6/8 G#6"), ("trill", 2, 1, "B6", "C#7"), ("mel", 3, "G#6/8 r/8")],
    [("mel", 0, "B5/16 G#5 E5 G#5 B5 E6 G#6 E6 B5/4 r/4")],
]


def birds(band, start, order, level, pickup):
    for i, which in enumerate(order):
        beat = start + 4 * i
        for item in BIRD_BARS[which]:
            if item[0] == "trill":
                _, at, size, low, high = item
                trill(band, band.vn1, beat + at, size, low, high, 60 + 20 * level)
                echo = min(size, 4 - (at + 1))
                if echo > 0:
                    trill(band, band.vn2, beat + at + 1, echo, scale_name(pitch(low) - 5),
                          scale_name(pitch(high) - 5), 50 + 16 * level)
            else:
                _, at, text = item
                notes = melody(text)
                band.play(band.vn1, beat + at, notes, 64 + 20 * level, legato=0.8)
                echo = [(a, s, p) for a, s, p in notes if a + 1 + at < 4]
                band.play(band.vn2, beat + at + 1, echo, 52 + 16 * level, legato=0.8, shift=-5)
        band.harmony(beat, [("E", 4)], level * 0.6, style="held")
    if pickup:
        band.note(band.vn1, start + 4 * len(order) - Fraction(1, 2), Fraction(9, 20), pitch("E5"), 78)


def scale_name(p):
    names = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]
    return f"{names[p % 12]}{p // 12 - 1}"


def murmur(band, start, chords_per_bar, level, scale, top="B5", pickup=None):
    """Sixteenths turning round a chord tone, violin 2 a third below: the brook (and the solo)."""
    current = pitch(top)
    for i, symbol in enumerate(chords_per_bar):
        beat = start + 4 * i
        tones = [pitch_class(t) for t in CHORDS[symbol]]
        for k in range(4):
            # the chord tone nearest the last one, so the line moves smoothly
            candidates = [p for p in range(current - 5, current + 6) if p % 12 in tones
                          and (k % 2 == 0 or p != current) and pitch("E5") <= p <= pitch("E6")]
            current = min(candidates, key=lambda p: (abs(p - current), p))
            figure = [current, scale_step(current, 1, scale), current, scale_step(current, -1, scale)]
            for j, p in enumerate(figure):
                at = beat + k + Fraction(j, 4)
                if pickup and i == len(chords_per_bar) - 1 and k == 3 and j >= 2:
                    continue
                band.note(band.vn1, at, Fraction(1, 4), p, 50 + 18 * level + (6 if j == 0 else 0))
                band.note(band.vn2, at, Fraction(1, 4), scale_step(p, -2, scale), 42 + 14 * level)
        band.harmony(beat, [(symbol, 4)], level * 0.6, style="walking")
    if pickup:
        band.note(band.vn1, start + 4 * len(chords_per_bar) - Fraction(1, 2), Fraction(9, 20), pitch(pickup), 74)


def solo(band, start, chords_per_bar, level, pickup):
    """Violin 1 alone in broken chords, up and down a beat at a time."""
    for i, symbol in enumerate(chords_per_bar):
        beat = start + 4 * i
        tones = CHORDS[symbol]
        base = Band.near(tones[0], pitch("G4"))
        arp = sorted({Band.near(t, base + 6) for t in tones[:3]})
        arp = [p for p in arp if p >= base][:3] or arp[:3]
        up = (arp + [arp[0] + 12])[:4]
        for k in range(4):
            # up from the root, then down from the third above the octave
            figure = up if k % 2 == 0 else [up[3] + up[1] - up[0], up[3], up[2], up[1]]
            for j, p in enumerate(figure):
                if pickup and i == len(chords_per_bar) - 1 and k == 3 and j >= 2:
                    continue
                band.note(band.vn1, beat + k + Fraction(j, 4), Fraction(1, 4), p, 56 + 20 * level + (8 if j == 0 else 0))
        band.harmony(beat, [(symbol, 4)], level * 0.5, style="walking")
    if pickup:
        band.note(band.vn1, start + 4 * len(chords_per_bar) - Fraction(1, 2), Fraction(9, 20), pitch(pickup), 76)


def thunder(band, start, chords_per_bar, level):
    for i, symbol in enumerate(chords_per_bar):
        beat = start + 4 * i
        root = Band.near(CHORDS[symbol][0], pitch("F#5"))
        scale = E_MAJOR if symbol in ("B", "E") else CS_MINOR
        up = [scale_step(root, s, scale) for s in range(8)]
        # lightning: a run up in 32nds, the top held; a run down, the bottom held
        for j, p in enumerate(up):
            band.note(band.vn1, beat + Fraction(j, 8), Fraction(1, 8), p, 60 + 24 * level + 2 * j)
        band.note(band.vn1, beat + 1, Fraction(9, 10), scale_step(root, 7, scale), 78 + 20 * level)
        for j, p in enumerate(reversed(up)):
            band.note(band.vn1, beat + 2 + Fraction(j, 8), Fraction(1, 8), p, 74 + 12 * level - 2 * j)
        band.note(band.vn1, beat + 3, Fraction(9, 10), root, 66 + 16 * level)
        # violin 2 trembling on the chord's third
        third = Band.near(CHORDS[symbol][1], pitch("D#5"))
        for j in range(16):
            band.note(band.vn2, beat + Fraction(j, 4), Fraction(1, 4) * Fraction(9, 10), third, 48 + 16 * level)
        band.harmony(beat, [(symbol, 4)], level, style="tremolo")


# Vivaldi's second motif (his bars 7-13): a forte phrase of two and a half bars and its echo, piano,
# half a bar later. Violin 2 plays it a third below; the bass keeps to the tonic, with the
# subdominant over it (6/4) where the tune reaches its top.
SECOND_MOTIF = {
    "E": (["B5/8 A5/16 G#5 A5/8 B5 C#6 B5/4 E5/8", "B5/8 A5/16 G#5 A5/8 B5 C#6 B5/4 E5/8",
           "C#6/8 B5/4 A5/8 G#5 F#5/16 E5 F#5/4", "E5/4 r/8 E5/8 B5/8 A5/16 G#5 A5/8 B5",
           "C#6/8 B5/4 E5/8 B5/8 A5/16 G#5 A5/8 B5", "C#6/8 B5/4 E5/8 C#6/8 B5/4 A5/8",
           "G#5/8 F#5/16 E5 F#5/4 E5/4 r/4"],
          [[("E", 1), ("E", 1), ("A/E", 1), ("E", 1)], [("E", 1), ("E", 1), ("A/E", 1), ("E", 1)],
           [("A/E", 1), ("E", 0.5), ("B", 0.5), ("E", 1), ("B", 1)], [("E", 4)],
           [("A/E", 1), ("E", 3)], [("A/E", 1), ("E", 1), ("A/E", 1), ("E", 1)],
           [("E", 1), ("B", 1), ("E", 2)]], E_MAJOR),
    "B": (["F#5/8 E5/16 D#5 E5/8 F#5 G#5 F#5/4 B4/8", "F#5/8 E5/16 D#5 E5/8 F#5 G#5 F#5/4 B4/8",
           "G#5/8 F#5/4 E5/8 D#5 C#5/16 B4 C#5/4"],
          [[("B", 1), ("B", 1), ("E/B", 1), ("B", 1)], [("B", 1), ("B", 1), ("E/B", 1), ("B", 1)],
           [("E/B", 1), ("B", 0.5), ("F#", 0.5), ("B", 1), ("F#", 1)]], B_MAJOR),
    "C#m": (["G#5/8 F#5/16 E5 F#5/8 G#5 A5 G#5/4 C#5/8", "G#5/8 F#5/16 E5 F#5/8 G#5 A5 G#5/4 C#5/8",
             "A5/8 G#5/4 F#5/8 E5 D#5/16 C#5 D#5/4"],
            [[("C#m", 1), ("C#m", 1), ("F#m/C#", 1), ("C#m", 1)], [("C#m", 1), ("C#m", 1), ("F#m/C#", 1), ("C#m", 1)],
             [("F#m/C#", 1), ("C#m", 0.5), ("G#7", 0.5), ("C#m", 1), ("G#7", 1)]], CS_MINOR),
}


def second_motif(band, start, key, bars, loop_pickup=False):
    """The second motif from bar-start beat `start`: its first `bars` bars (3: the forte phrase
    alone; 7: with its echo). loop_pickup: the last bar ends with the theme's pick-up."""
    tunes, chords, scale = SECOND_MOTIF[key]
    for i in range(bars):
        beat = start + 4 * i
        level = 1.0 if i < 3 else 0.35
        text = tunes[i]
        if loop_pickup and i == 6:
            text = "G#5/8 F#5/16 E5 F#5/4 E5/4 r/8 E5/8"
        notes = melody(text)
        band.play(band.vn1, beat, notes, 60 + 34 * level)
        third = [(at, size, None if p is None else scale_step(p, -2, scale)) for at, size, p in notes]
        band.play(band.vn2, beat, third, 50 + 30 * level)
        band.harmony(beat, chords[i], level)


def body(band, offset=0, first_bars_only=None):
    """The 72 bars from bar 1 (bar-start beats shifted by `offset` bars)."""
    b = lambda n: bar(n + offset)  # noqa: E731
    band.theme(b(1), "aab", 1.0)
    band.theme(b(4), ["a", "a", "b6"], 0.35)
    if first_bars_only:
        return
    second_motif(band, b(7), "E", 7)
    birds(band, b(14), [0, 1, 2, 3, 0, 1, 2, 3], 0.5, pickup=True)
    second_motif(band, b(22), "E", 3)
    murmur(band, b(25), ["E", "E", "B7", "E", "A", "E", "C#m", "F#m", "B7", "B7"], 0.4, E_MAJOR, pickup="B4")
    second_motif(band, b(35), "B", 3)
    thunder(band, b(38), ["B", "B", "E", "G#7", "C#m", "F#m", "G#7", "C#m"], 0.7)
    band.note(band.vn1, b(46) - Fraction(1, 2), Fraction(9, 20), pitch("C#5"), 80)
    second_motif(band, b(46), "C#m", 3)
    birds(band, b(49), [1, 0, 2, 3, 0, 3], 0.45, pickup=True)
    band.theme(b(55), "aab", 1.0)
    solo(band, b(58), ["E", "A", "B7", "E", "C#m", "F#m", "B7", "E"], 0.5, pickup="E5")
    second_motif(band, b(66), "E", 7, loop_pickup=True)


def compose(score):
    band = Band(score)
    # The lead-in (replaced in the track by the end's own last 0.984 s, which it matches): the pick-up.
    band.note(band.vn1, Fraction(3, 2), Fraction(9, 20), pitch("E5"), 84)
    band.note(band.vn2, Fraction(3, 2), Fraction(9, 20), pitch("B4"), 72)
    body(band)
    # After the end, the music goes on with its first bars, as the loop will; notes are cut at
    # the end of the rendering. build.py folds this overhang onto the loop start.
    end_beat = bar(BAR_COUNT + 1)
    clip_ms = PCM_MS + TAIL_MS
    clip = end_beat + Fraction((clip_ms - PCM_MS) / BEAT_MS).limit_denominator(1000) - Fraction(1, 100)
    overhang = Band.__new__(Band)
    overhang.__dict__.update(band.__dict__)
    overhang.clip = clip
    body(overhang, offset=BAR_COUNT, first_bars_only=True)
    score.balance(MELODY_PARTS, ACCOMPANIMENT_DB)
