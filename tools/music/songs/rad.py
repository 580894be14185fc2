"""Radetzky March (Johann Strauss I, Op. 228, 1848): our arrangement for the Radetzky show.

A beat of the show is a quarter note: a 2/4 bar takes two beats, an eight-beat group of the show
four bars, a strain of the march eight bars. The march is in D major, its second strain turns to
G, the trio is in A major. The tunes are Strauss's, in his order (the da capo too); the theme's
signature is the anapaest with the chromatic lower neighbour, (F#5 E#5) F#5, its two sixteenths
always a pick-up to the beat.

    music beats  show                         what plays
    0-1          lead-in                      the snare's roll
    2-9          lead-in                      the introduction: D D D, F# E D C#, B A# B C# D E, A
    10-41        pass 1, beats 12-43          the theme, piano, and its close (turning to G)
    42-73        pass 1, beats 44-75          the second strain, forte, in two halves
    74-105       pass 2, beats 12-43          the theme, forte, and its close on D (Fine)
    106-113      pass 2, beats 44-51          the trio's introduction (the horns on E)
    114-121      pass 2, beats 76-83          four bars of the trio's accompaniment
    122-153      pass 2, beats 84-115         the trio, dolce: rising sixths, twice
    154-185      pass 3                       the trio's second part, then its first again
    186-217      pass 4                       the same, forte
    218-225      pass 5, beats 12-19          da capo: the introduction
    226-257      pass 5, beats 20-51          the theme, and its close turning to G
    258-289      pass 5, beats 76-107         the second strain
    290-297      pass 5, beats 108-115        the theme's first four bars
    298-313      pass 6 (617 ms from 306)     the theme's close, broadened, to the final cadence:
                                              the tonic on 312 and 313
    314-         after the show               the last chord, ringing to the end of the track

Where the passes begin comes from the score's labels (the show's beats 12, 76 and 84). The
percussion is a march's: the bass drum on the first beat of each bar, with the cymbals in the loud
strains and the triangle in the soft ones, the snare with the introduction's rhythm and on the
accents; the quiet trio goes without.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from notation import chord_intervals, parse  # noqa: E402

TRACK_MS = 7022 * 1152 * 1000 / 44100  # rad.res: 7022 audio frames
BAR = 2  # beats in a 2/4 bar
BARS = (0, BAR)  # the bar lines: every even beat (the show starts on beat 10)
STRAIN = 16  # beats in an eight-bar strain
ON_BEAT = 8  # velocity added to the notes on a beat
MELODY_LINE = ("strings",)  # the tune, for the melody check
MELODY_PARTS = ("strings", "flute", "piccolo", "clarinet", "trumpets")  # the tune, for its loudness
ACCOMPANIMENT_DB = 3  # dB on the accompaniment's own levels: its balance under the tune
PERCUSSION_DB = 7  # dB on the percussion's own levels: clear on the beats, under the tune

# General MIDI programs (0-based)
STRINGS, PICCOLO, FLUTE, CLARINET, TRUMPET, HORN, TROMBONE, TUBA, PIZZICATO, TIMPANI, GLOCKENSPIEL = (
    48, 72, 73, 71, 56, 60, 57, 58, 45, 47, 9)


# ---- the tunes -------------------------------------------------------------------------------

PICKUP = "F#5/16 E#5"  # the anapaest's two sixteenths, on the last eighth of the bar before

# The introduction, in unison and octaves (the theme's pick-up in its last eighth).
INTRO = "D5/16 D5 D5/8 D5/16 D5 D5/8 | F#5/8 E5 D5/8. C#5/16 | B4/16 A#4 B4 C#5 D5/8 E5 | A4/8 r/8 r/8 {pk}"
INTRO_CHORDS = "D D,A7 Bm,E7 A7"

# The theme: its first eight bars, then the close; the close turns to G before the second strain
# (C natural) and to D at the end (C sharp).
THEME = ("F#5/8 F#5/16 E#5 F#5/8 F#5/16 E#5 | F#5/8 E5 D5 F#5/16 E#5 | F#5/8 F#5/16 E#5 F#5/8 F#5/16 E#5 | "
         "F#5/8 B5 A5 A5/16 F#5 | G5/8 B5 A5 A5/16 E5 | F#5/8 B5 A5 A5/16 F#5 | E5/8 C#6 D5 B5 | "
         "A5/8 A5/16 G#5 A5 B5 A5 G5")
THEME_CHORDS = "D D D D | A7 D A7,G A7"
CLOSE_HEAD = ("F#5/8 F#5/16 E#5 F#5/8 F#5/16 E#5 | F#5/8 E5 D5 F#5/16 E#5 | F#5/8 F#5/16 E#5 F#5/8 F#5/16 E#5 | "
              "F#5/8 B5 A5 A5/16 F#5 | G#5/8 F#6 E6/4 | F#5/8 E6 D6/4 | ")
CLOSE_TO_G = CLOSE_HEAD + "C6/8. B5/16 A5 G5 F#5 E5 | D5/8 D6 D6 D5/16 C#5"
CLOSE_TO_G_CHORDS = "D D D D | E7 D D7 G"
CLOSE_END = CLOSE_HEAD + "C#6/8. B5/16 A5 G5 F#5 E5 | D5/8 D6 D6 r/8"
CLOSE_END_CHORDS = "D D D D | E7 D A7 D"
SECOND = ("D5/8 D5/16 C#5 D5/8 D5/16 C#5 | D5/8 G5 B4 D5/16 C#5 | D5/8 D5/16 C#5 D5/8 D5/16 C#5 | "
          "D5/8 F#5 A4 A5 | A5/4 G5/8 B5 | B5/4 A5/8 D6 | C#6/8 C#6/16 B5 A5/8 G5 | G5/8 B5/16 A5 G5/8 F#5")
SECOND_CHORDS = "G G G D7 | D7,G G,D A7 A7,D"
SECOND_2 = ("A5/4 G5/8 B5 | B5/4 A5/8 D6 | C#6/8 C#6/16 A#5 B5/8 D6 | C#6/8 C#6/16 A#5 B5/8 D6 | "
            "F#6/8 F#6/16 F#6 F#6/8 F#6/16 F#6 | F#6/8 F#5/16 F#5 F#5/8 F#5/16 F#5 | "
            "F#5/8 F#5/16 E#5 F#5/8 F#5/16 E#5 | F#5/8 F#5/16 E#5 F#5/8 F#5/16 E#5")
SECOND_2_CHORDS = "D7,G G,D F#7,Bm F#7,Bm | Bm Bm A7 A7"

# The trio: its introduction on E, its tune (rising sixths, then the turn), its second part.
TRIO_INTRO = "E5/4. B4/8 | G#4/8 E4 B4 G#4 | E5/8 E4/16 E4 E4/8 E4 | E4/8 E4 E4 E4"
TRIO_INTRO_CHORDS = "E7 E7 E7 E7"
TRIO = ("E4/16 C#5 C#5/4 E4/8 | E4/16 C#5 C#5/4 D4/8 | E4/16 A4 C#5/8 C#5 C#5 | C#5/4. B3/16 C#4 | "
        "D4/16 G#4 B4/4 A4/8 | G#4/16t A4 G#4 F#4/8 F#4 F#4 | E4/16 A4 C#5/8 C#5 C#5 | C#4/4. E4/8")
TRIO_CHORDS = "A A,E7 A A | E7 E7 A A"
TRIO_2 = ("E4/16 C#5 C#5/4 E4/8 | E4/16 C#5 C#5/4 D4/8 | E4/16 C#5 C#5/8 C#5 C#5 | C#5/4. B3/16 C#4 | "
          "D4/16 G#4 B4/4 A4/8 | G#4/16t A4 G#4 F#4/8 F#4 F#4 | E4/16 A4 C#5/8 D4/16 G#4 B4/8 | A4/4. {pk}")
TRIO_2_CHORDS = "A A,E7 A A | E7 E7 A,E7 A"
TRIO_PK = "G#4/16 A4"  # into the trio's second part
TRIO_D = ("B4/16 D5 G#5/4 F#5/8 | E5/16t F#5 E5 D5/8 D5 D5 | C#5/16 E5 A5/8 A5 A5 | A4/4. B3/16 C#4 | "
          "D4/16 G#4 B4/4 A4/8 | G#4/16t A4 G#4 F#4/8 F#4 F#4 | A4/16 C#5 E5/4 D5/16 C#5 | B4/16 A4 G#4 F#4 E4/8 D4")
TRIO_D_CHORDS = "E7 E7 A A | E7 E7 A E7"
TRIO_VAMP_CHORDS = "A A A E7"


def chart(text):
    """A chord chart as a list of bars, each (chord of the first beat, of the second)."""
    return [tuple(symbol.split(",")) * (2 if "," not in symbol else 1)
            for symbol in text.replace("|", " ").split()]


# ---- chords ----------------------------------------------------------------------------------

def voicing(symbol, low, count=3):
    """The chord's tones, each the lowest at or above `low`; of a seventh chord its third,
    seventh and root. 'D/A' is D."""
    root, intervals = chord_intervals(symbol.split("/")[0])
    if len(intervals) == 4 and count == 3:
        intervals = (intervals[1], intervals[3], intervals[0])
    return sorted(low + ((root + i) - low) % 12 for i in intervals)[:count]


def bass_note(symbol, low=38):
    """The chord's bass ('D/A': A) at or above `low`."""
    root, _ = chord_intervals(symbol.split("/")[-1])
    return low + (root - low) % 12


