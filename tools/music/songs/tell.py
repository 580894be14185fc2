"""The William Tell show: the finale of Rossini's overture (the galop), our own arrangement.

The show starts the track on beat 0 and dances its script from beat 41 (the show's beat 12) in
groups of eight beats: five passes of 80 beats (the first one has 81, its last beat being the
second pass's first), then a sixth of 68 beats that ends on beat 509, where the figures stop; the
track rings on for about seven more beats. A beat is a quarter note, a 2/4 bar two beats, a group
of eight beats four bars. Every period below is eight bars (two groups), so each begins where the
show begins a group:

    beats   0-40   introduction: a beat of timpani, the trumpet call, the horns' answer, the
                   brass together, rising string scales and the dominant that leads to the galop
    41-440  passes 1 to 5, periods of 16 beats:
              A A B A F (the galop theme, piano then tutti; its continuation; the closing strain)
              C C2 A B F (episode in A major on the horns, back to E; the galop again)
              D D2 R R A (episode in C sharp minor; the crescendo on the dominant; the galop ff)
              B A F C C2 (the second round: galop, closing strain, the horn episode)
              D D2 R R A
    441-508 pass 6: B A F CODA, then four beats of tag (V7)
    509     the final E major chord, ringing with a fade to the end of the track

Key E major throughout but for the episodes (A major, C sharp minor). The percussion puts a bass
drum and a snare on every beat from 0 to 509, so that the beats can be found in the audio.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from notation import chord_notes, fifth, harmony, play, root  # noqa: E402  (puts tools/music on the path)
from beats import track_ms  # noqa: E402

SHOW_START = 41  # the show's beat 12
FINAL = 509  # the coda's last beat (the show's last beat 92): the final chord

# The galop theme: the repeated-note "ta-ta-tum" on the dominant, rising each time.
A = ("B4/16 B4 B4/8 B4/16 B4 B4/8 | B4/16 B4 E5/8 F#5 G#5 | B4/16 B4 B4/8 B4/16 B4 B4/8 | B4/16 B4 F#5/8 G#5 A5 | "
     "B4/16 B4 B4/8 B4/16 B4 B4/8 | B4/16 B4 E5/8 F#5 G#5 | B4/16 B4 G#5/8 F#5 D#5 | E5/4 r/4")
A_CHORDS = "E/2 | E/2 | B7/2 | B7/2 | E/2 | E/2 | E/4 B7/4 | E/2"

# Its continuation: the same rhythm stepping down from the third.
B = ("G#5/16 G#5 G#5/8 G#5/16 G#5 G#5/8 | G#5/16 G#5 B5/8 A5 G#5 | F#5/16 F#5 F#5/8 F#5/16 F#5 F#5/8 | "
     "F#5/16 F#5 A5/8 G#5 F#5 | E5/16 E5 E5/8 E5/16 E5 E5/8 | E5/16 E5 G#5/8 F#5 E5 | B5/8 G#5 A5 F#5 | E5/4 r/4")
B_CHORDS = "E/2 | E/2 | B7/2 | B7/2 | A/2 | E/2 | E/4 B7/4 | E/2"

# The closing strain: broken chords, tutti.
F = ("E5/16 E5 E5/8 G#5/16 G#5 G#5/8 | B5/4 E6/4 | F#5/16 F#5 F#5/8 A5/16 A5 A5/8 | B5/4 A5/4 | "
     "G#5/16 G#5 G#5/8 E5/16 E5 E5/8 | C#6/16 C#6 C#6/8 A5/16 A5 A5/8 | B5/8 G#5 F#5 D#5 | E5/4 r/4")
F_CHORDS = "E/2 | E/2 | B7/2 | B7/2 | E/2 | A/2 | E/4 B7/4 | E/2"

# First episode, in A major, a singing line for the horns over the gallop.
C = ("E4/4 A4/4 | C#5/4. B4/8 | A4/8 B4 C#5 D5 | E5/2 | F#5/4 D5/4 | C#5/4 A4/4 | B4/4 E4/8 G#4/8 | A4/4 r/4")
C_CHORDS = "A/2 | A/2 | D/2 | A/2 | D/2 | A/2 | E7/2 | A/2"
# ... and its answer, turning back to E and stopping on its dominant.
C2 = ("E4/4 A4/4 | C#5/4. B4/8 | A4/8 B4 C#5 D#5 | E5/2 | G#4/4 B4/4 | C#5/4 A4/4 | F#4/8 G#4 A4 F#4 | B4/4 r/4")
C2_CHORDS = "A/2 | A/2 | B7/2 | E/2 | E/2 | A/2 | F#m7/2 | B7/2"

# Second episode: the galop theme in C sharp minor, then over to the dominant of E.
D = ("G#4/16 G#4 G#4/8 G#4/16 G#4 G#4/8 | G#4/16 G#4 C#5/8 D#5 E5 | G#4/16 G#4 G#4/8 G#4/16 G#4 G#4/8 | "
     "G#4/16 G#4 D#5/8 E5 F#5 | G#4/16 G#4 G#4/8 G#4/16 G#4 G#4/8 | G#4/16 G#4 C#5/8 D#5 E5 | "
     "G#4/16 G#4 E5/8 D#5 B#4 | C#5/4 r/4")
D_CHORDS = "C#m/2 | C#m/2 | G#7/2 | G#7/2 | C#m/2 | C#m/2 | C#m/4 G#7/4 | C#m/2"
D2 = ("G#4/16 G#4 G#4/8 G#4/16 G#4 G#4/8 | G#4/16 G#4 C#5/8 D#5 E5 | G#4/16 G#4 G#4/8 G#4/16 G#4 G#4/8 | "
      "G#4/16 G#4 D#5/8 E5 F#5 | A4/16 A4 A4/8 A4/16 A4 A4/8 | A4/16 A4 C#5/8 D#5 E5 | F#5/8 E5 D#5 C#5 | B4/4 r/4")
D2_CHORDS = "C#m/2 | C#m/2 | G#7/2 | G#7/2 | F#m/2 | F#m/2 | B7/2 | B7/2"

# The crescendo: a two-bar figure on tonic and dominant, three times, then up the dominant seventh.
R = ("G#5/16 B5 G#5 E5 G#5 B5 G#5 E5 | F#5 A5 F#5 D#5 F#5 A5 F#5 D#5 | "
     "G#5/16 B5 G#5 E5 G#5 B5 G#5 E5 | F#5 A5 F#5 D#5 F#5 A5 F#5 D#5 | "
     "G#5/16 B5 G#5 E5 G#5 B5 G#5 E5 | F#5 A5 F#5 D#5 F#5 A5 F#5 D#5 | "
     "G#5/16 B5 G#5 E5 A5 C#6 A5 F#5 | B4/16 D#5 F#5 A5 B5 D#6 F#6 A6")
R_CHORDS = "E/2 | B7/2 | E/2 | B7/2 | E/2 | B7/2 | E/4 A/4 | B7/2"

# The coda: hammered tonic and dominant, a run to the top, and the hammering again.
CODA = ("E5/8> r/8 B4/8> r/8 | E5/8> r/8 B4/8> r/8 | G#5/16 G#5 G#5/8 B5/16 B5 B5/8 | E6/4> r/4 | "
        "E5/16 F#5 G#5 A5 B5 C#6 D#6 E6 | F#6/8> r/8 D#6/8> r/8 | E6/8> r/8 B5/8> r/8 | E6/8> r/8 B5/8> r/8")
CODA_CHORDS = "E/4 B7/4 | E/4 B7/4 | E/2 | E/2 | E/2 | B7/2 | E/4 B7/4 | E/4 B7/4"
TAG = "G#5/16 G#5 G#5/8 B5/16 B5 B5/8 | F#5/8 A5 D#6 F#6"
TAG_CHORDS = "E/2 | B7/2"

# The introduction (41 beats: one beat of timpani, then five groups of eight).
FANFARE = "E4/8t E4 E4 B4/4 | E4/8t E4 E4 B4/4 | E4/8t E4 E4 G#4/8t B4 E5 | B4/2"
FANFARE_CHORDS = "E/2 | E/2 | E/2 | E/2"
ANSWER = "B3/8t B3 B3 F#4/4 | B3/8t B3 B3 F#4/4 | B3/8t B3 B3 D#4/8t F#4 B4 | A4/2"
ANSWER_CHORDS = "B/2 | B/2 | B/2 | B7/2"
CALL = "E4/8t E4 E4 G#4/4 | E4/8t A4 C#5 A4/4 | F#4/8t A4 B4 D#5/8t B4 A4 | G#4/2"
CALL_CHORDS = "E/2 | A/2 | B7/2 | E/2"
SCALES = ("E4/16 F#4 G#4 A4 B4 C#5 D#5 E5 | G#5/8> r/8 E5/8> r/8 | "
          "F#4/16 G#4 A4 B4 C#5 D#5 E5 F#5 | A5/8> r/8 F#5/8> r/8")
SCALES_CHORDS = "E/2 | E/2 | B7/2 | B7/2"
DOMINANT = "G#4/16 A4 B4 C#5 D#5 E5 F#5 G#5 | A5/16 G#5 F#5 E5 D#5 C#5 B4 A4 | F#4/8> r/8 A4/8> r/8 | B4/4> r/4"
DOMINANT_CHORDS = "E/2 | F#m/2 | B7/2 | B7/2"

# Passes 1 to 6 as periods: (melody, harmony, loudness, who leads).
PERIODS = [
    (A, A_CHORDS, "p", "strings"), (A, A_CHORDS, "mf", "strings"), (B, B_CHORDS, "f", "tutti"),
    (A, A_CHORDS, "ff", "tutti"), (F, F_CHORDS, "ff", "tutti"),
    (C, C_CHORDS, "p", "horns"), (C2, C2_CHORDS, "mf", "horns"), (A, A_CHORDS, "mf", "strings"),
    (B, B_CHORDS, "f", "tutti"), (F, F_CHORDS, "ff", "tutti"),
    (D, D_CHORDS, "p", "oboe"), (D2, D2_CHORDS, "mf", "oboe"), (R, R_CHORDS, "p", "crescendo"),
    (R, R_CHORDS, "f", "crescendo"), (A, A_CHORDS, "ff", "tutti"),
    (B, B_CHORDS, "f", "tutti"), (A, A_CHORDS, "ff", "tutti"), (F, F_CHORDS, "ff", "tutti"),
    (C, C_CHORDS, "mf", "trumpet"), (C2, C2_CHORDS, "mf", "trumpet"),
    (D, D_CHORDS, "mf", "oboe"), (D2, D2_CHORDS, "f", "oboe"), (R, R_CHORDS, "mf", "crescendo"),
    (R, R_CHORDS, "ff", "crescendo"), (A, A_CHORDS, "ff", "tutti"),
    (B, B_CHORDS, "ff", "tutti"), (A, A_CHORDS, "ff", "tutti"), (F, F_CHORDS, "ff", "tutti"),
    (CODA, CODA_CHORDS, "ff", "tutti"),
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
        pans = {"violins": 38, "violas": 78, "pizzicato": 70, "contrabass": 84, "tuba": 72, "trumpets": 58,
                "horns": 44, "trombones": 80, "piccolo": 52, "flute": 48, "clarinet": 60, "oboe": 66,
                "timpani": 64}
        for part in score.parts:
            if part.name in pans:
                part.control(0, 10, pans[part.name])
            part.control(0, 91, 38)
            part.control(0, 7, 120 if part.channel == 9 else 96)  # the drums mark the beat: in front
            part.control(0, 11, 127)


def per_beat(chords):
    """For every beat of a harmony: (symbol, how many beats the chord has already lasted)."""
    beats = []
    for _, length, symbol in chords:
        for k in range(int(length)):
            beats.append((symbol, k))
    return beats


def accompany(band, at, chord_text, level, gallop=True):
    """Bass on the beats, chords after them, and for loud periods the horns' gallop."""
    loud = DYNAMICS[level]
    for k, (symbol, nth) in enumerate(per_beat(harmony(chord_text, bar=2))):
        beat = at + k
        bass = root(symbol, 2) if nth % 2 == 0 else fifth(symbol, 1)
        if level in ("p", "mf"):
            band.pizz.note(beat, 0.4, bass, int(95 * loud))
            band.pizz.note(beat, 0.4, bass + 12, int(70 * loud))
            band.basses.note(beat, 0.45, bass, int(70 * loud))
        else:
            band.tuba.note(beat, 0.45, bass, int(100 * loud))
            band.basses.note(beat, 0.45, bass, int(95 * loud))
            band.pizz.note(beat, 0.4, bass + 12, int(80 * loud))
        upper = chord_notes(symbol, low="G#3", count=3)
        band.strings.chord(beat + 0.5, 0.4, upper, int(78 * loud))
        if level in ("f", "ff"):
            band.trombones.chord(beat + 0.5, 0.35, chord_notes(symbol, low="D3", count=3), int(82 * loud))
            if gallop:
                horn = chord_notes(symbol, low="E4", count=2)
                for offset, size in ((0, 0.2), (0.25, 0.2), (0.5, 0.4)):
                    band.horns.chord(beat + offset, size, horn, int(72 * loud))
        if level == "ff" and k % 2 == 0:
            timp = root(symbol, 2)
            band.timpani.note(beat, 0.5, timp + 12 if timp < 38 else timp, int(100 * loud))


