"""Radetzky March (Johann Strauss I, Op. 228, 1848): our arrangement for the Radetzky show.

A beat of the show is a quarter note: a 2/4 bar takes two beats, an eight-beat group of the show
four bars, a strain of the march eight bars. The march is in D major, the trio in A major. The
audience claps on every beat: softly the first time through the theme, loudly after it; in the
quiet trio a side stick keeps the beat instead.

    music beats  show                         what plays
    0-1          lead-in                      the snare's roll
    2-9          lead-in                      introduction: the call on the dominant, in unison
    10-41        pass 1, beats 12-43          theme A, piano, twice (half close, full close)
    42-73        pass 1, beats 44-75          strain B, forte; theme A, forte
    74-105       pass 2, beats 12-43          strain B; theme A
    106-113      pass 2, beats 44-51          the call on E, over to A major
    114-121      pass 2, beats 76-83          trio: four bars of accompaniment
    122-153      pass 2, beats 84-115         trio C, dolce, twice
    154-185      pass 3                       trio D, then C
    186-217      pass 4                       trio D, then C, forte
    218-225      pass 5, beats 12-19          da capo: the introduction
    226-257      pass 5, beats 20-51          theme A, forte, twice
    258-289      pass 5, beats 76-107         strain B; theme A
    290-297      pass 5, beats 108-115        the call once more
    298-313      pass 6 (617 ms from 306)     theme A, broadened, to the final cadence: the tonic
                                              on 312 and 313
    314-         after the show               the last chord, ringing to the end of the track

Where the passes begin comes from the score's labels (the show's beats 12, 76 and 84). Every beat
from 1 to the show's last has the bass drum and the side stick on it, and mostly a clap.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from notation import chord_intervals, parse  # noqa: E402

TRACK_MS = 7022 * 1152 * 1000 / 44100  # rad.res: 7022 audio frames
BAR = 2  # beats in a 2/4 bar
STRAIN = 16  # beats in an eight-bar strain
ON_BEAT = 8  # velocity added to the notes on a beat

# General MIDI programs (0-based)
STRINGS, PICCOLO, FLUTE, CLARINET, TRUMPET, HORN, TROMBONE, TUBA, PIZZICATO, TIMPANI, GLOCKENSPIEL = (
    48, 72, 73, 71, 56, 60, 57, 58, 45, 47, 9)


# ---- the tunes -------------------------------------------------------------------------------

PICKUP = "A4/16 A4/16"  # the two sixteenths before theme A, on the last eighth of the bar before

# Theme A: "da-da DUM, da-da DUM, da-da DUM, da DUM". The first time it closes on the dominant,
# the second time on the tonic; the last bar of each has the pickup into what follows.
THEME = (
    "D5/8 D5/16 D5/16 D5/8 F#5/16 E5/16 | D5/8 A4/8 F#4/8 A4/16 A4/16 | "
    "C#5/8 C#5/16 C#5/16 C#5/8 E5/16 D5/16 | C#5/8 A4/8 E4/8 A4/16 A4/16 | "
    "D5/8 D5/16 D5/16 F#5/8 F#5/16 F#5/16 | G5/8 B5/8 B5/8 A5/16 G5/16 | "
)
THEME_HALF = THEME + "F#5/8 A5/8 G5/8 E5/8 | E5/4 r/8 A4/16 A4/16"
THEME_FULL = THEME + "F#5/8 D5/8 E5/8 C#5/8 | D5/4 r/8 A4/16 A4/16"
THEME_END = THEME + "F#5/8 D5/8 E5/8 C#5/8 | D5/4 r/4"
# A bar of two chords changes on its second beat.
THEME_HALF_CHORDS = "D D A7 A7 | D G D/A,A7 A7"
THEME_FULL_CHORDS = "D D A7 A7 | D G D/A,A7 D"

# Strain B, forte: runs up to the accented notes, the tune in the trumpets.
STRAIN_B = (
    "A4/16 C#5/16 E5/16 G5/16 A5/8 G5/8 | F#5/8 A5/8 D5/4 | "
    "A4/16 C#5/16 E5/16 G5/16 A5/8 G5/8 | F#5/8 D5/8 A4/8 D5/16 E5/16 | "
    "B5/8 B5/16 B5/16 B5/8 A5/16 G5/16 | A5/8 F#5/8 D5/8 F#5/16 A5/16 | "
    "G#5/8 E5/8 G5/8 E5/8 | D5/8 F#5/8 D5/8 A4/16 A4/16"
)
STRAIN_B_CHORDS = "A7 D A7 D | G D E7,A7 D"

# The call of the introduction: "DUM da-da DUM DUM" on one note, then down the scale.
CALL_A = ("A4/8 A4/16 A4/16 A4/8 A4/8 | C#5/8 C#5/16 C#5/16 C#5/8 C#5/8 | "
          "E5/16 D5/16 C#5/16 B4/16 A4/16 G4/16 F#4/16 E4/16 | A4/8 r/8 A3/8 r/8")
CALL_A_CHORDS = "A A7 A7 A7"
CALL_E = ("E5/8 E5/16 E5/16 E5/8 E5/8 | G#5/8 G#5/16 G#5/16 G#5/8 G#5/8 | "
          "B5/16 A5/16 G#5/16 F#5/16 E5/16 D5/16 C#5/16 B4/16 | E5/8 r/8 E4/8 r/8")
CALL_E_CHORDS = "E E7 E7 E7"

# Trio C, dolce, in A major; its pickup is the eighth before.
TRIO_PICKUP = "E5/8"
TRIO_C = (
    "A5/4 C#6/8 A5/8 | B5/4 G#5/8 E5/8 | D6/4 B5/8 G#5/8 | A5/4. E5/8 | "
    "F#5/4 A5/8 D6/8 | C#6/4 A5/8 E5/8 | B5/8 D6/8 G#5/8 B5/8 | A5/4. E5/8"
)
TRIO_C_LAST = TRIO_C[:TRIO_C.rindex("|")] + "| A5/4. r/8"  # closing without the pickup
TRIO_C_CHORDS = "A E7 E7 A | D A E7 A"
# A second voice under it, in thirds and sixths.
TRIO_C_ALTO = (
    "C#5/4 E5/8 C#5/8 | D5/4 B4/8 G#4/8 | B4/4 G#4/8 E4/8 | C#5/4. r/8 | "
    "A4/4 D5/8 F#5/8 | E5/4 C#5/8 A4/8 | G#4/8 B4/8 D5/8 G#4/8 | C#5/4. r/8"
)

# Trio D, forte: on the dominant, the horns leading.
TRIO_D = (
    "B4/8 E5/8 G#5/8 E5/8 | A5/4 E5/4 | D5/8 E5/8 G#5/8 B5/8 | C#6/4 A5/4 | "
    "A#5/8 C#6/8 B5/8 F#5/8 | G#5/8 B5/8 E5/4 | D5/8 E5/16 F#5/16 G#5/8 B5/8 | A5/4. E5/8"
)
TRIO_D_CHORDS = "E7 A E7 A | F#7,Bm E7 E7 A"


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
        self.timpani = score.part("timpani", TIMPANI)
        self.glock = score.part("glockenspiel", GLOCKENSPIEL)
        self.drums = score.drums()
        self.tonal = [self.strings, self.piccolo, self.flute, self.clarinet, self.trumpet, self.horn,
                      self.trombone, self.tuba, self.pizz, self.timpani, self.glock]
        for part, volume, pan in ((self.strings, 100, 44), (self.piccolo, 70, 80), (self.flute, 80, 76),
                                  (self.clarinet, 88, 70), (self.trumpet, 96, 84), (self.horn, 80, 56),
                                  (self.trombone, 80, 90), (self.tuba, 100, 64), (self.pizz, 96, 40),
                                  (self.timpani, 96, 64), (self.glock, 60, 72)):
            part.control(0, 7, volume)
            part.control(0, 10, pan)
            part.control(0, 91, 48)
        self.drums.control(0, 7, 112)
        self.drums.control(0, 91, 30)

    def tune(self, part, start, text, velocity=90, octave=0, gate=0.9, accent=ON_BEAT, bar=BAR):
        """A tune in the notation (whole bars unless `bar` is None), its notes on the beats
        `accent` louder."""
        events, _ = parse(text, bar=bar)
        for event in events:
            at = start + float(event.beat)
            loud = velocity + (accent if float(at).is_integer() else 0) + (18 if event.accent else 0)
            for key in event.pitches:
                part.note(at, float(event.length) * gate, key + 12 * octave, min(127, loud))

    def march(self, start, chords, velocity=70, trombones=False, timpani=False):
        """The march's accompaniment: the bass on the beats (the root, then the fifth below),
        the horns' chords on the off-beats; in forte the trombones on the beats and the timpani
        on the first."""
        for n, (first, second) in enumerate(chords):
            bar = start + n * BAR
            self.tuba.note(bar, 0.45, bass_note(first), velocity + 20)
            self.pizz.note(bar, 0.4, bass_note(first, 33), velocity + 10)
            if second == first:
                self.tuba.note(bar + 1, 0.45, fifth(first), velocity + 12)
                self.pizz.note(bar + 1, 0.4, fifth(first, 40), velocity + 4)
            else:
                self.tuba.note(bar + 1, 0.45, bass_note(second), velocity + 14)
                self.pizz.note(bar + 1, 0.4, bass_note(second, 33), velocity + 6)
            for beat, symbol in ((0, first), (1, second)):
                self.horn.chord(bar + beat + 0.5, 0.4, voicing(symbol, 62), velocity)
                if trombones:
                    self.trombone.chord(bar + beat, 0.35, voicing(symbol, 50), velocity + 6)
            if timpani:
                self.timpani.note(bar, 0.4, bass_note(first), velocity + 24)

    def claps(self, start, count, velocity, kick=(90, 70), snare=0, crash=True):
        """The audience on every beat, the bass drum under it, the snare on the second beat; a
        rim click on every beat, whose sharp attack is what marks the beat in the audio (a clap
        rises slowly)."""
        for k in range(count):
            beat = start + k
            strong = k % 2 == 0
            self.drums.hit(beat, "side", 120)
            self.drums.hit(beat, "clap", velocity if strong else velocity - 6)
            self.drums.hit(beat, "kick", kick[0] if strong else kick[1])
            if snare and not strong:
                self.drums.hit(beat, "snare", snare)
        if crash:
            self.drums.hit(start, "crash", 96)

    def ticks(self, start, count, velocity=100, kick=(78, 62)):
        """The trio's quiet beat: a side stick and a soft bass drum."""
        for k in range(count):
            beat = start + k
            strong = k % 2 == 0
            self.drums.hit(beat, "side", velocity if strong else velocity - 8)
            self.drums.hit(beat, "kick", kick[0] if strong else kick[1])

    def call_rhythm(self, start, velocity=96):
        """The snare doubling the call: DUM da-da DUM DUM, twice, the run, two strokes."""
        for bar in range(2):
            for offset in (0, 0.5, 0.75, 1.0, 1.5):
                self.drums.hit(start + bar * BAR + offset, "snare",
                               velocity if offset in (0, 1.0) else velocity - 24)
        for sixteenth in range(8):
            self.drums.hit(start + 2 * BAR + sixteenth / 4, "snare", velocity - 30 + 3 * sixteenth)
        self.drums.hit(start + 3 * BAR, "snare", velocity)
        self.drums.hit(start + 3 * BAR + 1, "snare", velocity - 10)

    # -- the pieces of the march
    def pickup(self, at, loud):
        self.tune(self.strings, at, PICKUP, 100 if loud else 90, bar=None)
        self.tune(self.flute, at, PICKUP, 64, octave=1, bar=None)
        if loud:
            self.tune(self.trumpet, at, PICKUP, 90, bar=None)

    def theme(self, start, text, chords, loud):
        if loud:
            self.tune(self.strings, start, text, 104)
            self.tune(self.trumpet, start, text, 96)
            self.tune(self.piccolo, start, text, 80, octave=1)
            self.march(start, chart(chords), 84, trombones=True, timpani=True)
            self.claps(start, STRAIN, 112, kick=(104, 88), snare=84)
        else:
            self.tune(self.strings, start, text, 92)
            self.tune(self.flute, start, text, 70, octave=1)
            self.march(start, chart(chords), 64)
            self.claps(start, STRAIN, 70, kick=(86, 70), crash=False)

    def strain_b(self, start):
        self.tune(self.trumpet, start, STRAIN_B, 104)
        self.tune(self.strings, start, STRAIN_B, 100)
        self.tune(self.piccolo, start, STRAIN_B, 84, octave=1)
        self.tune(self.horn, start, STRAIN_B, 70, octave=-1)
        self.march(start, chart(STRAIN_B_CHORDS), 86, trombones=True, timpani=True)
        self.claps(start, STRAIN, 116, kick=(108, 92), snare=90)

    def call(self, start, text, chords, velocity=100):
        """The call in unison and octaves, the snare with it, the timpani on its bass."""
        for part, octave, loud in ((self.trumpet, 0, velocity), (self.strings, 0, velocity),
                                   (self.horn, -1, velocity - 8), (self.trombone, -1, velocity - 10),
                                   (self.tuba, -2, velocity), (self.piccolo, 1, velocity - 20)):
            self.tune(part, start, text, loud, octave=octave, gate=0.8)
        for bar in range(4):
            self.timpani.note(start + bar * BAR, 0.4, bass_note(chart(chords)[0][0], 33), 104)
        self.call_rhythm(start)
        self.claps(start, 8, 100, kick=(104, 90))

    def trio_c(self, start, text=TRIO_C, loud=False, flute=False):
        velocity = 100 if loud else 86
        self.tune(self.clarinet, start, text, velocity, gate=0.97, accent=4)
        self.tune(self.strings, start, text, velocity + 4, gate=0.97, accent=4)
        self.tune(self.horn, start, TRIO_C_ALTO, velocity - 16, gate=0.97, accent=0)
        if flute or loud:
            self.tune(self.flute, start, text, velocity - 10, octave=1, gate=0.97, accent=4)
        if loud:
            self.tune(self.trumpet, start, text, 90, gate=0.95)
            self.march(start, chart(TRIO_C_CHORDS), 78, trombones=True, timpani=True)
            self.claps(start, STRAIN, 104, kick=(100, 84), snare=76)
        else:
            self.march(start, chart(TRIO_C_CHORDS), 58)
            self.ticks(start, STRAIN)

    def trio_d(self, start, loud=False):
        velocity = 104 if loud else 94
        self.tune(self.horn, start, TRIO_D, velocity, gate=0.95)
        self.tune(self.trumpet, start, TRIO_D, velocity - 6, gate=0.95)
        self.tune(self.strings, start, TRIO_D, velocity - 2, gate=0.95)
        if loud:
            self.tune(self.piccolo, start, TRIO_D, 76, octave=1)
        self.march(start, chart(TRIO_D_CHORDS), 80 if loud else 72, trombones=True, timpani=loud)
        self.claps(start, STRAIN, 108 if loud else 92, kick=(100, 84), snare=80 if loud else 0)


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

    # Lead-in: the snare's roll, swelling into the introduction's call.
    intro = show - 8
    strokes = intro * 8
    for i in range(strokes):
        band.drums.hit(i / 8, "snare", 40 + 60 * i // strokes, length=1 / 8)
    band.drums.hit(0, "kick", 80)
    for k in range(1, intro):
        band.drums.hit(k, "kick", 80).hit(k, "clap", 70).hit(k, "side", 100)
    band.timpani.note(0, intro - 0.05, bass_note("A", 45), 70)
    band.call(intro, CALL_A, CALL_A_CHORDS)

    # Pass 1: theme A piano twice, then strain B and theme A forte.
    band.pickup(show - 0.5, loud=False)
    band.theme(show, THEME_HALF, THEME_HALF_CHORDS, loud=False)
    band.theme(show + STRAIN, THEME_END, THEME_FULL_CHORDS, loud=False)
    band.strain_b(show + 2 * STRAIN)
    band.theme(show + 3 * STRAIN, THEME_END, THEME_FULL_CHORDS, loud=True)

    # Pass 2: strain B and theme A again, the call on E, the trio.
    band.strain_b(second)
    band.theme(second + STRAIN, THEME_END, THEME_FULL_CHORDS, loud=True)
    band.call(second + 2 * STRAIN, CALL_E, CALL_E_CHORDS, velocity=92)
    band.march(trio, chart("A A A E7"), 56)
    band.ticks(trio, 8)
    band.tune(band.clarinet, trio + 7.5, TRIO_PICKUP, 84, bar=None)
    band.tune(band.strings, trio + 7.5, TRIO_PICKUP, 88, bar=None)
    band.trio_c(trio + 8)
    band.trio_c(trio + 8 + STRAIN, flute=True)

    # Passes 3 and 4: trio D, then C; the second time forte.
    band.trio_d(third)
    band.trio_c(third + STRAIN, flute=True)
    band.trio_d(fourth, loud=True)
    band.trio_c(fourth + STRAIN, TRIO_C_LAST, loud=True)

    # Pass 5: da capo: the introduction, theme A twice, strain B, theme A, the call.
    band.call(fifth_pass, CALL_A, CALL_A_CHORDS)
    band.pickup(fifth_pass + 7.5, loud=True)
    band.theme(fifth_pass + 8, THEME_FULL, THEME_FULL_CHORDS, loud=True)
    band.theme(fifth_pass + 8 + STRAIN, THEME_END, THEME_FULL_CHORDS, loud=True)
    band.strain_b(fifth_b)
    band.theme(fifth_b + STRAIN, THEME_END, THEME_FULL_CHORDS, loud=True)
    band.call(fifth_b + 2 * STRAIN, CALL_A, CALL_A_CHORDS)

    # Pass 6: theme A once more, broadened in its last four bars, to the final cadence.
    band.pickup(last - 0.5, loud=True)
    for part, octave, velocity in ((band.strings, 0, 108), (band.trumpet, 0, 100), (band.piccolo, 1, 84),
                                   (band.horn, -1, 80)):
        band.tune(part, last, THEME_END, velocity, octave=octave)
    band.march(last, chart(THEME_FULL_CHORDS)[:7], 88, trombones=True, timpani=True)
    band.claps(last, STRAIN, 116, kick=(108, 92), snare=88)
    cadence = last + 14  # the tonic, on both beats of the eighth bar
    for part, low, velocity in ((band.trumpet, 62, 100), (band.horn, 57, 90), (band.trombone, 50, 92),
                                (band.strings, 62, 96)):
        part.chord(cadence, 0.5, voicing("D", low), velocity)
        part.chord(cadence + 1, 0.4, voicing("D", low), velocity + 6)
    for part, low in ((band.tuba, 38), (band.pizz, 38), (band.timpani, 50)):
        part.note(cadence, 0.5, bass_note("D", low), 100).note(cadence + 1, 0.4, bass_note("D", low), 106)

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
    band.timpani.note(final, 0.6, bass_note("D", 50), 104)
    band.drums.hit(final, "crash", 104).hit(final, "kick", 104).hit(final, "clap", 100).hit(final, "side", 110)
    fade_from = max(final + 1, end - 1.6)
    for part in band.tonal + [band.drums]:
        for i in range(17):
            part.control(fade_from + (end - fade_from) * i / 16, 11, int(127 - 92 * i / 16))