def fifth(symbol, low=33):
    root, intervals = chord_intervals(symbol.split("/")[0])
    return low + ((root + intervals[2]) - low) % 12


# ---- the arrangement -------------------------------------------------------------------------

class Band:
    def __init__(self, score):
        self.strings = score.part("strings", STRINGS)
        self.piccolo = score.part("piccolo", PICCOLO)
        self.flute = score.part("flute", FLUTE)
        self.clarinet = score.part("clarinet", CLARINET)
        self.trumpet = score.part("trumpets", TRUMPET)
        self.horn = score.part("horns", HORN)
        self.trombone = score.part("trombones", TROMBONE)
        self.tuba = score.part("tuba", TUBA)
        self.pizz = score.part("basses", PIZZICATO)
        self.violas = score.part("violas", STRINGS)
        self.timpani = score.part("timpani", TIMPANI)
        self.glock = score.part("glockenspiel", GLOCKENSPIEL)
        self.drums = score.drums()
        self.tonal = [self.strings, self.piccolo, self.flute, self.clarinet, self.trumpet, self.horn,
                      self.trombone, self.tuba, self.pizz, self.violas, self.timpani, self.glock]
        for part, volume, pan in ((self.strings, 112, 44), (self.piccolo, 76, 80), (self.flute, 92, 76),
                                  (self.clarinet, 96, 70), (self.trumpet, 96, 84), (self.horn, 64, 56),
                                  (self.trombone, 64, 90), (self.tuba, 84, 64), (self.pizz, 84, 40),
                                  (self.violas, 70, 84), (self.timpani, 90, 64), (self.glock, 60, 72)):
            part.control(0, 7, volume)
            part.control(0, 10, pan)
            part.control(0, 91, 48)
        self.drums.control(0, 7, 100)
        self.drums.control(0, 91, 30)

    def tune(self, part, start, text, velocity=90, octave=0, gate=0.9, accent=ON_BEAT, bar=BAR, pickup=None):
        """A tune in the notation (whole bars unless `bar` is None), its notes on the beats
        `accent` louder; "{pk}" in it (its last eighth) becomes `pickup`, or a rest."""
        text = text.replace("{pk}", pickup or "r/8")
        events, _ = parse(text, bar=bar)
        for event in events:
            at = start + float(event.beat)
            loud = velocity + (accent if float(at).is_integer() else 0) + (18 if event.accent else 0)
            for key in event.pitches:
                part.note(at, float(event.length) * gate, key + 12 * octave, min(127, loud))

    def lead(self, start, text, loud, pickup=None, bar=BAR):
        """The tune: the strings, doubled by the flute an octave up; forte, the trumpets and the
        piccolo join."""
        self.tune(self.strings, start, text, 108 if loud else 100, pickup=pickup, bar=bar)
        self.tune(self.flute, start, text, 84 if loud else 74, octave=1, pickup=pickup, bar=bar)
        if loud:
            self.tune(self.trumpet, start, text, 92, pickup=pickup, bar=bar)
            self.tune(self.piccolo, start, text, 70, octave=1, pickup=pickup, bar=bar)

    def march(self, start, chords, velocity=70, trombones=False, timpani=False):
        """The march's accompaniment: the bass on the beats (the root, then the fifth below),
        the horns' and violas' chords on the off-beats; in forte the trombones on the beats and the
        timpani on the first."""
        for n, (first, second) in enumerate(chords):
            bar = start + n * BAR
            self.tuba.note(bar, 0.45, bass_note(first), velocity + 10)
            self.pizz.note(bar, 0.4, bass_note(first, 33), velocity + 6)
            if second == first:
                self.tuba.note(bar + 1, 0.45, fifth(first), velocity + 4)
                self.pizz.note(bar + 1, 0.4, fifth(first, 40), velocity)
            else:
                self.tuba.note(bar + 1, 0.45, bass_note(second), velocity + 6)
                self.pizz.note(bar + 1, 0.4, bass_note(second, 33), velocity + 2)
            for beat, symbol in ((0, first), (1, second)):
                self.horn.chord(bar + beat + 0.5, 0.4, voicing(symbol, 57), velocity - 6)
                self.violas.chord(bar + beat + 0.5, 0.35, voicing(symbol, 55), velocity - 10)
                if trombones:
                    self.trombone.chord(bar + beat, 0.35, voicing(symbol, 50), velocity - 8)
            if timpani:
                self.timpani.note(bar, 0.4, bass_note(first, 38 if bass_note(first) < 45 else 33), velocity + 14)

    def drum_march(self, start, count, level):
        """A march's bass drum on the first beat of each bar: with the cymbals when loud, with
        the triangle when soft (the tuba's off-beat and the horns' after-beats carry the rest)."""
        for k in range(0, count, 2):
            beat = start + k
            if level == "f":
                self.drums.hit(beat, "bassdrum", 100)
                self.drums.hit(beat, "splash", 60, length=1)
            else:
                self.drums.hit(beat, "bassdrum", 72)
                self.drums.hit(beat, "triangle", 64)
        if level == "f":
            self.drums.hit(start, "crash2", 84, length=1)

    def snare_call(self, start, velocity=92):
        """The snare with the introduction's rhythm: da-da DUM, da-da DUM; a roll up to the A."""
        for offset in (0, 0.25, 0.5, 1.0, 1.25, 1.5):
            self.drums.hit(start + offset, "snare", velocity if offset in (0.5, 1.5) else velocity - 30)
        for k in range(8):
            self.drums.hit(start + 4 + k / 4, "snare", velocity - 40 + 4 * k)
        self.drums.hit(start + 6, "snare", velocity)

    # -- the pieces of the march
    def intro(self, start, pickup):
        self.lead(start, INTRO, True, pickup=pickup)
        for part, octave, loud in ((self.horn, -1, 80), (self.trombone, -1, 78), (self.tuba, -2, 88)):
            self.tune(part, start, INTRO, loud, octave=octave, gate=0.8, pickup="r/8")
        for bar, symbol in enumerate(("D", "D", "B", "A")):
            self.timpani.note(start + bar * BAR, 0.4, bass_note(symbol, 38 if symbol != "B" else 33), 100)
        self.snare_call(start)
        self.drum_march(start, 8, "f")

    def theme(self, start, text, chords, loud, pickup=None):
        self.lead(start, text, loud, pickup=pickup)
        self.march(start, chart(chords), 76 if loud else 62, trombones=loud, timpani=loud)
        self.drum_march(start, STRAIN, "f" if loud else "p")

    def second(self, start, text, chords, pickup=None):
        self.lead(start, text, True, pickup=pickup)
        self.march(start, chart(chords), 78, trombones=True, timpani=True)
        self.drum_march(start, STRAIN, "f")
        for bar in (4, 5):  # the accents of the half notes
            self.drums.hit(start + bar * BAR, "snare", 84)

    def trio(self, start, text, chords, loud=False, pickup=None, count=STRAIN):
        velocity = 100 if loud else 90
        self.tune(self.clarinet, start, text, velocity, gate=0.97, accent=4, pickup=pickup)
        self.tune(self.strings, start, text, velocity + 6, gate=0.97, accent=4, pickup=pickup)
        self.tune(self.flute, start, text, velocity - 10, octave=1, gate=0.97, accent=4, pickup=pickup)
        if loud:
            self.tune(self.trumpet, start, text, 84, gate=0.95, pickup=pickup)
        self.march(start, chart(chords), 70 if loud else 56, trombones=loud, timpani=loud)
        if loud:
            self.drum_march(start, count, "p")


