"""Funiculì, Funiculà (Luigi Denza, 1880): our arrangement for the Funiculì show.

A beat of the show is a dotted quarter of the song's 6/8: a bar takes two beats, an eight-beat
group of the show four bars. In the notation a beat is a quarter, so the song's eighths are
written as triplet eighths (8t), its quarters as 4t, its dotted quarters as 4 and its dotted
halves as 2. The tunes and chords are written in C and sound a tone higher, in D major.

    music beats   show beats                what plays
    0-5           lead-in                   the vamp: oom-pa-pa on the tonic, a run up on G7
    6-13          lead-in                   introduction: "'ncoppa jammo jà, funiculì, funiculà"
    14-45         12-43                     the verse "Aissera, Nanninè ...": its first couplet and its last
    46-77         44-75                     refrain "Jammo, jammo, 'ncoppa jammo jà" (first time)
    78-85         76-83                     interlude: the introduction again
    86-117        84-115, first pass        refrain, trumpet with the violins an octave up
    118-149       84-115, second pass       refrain, tutti, the flute running in eighths around it
    150-155       116-121                   coda: "'ncoppa jammo jà, funiculì, ..."
    156-157       122-123                   "... funiculà" on the tonic, a stab on the dominant
    158-          124-127 and after         the final chord, ringing to the end of the track

Where the show's passes begin comes from the score's labels (the show's beats 12, 84 and 116).
The percussion is a Neapolitan band's: the castanets and the tambourine on the first beat of each
bar, in the refrains the bass drum with them and a cymbal where a phrase begins.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from notation import chord_intervals, chord_notes, play  # noqa: E402

TRACK_MS = 2804 * 1152 * 1000 / 44100  # fun.res: 2804 audio frames
KEY = 2  # written in C, sounds in D
E = 1 / 3  # the song's eighth, in beats
BAR = 2  # beats in a 6/8 bar
BARS = (0, BAR)  # the bar lines: every even beat
MELODY_LINE = ("trumpet", "violins")  # the tune, for the melody check
MELODY_PARTS = ("trumpet", "violins")  # the tune, for its loudness
ACCOMPANIMENT_DB = -8  # dB on the accompaniment's own levels: its balance under the tune
PERCUSSION_DB = 0  # dB on the percussion's own levels: clear on the beats, under the tune

CASTANETS = 85  # General MIDI percussion key

# General MIDI programs (0-based)
TRUMPET, VIOLIN, CLARINET, FLUTE, NYLON_GUITAR, PIZZICATO, ACCORDION, HORN, TUBA, TIMPANI = (
    56, 40, 71, 73, 24, 45, 21, 60, 58, 47)


# ---- the tunes (in C) ------------------------------------------------------------------------

# The verse, as much of Denza's as the show's 32 beats hold: its first couplet on the tonic, the
# line falling an octave to the echoes ("tu saje addò? tu saje addò?"), and its last, which
# climbs to G, the dominant of the refrain. Its pickup is the eighth before.
VERSE_PICKUP = "G4/8t"
VERSE = (
    "C5/2 | ~/4t C5/8t B4/4t B4/8t | G4/4t G4/8t A4/4t A4/8t | E4/4 E4/4 | "
    "~/4t E4/8t D4/4t C4/8t | C4/2 | ~/8t r/8t E4/8t D4/4t C4/8t | C4/4 ~/4t G4/8t | "
    "G4/2 | ~/4t G4/8t A4/4t A4/8t | G4/4t G4/8t A4/4t A4/8t | G4/4 G4/4 | "
    "~/4t D4/8t D4/4t D4/8t | D4/2 | ~/8t r/8t D4/8t D4/4t D4/8t | D4/2"
)
VERSE_CHORDS = "C C C C | C,G7 C C,G7 C | G G,D7 G,D7 G | G,D7 G G,D7 G"
# The clarinet's answer to each couplet's first echo, in the beat the violins hold it.
ECHO = {5: "r/8t E4/8t D4/8t", 13: "r/8t B3/8t A3/8t"}

# The refrain (Denza's, in C here): "Jammo, jammo, 'ncoppa jammo jà" twice over the dominant's
# pedal, "funiculì, funiculà" on one note over the bass falling by semitones, and "'ncoppa jammo
# jà, funiculì, funiculà!" down to the tonic.
REFRAIN = (
    "B4/4 A4/8t r/4t | B4/4 A4/8t r/8t A4/8t | C5/4t B4/8t A4/4t C5/8t | B4/2 | "
    "B4/4 A4/8t r/4t | B4/4 A4/8t r/8t A4/8t | C5/4t B4/8t A4/4t C5/8t | G4/4t E4/8t E4/8t r/8t E4/8t | "
    "E4/4t E4/8t E4/8t r/8t E4/8t | E4/4t E4/8t E4/8t r/8t E4/8t | E4/4t E4/8t E4/8t r/8t E4/8t | C5/2 | "
    "D5/4t C5/8t A4/4t C5/8t | G4/4t E4/8t E4/4t F4/8t | G4/4t F4/8t E4/4t D4/8t | C4/2"
)
# A bar of two chords changes on its second beat; 'X/Y' is X over the bass Y.
REFRAIN_CHORDS = "G/D,D7 G/D,D7 D7 G/D | G/D,D7 G/D,D7 D7 C | Am Caug/G# C/G Am/E | F,Dm C,Am G7 C"

# Its second voice, a third or a sixth below, as Denza's inner voice has it.
REFRAIN_ALTO = (
    "G4/4 F#4/8t r/4t | G4/4 F#4/8t r/8t F#4/8t | A4/4t G4/8t F#4/4t A4/8t | G4/2 | "
    "G4/4 F#4/8t r/4t | G4/4 F#4/8t r/8t F#4/8t | A4/4t G4/8t F#4/4t A4/8t | E4/4t C4/8t C4/8t r/8t C4/8t | "
    "C4/4t C4/8t C4/8t r/8t C4/8t | C4/4t C4/8t C4/8t r/8t C4/8t | C4/4t C4/8t C4/8t r/8t C4/8t | A4/2 | "
    "B4/4t A4/8t F4/4t A4/8t | E4/4t C4/8t C4/4t D4/8t | D4/4t D4/8t C4/4t B3/8t | G3/2"
)


def bars(text, first=0, last=None):
    """Bars first..last-1 of a tune, as a tune."""
    return " | ".join(bar.strip() for bar in text.split("|")[first:last])


def chart(text, first=0, last=None):
    """Bars first..last-1 of a chord chart: a list of (chord of the first beat, of the second)."""
    symbols = text.replace("|", " ").split()[first:last]
    return [tuple(symbol.split(",")) * (2 if "," not in symbol else 1) for symbol in symbols]


# The introduction, the interlude and the coda: the refrain's last line.
TAG, TAG_ALTO, TAG_CHORDS = bars(REFRAIN, 12), bars(REFRAIN_ALTO, 12), chart(REFRAIN_CHORDS, 12)


# ---- chords (sounding pitches) ---------------------------------------------------------------

def voicing(symbol, low, count=3):
    """The lowest `count` tones of the chord at or above `low` (a sounding pitch); 'C/G' is C."""
    return [key + KEY for key in chord_notes(symbol.split("/")[0], low=low - KEY, count=count)]


def bass_note(symbol, low=38):
    """The chord's bass ('C/G': G) at or above `low`."""
    pitch_class, _ = chord_intervals(symbol.split("/")[-1])
    return low + ((pitch_class + KEY) - low) % 12


