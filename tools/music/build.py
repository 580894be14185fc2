#!/usr/bin/python3
"""Builds the tracks: beats -> score -> MIDI -> FluidSynth -> exact length -> loudness -> LAME.

    /usr/bin/python3 tools/music/build.py --all [--out BUILD_DIR] [--sim PATH]
    /usr/bin/python3 tools/music/build.py kokab spring

For each track, songs/<name>.py fills a Score (score.py). The four songs get the show's beats from
the simulator (beats.py); kokab, eye and spring give their own beat times (beat_times()). The
score's MIDI file keeps that tempo map (BUILD_DIR/<name>.mid); for rendering it is written again at
one fixed tempo with one tick a sample (BUILD_DIR/<name>.render.mid), because FluidSynth's player
drifts by a few ms over a long tempo map, and every note is moved earlier by the attack delay the
renderer gives it, so that its attack falls on its beat. FluidSynth renders with FluidR3_GM; the
render is cut to exactly (frames - 1) x 1152 samples (LAME adds one frame of delay and padding),
brought to its loudness (-16 LUFS integrated, true peak at most -1 dBTP; songs/<name>.py may set
LOUDNESS, and FADE_MS for a sound that must be over early), dithered to 16 bits and encoded with
`lame -m j -b RATE --cbr`. A loop track (LOOP_START_MS) is rendered on past its end and the
overhang is folded onto the loop start, so that the end runs on into the loop start without a
step.

Sample 0 of the track is the show's beat 0 in the gapless decoding (the LAME tag states the
encoder delay; ffmpeg and GStreamer drop it). A player that ignores the tag plays everything
1105 samples (25 ms) later.

Outputs: assets/tracks/<name>.mp3; BUILD_DIR/<name>.mid, .render.mid, .json (the numbers).
"""

import argparse
import json
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import mido
import numpy as np

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import check  # noqa: E402
from beats import FRAME_SAMPLES, SAMPLE_RATE, TRACKS, song_beats, track_ms  # noqa: E402
from score import Score  # noqa: E402

ROOT = HERE.parents[1]
SOUNDFONT = "/usr/share/sounds/sf2/FluidR3_GM.sf2"
ORDER = ["kokab", "eye", "spring", "bgm", "tell", "fun", "rad"]
TARGET_LUFS = -16.0
CEILING_DBTP = -1.0         # true peak of the encoded track at most this
PRE = 4096                  # samples rendered before beat 0, so notes can be moved earlier
TICKS_PER_BEAT = 22050      # at 500 000 us a beat: one tick a sample
MELODIC_ADVANCE = 128       # samples: FluidSynth's usual delay before a pitched note sounds
FADE_OUT = 0.030            # s at the very end of a track that does not loop


def run(cmd, **kwargs):
    return subprocess.run(cmd, check=True, **kwargs)


# ---------------------------------------------------------------------------------------------
# Rendering.

def render(midi_path, raw_path, reverb=True):
    """FluidSynth's rendering of a MIDI file, float samples (n, 2)."""
    run(["fluidsynth", "-ni", "-q", "-r", str(SAMPLE_RATE), "-R", "1" if reverb else "0",
         "-T", "raw", "-O", "float", "-E", "little", "-F", str(raw_path), SOUNDFONT, str(midi_path)])
    return np.fromfile(raw_path, dtype="<f4").reshape(-1, 2).astype(np.float64)


def write_flat(events, path, end_sample):
    """events: (sample, order, message); a type-0 file at one tick a sample."""
    midi = mido.MidiFile(type=0, ticks_per_beat=TICKS_PER_BEAT)
    track = mido.MidiTrack()
    midi.tracks.append(track)
    track.append(mido.MetaMessage("set_tempo", tempo=500000, time=0))
    now = 0
    for sample, _, message in sorted(events, key=lambda e: (e[0], e[1])):
        track.append(message.copy(time=sample - now))
        now = sample
    # Something at the end, so that the rendering lasts that long.
    track.append(mido.Message("control_change", channel=15, control=7, value=0, time=max(0, end_sample - now)))
    midi.save(path)


def first_attack(energy, start, span=2646):
    """Where the first attack after `start` (in silence) has climbed halfway to its own peak: a
    hand clap or a tambourine strikes several times, and it is the first stroke that should fall
    on the beat. The first attack is the first rise to a quarter of the loudest one in 60 ms."""
    window = energy[start:start + span]
    first = int(np.argmax(window >= 0.25 * window.max()))
    peak = window[first:first + check.SIDE].max()
    return start + int(np.argmax(window >= 0.5 * peak))


