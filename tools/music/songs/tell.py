"""The William Tell show: the finale of Rossini's overture, our own arrangement of his themes.

The show starts the track on beat 0 and dances its script from beat 41 (the show's beat 12) in
groups of eight beats: five passes of 80 beats (the first has 81, its last beat being the second
pass's first), then a sixth of 68 beats that ends on beat 509, where the figures stop; the track
rings on for about seven beats more. A beat is a quarter note of the finale's 2/4, a bar two beats;
the galop's "da-da DUM" is two sixteenths leading to the eighth on the beat. Every period below is
eight bars, so each begins where the show begins a group. The tunes are Rossini's, in his order
but for repeats, in E major (the minor strain in C sharp minor):

    beats   0-4    the last of the storm: a stroke, the timpani rolling on B under the horns
            5-40   the trumpets' call (Rossini's fanfare), held B, the two sixteenths into the galop
    pass 1  41     galop, low, piano  | 57 galop, tutti | 73 minor strain | 89 again | 105 horn call
    pass 2  121    galop, low         | 137 galop        | 153 second theme (E E E E G#) | 169 its close | 185 minor strain
    pass 3  201    minor strain       | 217 horn call    | 233 galop, low | 249 galop | 265 second theme
    pass 4  281    its close          | 297 the running strain | 313 its run-up | 329 second theme | 345 its close
    pass 5  361    minor strain       | 377 again        | 393 horn call  | 409 galop, low | 425 galop
    pass 6  441    the chromatic descent | 457 the galop's fragments | 473 the run up and the trill
            489    the E major arpeggios falling | 505-508 rising into | 509 the last chord, ringing

Percussion as the finale has it: timpani, bass drum and cymbals on the strong beats of the loud
periods, a triangle in the soft ones, a snare on the accents of the coda.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from notation import chord_notes, fifth, harmony, play, root  # noqa: E402  (puts tools/music on the path)
from beats import track_ms  # noqa: E402

SHOW_START = 41  # the show's beat 12
FINAL = 509  # the show's last beat: the final chord
BARS = (SHOW_START, 2)  # a bar line every two beats from the show's start
MELODY_LINE = ("violins", "trumpets")  # the tune, for the melody check
MELODY_PARTS = ("violins", "trumpets", "flute", "piccolo", "clarinet", "oboe")  # the tune, for its loudness
ACCOMPANIMENT_DB = 0  # dB on the accompaniment's own levels: its balance under the tune
PERCUSSION_DB = 7  # dB on the percussion's own levels: clear on the beats, under the tune

# Each tune is eight bars; "{pk}" is its last eighth, which the next period fills with its pick-up.
GALOP = ("B4/8 B4/16 B4 B4/8 B4/16 B4 | E5/8 F#5 G#5 B4/16 B4 | B4/8 B4/16 B4 E5/8 G#5/16 G#5 | "
         "F#5/8 D#5 B4 B4/16 B4 | B4/8 B4/16 B4 B4/8 B4/16 B4 | E5/8 F#5 G#5 E5/16 G#5 | "
         "B5/4 B5/16 A5 G#5 F#5 | E5/8 G#5 E5 {pk}")
GALOP_CHORDS = "E/2 | E/2 | E/2 | B7/2 | B7/2 | E/2 | B7/2 | E/2"
MINOR = ("G#4/8 G#4/16 G#4 G#4/8 G#4/16 G#4 | G#4/8 C#5 G#4 C#5 | G#4/8 C#5 G#4 F#4 | E4/8 D#4 C#4 G#4/16 G#4 | "
         "G#4/8 G#4/16 G#4 G#4/8 G#4/16 G#4 | G#4/8 C#5 G#4 C#5 | G#4/8 C#5 B4 A#4 | B4/8 A#4 B4 {pk}")
MINOR2 = MINOR.replace("B4/8 A#4 B4 {pk}", "B4/8 B3/16 B3 B3/8 {pk}")
MINOR_CHORDS = "C#m/2 | C#m/2 | G#7/2 | C#m/2 | C#m/2 | C#m/2 | F#7/2 | B/2"
CALL = ("F#4/8 F#4/16 F#4 F#4/8 G#4 | A4/8 F#4/4 A4/8 | G#4/8 E4/4 G#4/8 | F#4/8 F#4 F#4 F#5/16 F#5 | "
        "F#5/8 F#5/16 F#5 F#5/8 G#5 | A5/8 F#5/4 A5/8 | G#5/8 E5/4 G#5/8 | F#5/8 B4/16 B4 B4/8 {pk}")
CALL_CHORDS = "B7/2 | B7/2 | E/2 | B7/2 | B7/2 | B7/2 | E/2 | B7/2"
SECOND = ("E5/8 E5/16 E5 E5/8 E5 | G#5/4 G#5/8 F#5 | E5/8 D#5 E5 C#5 | B4/16 C#5 B4 C#5 B4 C#5 D#5 E5 | "
          "A4/16 B4 A4 B4 A4 B4 C#5 D#5 | G#4/16 A4 G#4 A4 G#4 A4 B4 C#5 | F#4/16 G#4 F#4 G#4 F#4 G#4 F#4 G#4 | "
          "F#4/16 G#4 F#4 D#4 B3 B4 C#5 D#5")
SECOND_CLOSE = ("E5/8 E5/16 E5 E5/8 E5 | G#5/4 G#5/8 F#5 | E5/8 D#5 E5 C#5 | B4/16 C#5 B4 C#5 B4 C#5 D#5 E5 | "
                "A4/16 B4 A4 B4 A4 B4 C#5 D#5 | G#4/16 A4 G#4 A4 G#4 A4 B4 C#5 | "
                "F#4/16 G#4 F#4 G#4 F#4 A4 G#4 F#4 | E4/8 B3 E4 {pk}")
SECOND_CHORDS = "E/2 | E/2 | A/2 | E/2 | B7/2 | E/2 | B7/2 | B7/2"
SECOND_CLOSE_CHORDS = "E/2 | E/2 | A/2 | E/2 | B7/2 | E/2 | B7/2 | E/2"
RUNNING = ("E4/16 B3 A#3 B3 E4 B3 F#4 B3 | G#4/16 E4 D#4 E4 G#4 E4 A4 F#4 | B4/16 G#4 F#4 E4 D#4 F#4 E4 C#4 | "
           "B3/16 C#4 B3 C#4 D#4 E4 F#4 G#4 | A3/16 B3 A3 B3 C#4 D#4 E4 F#4 | G#3/16 A3 G#3 A3 B#3 C#4 D#4 E4 | "
           "F#3/16 G#3 F#3 G#3 F#3 G#3 F#3 G#3 | F#3/16 G#3 F#3 D#3 B2 B#2 C#3 D#3")
RUNNING_UP = RUNNING.rsplit("|", 2)[0] + "| F#3/16 C#4 B#3 C#4 D#4 C#4 A3 F#3 | E3/16 E4 F#4 G#4 A4 B4 C#5 D#5"
RUNNING_CHORDS = "E/2 | E/2 | B7/2 | E/2 | B7/2 | C#m/2 | B7/2 | B7/2"
RUNNING_UP_CHORDS = "E/2 | E/2 | B7/2 | E/2 | B7/2 | C#m/2 | B7/2 | E/2"
# Pass 6: the chromatic sequence falling into the galop's fragments, the run up, the arpeggios.
DESCENT = ("G#5/16 G#4 G#5 G#4 G#5 G#4 G#5 G#4 | G#5/8 F5 C#5 F5 | A#5/16 A#4 A#5 A#4 A#5 A#4 A#5 A#4 | "
           "A#5/8 G5 E5 G5 | B5/8 A#5/16 r A5 r G#5 r | r/16 F#5 r E5 r D#5 r C#5 | r/16 B4 r A#4 r A4 r G#4 | "
           "r/16 F#4 r E4 r D#4 r F#4")
DESCENT_CHORDS = "C#7/2 | C#7/2 | D#7/2 | D#7/2 | E/2 | B7/2 | B7/2 | B7/2"
FRAGMENTS = ("E4/16 D#4 E4 D#4 E4/8 B4/16 B4 | B4/8 B4/16 B4 B4/8 B4/16 B4 | E5/8 F#5 G#5 B4/16 B4 | "
             "B4/8 B4/16 B4 B4/8 B4/16 B4 | G#5/8 A5 B5 r/8 | E5/8 F#5 G#5 r/8 | G#4/8 A4 B4 r/8 | "
             "B3/16 C4 C#4 D4 D#4 E4 F4 F#4")
FRAGMENTS_CHORDS = "E/2 | E/2 | E/2 | E/2 | E/2 | E/2 | E/2 | B7/2"
TRILL = ("G4/16 G#4 A4 A#4 B4 C5 C#5 D#5 | E5/16 D#5 F#5 D#5 E5 D#5 F#5 D#5 | E5/16 D#5 F#5 D#5 E5 D#5 F#5 D#5 | "
         "E5/16 D#5 F#5 D#5 E5 D#5 F#5 D#5 | E5/16 D#5 F#5 D#5 E5 D#5 F#5 D#5 | E5/8 E5/16 E4 E5 E4 E5 E4 | "
         "E5/8 B4/16 B3 B4 B3 B4 B3 | B4/8 G#4/16 G#3 G#4 G#3 G#4 G#3")
TRILL_CHORDS = "B7/2 | E/2 | B7/2 | E/2 | B7/2 | E/2 | E/2 | E/2"
ARPEGGIOS = ("G#4/8 E4/16 E3 E4 E3 E4 E3 | E4/8 E4/16 E4 E4/8 E4 | E4/8 B3/16 B3 B3/8 B3 | "
             "B3/8 G#3/16 G#3 G#3/8 G#3 | G#3/8 E3/16 E3 E3/8 E3 | E3/8 B2 E3 B2 | G#3/8 E3 B3 G#3 | "
             "E4/8 B3 E4 B3")
ARPEGGIOS_CHORDS = "E/2 | E/2 | E/2 | E/2 | E/2 | E/2 | E/2 | E/2"
TAG = "G#4/8 E4 B4 G#4 | E5/8 r/8 r/4"  # bar 2's first beat is the final chord (beat 509)

# The introduction: Rossini's call, after a stroke and the timpani's roll.
FANFARE = ("B4/4 r/8 B4/16 B4 | B4/4 r/8 B4/16 B4 | B4/8 G#4 E4 G#4 | B4/8 G#4 B4 E5 | B4/8 G#4 E4 G#4 | "
           "B4/8 G#4 B4 E5 | B4/4 r/8 B4/16 B4 | B4/4 r/8 B4/16 B4 | B4/4 r/8 B4/16 B4 | B4/4 r/8 B4/16 B4 | "
           "B4/8 B4/16 B4 B4/8 B4 | B4/8 B4/16 B4 B4/8 B4 | B4/8 B4/16 B4 B4/8 B4 | B4/8 B4/16 B4 B4/8 B4 | "
           "B4/2 | B4/2 | B4/8 r/8 r/4 | r/4 r/8 {pk}")
FANFARE_CHORDS = ("E/2 | E/2 | E/2 | E/2 | E/2 | E/2 | E/2 | E/2 | E/2 | E/2 | B7/2 | B7/2 | B7/2 | B7/2 | "
                  "B7/2 | B7/2 | B7/2 | B7/2")

GALOP_PK, MINOR_PK, CALL_PK, RUN_PK = "B4/16 B4", "G#4/16 G#4", "F#4/16 F#4", "B4/16 D#5"
LOW = -12  # the galop's first statement, an octave down

# The periods from beat 41: (tune, harmony, level, who, transposition, pick-up of the next one).
PERIODS = [
    (GALOP, GALOP_CHORDS, "p", "strings", LOW, GALOP_PK),
    (GALOP, GALOP_CHORDS, "f", "tutti", 0, MINOR_PK),
    (MINOR, MINOR_CHORDS, "mf", "oboe", 0, MINOR_PK),
    (MINOR2, MINOR_CHORDS, "f", "tutti", 0, CALL_PK),
    (CALL, CALL_CHORDS, "f", "call", 0, GALOP_PK),
    # pass 2
    (GALOP, GALOP_CHORDS, "mf", "strings", LOW, GALOP_PK),
    (GALOP, GALOP_CHORDS, "ff", "tutti", 0, RUN_PK),
    (SECOND, SECOND_CHORDS, "f", "tutti", 0, None),
    (SECOND_CLOSE, SECOND_CLOSE_CHORDS, "ff", "tutti", 0, MINOR_PK),
    (MINOR, MINOR_CHORDS, "mf", "oboe", 0, MINOR_PK),
    # pass 3
    (MINOR2, MINOR_CHORDS, "f", "tutti", 0, CALL_PK),
    (CALL, CALL_CHORDS, "f", "call", 0, GALOP_PK),
    (GALOP, GALOP_CHORDS, "mf", "strings", LOW, GALOP_PK),
    (GALOP, GALOP_CHORDS, "ff", "tutti", 0, RUN_PK),
    (SECOND, SECOND_CHORDS, "f", "tutti", 0, None),
    # pass 4
    (SECOND_CLOSE, SECOND_CLOSE_CHORDS, "ff", "tutti", 0, "r/8"),
    (RUNNING, RUNNING_CHORDS, "mf", "running", 12, None),
    (RUNNING_UP, RUNNING_UP_CHORDS, "f", "running", 12, None),
    (SECOND, SECOND_CHORDS, "ff", "tutti", 0, None),
    (SECOND_CLOSE, SECOND_CLOSE_CHORDS, "ff", "tutti", 0, MINOR_PK),
    # pass 5
    (MINOR, MINOR_CHORDS, "mf", "oboe", 0, MINOR_PK),
    (MINOR2, MINOR_CHORDS, "f", "tutti", 0, CALL_PK),
    (CALL, CALL_CHORDS, "f", "call", 0, GALOP_PK),
    (GALOP, GALOP_CHORDS, "f", "strings", LOW, GALOP_PK),
    (GALOP, GALOP_CHORDS, "ff", "tutti", 0, "r/8"),
    # pass 6
    (DESCENT, DESCENT_CHORDS, "ff", "tutti", 0, None),
    (FRAGMENTS, FRAGMENTS_CHORDS, "ff", "tutti", 0, None),
    (TRILL, TRILL_CHORDS, "ff", "tutti", 0, None),
    (ARPEGGIOS, ARPEGGIOS_CHORDS, "ff", "tutti", 12, None),  # an octave up: the falling arpeggios stay in front
]
DYNAMICS = {"p": 0.62, "mf": 0.76, "f": 0.88, "ff": 1.0}


class Band:
    def __init__(self, score):
        self.score = score
        self.violins = score.part("violins", 48)
        self.strings = score.part("violas", 48)
        self.pizz = score.part("pizzicato", 45)
        self.basses = score.part("contrabass", 43)
        self.tuba = score.part("tuba", 58)
        self.trumpet = score.part("trumpets", 56)
        self.horns = score.part("horns", 60)
        self.trombones = score.part("trombones", 57)
        self.piccolo = score.part("piccolo", 72)
        self.flute = score.part("flute", 73)
        self.clarinet = score.part("clarinet", 71)
        self.oboe = score.part("oboe", 68)
        self.timpani = score.part("timpani", 47)
        self.drums = score.drums()
        pans = {"violins": 44, "violas": 78, "pizzicato": 70, "contrabass": 84, "tuba": 72, "trumpets": 58,
                "horns": 40, "trombones": 84, "piccolo": 52, "flute": 50, "clarinet": 60, "oboe": 66,
                "timpani": 64}
        volumes = {"violins": 110, "trumpets": 100, "flute": 96, "piccolo": 88, "clarinet": 100, "oboe": 100,
                   "violas": 76, "pizzicato": 84, "contrabass": 84, "tuba": 80, "horns": 70, "trombones": 72,
                   "timpani": 96}
        for part in score.parts:
            if part.name in pans:
                part.control(0, 10, pans[part.name])
            part.control(0, 91, 38)
            part.control(0, 7, volumes.get(part.name, 100))
            part.control(0, 11, 127)


def per_beat(chords):
    """For every beat of a harmony: (symbol, how many beats the chord has already lasted)."""
    beats = []
    for _, length, symbol in chords:
        for k in range(int(length)):
            beats.append((symbol, k))
    return beats


def accompany(band, at, chord_text, level, gallop=True):
    """Bass on the beats, the chord after them, and in the loud periods the horns' gallop."""
    loud = DYNAMICS[level]
    for k, (symbol, nth) in enumerate(per_beat(harmony(chord_text, bar=2))):
        beat = at + k
        bass = root(symbol, 2) if nth % 2 == 0 else fifth(symbol, 1)
        band.pizz.note(beat, 0.4, bass + 12, int(80 * loud))
        band.basses.note(beat, 0.45, bass, int(84 * loud))
        if level in ("f", "ff"):
            band.tuba.note(beat, 0.45, bass, int(84 * loud))
        band.strings.chord(beat + 0.5, 0.35, chord_notes(symbol, low="G#3", count=3), int(66 * loud))
        if level in ("f", "ff"):
            band.trombones.chord(beat + 0.5, 0.3, chord_notes(symbol, low="D3", count=3), int(64 * loud))
            if gallop:
                horn = chord_notes(symbol, low="E4", count=2)
                for offset, size in ((0.5, 0.2), (0.75, 0.2)):
                    band.horns.chord(beat + offset, size, horn, int(58 * loud))
        if level in ("f", "ff") and k % 2 == 0:
            timp = root(symbol, 2)
            band.timpani.note(beat, 0.5, timp + 12 if timp < 38 else timp, int(96 * loud))


