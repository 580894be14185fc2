"""The Heaven and Hell show: Offenbach's Galop infernal (the can-can), our own arrangement.

The show starts the track on beat 0 and dances its script from beat 35 (the show's beat 12) in
groups of eight beats, but its four passes jump about (76, 81, 76 and 77 beats), so two of its
groups are four beats long and one is five. The music follows the first show (mode 0); the
second show (ver. 2) plays the same track on a tempo map a few tens of ms away. A beat is a
quarter note, a 2/4 bar two beats, so the can-can's 16-bar strain takes four groups:

    beats   0-2    a tutti chord and a run up
            3-18   the introduction: trumpets' call on tonic and dominant
            19-26  the dominant, hammered
            27-34  the oom-pah vamp alone
    pass 1  35-66   the can-can (A), strings and piccolo
            67-98   the can-can again, tutti
            99-110  codetta, and a run into F major (the show's half group 84-87)
    pass 2  111-142 the second strain (B) in F major, clarinet and oboe
            143-174 the second strain tutti
            175-190 back to the dominant of C on the can-can's "D F E D" figure
            191-194 a run down into the theme (the show's half group 92, 17-19)
    pass 3  195-226 the can-can, tutti
            227-258 the can-can with the horns' counter-melody
            259-266 codetta
            267-271 the five-beat break (the show's 92, 16-19): hammered dominant and a run up
    pass 4  272-303 the fast ending: running quavers and semiquavers on I-V
            304-335 the can-can a last time, everyone
            336-343 the final cadence
            344     the last C major chord, ringing to the end of the track

Key C major, the second strain in F. The percussion is the orchestra's: the bass drum on the first
beat of each bar, with the cymbals in the loud strains, the snare on every beat of the hammered
passages and of the fast ending, the triangle in the soft strains.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from notation import chord_notes, fifth, harmony, play, root  # noqa: E402  (puts tools/music on the path)
from beats import track_ms  # noqa: E402

SHOW_START = 35  # the show's beat 12
FINAL = 344  # the show's last beat (92 of pass 4): the final chord
BARS = (SHOW_START, 2)  # a bar line every two beats from the show's start
MELODY_LINE = ("violins",)  # the tune, for the melody check
MELODY_PARTS = ("violins", "oboe", "piccolo", "trumpets", "flute", "glockenspiel", "clarinet")  # its loudness
ACCOMPANIMENT_DB = -8  # dB on the accompaniment's own levels: its balance under the tune
PERCUSSION_DB = 1  # dB on the percussion's own levels: clear on the beats, under the tune

# The can-can.
A = ("C5/2 | D5/8 F5 E5 D5 | G5/4 G5 | G5/8 A5 E5 F5 | D5/4 D5 | D5/8 F5 E5 D5 | C5/8 C6 B5 A5 | G5/8 F5 E5 D5 | "
     "C5/2 | D5/8 F5 E5 D5 | G5/4 G5 | G5/8 A5 E5 F5 | D5/4 D5 | D5/8 F5 E5 D5 | C5/8 G5 D5 E5 | C5/4 G4/4")
A_CHORDS = ("C/2 | G7/2 | C/2 | C/2 | G7/2 | G7/2 | C/4 G7/4 | G7/2 | "
            "C/2 | G7/2 | C/2 | C/2 | G7/2 | G7/2 | C/4 G7/4 | C/2")
# The horns' counter-melody to it, in long notes.
A_COUNTER = ("E4/2 | F4/2 | E4/2 | G4/2 | F4/2 | D4/2 | E4/4 D4/4 | F4/2 | "
             "E4/2 | F4/2 | E4/2 | G4/2 | F4/2 | D4/2 | E4/4 F4/4 | E4/2")
A_COUNTER_CHORDS = A_CHORDS

# The second strain, in F major: Offenbach's strain between the can-can's statements, eight bars
# to the dominant's dominant and the same eight closing on the tonic.
B = ("C5/8 G5 G5 A5 | G5/8 F5 F5 A5 | Bb5/8 D6 F6 D6 | D6/8 C6 C6/4 | D6/8 E5 E5 D6 | C6/8 F5 F5 A5 | "
     "A5/8 G5 A5 G5 | A5/8 G5 A5 G5 | C5/8 G5 G5 A5 | G5/8 F5 F5 A5 | Bb5/8 D6 F6 D6 | D6/8 C6 C6/4 | "
     "D6/8 E5 E5 D6 | C6/8 F5 F5 A5 | A5/8 G5 A5 G5 | G5/8 F5 F5/4")
B_CHORDS = ("C7/2 | F/2 | Bb/2 | F/2 | C7/2 | F/2 | G7/2 | C7/2 | "
            "C7/2 | F/2 | Bb/2 | F/2 | C7/2 | F/2 | C7/2 | F/2")

# Back to C: the "D F E D" figure climbing over the dominant, then a run down into the theme.
RETURN = ("D5/8 F5 E5 D5 | G5/8 F5 E5 D5 | D5/8 F5 E5 D5 | G5/8 F5 E5 D5 | "
          "F5/8 A5 G5 F5 | B5/8 A5 G5 F5 | F5/8 A5 G5 F5 | B5/8 A5 G5 F5")
RETURN_CHORDS = "G7/2 | G7/2 | G7/2 | G7/2 | G7/2 | G7/2 | G7/2 | G7/2"
RUN_DOWN = "G5/16 A5 B5 C6 D6 E6 F6 D6 | B5/8> G5> F5> D5>"
RUN_DOWN_CHORDS = "G7/2 | G7/2"

# Codettas: the tonic hammered, then (after pass 1) a run up into F.
CODETTA = "C6/8> G5 E5 G5 | C6/4> G5/4 | C6/8> G5 E5 G5 | C6/4> r/4"
CODETTA_CHORDS = "C/2 | C/4 G7/4 | C/2 | C/2"
TO_F = "C5/16 D5 E5 F5 G5 A5 Bb5 C6 | C6/8> r/8 C6/8> r/8"
TO_F_CHORDS = "C7/2 | C7/2"
# The five-beat break before the fast ending.
BREAK = "G5/4> F5/4> D5/4> | G4/16 A4 B4 C5 D5 E5 F5 D5"
BREAK_CHORDS = "G7/4 G7/4 G7/4 | G7/2"

# The fast ending.
STRETTA = ("E5/8> G5 C6 G5 | E5/8 G5 C6 G5 | F5/8> G5 B5 G5 | F5/8 G5 B5 G5 | E5/8> G5 C6 G5 | E6/8 D6 C6 B5 | "
           "A5/8 C6 F6 A5 | G5/8 B5 D6 G5 | E5/16 F5 G5 A5 G5 F5 E5 D5 | C5/16 D5 E5 F5 G5 A5 B5 C6 | "
           "D6/16 C6 B5 A5 G5 F5 E5 D5 | B4/16 C5 D5 E5 F5 G5 A5 B5 | C6/8> E6 G6 E6 | F6/8 D6 B5 G5 | "
           "C6/8> G5 E5 G5 | C6/4> r/4")
STRETTA_CHORDS = ("C/2 | C/2 | G7/2 | G7/2 | C/2 | C/2 | F/2 | G7/2 | "
                  "C/2 | C/2 | G7/2 | G7/2 | C/2 | G7/2 | C/2 | C/2")
CADENCE = "C6/8> r/8 G5/8> r/8 | C6/8> r/8 G5/8> r/8 | C6/8 G5 E5 G5 | C5/8 G5 D5 E5"
CADENCE_CHORDS = "C/4 G7/4 | C/4 G7/4 | C/2 | C/4 G7/4"

# The introduction.
FLOURISH = "C5+E5+G5/4> | G4/16 A4 B4 C5 D5 E5 F5 F#5"
FLOURISH_CHORDS = "C/4 | G7/2"
CALL = ("G5/8> G5 G5 G5 | C6/4> G5/4 | A5/8 G5 F5 E5 | D5/4 G4/4 | "
        "G5/8> G5 G5 G5 | C6/4> E6/4 | D6/8 C6 B5 A5 | G5/4> r/4")
CALL_CHORDS = "C/2 | C/2 | F/2 | G7/2 | C/2 | C/2 | G7/2 | G7/2"
HAMMER = "G5/16 A5 B5 C6 D6 C6 B5 A5 | G5/16 A5 B5 C6 D6 C6 B5 A5 | G5/8> r/8 G5/8> r/8 | G5/4> r/4"
HAMMER_CHORDS = "G7/2 | G7/2 | G7/2 | G7/2"
VAMP_CHORDS = "C/2 | C/2 | C/2 | C/2"

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
        self.horns2 = score.part("horns 2", 60)  # the counter-melodies, apart from the horns' chords
        self.trombones = score.part("trombones", 57)
        self.piccolo = score.part("piccolo", 72)
        self.flute = score.part("flute", 73)
        self.clarinet = score.part("clarinet", 71)
        self.oboe = score.part("oboe", 68)
        self.glock = score.part("glockenspiel", 9)
        self.timpani = score.part("timpani", 47)
        self.drums = score.drums()
        pans = {"violins": 38, "violas": 80, "pizzicato": 70, "contrabass": 84, "tuba": 72, "trumpets": 58,
                "horns": 44, "horns 2": 90, "trombones": 80, "piccolo": 52, "flute": 48, "clarinet": 60, "oboe": 66,
                "glockenspiel": 56, "timpani": 64}
        for part in score.parts:
            if part.name in pans:
                part.control(0, 10, pans[part.name])
            part.control(0, 91, 36)
            part.control(0, 7, 120 if part.channel == 9 else 96)  # the drums mark the beat: in front
            part.control(0, 11, 127)


def per_beat(chords):
    """For every beat of a harmony: (symbol, how many beats the chord has already lasted)."""
    beats = []
    for _, length, symbol in chords:
        for k in range(int(length)):
            beats.append((symbol, k))
    return beats


def oompah(band, at, chord_text, level):
    """The can-can's accompaniment: bass on the beat (root, then fifth), the chord after it."""
    loud = DYNAMICS[level]
    for k, (symbol, nth) in enumerate(per_beat(harmony(chord_text))):
        beat = at + k
        bass = root(symbol, 2) if nth % 2 == 0 else fifth(symbol, 1)
        if bass > 45:
            bass -= 12
        band.pizz.note(beat, 0.4, bass + 12, int(88 * loud))
        band.basses.note(beat, 0.42, bass, int(92 * loud))
        if level in ("f", "ff"):
            band.tuba.note(beat, 0.42, bass, int(100 * loud))
        band.strings.chord(beat + 0.5, 0.35, chord_notes(symbol, low="G3", count=3), int(82 * loud))
        if level in ("f", "ff"):
            band.trombones.chord(beat + 0.5, 0.3, chord_notes(symbol, low="C3", count=3), int(84 * loud))
            band.horns.chord(beat + 0.5, 0.3, chord_notes(symbol, low="E4", count=2), int(70 * loud))
        if level == "ff" and k % 2 == 0:
            timp = root(symbol, 2)
            band.timpani.note(beat, 0.45, timp if timp <= 43 else timp - 12, int(98 * loud))