def drum_delays(keys, out_dir):
    """The renderer's attack delay of each drum key, in samples, timed as the onset detector times
    an attack: each key struck alone at a few positions. Kept in out_dir/drum_attacks.json."""
    cache_path = out_dir / "drum_attacks.json"
    cache = json.loads(cache_path.read_text()) if cache_path.exists() else {}
    missing = sorted(k for k in keys if str(k) not in cache)
    if missing:
        spacing = SAMPLE_RATE  # one second apart: each hit stands alone
        jitter = [0, 17, 29, 41, 53]
        with tempfile.TemporaryDirectory() as tmp:
            for key in missing:
                events, wanted = [], []
                for i, j in enumerate(jitter):
                    at = (i + 1) * spacing + j
                    wanted.append(at)
                    events.append((at, 2, mido.Message("note_on", channel=9, note=key, velocity=100)))
                    events.append((at + 4000, 1, mido.Message("note_off", channel=9, note=key, velocity=0)))
                write_flat(events, Path(tmp, "d.mid"), (len(jitter) + 2) * spacing)
                audio = render(Path(tmp, "d.mid"), Path(tmp, "d.raw"), reverb=False)
                energy = check.onset_strength(audio)
                found = [first_attack(energy, at) - at for at in wanted]
                cache[str(key)] = int(np.median(found)) if found else MELODIC_ADVANCE
        cache_path.write_text(json.dumps(cache, indent=1, sort_keys=True))
    return {int(k): v for k, v in cache.items()}


def flatten(midi, out_path, end_sample, out_dir):
    """The score's MIDI at sample resolution, every note moved earlier by its attack delay; all
    times PRE samples later, so that beat 0 lies at sample PRE of the rendering."""
    keys = {m.note for m in midi if m.type == "note_on" and m.channel == 9}
    delays = drum_delays(keys, out_dir)
    lead = max([MELODIC_ADVANCE] + list(delays.values()))
    events, now = [], 0.0
    for message in midi:  # merged tracks, times in seconds
        now += message.time
        if message.is_meta:
            continue
        at = PRE + round(now * SAMPLE_RATE)
        if message.type in ("note_on", "note_off"):
            delay = delays[message.note] if message.channel == 9 else MELODIC_ADVANCE
            off = message.type == "note_off" or message.velocity == 0
            events.append((at - delay, 1 if off else 2, message))
        else:
            events.append((max(0, at - lead - 1), 0, message))
    write_flat(events, out_path, end_sample)
    return delays


# ---------------------------------------------------------------------------------------------
# Loudness.

def _sliding_min(values, width):
    """Minimum over a centred window of `width` (odd) samples (van Herk / Gil-Werman)."""
    half = width // 2
    n = len(values)
    padded = np.concatenate([np.full(half, np.inf), values, np.full(half + width, np.inf)])
    blocks = len(padded) // width
    padded = padded[:blocks * width].reshape(blocks, width)
    prefix = np.minimum.accumulate(padded, axis=1).ravel()
    suffix = np.minimum.accumulate(padded[:, ::-1], axis=1)[:, ::-1].ravel()
    idx = np.arange(n)
    return np.minimum(suffix[idx], prefix[idx + width - 1])


def _sliding_mean(values, width):
    half = width // 2
    padded = np.concatenate([np.full(half, values[0]), values, np.full(half, values[-1])])
    sums = np.concatenate([[0.0], np.cumsum(padded)])
    return (sums[width:] - sums[:-width]) / width


def _interpolator(phase, taps=16):
    k = np.arange(-taps + 1, taps + 1) - phase
    h = np.sinc(k) * np.hanning(2 * taps + 2)[1:-1]
    return h / h.sum()


def peak_envelope(samples):
    """|x| with the peaks between samples (4x oversampling), the larger channel."""
    env = np.abs(samples).max(axis=1)
    for phase in (0.25, 0.5, 0.75):
        h = _interpolator(phase)
        for ch in range(samples.shape[1]):
            y = np.convolve(samples[:, ch], h[::-1], mode="full")[15:15 + len(samples)]
            env = np.maximum(env, np.abs(y))
    return env