def percussion(band, at, beats, level, accents=False):
    """The orchestra's percussion: in the loud periods the bass drum with the cymbals on the first
    beat of each bar (the cymbals' crash at the period's start), in the soft ones the triangle."""
    loud = DYNAMICS[level]
    drums = band.drums
    for k in range(0, beats, 2):
        beat = at + k
        if level in ("f", "ff"):
            drums.hit(beat, "bassdrum", int(104 * loud))
            drums.hit(beat, "crash2" if k == 0 else "splash", int((84 if k == 0 else 54) * loud), length=1)
            if accents:
                drums.hit(beat + 1, "snare", int(96 * loud))
        else:
            drums.hit(beat, "triangle", int(70 * loud))


def lead(band, at, melody, level, who, transpose=0, bar=2):
    loud = DYNAMICS[level]
    v = lambda base: int(base * loud)  # noqa: E731
    t = transpose
    if who == "strings":
        play(band.violins, at, melody, v(118), gate=0.85, bar=bar, transpose=t)
        play(band.clarinet, at, melody, v(92), gate=0.8, transpose=t)
        if level != "p":
            play(band.flute, at, melody, v(88), gate=0.8, octave=1, transpose=t)
    elif who == "tutti":
        play(band.violins, at, melody, v(116), gate=0.85, bar=bar, transpose=t)
        play(band.trumpet, at, melody, v(104), gate=0.8, ceiling="D6", transpose=t)
        play(band.piccolo, at, melody, v(84), gate=0.8, octave=1, transpose=t)
        play(band.flute, at, melody, v(90), gate=0.8, transpose=t)
    elif who == "oboe":
        play(band.violins, at, melody, v(112), gate=0.85, bar=bar, transpose=t)
        play(band.oboe, at, melody, v(100), gate=0.85, octave=1, transpose=t)
    elif who == "call":
        play(band.trumpet, at, melody, v(112), gate=0.85, bar=bar, transpose=t)
        play(band.violins, at, melody, v(100), gate=0.85, transpose=t)
        play(band.clarinet, at, melody, v(84), gate=0.85, transpose=t)
    elif who == "running":
        play(band.violins, at, melody, v(118), gate=0.9, bar=bar, transpose=t)
        play(band.flute, at, melody, v(90), gate=0.9, octave=1, transpose=t)
        play(band.clarinet, at, melody, v(84), gate=0.9, transpose=t)


