#!/usr/bin/python3
"""Checks the committed tracks: format, loudness, true peak, and how well the songs fall on the beats.

    /usr/bin/python3 tools/music/check.py [--sim PATH] [--markdown FILE] [--readme] [name ...]

Per track: the audio frames after the Info frame, the bit rate, the channel mode, the duration,
the integrated loudness and the true peak (ffmpeg's ebur128), and for the four songs how far the
rendered onsets fall from the show's beats. For spring, the second difference of the samples where
the track's end runs on into the loop start, against its usual size there (a click would stand out).

Times refer to the gapless decoding: sample 0 is the first sample given to the encoder, which is
the player's position 0 (ffmpeg and GStreamer drop the encoder delay that the LAME tag states).

The onsets: for every show beat on which the score strikes a drum, the attack within 25 ms of the
beat with the steepest rise of the energy of the signal's second difference (which brings out the
drums), timed where it has climbed halfway; a peak less than three times the quiet before it
counts as unclear (a soft hit under a ringing cymbal, say). The same detector measures the renderer's own
attack delay of each drum in build.py, which is what the music is shifted by.
"""

import argparse
import importlib.util
import re
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

from beats import SAMPLE_RATE, FRAME_SAMPLES, TRACKS, show_beats, song_beats  # noqa: E402
from score import Score  # noqa: E402

ROOT = HERE.parents[1]
TRACK_DIR = ROOT / "assets" / "tracks"
SONGS = ("bgm", "tell", "fun", "rad")
LOOP_START = round(0.984 * SAMPLE_RATE)  # spring.res loops back to 0.984 s

# ---------------------------------------------------------------------------------------------
# MP3 frames.

BITRATES = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
MODES = ["stereo", "joint stereo", "dual channel", "mono"]


def mp3_frames(data):
    """(info frame count or None, [(kbit/s, mode)] of the audio frames) of an MPEG-1 Layer III file."""
    pos = 0
    if data[:3] == b"ID3":
        size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
        pos = 10 + size
    end = len(data) - (128 if data[-128:-125] == b"TAG" else 0)
    frames, info = [], None
    while pos + 4 <= end:
        h = data[pos:pos + 4]
        if h[0] != 0xFF or (h[1] & 0xFE) != 0xFA:
            raise ValueError(f"no MPEG-1 Layer III frame at byte {pos}")
        kbps, rate, padding, mode = BITRATES[h[2] >> 4], (h[2] >> 2) & 3, (h[2] >> 1) & 1, h[3] >> 6
        if rate != 0:
            raise ValueError("not 44 100 Hz")
        length = 144000 * kbps // SAMPLE_RATE + padding
        side = 17 if mode == 3 else 32
        tag = data[pos + 4 + side:pos + 8 + side]
        if not frames and info is None and tag in (b"Info", b"Xing"):
            flags = int.from_bytes(data[pos + 8 + side:pos + 12 + side], "big")
            info = int.from_bytes(data[pos + 12 + side:pos + 16 + side], "big") if flags & 1 else -1
        else:
            frames.append((kbps, mode))
        pos += length
    return info, frames


def decode(path):
    """The gapless decoding of an MP3 file, float samples (n, 2)."""
    out = subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "f32le", "-ac", "2",
                          "-ar", str(SAMPLE_RATE), "-"], check=True, capture_output=True).stdout
    return np.frombuffer(out, dtype="<f4").reshape(-1, 2).astype(np.float64)


# ---------------------------------------------------------------------------------------------
# Loudness.

def loudness(samples):
    """(integrated loudness in LUFS, true peak in dBTP) of float samples (n, 2), by ffmpeg's ebur128."""
    with tempfile.NamedTemporaryFile(suffix=".f32") as raw:
        np.asarray(samples, dtype="<f4").tofile(raw.name)
        err = subprocess.run(
            ["ffmpeg", "-nostats", "-hide_banner", "-f", "f32le", "-ar", str(SAMPLE_RATE), "-ac", "2",
             "-i", raw.name, "-af", "ebur128=peak=true", "-f", "null", "-"],
            check=True, capture_output=True, text=True).stderr
    summary = err[err.rfind("Summary:"):]
    integrated = float(re.search(r"I:\s+(-?[\d.]+|-inf) LUFS", summary).group(1))
    peak = re.search(r"True peak:\s+Peak:\s+(-?[\d.]+|-inf) dBFS", summary).group(1)
    return integrated, float(peak)