def limiter_gain(samples, ceiling, hold_ms=5.0, circular_from=None):
    """A gain at every sample that keeps the (inter-sample) peaks at or below `ceiling`: the
    needed gain's minimum over +-hold, then averaged over the same span (never above the need).
    circular_from: the track loops from its end back to that sample; the gain follows the loop."""
    width = 2 * int(hold_ms * SAMPLE_RATE / 1000) + 1
    if circular_from is not None:
        body = samples[circular_from:]
        pad = 4 * width
        looped = np.concatenate([body[-pad:], body, body[:pad]])
        g = limiter_gain(looped, ceiling, hold_ms)[pad:-pad]
        return np.concatenate([g[len(g) - circular_from:], g])
    need = np.minimum(1.0, ceiling / np.maximum(peak_envelope(samples), 1e-9))
    return np.minimum(1.0, _sliding_mean(_sliding_min(need, width), width))


def to_s16(samples, seed):
    rng = np.random.default_rng(seed)
    dither = (rng.random(samples.shape) - rng.random(samples.shape))  # TPDF, +-1 LSB
    return np.clip(np.round(samples * 32767.0 + dither), -32768, 32767).astype("<i2")


# The ID3v2 tag of each track (ASCII, so every player reads it alike).
TAG_TITLES = {
    "kokab": "Reels", "eye": "Hit fanfare", "bgm": "Galop Infernal (Offenbach)",
    "tell": "William Tell Overture, Finale (Rossini)", "fun": "Funiculi, Funicula (Denza)",
    "rad": "Radetzky March (Johann Strauss I)", "spring": "Spring, after Vivaldi",
}
TAG_ARTIST = "Zumbolo!"


def encode(pcm16, kbps, out_path, title):
    with tempfile.TemporaryDirectory() as tmp:
        raw = Path(tmp, "in.raw")
        pcm16.tofile(raw)
        log = Path(tmp, "lame.log")
        with open(log, "w") as err:
            result = subprocess.run(
                ["lame", "--silent", "--noreplaygain", "-r", "-s", "44.1", "--bitwidth", "16",
                 "--signed", "--little-endian", "-m", "j", "-b", str(kbps), "--cbr",
                 "--id3v2-only", "--tt", TAG_TITLES.get(title, title), "--ta", TAG_ARTIST,
                 str(raw), str(Path(tmp, "out.mp3"))], stderr=err)
        if result.returncode != 0:
            raise RuntimeError(f"lame failed on {title}: {log.read_text()}")
        shutil.move(str(Path(tmp, "out.mp3")), out_path)


def master(audio, name, kbps, out_path, target, loop_start=None, log=print):
    """Loudness and peaks, then the encoding; measured again on the decoded track and re-tried:
    LAME's output is about 0.45 dB quieter than its input, and its overshoot adds to the peaks."""
    ceiling_db = CEILING_DBTP - 0.5
    trim_db = 0.0
    for attempt in range(8):
        x = audio.copy()
        for _ in range(4):
            integrated, _ = check.loudness(x)
            x *= 10 ** ((target + trim_db - integrated) / 20)
            g = limiter_gain(x, 10 ** ((ceiling_db + trim_db) / 20), circular_from=loop_start)
            x *= g[:, None]
        encode(to_s16(x, seed=sum(map(ord, name))), kbps, out_path, name)
        decoded = check.decode(out_path)
        integrated, peak = check.loudness(decoded)
        log(f"  {name}: {integrated:.1f} LUFS, true peak {peak:.1f} dBTP (ceiling {ceiling_db:.1f} dB, "
            f"limiter down to {20 * np.log10(g.min()):.1f} dB, trim {trim_db:+.2f} dB)")
        if peak <= CEILING_DBTP and abs(integrated - target) <= 0.2:
            return {"lufs": integrated, "true_peak": peak, "ceiling_db": ceiling_db,
                    "limiter_min_db": float(20 * np.log10(g.min())),
                    "limited_ms": float((g < 0.999).sum() * 1000 / SAMPLE_RATE)}
        trim_db += target - integrated
        if peak > CEILING_DBTP:
            ceiling_db -= peak - CEILING_DBTP + 0.2
    raise RuntimeError(f"{name}: cannot meet {target} LUFS at {CEILING_DBTP} dBTP")


# ---------------------------------------------------------------------------------------------
# The balance of a song: its melody, its accompaniment and its percussion rendered apart.