def introduction(band):
    """Beats 0 to 40: what the show dances to before its script starts."""
    d = band.drums
    # The storm's last stroke and the timpani rolling on B under the horns.
    band.timpani.note(0, 0.9, "E2", 108)
    d.hit(0, "bassdrum", 110).hit(0, "crash", 96, length=2)
    for part, notes in ((band.strings, ["E3", "G#3", "B3"]), (band.trombones, ["E3", "B3"]),
                        (band.basses, ["E2"]), (band.tuba, ["E2"])):
        part.chord(0, 0.9, notes, 100)
    band.horns.chord(1, 3.8, ["B3", "B4"], 56)
    for k in range(16):
        band.timpani.note(1 + k * 0.25, 0.25, "B2", 44 + 3 * k)
    # The trumpets' call, from beat 5, over held chords; the held B hands over to the galop.
    play(band.trumpet, 5, FANFARE.replace("{pk}", "r/8"), 104, gate=0.88, bar=2)
    play(band.horns, 5, FANFARE.replace("{pk}", "r/8"), 72, gate=0.88, octave=-1)
    for beat, size, symbol in harmony(FANFARE_CHORDS, bar=2):
        band.strings.chord(5 + beat, size * 0.96, chord_notes(symbol, "E3", 3), 50)
        band.basses.note(5 + beat, size * 0.96, root(symbol, 2), 60)
    for bar in range(0, 28, 2):
        band.timpani.note(5 + bar, 0.4, "E2" if bar < 20 else "B2", 78)
        d.hit(5 + bar, "triangle", 60)
    for k in range(16):  # the roll under the held B
        band.timpani.note(33 + k * 0.25, 0.25, "B2", 48 + 2 * k)
    # The two sixteenths into the galop.
    lead(band, 40.5, GALOP_PK, "p", "strings", LOW, bar=None)