def fifth(symbol, low=38):
    pitch_class, intervals = chord_intervals(symbol.split("/")[0])
    return low + ((pitch_class + intervals[2] + KEY) - low) % 12


# ---- the arrangement -------------------------------------------------------------------------

class Band:
    def __init__(self, score):
        self.trumpet = score.part("trumpet", TRUMPET)
        self.violin = score.part("violins", VIOLIN)
        self.clarinet = score.part("clarinet", CLARINET)
        self.flute = score.part("flute", FLUTE)
        self.guitar = score.part("guitar", NYLON_GUITAR)
        self.pizz = score.part("pizzicato", PIZZICATO)
        self.accordion = score.part("accordion", ACCORDION)
        self.horn = score.part("horns", HORN)
        self.tuba = score.part("tuba", TUBA)
        self.timpani = score.part("timpani", TIMPANI)
        self.drums = score.drums()
        self.tonal = [self.trumpet, self.violin, self.clarinet, self.flute, self.guitar, self.pizz,
                      self.accordion, self.horn, self.tuba, self.timpani]
        for part, volume, pan in ((self.trumpet, 122, 70), (self.violin, 118, 50), (self.clarinet, 90, 80),
                                  (self.flute, 84, 84), (self.guitar, 84, 40), (self.pizz, 90, 30),
                                  (self.accordion, 62, 90), (self.horn, 78, 60), (self.tuba, 104, 64),
                                  (self.timpani, 100, 64)):
            part.control(0, 7, volume)
            part.control(0, 10, pan)
            part.control(0, 91, 40)
        self.drums.control(0, 7, 110)
        self.drums.control(0, 91, 24)

    def tune(self, part, start, text, velocity=90, octave=0, gate=0.92):
        play(part, start, text, velocity, gate, transpose=KEY, bar=BAR, octave=octave)

    def oompa(self, start, chords, velocity=70, pizz=True, guitar=True, tuba=True):
        """Bass on the beats (the root, then the fifth), chords on the second and third eighths
        of each beat."""
        for n, (first, second) in enumerate(chords):
            bar = start + n * BAR
            if tuba:
                self.tuba.note(bar, 2 * E * 0.9, bass_note(first), velocity + 18)
                self.tuba.note(bar + 1, 2 * E * 0.9,
                               fifth(second) if second == first else bass_note(second), velocity + 8)
            for beat, symbol in ((0, first), (1, second)):
                for eighth in (1, 2):
                    at = bar + beat + eighth * E
                    if pizz:
                        self.pizz.chord(at, 0.8 * E, voicing(symbol, 55), velocity - (6 if eighth == 2 else 0))
                    if guitar:
                        self.guitar.chord(at, 0.9 * E, voicing(symbol, 59), velocity - 4)

    def pads(self, part, start, chords, velocity=60, low=53):
        for n, (first, second) in enumerate(chords):
            if first == second:
                part.chord(start + n * BAR, BAR * 0.98, voicing(first, low), velocity)
            else:
                part.chord(start + n * BAR, 0.98, voicing(first, low), velocity)
                part.chord(start + n * BAR + 1, 0.98, voicing(second, low), velocity)

    def beats(self, start, count, kick=(96, 76), tambourine=84, crash=True):
        """The band's percussion over `count` beats: the castanets and the tambourine on the first
        beat of each bar, the bass drum with them in the loud refrains, a cymbal where the phrase
        begins."""
        loud = kick[0] >= 100
        for k in range(0, count, 2):
            self.beat(start + k, True, kick if loud else (0, 0), tambourine)
        if crash and loud:
            self.drums.hit(start, "crash2", 80, length=1)

    def beat(self, at, strong, kick=(96, 76), tambourine=84, snare=0):
        self.drums.hit(at, CASTANETS, (120 if kick[0] >= 100 else 104) if strong else 96)
        self.drums.hit(at, "tambourine", int(0.5 * (tambourine if strong else tambourine - 12)))
        if kick[0 if strong else 1]:
            self.drums.hit(at, "bassdrum", kick[0] if strong else kick[1])
        if snare:
            self.drums.hit(at, "snare", snare)