STEMS = ("melody", "accompaniment", "percussion")
WINDOW_BEATS = 8  # a group of the show's
TUNE_FLOOR = -50.0  # LUFS: a window whose melody stem is quieter has no tune in it


def stem_groups(score, module):
    melody = set(module.MELODY_PARTS)
    return {"melody": [p for p in score.parts if p.name in melody],
            "accompaniment": [p for p in score.parts if p.name not in melody and p.channel != 9],
            "percussion": [p for p in score.parts if p.channel == 9]}


def stem_balance(name, score, module, out_dir, end_ms, length):
    """Renders the melody (the song's MELODY_PARTS), the accompaniment and the percussion apart,
    and measures each in every group of eight beats (from the song's first bar line) up to the
    track's end: [[first beat, melody LUFS, accompaniment LUFS, percussion LUFS], ...]."""
    series, parts = {}, score.parts
    try:
        for stem, chosen in stem_groups(score, module).items():
            score.parts = chosen
            midi_path = out_dir / f"{name}.{stem}.mid"
            score.write(str(midi_path), end_ms=end_ms)
            flat_path = out_dir / f"{name}.{stem}.render.mid"
            flatten(mido.MidiFile(str(midi_path)), flat_path,
                    PRE + round(end_ms * SAMPLE_RATE / 1000) + SAMPLE_RATE, out_dir)
            raw = out_dir / f"{name}.{stem}.raw"
            audio = render(flat_path, raw)[PRE:PRE + length]
            raw.unlink()
            series[stem] = check.momentary(audio)
    finally:
        score.parts = parts
    windows, k = [], module.BARS[0] % WINDOW_BEATS
    while score.time_ms(k + WINDOW_BEATS) <= length * 1000 / SAMPLE_RATE:
        start, end = score.time_ms(k) / 1000, score.time_ms(k + WINDOW_BEATS) / 1000
        windows.append([k] + [round(check.window_loudness(series[s], start, end), 2) for s in STEMS])
        k += WINDOW_BEATS
    return windows


def balance_summary(windows):
    """(windows with a tune, the least melody-over-accompaniment, the least melody-over-percussion,
    the groups where either is under 3 LU)."""
    tuned = [w for w in windows if w[1] > TUNE_FLOOR]
    over_acc = [w[1] - w[2] for w in tuned]
    over_perc = [w[1] - w[3] for w in tuned]
    short = [w[0] for w in tuned if w[1] - w[2] < 3 or w[1] - w[3] < 3]
    return len(tuned), min(over_acc, default=float("nan")), min(over_perc, default=float("nan")), short


# ---------------------------------------------------------------------------------------------