def end_beat(score, end_ms):
    """The (fractional) beat at end_ms."""
    k = 0
    while k + 1 < len(score.beat_times) and score.beat_times[k + 1] <= end_ms:
        k += 1
    return k + (end_ms - score.beat_times[k]) / score.beat_length_ms(k)


def compose(score):
    show = score.find(12, 3, 0)
    second = score.find(12, 3, 1)
    fifth_pass = score.find(12, 3, 2)
    trio = score.find(76, 3, 0)
    fifth_b = score.find(76, 3, 1)
    third, fourth, last = (score.find(84, 3, n) for n in (1, 2, 4))
    layout = (show, second, trio, third, fourth, fifth_pass, fifth_b, last)
    if None in layout:
        raise ValueError("the beat labels do not show the Radetzky show's six passes")
    steps = tuple(b - a for a, b in zip(layout, layout[1:]))
    if steps != (64, 40, 40, 32, 32, 40, 40) or show < 10:
        raise ValueError(f"unexpected pass layout: {layout}")
    end = end_beat(score, min(TRACK_MS, score.beat_times[-1]) - 6)
    band = Band(score)

    # Lead-in: the snare's roll, swelling into the introduction.
    intro = show - 8
    strokes = intro * 8
    for i in range(strokes):
        band.drums.hit(i / 8, "snare", 40 + 50 * i // strokes, length=1 / 8)
    band.timpani.note(0, intro - 0.05, bass_note("A", 45), 64)
    band.intro(intro, PICKUP)

    # Pass 1: the theme, piano, and its close turning to G; the second strain, forte.
    band.theme(show, THEME, THEME_CHORDS, loud=False)
    band.theme(show + STRAIN, CLOSE_TO_G, CLOSE_TO_G_CHORDS, loud=False)
    band.second(show + 2 * STRAIN, SECOND, SECOND_CHORDS)
    band.second(show + 3 * STRAIN, SECOND_2, SECOND_2_CHORDS)

    # Pass 2: the theme forte to its close on D; the trio's introduction, its vamp, its tune.
    band.theme(second, THEME, THEME_CHORDS, loud=True)
    band.theme(second + STRAIN, CLOSE_END, CLOSE_END_CHORDS, loud=True)
    at = second + 2 * STRAIN
    band.tune(band.horn, at, TRIO_INTRO, 96, gate=0.9)
    band.tune(band.strings, at, TRIO_INTRO, 96, gate=0.9)
    band.tune(band.clarinet, at, TRIO_INTRO, 84, gate=0.9)
    band.march(at, chart(TRIO_INTRO_CHORDS), 60)
    band.march(trio, chart(TRIO_VAMP_CHORDS), 52)
    band.trio(trio + 8, TRIO, TRIO_CHORDS)
    band.trio(trio + 8 + STRAIN, TRIO_2, TRIO_2_CHORDS, pickup=TRIO_PK)

    # Passes 3 and 4: the trio's second part, then its first; the second time forte.
    band.trio(third, TRIO_D, TRIO_D_CHORDS)
    band.trio(third + STRAIN, TRIO_2, TRIO_2_CHORDS, pickup=TRIO_PK)
    band.trio(fourth, TRIO_D, TRIO_D_CHORDS, loud=True)
    band.trio(fourth + STRAIN, TRIO_2, TRIO_2_CHORDS, loud=True)

    # Pass 5: da capo: the introduction, the theme and its close, the second strain; the theme's
    # first four bars lead into pass 6.
    band.intro(fifth_pass, PICKUP)
    band.theme(fifth_pass + 8, THEME, THEME_CHORDS, loud=True)
    band.theme(fifth_pass + 8 + STRAIN, CLOSE_TO_G, CLOSE_TO_G_CHORDS, loud=True)
    band.second(fifth_b, SECOND, SECOND_CHORDS)
    band.second(fifth_b + STRAIN, SECOND_2, SECOND_2_CHORDS)
    head = " | ".join(THEME.split("|")[:4])
    band.lead(fifth_b + 2 * STRAIN, head, True)
    band.march(fifth_b + 2 * STRAIN, chart("D D D D"), 76, trombones=True, timpani=True)
    band.drum_march(fifth_b + 2 * STRAIN, 8, "f")

    # Pass 6: the theme's close, broadened, to the final cadence: the tonic on its last bar.
    band.theme(last, CLOSE_END, CLOSE_END_CHORDS, loud=True)
    cadence = last + 14
    for part, low, velocity in ((band.trumpet, 62, 96), (band.horn, 57, 86), (band.trombone, 50, 88)):
        part.chord(cadence, 0.5, voicing("D", low), velocity)
        part.chord(cadence + 1, 0.4, voicing("D", low), velocity + 6)
    band.drums.hit(cadence, "snare", 96).hit(cadence + 1, "snare", 104)

    # The last chord, from the first beat after the show to the end of the track.
    final = cadence + 2
    ring = end - final
    for part, low, velocity in ((band.strings, 62, 92), (band.trumpet, 62, 90), (band.horn, 54, 84),
                                (band.trombone, 50, 84), (band.clarinet, 62, 76), (band.flute, 74, 70)):
        part.chord(final, ring, voicing("D", low), velocity)
    band.strings.note(final, ring, bass_note("D", 84), 88)
    band.tuba.note(final, ring, bass_note("D"), 100)
    band.pizz.note(final, 0.5, bass_note("D", 26), 96)
    band.glock.note(final, 1, bass_note("D", 86), 80)
    band.timpani.note(final, 0.6, bass_note("D", 38), 104)
    band.drums.hit(final, "crash", 104).hit(final, "bassdrum", 104)
    fade_from = max(final + 1, end - 1.6)
    for part in band.tonal + [band.drums]:
        for i in range(17):
            part.control(fade_from + (end - fade_from) * i / 16, 11, int(127 - 92 * i / 16))
    score.balance(MELODY_PARTS, ACCOMPANIMENT_DB, PERCUSSION_DB)
