"""kokab.res: the reels' spin sound.

The player starts it at 10 ms on the spin beat, every eight beats, and the draw comes four beats
later (1.62 s at the spin tempo of 405 ms, 1.80 s at 451 ms); on a hit the player is stopped right
there, on a miss it plays on to its end. So the sound is a roll that winds down like a reel and
has stopped before the earliest draw: fifteen ticks of a soft marimba, doubled by a muted wood
block, each a little later than the one before (45 ms apart at first, 141 ms at the end), their
pitches going round a C major pentatonic ring (D4 to E5: nothing shrill) as a reel's symbols
come round; a last, softer
tick settles it at 1.26 s; its echo fades out from 1.45 s to 1.60 s, before the earliest draw,
so a stop there is silent. The rest of the track is silence. Its loudness is 7 dB under the
songs'.

The beats here are 100 ms each; they only serve to place the ticks.
"""

TAIL_MS = 0.0
FADE_MS = (1450.0, 1600.0)  # silent from before the earliest draw (1.63 s)
LOUDNESS = -23.0  # 7 dB under the songs: it is heard every few seconds, for hours

MARIMBA, KALIMBA = 12, 108
WOOD = 77  # low wood block, General MIDI percussion key
RING = ["E5", "C5", "A4", "G4", "E4", "D4"]  # the reel's symbols going past, high to low; no high, piercing notes


def beat_times():
    return [k * 100.0 for k in range(24)]


def compose(score):
    marimba = score.part("marimba", MARIMBA)
    marimba.control(0, 91, 24)  # a little room
    marimba.control(0, 10, 56)
    tick = score.drums("wood block")
    tick.control(0, 91, 20)
    at, gap = 10.0, 45.0
    n = 0
    while at < 1200.0:
        beat = at / 100.0
        velocity = int(round(78 - 2.2 * n))
        marimba.note(beat, 0.9, RING[n % len(RING)], velocity)
        tick.hit(beat, WOOD, max(30, velocity - 34), length=0.3)
        at += gap
        gap *= 1.085
        n += 1
    # The reel settles: the tonic, softly, with the same click.
    marimba.chord(12.6, 0.9, ["C4", "G4"], velocity=56)
    tick.hit(12.6, WOOD, 40, length=0.3)