def end_beat(score, end_ms):
    """The (fractional) beat at end_ms."""
    k = 0
    while k + 1 < len(score.beat_times) and score.beat_times[k + 1] <= end_ms:
        k += 1
    return k + (end_ms - score.beat_times[k]) / score.beat_length_ms(k)


def compose(score):
    show = score.find(12, 3)
    refrain_a = score.find(84, 3, 0)
    refrain_b = score.find(84, 3, 1)
    coda = score.find(116, 3, 0)
    if None in (show, refrain_a, refrain_b, coda):
        raise ValueError("the beat labels do not show the Funiculì show's passes")
    if show < 8 or (refrain_a - show, refrain_b - refrain_a, coda - refrain_b) != (72, 32, 32):
        raise ValueError(f"unexpected pass layout: show {show}, refrains {refrain_a} {refrain_b}, coda {coda}")
    end = end_beat(score, min(TRACK_MS, score.beat_times[-1]) - 6)
    band = Band(score)
    verse_chords, refrain_chords = chart(VERSE_CHORDS), chart(REFRAIN_CHORDS)

    # Lead-in: the vamp from the track's start, the introduction in its last eight beats.
    intro = show - 8
    vamp_bars = intro // BAR
    band.oompa(0, [("C", "C")] * (vamp_bars - 1) + [("G7", "G7")], velocity=58, guitar=False)
    band.beats(0, intro, kick=(80, 60), tambourine=70)
    play(band.clarinet, intro - BAR, "B4/8t C5 D5 E5 F5 G5", 80, transpose=KEY)
    play(band.flute, intro - BAR, "B5/8t C6 D6 E6 F6 G6", 70, transpose=KEY)
    band.tune(band.trumpet, intro, TAG, 96)
    band.tune(band.violin, intro, TAG, 84, octave=1)
    band.tune(band.horn, intro, TAG_ALTO, 74)
    band.oompa(intro, TAG_CHORDS, velocity=72)
    band.beats(intro, 8, kick=(100, 80), tambourine=92)

    # Verse: the violins with the tune an octave up, the clarinet answering the echoes of each
    # couplet an octave under it, the accordion holding the harmony.
    verse = show
    play(band.violin, verse - E, VERSE_PICKUP, 80, transpose=KEY, octave=1)
    band.tune(band.violin, verse, VERSE, 100, octave=1)
    for n in (5, 13):
        play(band.clarinet, verse + n * BAR + 1, ECHO[n], 74, transpose=KEY)
    band.pads(band.accordion, verse, verse_chords, 52)
    band.oompa(verse, verse_chords, velocity=62, pizz=False)
    band.beats(verse, 32, kick=(98, 80), tambourine=86)

    # Refrain, first time: trumpet and clarinet in thirds, the horns holding the chords.
    first = show + 32
    band.tune(band.trumpet, first, REFRAIN, 98)
    band.tune(band.clarinet, first, REFRAIN_ALTO, 82)
    band.pads(band.horn, first, refrain_chords, 58)
    band.oompa(first, refrain_chords, velocity=72)
    band.beats(first, 32, kick=(104, 84), tambourine=92)

    # Interlude: the introduction again.
    interlude = first + 32
    band.tune(band.violin, interlude, TAG, 88, octave=1)
    band.tune(band.clarinet, interlude, TAG, 84)
    band.tune(band.horn, interlude, TAG_ALTO, 70)
    band.oompa(interlude, TAG_CHORDS, velocity=68)
    band.beats(interlude, 8, kick=(98, 78), tambourine=88)

    # Refrain, second time (the show's first pass through it): the violins an octave up.
    second = refrain_a
    band.tune(band.trumpet, second, REFRAIN, 104)
    band.tune(band.violin, second, REFRAIN, 90, octave=1)
    band.tune(band.clarinet, second, REFRAIN_ALTO, 84)
    band.pads(band.horn, second, refrain_chords, 66)
    band.oompa(second, refrain_chords, velocity=78)
    band.beats(second, 32, kick=(108, 88), tambourine=98)

    # Refrain, third time (the show's second pass): everybody; the flute runs in eighths.
    third = refrain_b
    band.tune(band.trumpet, third, REFRAIN, 110)
    band.tune(band.violin, third, REFRAIN, 96, octave=1)
    band.tune(band.clarinet, third, REFRAIN_ALTO, 88)
    band.tune(band.accordion, third, REFRAIN_ALTO, 70)
    for n, chords in enumerate(refrain_chords):
        for beat, symbol in enumerate(chords):
            low, middle, high = voicing(symbol, 72)
            run = (low, middle, high) if beat == 0 else (low + 12, high, middle)
            for i, key in enumerate(run):
                band.flute.note(third + n * BAR + beat + i * E, E * 0.9, key, 86 if i == 0 else 74)
    band.pads(band.horn, third, refrain_chords, 74)
    band.oompa(third, refrain_chords, velocity=84)
    band.beats(third, 32, kick=(112, 92), tambourine=104)

    # Coda: the last line broadly ...
    band.tune(band.trumpet, coda, bars(TAG, 0, 3), 110)
    band.tune(band.violin, coda, bars(TAG, 0, 3), 96, octave=1)
    band.tune(band.horn, coda, bars(TAG_ALTO, 0, 3), 80)
    band.tune(band.clarinet, coda, bars(TAG_ALTO, 0, 3), 86)
    band.oompa(coda, TAG_CHORDS[:3], velocity=84)
    band.beats(coda, 6, kick=(112, 92), tambourine=104)
    # ... "funiculà" on the tonic, a stab on the dominant ...
    cadence = coda + 6
    band.trumpet.note(cadence, 0.9, voicing("C", 72, 1)[0], 108)
    band.violin.note(cadence, 0.9, voicing("C", 84, 1)[0], 96)
    band.tuba.note(cadence, 0.9, bass_note("C"), 100)
    band.pizz.chord(cadence, 0.5, voicing("C", 55), 84)
    band.beat(cadence, True, kick=(110, 110), tambourine=100)
    stab = cadence + 1
    for part, low in ((band.trumpet, 65), (band.horn, 55), (band.violin, 71), (band.clarinet, 62)):
        part.chord(stab, 0.85, voicing("G7", low), 100)
    band.tuba.note(stab, 0.85, bass_note("G7"), 104)
    band.timpani.note(stab, 0.5, bass_note("G7", 40), 96)
    band.beat(stab, False, kick=(104, 104), tambourine=108)
    # ... and the final chord, held to the end of the track.
    final = cadence + 2
    ring = end - final
    for part, low, velocity in ((band.trumpet, 67, 96), (band.horn, 55, 84), (band.violin, 72, 88),
                                (band.clarinet, 60, 80), (band.accordion, 60, 60), (band.flute, 79, 72)):
        part.chord(final, ring, voicing("C", low), velocity)
    band.trumpet.note(final, ring, voicing("C", 84, 1)[0], 90)
    band.tuba.note(final, ring, bass_note("C"), 96)
    band.guitar.chord(final, ring, voicing("C", 52) + voicing("C", 64), 70)
    band.pizz.chord(final, 1, voicing("C", 48), 72)
    # The show's last four beats under it: timpani and drums, the cymbal on the last.
    for k, symbol in enumerate(["C", "G", "G", "C"]):
        band.timpani.note(final + k, 0.9, bass_note(symbol, 43), 96)
        band.beat(final + k, True, kick=(96, 96), tambourine=92)
        band.drums.hit(final + k, "snare", 80 + 4 * k)
    band.drums.hit(final + 3, "crash", 96)
    # The chord dies away into the end of the track.
    fade_from = max(final + 4, end - 1.2)
    for part in band.tonal + [band.drums]:
        for i in range(13):
            part.control(fade_from + (end - fade_from) * i / 12, 11, int(127 - 87 * i / 12))
    score.balance(MELODY_PARTS, ACCOMPANIMENT_DB, PERCUSSION_DB)
