"""The beat times of the shows, from the simulator.

    from beats import show_beats
    times, labels = show_beats("tell")        # times[k] in ms after the song starts, labels[k] = (BeatCount, DanceState)
    times2, labels2 = show_beats("bgm", mode=1)  # the second Heaven and Hell show, for comparison
    times3, labels3 = song_beats("bgm")       # what bgm.res is timed to: the mean of the two

The simulator runs the program with every spin a hit ("/v"), the sound effects on (効果音あり) and the
show's mode in a zumbolo.ini, until the song has ended. Beat 0 is the song's "player play"; beat k
is the k-th "beat" line after it. The list runs through the last beat before the track ends, plus
one more a beat's length later, so that a score always knows how long its last beat is.

The simulator is found through the environment variable ZUMBOLO_SIM, else in the usual build
folders (build/, /tmp/build-music/), else on the PATH.
"""

import os
import shutil
import subprocess
import tempfile
from fractions import Fraction
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]

# song -> (track file, show mode of the first show that plays it)
SONGS = {
    "bgm": ("bgm.res", 0),
    "tell": ("tell.res", 2),
    "fun": ("fun.res", 3),
    "rad": ("rad.res", 4),
}

# name -> (audio frames, kbit/s); every frame holds 1152 samples at 44 100 Hz.
TRACKS = {
    "kokab": (86, 128),
    "eye": (90, 192),
    "bgm": (4695, 128),
    "tell": (8021, 128),
    "fun": (2804, 128),
    "rad": (7022, 128),
    "spring": (5705, 128),
}
SAMPLE_RATE = 44100
FRAME_SAMPLES = 1152


def track_ms(name):
    """The exact length of a track in ms, as the player sees it (audio frames x 1152 / 44 100 Hz)."""
    frames, _ = TRACKS[name]
    return Fraction(frames * FRAME_SAMPLES * 1000, SAMPLE_RATE)


def find_sim(sim=None):
    candidates = [sim, os.environ.get("ZUMBOLO_SIM"),
                  ROOT / "build" / "tools" / "sim" / "zumbolo-sim",
                  "/tmp/build-music/tools/sim/zumbolo-sim",
                  shutil.which("zumbolo-sim")]
    for candidate in candidates:
        if candidate and Path(candidate).is_file() and os.access(candidate, os.X_OK):
            return str(candidate)
    raise FileNotFoundError(
        "zumbolo-sim not found: build it (cmake --build BUILD --target zumbolo-sim) and set ZUMBOLO_SIM")


def sim_log(mode, until_ms, sim=None, seed=1):
    """The simulator's log lines, (time ms, words), for a run in show mode `mode`."""
    with tempfile.TemporaryDirectory(prefix="zumbolo-beats-") as folder:
        Path(folder, "zumbolo.ini").write_text(
            f"[num]\nritu=100\n[sound]\nkoka=0\n[mode]\nmode={mode}\nrandom=0\n", encoding="utf-8")
        out = subprocess.run(
            [find_sim(sim), "--dir", folder, "--seed", str(seed), "--until", str(int(until_ms)),
             "--clock", "2024-04-01T12:00:00", "--", "/v"],
            check=True, capture_output=True, text=True).stdout
    lines = []
    for line in out.splitlines():
        time, _, rest = line.partition(" ")
        if time.isdigit():
            lines.append((int(time), rest.split(" ")))
    return lines


def show_beats(song, mode=None, sim=None):
    """(beat_times_ms, labels) of the first show that plays `song` ("tell", "bgm", "fun", "rad").

    beat_times_ms[0] is 0, the song's "player play"; labels[k] is (BeatCount, DanceState) of beat
    k's "beat" line (labels[0]: the beat line at the moment of the play, if any, else None).
    `mode` picks another show that plays the same track (mode=1: Heaven and Hell ver. 2)."""
    track, default_mode = SONGS[song]
    mode = default_mode if mode is None else mode
    length = track_ms(song)
    lines = sim_log(mode, until_ms=40000 + float(length), sim=sim)

    rendered = next((i for i, (_, w) in enumerate(lines) if w[:2] == ["player", "render"] and w[2] == track), None)
    if rendered is None:
        raise RuntimeError(f"the simulator never loaded {track} in mode {mode}")
    play = next((i for i in range(rendered, len(lines)) if lines[i][1] == ["player", "play"]), None)
    if play is None:
        raise RuntimeError(f"the simulator never played {track} in mode {mode}")
    start = lines[play][0]
    end = start + length

    label0 = None
    for time, words in reversed(lines[:play]):
        if time != start:
            break
        if words[0] == "beat":
            label0 = (int(words[1]), int(words[2]))
            break
    times, labels = [0], [label0]
    interval = None
    for time, words in lines[:play]:
        if words[0] == "interval":
            interval = int(words[1])
    for time, words in lines[play + 1:]:
        if words[0] == "interval":
            interval = int(words[1])
        if words[0] == "beat":
            if time >= end:
                break
            times.append(time - start)
            labels.append((int(words[1]), int(words[2])))
        if time >= end:
            break
    if len(times) < 2 or interval is None:
        raise RuntimeError(f"no beats while {track} played in mode {mode}")
    times.append(times[-1] + interval)
    labels.append(None)
    return times, labels


def song_beats(song, sim=None):
    """(beat_times_ms, labels) that a song's track is timed to: its show's, but for bgm, which two
    shows play on beat maps a few tens of ms apart, the mean of the two (each beat halfway between
    them, so that the larger of its two distances is as small as it can be); the labels are the
    first show's."""
    times, labels = show_beats(song, sim=sim)
    if song != "bgm":
        return times, labels
    times2, _ = show_beats(song, mode=1, sim=sim)
    n = min(len(times), len(times2))
    return [(a + b) / 2 for a, b in zip(times[:n], times2[:n])], labels[:n]


if __name__ == "__main__":
    import sys
    for name in sys.argv[1:] or list(SONGS):
        song, _, mode = name.partition(":")
        times, labels = show_beats(song, int(mode) if mode else None)
        print(f"{name}: {len(times)} beats, last at {times[-1]} ms, show beat 12 at music beat "
              f"{labels.index((12, 3)) if (12, 3) in labels else None}")