def build(name, out_dir, sim=None, log=print, stems_only=False):
    module = check.load_song(name)
    if module is None:
        log(f"{name}: songs/{name}.py is not there yet, skipped")
        return None
    frames, kbps = TRACKS[name]
    length = (frames - 1) * FRAME_SAMPLES
    if hasattr(module, "beat_times"):
        times, labels = module.beat_times(), None
    else:
        times, labels = song_beats(name, sim=sim)
    score = Score(times, labels)
    module.compose(score)

    loop_ms = getattr(module, "LOOP_START_MS", None)
    tail_ms = getattr(module, "TAIL_MS", 0.0)
    end_ms = float(track_ms(name)) + tail_ms
    if stems_only:
        windows = stem_balance(name, score, module, out_dir, end_ms, length)
        log(f"  {name}: " + "; ".join(f"{w[0]}: {w[1] - w[2]:+.1f}/{w[1] - w[3]:+.1f}" for w in windows))
        count, acc, perc, short = balance_summary(windows)
        log(f"  {name}: {count} groups with the tune; melody over accompaniment at least {acc:.1f} LU, "
            f"over percussion at least {perc:.1f} LU; under 3 LU: {short}")
        return {"track": name, "stems": windows}
    midi_path = out_dir / f"{name}.mid"
    score.write(str(midi_path), end_ms=end_ms)
    end_sample = PRE + round(end_ms * SAMPLE_RATE / 1000) + SAMPLE_RATE
    flat_path = out_dir / f"{name}.render.mid"
    delays = flatten(mido.MidiFile(str(midi_path)), flat_path, end_sample, out_dir)
    audio = render(flat_path, out_dir / f"{name}.raw")[PRE:]
    (out_dir / f"{name}.raw").unlink()
    # The overhang used stops short of the rendering's end, where the score cuts its notes.
    need = length + (round((tail_ms - 400.0) * SAMPLE_RATE / 1000) if loop_ms is not None else 0)
    if len(audio) < need:
        audio = np.concatenate([audio, np.zeros((need - len(audio), 2))])
    audio = audio[:need]

    loop_start = None
    if loop_ms is not None:
        loop_start = round(loop_ms * SAMPLE_RATE / 1000)
        audio = fold_loop(audio, length, loop_start, getattr(module, "CROSSFADE_MS", 500.0))
    else:
        audio = audio[:length].copy()
        fade_ms = getattr(module, "FADE_MS", None)  # (from, to): a sound that must be over early
        if fade_ms:
            a, b = (round(t * SAMPLE_RATE / 1000) for t in fade_ms)
            audio[a:b] *= np.cos(np.linspace(0, np.pi / 2, b - a))[:, None] ** 2
            audio[b:] = 0.0
        fade = int(FADE_OUT * SAMPLE_RATE)
        audio[-fade:] *= np.cos(np.linspace(0, np.pi / 2, fade))[:, None] ** 2

    out_path = ROOT / "assets" / "tracks" / f"{name}.mp3"
    result = master(audio, name, kbps, out_path, getattr(module, "LOUDNESS", TARGET_LUFS),
                    loop_start=loop_start, log=log)
    result.update({"track": name, "frames": frames, "kbps": kbps, "beats": len(times),
                   "drum_delays": {str(k): delays[k] for k in sorted(delays)}})
    if hasattr(module, "MELODY_PARTS"):
        result["stems"] = stem_balance(name, score, module, out_dir, end_ms, length)
    (out_dir / f"{name}.json").write_text(json.dumps(result, indent=1))
    return result


def fold_loop(audio, length, loop_start, crossfade_ms):
    """A track that plays to `length`, then on from `loop_start`. The rendering goes on past the
    end; the overhang (what truly follows the end) replaces the music just after the loop start,
    and is cross-faded back into it before the overhang runs out. The lead-in before the loop
    start becomes the end's own last stretch, so the first pass leads in as every later one."""
    overhang = audio[length:]
    span = len(overhang)
    fade = int(crossfade_ms * SAMPLE_RATE / 1000)
    if span < fade + SAMPLE_RATE or loop_start + span > length:
        raise ValueError("the loop needs an overhang of at least a second plus the cross-fade")
    w = np.ones(span)
    w[span - fade:] = np.cos(np.linspace(0, np.pi / 2, fade)) ** 2
    out = audio[:length].copy()
    out[loop_start:loop_start + span] = (w[:, None] * overhang
                                         + (1 - w[:, None]) * audio[loop_start:loop_start + span])
    lead = out[length - loop_start:length].copy()
    fade_in = int(0.02 * SAMPLE_RATE)
    lead[:fade_in] *= np.sin(np.linspace(0, np.pi / 2, fade_in))[:, None] ** 2
    out[:loop_start] = lead
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("names", nargs="*")
    parser.add_argument("--all", action="store_true", help="every track whose songs/<name>.py exists")
    parser.add_argument("--out", default=str(ROOT / "build" / "tools" / "music"), help="folder for MIDI files and numbers")
    parser.add_argument("--sim", help="the zumbolo-sim to take the show beats from")
    parser.add_argument("--report", action="store_true", help="run check.py afterwards")
    parser.add_argument("--stems-only", action="store_true",
                        help="only render the songs' melody, accompaniment and percussion apart and print their balance")
    args = parser.parse_args()
    names = ORDER if args.all else args.names
    if not names:
        parser.error("name the tracks, or --all")
    for name in names:
        if name not in TRACKS:
            parser.error(f"no track {name}")
    out_dir = Path(args.out)
    out_dir.mkdir(parents=True, exist_ok=True)
    built = []
    for name in names:
        print(f"{name}:")
        if build(name, out_dir, sim=args.sim, stems_only=args.stems_only) and not args.stems_only:
            built.append(name)
    if args.report and built:
        _, report = check.full_report(built, args.sim, out_dir, rolls=out_dir / "rolls")
        (out_dir / "report.md").write_text(report, encoding="utf-8")
        print(report)
    return 0


if __name__ == "__main__":
    sys.exit(main())