def ending(band, score, end_ms):
    """The rise on beats 505 to 508 and the final chord on beat 509 until the track ends."""
    at = FINAL - 4
    lead(band, at, TAG, "ff", "tutti")
    accompany(band, at, "E/2 | E/2", "ff")
    percussion(band, at, 4, "ff", accents=True)
    stop = beat_at(score, end_ms - 300)
    size = stop - FINAL
    tones = {"violins": ["E5", "G#5", "B5", "E6"], "violas": ["B3", "E4", "G#4"], "contrabass": ["E2"],
             "horns": ["E4", "G#4", "B4"], "trombones": ["E3", "B3", "G#3"], "tuba": ["E2"],
             "trumpets": ["E5", "B4"], "flute": ["E6", "B5"], "piccolo": ["E6"], "clarinet": ["G#5"],
             "oboe": ["B5"]}
    for part in score.parts:
        if part.name in tones:
            part.chord(FINAL, size, tones[part.name], 112)
            for step in range(1, 11):  # a fade over the held chord, from its second beat on
                part.control(FINAL + 1 + (size - 1.5) * step / 10, 11, int(127 - 7 * step))
    band.timpani.note(FINAL, 0.9, "E2", 120)
    band.pizz.chord(FINAL, 0.5, ["E2", "E3"], 115)
    band.drums.hit(FINAL, "bassdrum", 124)
    band.drums.hit(FINAL, "crash", 120, length=2)
    band.drums.hit(FINAL, "crash2", 100, length=2)