def percussion(band, at, beats, level, crash_every=8, accents=False):
    """The bass drum on the first beat of each bar (the cymbals with it when loud, a crash every
    `crash_every` beats), the triangle instead when soft; the snare on every beat of a hammered
    passage (`accents`)."""
    loud = DYNAMICS[level]
    drums = band.drums
    for k in range(beats):
        beat = at + k
        if accents:
            drums.hit(beat, "snare", int(100 * loud))
        if k % 2:
            continue
        if level in ("f", "ff"):
            drums.hit(beat, "bassdrum", int(108 * loud))
            drums.hit(beat, "splash", int(50 * loud), length=1)
        else:
            drums.hit(beat, "triangle", int(72 * loud))
        if crash_every and k % crash_every == 0 and level in ("f", "ff"):
            drums.hit(beat, "crash2", int(80 * loud), length=1)


def lead(band, at, melody, level, who, bar=2):
    loud = DYNAMICS[level]
    v = lambda base: int(base * loud)  # noqa: E731
    if who == "strings":
        play(band.violins, at, melody, v(120), gate=0.85, bar=bar)
        play(band.oboe, at, melody, v(96), gate=0.8)
        play(band.piccolo, at, melody, v(80), gate=0.8, octave=1)
    elif who == "tutti":
        play(band.violins, at, melody, v(108), gate=0.85, bar=bar)
        play(band.trumpet, at, melody, v(98), gate=0.8, ceiling="D6")
        play(band.piccolo, at, melody, v(80), gate=0.8, octave=1)
        play(band.flute, at, melody, v(78), gate=0.8)
        play(band.glock, at, melody, v(60), gate=0.5, octave=1)
    elif who == "winds":
        play(band.clarinet, at, melody, v(100), gate=0.9, bar=bar, octave=-1)
        play(band.oboe, at, melody, v(88), gate=0.9)
        play(band.violins, at, melody, v(70), gate=0.85)
    elif who == "trumpets":
        play(band.trumpet, at, melody, v(104), gate=0.85, bar=bar, ceiling="D6")
        play(band.violins, at, melody, v(84), gate=0.85)
    elif who == "low":
        play(band.violins, at, melody, v(100), gate=0.85, bar=bar)
        play(band.clarinet, at, melody, v(84), gate=0.85, octave=-1)
        play(band.horns2, at, melody, v(80), gate=0.85, octave=-1)