def percussion(band, at, beats, level, crash=True):
    """A bass drum and a snare on every beat (a clean attack that survives the MP3 encoding), the
    gallop after it on the snare (loud) or the hi-hat (soft), a cymbal at the phrase starts."""
    loud = DYNAMICS[level]
    drums = band.drums
    for k in range(beats):
        beat = at + k
        downbeat = k % 2 == 0
        drums.hit(beat, "kick", int((112 if downbeat else 104) * (0.5 + loud / 2)))
        drums.hit(beat, "snare", int(112 * (0.7 + 0.3 * loud)))
        gallop = "hihat" if level in ("p", "mf") else "snare"
        drums.hit(beat + 0.25, gallop, int(44 * loud))
        drums.hit(beat + 0.5, gallop, int(56 * loud))
        if crash and level in ("f", "ff") and k % 8 == 0:
            drums.hit(beat, "crash2", int(76 * loud), length=1)


def lead(band, at, melody, level, who):
    loud = DYNAMICS[level]
    v = lambda base: int(base * loud)  # noqa: E731
    if who == "strings":
        play(band.violins, at, melody, v(118), gate=0.9, bar=2)
        play(band.clarinet, at, melody, v(80), gate=0.85)
        if level != "p":
            play(band.flute, at, melody, v(90), gate=0.85, octave=1)
    elif who == "tutti":
        play(band.violins, at, melody, v(108), gate=0.9, bar=2)
        play(band.trumpet, at, melody, v(100), gate=0.85, ceiling="D6")
        play(band.piccolo, at, melody, v(78), gate=0.85, octave=1)
        play(band.flute, at, melody, v(82), gate=0.85)
    elif who == "horns":
        play(band.horns, at, melody, v(112), gate=0.97, bar=2)
        play(band.clarinet, at, melody, v(80), gate=0.97, octave=1)
    elif who == "trumpet":
        play(band.trumpet, at, melody, v(100), gate=0.95, bar=2)
        play(band.violins, at, melody, v(80), gate=0.95, octave=1)
    elif who == "oboe":
        play(band.violins, at, melody, v(100), gate=0.9, bar=2)
        play(band.oboe, at, melody, v(85), gate=0.85, octave=1)
    elif who == "crescendo":
        low = level in ("p", "mf")
        play(band.violins, at, melody, v(96), gate=0.9, bar=2, octave=-1 if low else 0)
        play(band.flute, at, melody, v(70), gate=0.85)
        if not low:
            play(band.clarinet, at, melody, v(70), gate=0.85, octave=-1)


