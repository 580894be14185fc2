"""eye.res: the hit fanfare.

It starts on a beat of the spin tempo (405 ms), and when a show follows, the song is loaded three
beats later, which cuts it at 1.215 s; so the fanfare is said in three beats: a triplet run up
(G4 C5 E5) on the first, "G5 - E5" on the second with a glockenspiel sparkle after it, and the
full C major chord of trumpets and horns with the tambourine and the bass drum on the third (the
timpani on the first two), struck short (let go at 0.87 s) and without reverberation, so that it
dies away by itself before the cut: check.py measures how far under its peak the sound is in the
50 ms before 1.215 s. Nothing fades it; the rest of the track is silence.
Trumpets lead, a brass section and horns fill the chords, the timpani strike the first two beats.

One beat is 405 ms.
"""

TAIL_MS = 0.0
LOUDNESS = -14.0

TRUMPET, BRASS, HORN, TIMPANI, GLOCKENSPIEL = 56, 61, 60, 47, 9


def beat_times():
    return [k * 405.0 for k in range(8)]


def compose(score):
    third = 1 / 3
    trumpet = score.part("trumpets", TRUMPET)
    trumpet2 = score.part("trumpet 2", TRUMPET)
    brass = score.part("brass", BRASS)
    horn = score.part("horns", HORN)
    timpani = score.part("timpani", TIMPANI)
    glock = score.part("glockenspiel", GLOCKENSPIEL)
    drums = score.drums()
    for part, pan in ((trumpet, 52), (trumpet2, 76), (brass, 64), (horn, 40), (timpani, 64), (glock, 84)):
        part.control(0, 10, pan)
        part.control(0, 91, 0)  # no room: the chord must die away before the cut

    # Beat 0: the run up; beat 1: "G5 - E5"; beat 2: the chord.
    for k, name in enumerate(["G4", "C5", "E5"]):
        trumpet.note(k * third, third * 0.9, name, 100 + 6 * k)
    trumpet2.note(0, third * 0.9, "E4", 88).note(third, third * 0.9, "G4", 92).note(2 * third, third * 0.9, "C5", 96)
    trumpet.note(1, 0.7, "G5", 116).note(1.75, 0.22, "E5", 104)
    trumpet2.note(1, 0.7, "E5", 100).note(1.75, 0.22, "C5", 92)
    brass.chord(1, 0.7, ["C4", "E4", "G4"], 84)
    horn.note(0, 0.9, "G3", 80).note(1, 0.7, "C4", 86)
    timpani.note(0, 0.3, "G2", 80).note(1, 0.3, "C3", 96)

    trumpet.note(2, 0.15, "C6", 124)
    trumpet2.note(2, 0.15, "G5", 110)
    trumpet.chord(2, 0.15, ["E5", "C5"], 104)
    horn.chord(2, 0.15, ["G3", "C4", "E4"], 100)
    for k, name in enumerate(["C6", "E6", "G6"]):  # the sparkle leads into the chord
        glock.note(1.25 + k * 0.125, 0.1, name, 84 - 8 * k)
    drums.hit(2, "tambourine", 84)  # bright but short: a cymbal would still ring at the cut

    drums.hit(2, "bassdrum", 90)
    drums.hit(0, "snare", 60).hit(third, "snare", 66).hit(2 * third, "snare", 74).hit(1, "snare", 88)