def strain(band, at, melody, chords, level, who, bar=2, crash_every=8, accents=False):
    """A phrase: its tune, the oom-pah under it and the drums; returns the beat after it."""
    lead(band, at, melody, level, who, bar)
    oompah(band, at, chords, level)
    beats = int(sum(length for _, length, _ in harmony(chords)))
    percussion(band, at, beats, level, crash_every, accents)
    return at + beats


def introduction(band):
    """Beats 0 to 34, before the show's script starts."""
    at = strain(band, 0, FLOURISH, FLOURISH_CHORDS, "ff", "tutti", bar=None)
    at = strain(band, at, CALL, CALL_CHORDS, "f", "trumpets")
    at = strain(band, at, HAMMER, HAMMER_CHORDS, "ff", "tutti", crash_every=4, accents=True)
    for k in range(8):
        band.timpani.note(at - 2 + k * 0.25, 0.25, "G2", 72 + 6 * k)
    oompah(band, at, VAMP_CHORDS, "mf")
    percussion(band, at, 8, "mf")
    assert at + 8 == SHOW_START, at


def ending(band, score, end_ms):
    """The final chord on beat 344, held with a fade until the track ends."""
    stop = beat_at(score, end_ms - 250)
    size = stop - FINAL
    tones = {"violins": ["C5", "E5", "G5", "C6"], "violas": ["G3", "C4", "E4"], "contrabass": ["C2"],
             "horns": ["E4", "G4", "C5"], "trombones": ["C3", "G3", "E3"], "tuba": ["C2"],
             "trumpets": ["C5", "G5"], "flute": ["C6", "G6"], "piccolo": ["C7"], "clarinet": ["E5"],
             "oboe": ["G5"]}
    for part in score.parts:
        if part.name in tones:
            part.chord(FINAL, size, tones[part.name], 112)
            for step in range(1, 9):
                part.control(FINAL + 0.6 + (size - 0.8) * step / 8, 11, int(127 - 11 * step))
    band.glock.chord(FINAL, 1, ["C6", "G6"], 90)
    band.pizz.chord(FINAL, 0.5, ["C2", "C3"], 115)
    band.timpani.note(FINAL, 0.9, "C2", 120)
    band.drums.hit(FINAL, "bassdrum", 124)
    band.drums.hit(FINAL, "crash", 122, length=2)
    band.drums.hit(FINAL, "crash2", 100, length=2)