def introduction(band):
    """Beats 0 to 40: what the show dances to before its script starts."""
    d = band.drums
    band.timpani.note(0, 0.9, "E2", 110)
    d.hit(0, "kick", 115)
    d.hit(0, "snare", 100)
    d.hit(0, "crash", 90, length=1)
    # The trumpet call, the horns' answer and both together, over held chords and a drum tattoo.
    play(band.trumpet, 1, FANFARE, 100, gate=0.88, bar=2)
    play(band.horns, 9, ANSWER, 100, gate=0.88, bar=2)
    play(band.trumpet, 17, CALL, 100, gate=0.9, bar=2)
    play(band.horns, 17, CALL, 85, gate=0.9, octave=-1)
    for at, text in ((1, FANFARE_CHORDS), (9, ANSWER_CHORDS), (17, CALL_CHORDS)):
        for beat, size, symbol in harmony(text, bar=2):
            band.strings.chord(at + beat, size * 0.96, chord_notes(symbol, "E3", 3), 55)
            band.basses.note(at + beat, size * 0.96, root(symbol, 2), 65)
    percussion(band, 1, 24, "mf", crash=False)
    for beat in range(1, 25, 2):
        band.timpani.note(beat, 0.4, "E2" if beat < 9 or beat >= 17 else "B2", 80)
    # Rising scales answered by the winds' chords, then the dominant.
    play(band.violins, 25, SCALES, 92, gate=0.9, bar=2)
    play(band.flute, 25, SCALES, 70, gate=0.9, octave=1)
    play(band.violins, 33, DOMINANT, 100, gate=0.9, bar=2)
    play(band.flute, 33, DOMINANT, 75, gate=0.9, octave=1)
    accompany(band, 25, SCALES_CHORDS, "f", gallop=False)
    accompany(band, 33, DOMINANT_CHORDS, "f", gallop=True)
    for beat in (26, 27, 30, 31, 37, 38):
        band.trumpet.chord(beat, 0.4, chord_notes("E" if beat < 29 else "B7", "G#4", 2), 88)
    percussion(band, 25, 16, "f", crash=False)
    d.hit(25, "crash", 90, length=1)
    d.hit(33, "crash", 100, length=1)
    for k in range(8):  # the timpani roll under the dominant
        band.timpani.note(37 + k * 0.25, 0.25, "B2", 70 + 5 * k)


def ending(band, score, end_ms):
    """The tag (V7) on beats 505 to 508 and the final chord on beat 509 until the track ends."""
    at = FINAL - 4
    lead(band, at, TAG, "ff", "tutti")
    accompany(band, at, TAG_CHORDS, "ff")
    percussion(band, at, 4, "ff", crash=False)
    for k in range(12):
        band.timpani.note(at + 2 + k / 6, 1 / 6, "B2", 80 + 3 * k)
    # The final chord: a hit, then the winds and strings hold it and fade away to the track's end.
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
    band.drums.hit(FINAL, "kick", 124)
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
    for melody, chords, level, who in PERIODS:
        lead(band, at, melody, level, who)
        accompany(band, at, chords, level)
        percussion(band, at, 16, level)
        at += 16
    assert at == FINAL - 4, at
    ending(band, score, end_ms)
    return score