def momentary(samples):
    """The momentary loudness (LUFS, 400 ms windows) every 100 ms, by ffmpeg's ebur128: value i
    covers the 400 ms ending at (i + 1) / 10 s."""
    with tempfile.NamedTemporaryFile(suffix=".f32") as raw:
        np.asarray(samples, dtype="<f4").tofile(raw.name)
        err = subprocess.run(
            ["ffmpeg", "-v", "verbose", "-nostats", "-hide_banner", "-f", "f32le", "-ar", str(SAMPLE_RATE),
             "-ac", "2", "-i", raw.name, "-af", "ebur128=framelog=verbose", "-f", "null", "-"],
            check=True, capture_output=True, text=True).stderr
    return np.array([float(m) for m in re.findall(r"\bM:\s*(-?[\d.]+|-inf)", err[:err.rfind("Summary:")])])


def window_loudness(series, start_s, end_s):
    """The loudness of the stretch start_s..end_s from a momentary series: the energy mean of the
    400 ms windows inside it that are above -70 LUFS (the absolute gate); -inf when none is."""
    first, last = int(np.ceil((start_s + 0.4) * 10)) - 1, int(np.floor(end_s * 10)) - 1
    values = series[max(first, 0):max(last + 1, 0)]
    values = values[values > -70]
    if len(values) == 0:
        return float("-inf")
    return float(10 * np.log10(np.mean(10 ** (values / 10))))


# ---------------------------------------------------------------------------------------------
# Onsets.

SMOOTH = 132  # samples of the energy's smoothing window (3 ms)
STEP = 44     # samples over which the rise is taken (1 ms)
SIDE = 353    # samples (8 ms) either side of the steepest rise in which the attack is measured


def onset_strength(samples):
    """The short-time energy of the signal's second difference (which weights the highs, where a
    drum's attack stands out from the sustained notes)."""
    mono = np.asarray(samples, dtype=np.float64)
    if mono.ndim == 2:
        mono = mono.sum(axis=1)
    curve = np.zeros_like(mono)
    curve[2:] = mono[2:] - 2 * mono[1:-1] + mono[:-2]
    window = np.hanning(SMOOTH + 2)[1:-1]
    return np.convolve(curve ** 2, window / window.sum(), mode="same")


def onset_near(energy, sample, reach):
    """The onset nearest `sample` within `reach` samples: where the steepest rise of the energy lies,
    the moment that rise has climbed halfway from the quiet before it to the peak after it. Also
    its prominence (the peak over the quiet). (None, 0) at the signal's edges."""
    lo, hi = int(sample) - reach, int(sample) + reach
    if lo - SIDE < 0 or hi + SIDE + STEP > len(energy):
        return None, 0.0
    rise = energy[lo + STEP:hi + STEP] - energy[lo:hi]
    steepest = lo + int(np.argmax(rise))
    quiet_at = steepest - SIDE + int(np.argmin(energy[steepest - SIDE:steepest + 1]))
    quiet = energy[quiet_at]
    peak = energy[steepest:steepest + SIDE].max()
    half = quiet_at + int(np.argmax(energy[quiet_at:steepest + SIDE] >= quiet + 0.5 * (peak - quiet)))
    return half, float(peak / (quiet + 1e-15))


