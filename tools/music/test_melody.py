#!/usr/bin/python3
"""The melody check's comparison (melody.py), on themes from references.py: it must find a theme
whatever its key and octave, count a wrong note as one note, and refuse a tune that sits off its
beat or off its bar line (the accent in the wrong place)."""

import sys
import unittest
from fractions import Fraction
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from melody import compare, line_of, theme_notes  # noqa: E402
from references import themes  # noqa: E402


def theme(song, name):
    return next(t for t in themes(song) if t.name == name)


def placed(notes, at, shift=0):
    return [(at + beat, key + shift) for beat, key in notes]


class MelodyCheck(unittest.TestCase):
    def test_finds_a_theme_in_any_key_at_its_bar_line(self):
        cancan = theme("bgm", "can-can")
        notes = theme_notes(cancan)
        self.assertEqual(len(notes), 48)  # the can-can's sixteen bars
        # Other music first, then the theme a fourth higher and an octave up, from beat 35.
        filler = [(Fraction(k, 2), 60 + k % 5) for k in range(70)]
        line = line_of(filler + placed(notes, 35, shift=17))
        result = compare(notes, line, bar=2, origin=1)
        self.assertEqual((result["share"], result["start"], result["shift"], result["played"]), (1.0, 35, 17, 1))

    def test_counts_a_wrong_note_as_one(self):
        cancan = theme_notes(theme("bgm", "can-can"))
        # The last bar closing C5 r instead of C5 G4 leaves the G4 out: 47 of 48.
        line = line_of(placed(cancan[:-1], 0))
        self.assertEqual(compare(cancan, line, bar=2)["agree"], 47)
        wrong = list(cancan)
        wrong[3] = (wrong[3][0], wrong[3][1] + 1)
        self.assertAlmostEqual(compare(cancan, line_of(wrong), bar=2)["share"], 47 / 48)

    def test_refuses_the_galop_an_eighth_late_or_a_beat_late(self):
        galop = theme_notes(theme("tell", "galop"))
        # The sixteenths on the beat and the eighths after it: every note half a beat late.
        late = line_of(placed(galop, Fraction(41) + Fraction(1, 2)))
        self.assertLess(compare(galop, late, bar=2, origin=41)["share"], 0.5)  # repeated B4s still meet
        # A whole beat late: the notes fall on beats, but the strong ones on the weak beat.
        beat_late = line_of(placed(galop, 42))
        self.assertLess(compare(galop, beat_late, bar=2, origin=41)["share"], 0.5)
        self.assertEqual(compare(galop, line_of(placed(galop, 43)), bar=2, origin=41)["share"], 1.0)


if __name__ == "__main__":
    unittest.main()