def beat_at(score, ms):
    """The (fractional) beat at a time in ms."""
    k = 0
    while score.time_ms(k + 1) <= ms:
        k += 1
    return k + (ms - score.time_ms(k)) / score.beat_length_ms(k)


def compose(score, end_ms=None):
    """Fills the score for the whole track; end_ms defaults to the track's exact length."""
    end_ms = float(track_ms("tell")) if end_ms is None else end_ms
    band = Band(score)
    if score.labels and score.find(12, 3) not in (None, SHOW_START):
        raise ValueError(f"the show starts at beat {score.find(12, 3)}, the arrangement at {SHOW_START}")
    introduction(band)
    at = SHOW_START
    for n, (melody, chords, level, who, transpose, pickup) in enumerate(PERIODS):
        tune = melody.replace("{pk}", "r/8")
        lead(band, at, tune, level, who, transpose)
        if pickup not in (None, "r/8"):
            nxt = PERIODS[n + 1]
            lead(band, at + 15.5, pickup, nxt[2], nxt[3], nxt[4], bar=None)
        accompany(band, at, chords, level)
        percussion(band, at, 16, level, accents=n >= len(PERIODS) - 4)
        at += 16
    assert at == FINAL - 4, at
    ending(band, score, end_ms)
    score.balance(MELODY_PARTS, ACCOMPANIMENT_DB, PERCUSSION_DB)
    return score