def load_song(name):
    path = HERE / "songs" / f"{name}.py"
    if not path.exists():
        return None
    found = importlib.util.spec_from_file_location(f"songs_{name}", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def drum_beats(name, sim=None):
    """(beat times ms, the beats k >= 1 on which the score strikes a drum) of a song, composed anew."""
    module = load_song(name)
    if module is None:
        return None, None
    times, labels = song_beats(name, sim=sim)
    score = Score(times, labels)
    module.compose(score)
    struck = set()
    for part in score.parts:
        if part.channel == 9:
            for beat, _, _, _ in part.notes:
                if beat == int(beat) and beat >= 1:
                    struck.add(int(beat))
    return times, sorted(k for k in struck if k < len(times) - 1)


def alignment(samples, times, beats, reach_ms=25.0):
    """Offsets in ms (onset minus beat) for the given beats, and how many beats showed no clear onset."""
    energy = onset_strength(samples)
    reach = int(reach_ms * SAMPLE_RATE / 1000)
    offsets, unclear = [], 0
    for k in beats:
        expected = times[k] * SAMPLE_RATE / 1000.0
        at, prominence = onset_near(energy, round(expected), reach)
        if at is None or prominence < 3.0:
            unclear += 1
            continue
        offsets.append((at - expected) * 1000.0 / SAMPLE_RATE)
    return np.array(offsets), unclear


def stats(offsets):
    if len(offsets) == 0:
        return "–", "–", "–"
    a = np.abs(offsets)
    return f"{np.percentile(a, 50):.1f}", f"{np.percentile(a, 99):.1f}", f"{a.max():.1f}"


# ---------------------------------------------------------------------------------------------
# The loop of spring.

def splice_curvature(samples, end, start, span=2205):
    """Plays samples[:end] then samples[start:]: (the largest second difference at the splice,
    the 99th percentile of the second differences in the 50 ms either side), the larger channel.
    A click stands out as a splice value well above the percentile."""
    joined = np.concatenate([samples[end - span:end], samples[start:start + span]])
    curvature = np.abs(np.diff(joined, 2, axis=0)).max(axis=1)
    at = span - 1  # the second difference that straddles the splice
    return float(curvature[at - 2:at + 2].max()), float(np.percentile(curvature, 99))


def loop_jump(samples, start=LOOP_START):
    """The loop from the end to `start`, and for comparison a splice 10 ms off it."""
    return splice_curvature(samples, len(samples), start), splice_curvature(samples, len(samples), start + 441)


# ---------------------------------------------------------------------------------------------

SONG_LUFS = -16.0
EYE_CUT = 1.215  # s: three beats of 405 ms, where the show's song is loaded and cuts the fanfare


def bgm_shows(samples, beats, sim=None):
    """bgm.res is timed to the mean of the two Heaven and Hell shows' beat maps: how far its onsets
    fall from each show's own beats (each onset as measured against the mean map, plus the
    distance from the mean to that show's beat)."""
    times, _ = song_beats("bgm", sim=sim)
    t0, _ = show_beats("bgm", mode=0, sim=sim)
    t1, _ = show_beats("bgm", mode=1, sim=sim)
    n = min(len(times), len(t0), len(t1)) - 1
    gap = np.abs(np.array(t1[:n]) - np.array(t0[:n]))
    energy = onset_strength(samples)
    reach = int(25.0 * SAMPLE_RATE / 1000)
    found = {}
    for k in beats:
        if k < n:
            at, prominence = onset_near(energy, round(times[k] * SAMPLE_RATE / 1000), reach)
            if at is not None and prominence >= 3.0:
                found[k] = at * 1000.0 / SAMPLE_RATE
    parts = []
    for label, show in (("Heaven and Hell (mode 0)", t0), ("ver. 2 (mode 1)", t1)):
        p50, p99, top = stats(np.array([found[k] - show[k] for k in found]))
        parts.append(f"{label} p50 {p50} / p99 {p99} / max {top} ms")
    return (f"bgm is timed to the mean of the two shows' beat maps, which lie {np.median(gap):.0f} ms (median) "
            f"and up to {gap.max():.0f} ms apart; its {len(found)} clear onsets fall from each show's beats: "
            + "; ".join(parts) + ".")


def eye_decay(samples, span=0.05):
    """How far under its loudest 50 ms the fanfare is in the 50 ms before the cut (dB)."""
    mono = np.asarray(samples).mean(axis=1)
    size = int(span * SAMPLE_RATE)
    blocks = mono[:len(mono) // size * size].reshape(-1, size)
    rms = np.sqrt((blocks ** 2).mean(axis=1)) + 1e-12
    cut = int(EYE_CUT * SAMPLE_RATE)
    tail = np.sqrt((mono[cut - size:cut] ** 2).mean()) + 1e-12
    return (f"eye: the 50 ms before the cut at {EYE_CUT} s lie {20 * np.log10(tail / rms.max()):.1f} dB under "
            f"its loudest 50 ms (nothing fades it: the chord dies away by itself).")


def check(names, sim=None):
    rows, notes = [], []
    for name in names:
        path = TRACK_DIR / f"{name}.mp3"
        frames_wanted, kbps_wanted = TRACKS[name]
        data = path.read_bytes()
        info, frames = mp3_frames(data)
        rates = sorted({k for k, _ in frames})
        modes = sorted({MODES[m] for _, m in frames})
        samples = decode(path)
        integrated, peak = loudness(samples)
        row = {
            "track": name, "frames": len(frames), "info": info,
            "kbps": "/".join(map(str, rates)), "mode": "/".join(modes),
            "duration": len(frames) * FRAME_SAMPLES / SAMPLE_RATE,
            "decoded": len(samples), "lufs": integrated, "tp": peak,
            "ok": len(frames) == frames_wanted and info == frames_wanted and rates == [kbps_wanted]
                  and modes == ["joint stereo"] and len(samples) == (frames_wanted - 1) * FRAME_SAMPLES,
            "align": None,
        }
        if name in SONGS:
            times, beats = drum_beats(name, sim)
            if times is not None:
                offsets, unclear = alignment(samples, times, beats)
                row["align"] = (len(beats), unclear) + stats(offsets)
                if name == "bgm":
                    notes.append(bgm_shows(samples, beats, sim))
        if name == "eye":
            notes.append(eye_decay(samples))
        if name == "kokab":
            notes.append(f"kokab: {integrated - SONG_LUFS:+.1f} dB against the songs' {SONG_LUFS:.0f} LUFS.")
        if name == "spring":
            (at_loop, usual), (off_loop, off_usual) = loop_jump(samples)
            notes.append(f"spring loop (end → {LOOP_START / SAMPLE_RATE:.3f} s): second difference at the "
                         f"splice {at_loop:.4f} against {usual:.4f} (p99 of the 50 ms around it); a splice "
                         f"10 ms later would give {off_loop:.4f} against {off_usual:.4f}.")
        rows.append(row)
    return rows, notes


def balance_table(out_dir, names):
    """The balance of each song's melody, accompaniment and percussion, rendered apart by build.py
    (out_dir/<name>.json), over the groups of eight beats in which the tune plays."""
    import json
    lines = ["| track | groups with the tune | melody over accompaniment: least / median | "
             "melody over percussion: least / median | groups under 3 LU |", "|---|---|---|---|---|"]
    for name in names:
        path = Path(out_dir, f"{name}.json")
        if not path.exists():
            continue
        windows = json.loads(path.read_text()).get("stems")
        if not windows:
            continue
        tuned = [w for w in windows if w[1] > -50]
        acc = np.array([w[1] - w[2] for w in tuned])
        perc = np.array([w[1] - w[3] for w in tuned])
        short = [w[0] for w in tuned if w[1] - w[2] < 3 or w[1] - w[3] < 3]
        fmt = lambda a: f"{a.min():.1f} / {np.median(a):.1f} LU" if np.isfinite(a).any() else "no percussion"  # noqa: E731
        lines.append(f"| {name} | {len(tuned)} of {len(windows)} | {fmt(acc)} | "
                     f"{fmt(perc[np.isfinite(perc)]) if np.isfinite(perc).any() else 'no percussion'} | "
                     f"{len(short)} |")
    return "\n".join(lines)


def full_report(names, sim=None, out_dir=None, rolls=None):
    """The report: the tracks, the notes, the melody check, the balance."""
    import melody
    rows, notes = check(names, sim)
    text = table(rows) + "\n\n" + "\n".join(f"- {n}" for n in notes) + "\n"
    songs = [n for n in names if n not in ("kokab", "eye")]
    if songs:
        text += ("\nThe melody check (melody.py): each reference theme against the score's melody line, "
                 "transposition-free, note for note in pitch and in place in the bar.\n\n"
                 + melody.table(melody.check(songs, sim, rolls)) + "\n")
    if out_dir and songs:
        text += ("\nThe balance (build.py renders each song's melody, accompaniment and percussion apart; "
                 "loudness per group of eight beats):\n\n" + balance_table(out_dir, songs) + "\n")
    return rows, text


def table(rows):
    lines = ["| track | frames | kbit/s | mode | duration | loudness | true peak | beats checked | unclear | p50 ms | p99 ms | max ms |",
             "|---|---|---|---|---|---|---|---|---|---|---|---|"]
    for r in rows:
        frames = f"{r['frames']}" + ("" if r["info"] == r["frames"] else f" (Info {r['info']})")
        align = r["align"] or ("", "", "", "", "")
        lines.append(f"| {r['track']} | {frames} | {r['kbps']} | {r['mode']} | {r['duration']:.3f} s | "
                     f"{r['lufs']:.1f} LUFS | {r['tp']:.1f} dBTP | " + " | ".join(map(str, align)) + " |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("names", nargs="*", default=list(TRACKS))
    parser.add_argument("--sim", help="zumbolo-sim to take the show beats from")
    parser.add_argument("--markdown", help="also write the report to this file")
    parser.add_argument("--out", default=str(ROOT / "build" / "tools" / "music"),
                        help="the folder build.py wrote its numbers to (for the songs' balance)")
    parser.add_argument("--readme", action="store_true",
                        help="put the report into tools/music/README.md (between its report marks)")
    args = parser.parse_args()
    rows, report = full_report(args.names, args.sim, args.out)
    print(report)
    if args.markdown:
        Path(args.markdown).write_text(report, encoding="utf-8")
    if args.readme:
        readme = HERE / "README.md"
        text = readme.read_text(encoding="utf-8")
        begin, end = "<!-- report -->\n", "<!-- /report -->"
        head, _, rest = text.partition(begin)
        _, _, tail = rest.partition(end)
        readme.write_text(head + begin + report + end + tail, encoding="utf-8")
    bad = [r["track"] for r in rows if not r["ok"]]
    if bad:
        print("wrong format or frame count: " + ", ".join(bad), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
