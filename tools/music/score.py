"""Music written in the beats of a show.

Beat 0 is the moment the show starts the track; beat k is the k-th beat of the show after it, at
the time the simulator gives. A beat is a quarter note: the MIDI tempo map gives every quarter
the length of its beat, so the notes fall on the dance however the show nudges its tempo.

    score = Score(beat_times_ms)            # beat_times_ms[k] = time of beat k after the start
    piano = score.part("melody", program=0)  # General MIDI program number, 0-based
    piano.note(4, 0.5, "E5")                 # at beat 4, half a beat long
    piano.chord(8, 2, ["C4", "E4", "G4"], velocity=70)
    drums = score.drums()
    drums.hit(8, "kick")
    score.write("tell.mid", end_ms=209528)
"""

NOTE_NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
DRUM_KEYS = {
    "kick": 36, "side": 37, "snare": 38, "clap": 39, "snare2": 40, "lowtom": 41, "hihat": 42,
    "midtom": 45, "openhat": 46, "hightom": 48, "crash": 49, "ride": 51, "tambourine": 54,
    "splash": 55, "cowbell": 56, "crash2": 57, "triangle": 81, "opentriangle": 81,
    "mutetriangle": 80, "woodblock": 76, "claves": 75, "shaker": 70, "bassdrum": 35,
}


def pitch(name):
    """'C4' is 60 (middle C), 'F#3' 54, 'Bb5' 82; a number passes through."""
    if isinstance(name, int):
        return name
    letter, rest = name[0].upper(), name[1:]
    value = NOTE_NAMES[letter]
    while rest and rest[0] in "#b":
        value += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return value + 12 * (int(rest) + 1)


class Part:
    def __init__(self, score, name, program, channel):
        self.score, self.name, self.program, self.channel = score, name, program, channel
        self.notes = []  # (start beat, length in beats, pitch, velocity)
        self.controls = []  # (beat, controller, value)

    def note(self, beat, length, name, velocity=90):
        self.notes.append((float(beat), float(length), pitch(name), int(velocity)))
        return self

    def chord(self, beat, length, names, velocity=80):
        for name in names:
            self.note(beat, length, name, velocity)
        return self

    def hit(self, beat, drum, velocity=100, length=0.25):
        key = DRUM_KEYS[drum] if isinstance(drum, str) else drum
        return self.note(beat, length, key, velocity)

    def control(self, beat, controller, value):
        """A MIDI controller change (7 volume, 10 pan, 11 expression, 64 sustain, 91 reverb)."""
        self.controls.append((float(beat), int(controller), int(value)))
        return self


class Score:
    TICKS = 480  # per beat

    def __init__(self, beat_times_ms, labels=None):
        """labels[k], when given, is what the show does on beat k: (BeatCount, DanceState) of the
        simulator's "beat N S" line, so a composer can find where the show's passes begin."""
        if len(beat_times_ms) < 2 or beat_times_ms[0] != 0:
            raise ValueError("beat times start at 0 and need at least two beats")
        self.beat_times = list(beat_times_ms)
        self.labels = list(labels) if labels else []
        self.parts = []
        self._channels = [c for c in range(16) if c != 9]

    def part(self, name, program):
        if not self._channels:
            raise ValueError("out of MIDI channels")
        part = Part(self, name, program, self._channels.pop(0))
        self.parts.append(part)
        return part

    def drums(self, name="drums"):
        part = Part(self, name, 0, 9)
        self.parts.append(part)
        return part

    def find(self, beat_count, dance_state=3, nth=0):
        """The music beat on which the show reaches "beat <beat_count> <dance_state>" for the nth
        time (0 = the first), or None."""
        seen = 0
        for k, label in enumerate(self.labels):
            if label == (beat_count, dance_state):
                if seen == nth:
                    return k
                seen += 1
        return None

    def balance(self, melody, accompaniment_db=0.0, percussion_db=0.0):
        """Sets the accompaniment (every tonal part not named in `melody`) and the percussion the
        given number of dB from the levels their volume controllers (7) have, so that the tune
        stands out. Where that would take a controller past 127, every part is lowered alike
        instead (the track's loudness is set afterwards)."""
        def db(part):
            return percussion_db if part.channel == 9 else (0.0 if part.name in melody else accompaniment_db)

        # the synthesizer's gain goes with the square of controller 7
        factors = {id(part): 10 ** (db(part) / 40) for part in self.parts}
        top = max([v * factors[id(part)] / 127 for part in self.parts for _, c, v in part.controls if c == 7],
                  default=1.0)
        for part in self.parts:
            factor = factors[id(part)] / max(1.0, top)
            part.controls = [(beat, c, max(1, round(v * factor)) if c == 7 else v) for beat, c, v in part.controls]

    def beat_length_ms(self, k):
        """The length of beat k; after the last known beat the last length goes on."""
        if k + 1 < len(self.beat_times):
            return self.beat_times[k + 1] - self.beat_times[k]
        return self.beat_times[-1] - self.beat_times[-2]

    def time_ms(self, beat):
        """The time of a (fractional) beat."""
        whole = int(beat)
        if whole < len(self.beat_times):
            start = self.beat_times[whole]
        else:
            start = self.beat_times[-1] + (whole - len(self.beat_times) + 1) * self.beat_length_ms(len(self.beat_times))
        return start + (beat - whole) * self.beat_length_ms(whole)

    def write(self, path, end_ms):
        """A type-1 MIDI file: the tempo map on track 0, one track per part. Every note must end by
        end_ms; the tempo map runs on to the end."""
        import mido  # only here: the scores themselves are plain Python

        midi = mido.MidiFile(type=1, ticks_per_beat=self.TICKS)
        tempo = mido.MidiTrack()
        midi.tracks.append(tempo)
        beats_needed = 0
        while self.time_ms(beats_needed) < end_ms:
            beats_needed += 1
        for k in range(beats_needed + 1):
            micros = int(round(self.beat_length_ms(k) * 1000))
            tempo.append(mido.MetaMessage("set_tempo", tempo=micros, time=0 if k == 0 else self.TICKS))
        for part in self.parts:
            track = mido.MidiTrack()
            midi.tracks.append(track)
            track.append(mido.MetaMessage("track_name", name=part.name, time=0))
            if part.channel != 9:
                track.append(mido.Message("program_change", channel=part.channel, program=part.program, time=0))
            events = []
            for beat, controller, value in part.controls:
                events.append((round(beat * self.TICKS), 0, mido.Message(
                    "control_change", channel=part.channel, control=controller, value=value)))
            for beat, length, key, velocity in part.notes:
                if self.time_ms(beat + length) > end_ms + 1:
                    raise ValueError(f"{part.name}: a note at beat {beat} runs past the end")
                on = round(beat * self.TICKS)
                off = max(on + 1, round((beat + length) * self.TICKS) - 1)
                events.append((on, 2, mido.Message("note_on", channel=part.channel, note=key, velocity=velocity)))
                events.append((off, 1, mido.Message("note_off", channel=part.channel, note=key, velocity=0)))
            events.sort(key=lambda e: (e[0], e[1]))
            now = 0
            for tick, _, message in events:
                track.append(message.copy(time=tick - now))
                now = tick
        midi.save(path)
        return midi