def beat_at(score, ms):
    """The (fractional) beat at a time in ms."""
    k = 0
    while score.time_ms(k + 1) <= ms:
        k += 1
    return k + (ms - score.time_ms(k)) / score.beat_length_ms(k)


def compose(score, end_ms=None):
    """Fills the score for the whole track; end_ms defaults to the track's exact length."""
    end_ms = float(track_ms("bgm")) if end_ms is None else end_ms
    band = Band(score)
    if score.labels and score.find(12, 3) not in (None, SHOW_START):
        raise ValueError(f"the show starts at beat {score.find(12, 3)}, the arrangement at {SHOW_START}")
    introduction(band)
    at = SHOW_START
    # Pass 1.
    at = strain(band, at, A, A_CHORDS, "mf", "strings")
    at = strain(band, at, A, A_CHORDS, "ff", "tutti")
    at = strain(band, at, CODETTA, CODETTA_CHORDS, "ff", "tutti", crash_every=4, accents=True)
    at = strain(band, at, TO_F, TO_F_CHORDS, "f", "tutti", crash_every=0)
    # Pass 2.
    assert at == 111, at
    at = strain(band, at, B, B_CHORDS, "mf", "winds")
    at = strain(band, at, B, B_CHORDS, "f", "tutti")
    at = strain(band, at, RETURN, RETURN_CHORDS, "f", "low")
    at = strain(band, at, RUN_DOWN, RUN_DOWN_CHORDS, "ff", "tutti", crash_every=0, accents=True)
    # Pass 3.
    assert at == 195, at
    at = strain(band, at, A, A_CHORDS, "ff", "tutti")
    play(band.horns2, at, A_COUNTER, 92, gate=0.98, bar=2)
    at = strain(band, at, A, A_CHORDS, "ff", "tutti")
    at = strain(band, at, CODETTA, CODETTA_CHORDS, "ff", "tutti", crash_every=4, accents=True)
    at = strain(band, at, BREAK, BREAK_CHORDS, "ff", "tutti", bar=None, accents=True)
    # Pass 4.
    assert at == 272, at
    at = strain(band, at, STRETTA, STRETTA_CHORDS, "ff", "tutti", accents=True)
    play(band.horns2, at, A_COUNTER, 96, gate=0.98, bar=2)
    at = strain(band, at, A, A_CHORDS, "ff", "tutti", crash_every=4)
    at = strain(band, at, CADENCE, CADENCE_CHORDS, "ff", "tutti", crash_every=4, accents=True)
    assert at == FINAL, at
    ending(band, score, end_ms)
    score.balance(MELODY_PARTS, ACCOMPANIMENT_DB, PERCUSSION_DB)
    return score
