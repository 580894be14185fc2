"""The themes of the five pieces as independent transcriptions have them: what melody.py holds
the scores against.

A theme is a melody in songs/notation.py's notation (a beat is a quarter note), its pick-up (the
beats before its first bar line) and its bar length. The pitches and rhythms are copied from the
source named with each theme, in that source's key and octave: the check compares without regard
to transposition. Where a source writes in another metre, the conversion is said beside it.
These are facts about public-domain melodies; the arrangements in songs/ are our own.

Sources (public repositories, read as text):
  [S1] MutopiaProject/MutopiaProject ftp/VivaldiA/O8/spring/spring-lys/spring1a.ly, first violin
       (spring1d.ly, the cello and bass, for the harmony).
  [S2] parmaja/love2d-tyro demos/music.lua, the string WilliamTell: a QBasic PLAY transcription of
       the whole finale; o3 is read as octave 4 (middle C's), one quarter note a beat of the show.
  [S3] nyannkov/Psgino examples/sound_effect/sound_effect.ino: the refrain in three voices (MML, in
       F). It writes the 6/8 lilt as dotted eighth and sixteenth; read as quarter and eighth of
       6/8, as the inner voice of [S4] has it.
  [S4] cellist/Lilypond-Sheet-Music "Luigi Denza/Funiculi Funicula/in Es/" v2.ily and v3.ily
       (inner voice and bass, in E flat, 6/8): the rhythm of the refrain and the harmony.
  [S5] "RADETZKY MARCH, simplified arrangement for string orchestra" (LilyPond, entered by Vijay
       Lulla, 2017), in 2/2 with the march's 2/4 written in doubled values: halved here. Its
       melody lies an octave below the violins' usual one.
  [S6] "Can-Can - Galop infernal", a LilyPond flute sheet (absolute pitches, 2/4), which starts in
       the theme's fourth bar and runs round to its third: put back in order here.
  [S7] Xeralp-R/tyftm_music Orange_Book/Can_Can.ly: the Galop for piano (D major, 2/4, absolute
       pitches), the right hand's top notes; its strains in order: bars 17-26 (repeated), 27-35,
       the can-can in G (43-59), bars 17-26 again (60-81), the can-can in D (82-98). Grace notes
       are left out.
  [S8] OpenRCT2/OpenMusic fairground_style/funiculi_funicula/funiculi_funicula.ly (after the
       Ricordi vocal score, Sibley 1802.8869): the soprano, in E flat, 6/8. Bars are counted in
       the soprano's staff, its 15-bar introduction included; its organ gives the harmony.

The introduction of bgm is our own (a call on tonic and dominant): it is not held against one.
"""

from dataclasses import dataclass


@dataclass(frozen=True)
class Theme:
    song: str       # the track: bgm, tell, fun, rad, spring
    name: str
    text: str       # the melody, pick-up first
    pickup: float   # beats before the first bar line
    bar: int        # beats in a bar
    main: bool      # the theme that makes the piece recognisable
    source: str


THEMES = [
    # --- Offenbach, Galop infernal -------------------------------------------------------------
    Theme("bgm", "can-can", "C5/2 | D5/8 F5 E5 D5 | G5/4 G5 | G5/8 A5 E5 F5 | D5/4 D5 | D5/8 F5 E5 D5 | "
          "C5/8 C6 B5 A5 | G5/8 F5 E5 D5 | C5/2 | D5/8 F5 E5 D5 | G5/4 G5 | G5/8 A5 E5 F5 | D5/4 D5 | "
          "D5/8 F5 E5 D5 | C5/8 G5 D5 E5 | C5/4 G4/4", 0, 2, True, "[S6], its bars 14-16 and 1-13"),
    # The strain between the can-can's statements, with its first ending and then its second.
    Theme("bgm", "second strain", "A4/8 E5 E5 F#5 | E5/8 D5 D5 F#5 | G5/8 B5 D6 B5 | B5/8 A5 A5/4 | "
          "B5/8 C#5 C#5 B5 | A5/8 D5 D5 F#5 | F#5/8 E5 F#5 E5 | F#5/8 E5 F#5 E5 | A4/8 E5 E5 F#5 | "
          "E5/8 D5 D5 F#5 | G5/8 B5 D6 B5 | B5/8 A5 A5/4 | B5/8 C#5 C#5 B5 | A5/8 D5 D5 F#5 | "
          "F#5/8 E5 F#5 E5 | E5/8 D5 D5/4", 0, 2, False, "[S7] bars 17-24, then 17-22 and 25-26"),

    # --- Rossini, William Tell, finale ---------------------------------------------------------
    Theme("tell", "galop", "B4/16 B4 | B4/8 B4/16 B4 B4/8 B4/16 B4 | E5/8 F#5 G#5 B4/16 B4 | "
          "B4/8 B4/16 B4 E5/8 G#5/16 G#5 | F#5/8 D#5 B4 B4/16 B4 | B4/8 B4/16 B4 B4/8 B4/16 B4 | "
          "E5/8 F#5 G#5 E5/16 G#5 | B5/4 B5/16 A5 G#5 F#5 | E5/8 G#5 E5 r/8", 0.5, 2, True,
          "[S2] bars 26-33 (the second, upper statement)"),
    Theme("tell", "fanfare", "B3/4 r/8 B3/16 B3 | B3/4 r/8 B3/16 B3 | B3/8 G#3 E3 G#3 | B3/8 G#3 B3 E4 | "
          "B3/8 G#3 E3 G#3 | B3/8 G#3 B3 E4 | B3/4 r/8 B3/16 B3 | B3/4 r/8 B3/16 B3 | B3/4 r/8 B3/16 B3 | "
          "B3/4 r/8 B3/16 B3 | B3/8 B3/16 B3 B3/8 B3 | B3/8 B3/16 B3 B3/8 B3 | B3/8 B3/16 B3 B3/8 B3 | "
          "B3/8 B3/16 B3 B3/8 B3", 0, 2, False, "[S2] bars 1-14, the trumpets' call"),
    Theme("tell", "minor strain", "G#4/16 G#4 | G#4/8 G#4/16 G#4 G#4/8 G#4/16 G#4 | G#4/8 C#5 G#4 C#5 | "
          "G#4/8 C#5 G#4 F#4 | E4/8 D#4 C#4 G#4/16 G#4 | G#4/8 G#4/16 G#4 G#4/8 G#4/16 G#4 | "
          "G#4/8 C#5 G#4 C#5 | G#4/8 C#5 B4 A#4 | B4/8 A#4 B4 r/8", 0.5, 2, False, "[S2] bars 34-41"),
    Theme("tell", "horn call", "F#3/16 F#3 | F#3/8 F#3/16 F#3 F#3/8 G#3 | A3/8 F#3/4 A3/8 | G#3/8 E3/4 G#3/8 | "
          "F#3/8 F#3 F#3 F#4/16 F#4 | F#4/8 F#4/16 F#4 F#4/8 G#4 | A4/8 F#4/4 A4/8 | G#4/8 E4/4 G#4/8 | "
          "F#4/8 r/8 r/4", 0.5, 2, False, "[S2] bars 50-57"),
    Theme("tell", "second theme", "E5/8 E5/16 E5 E5/8 E5 | G#5/4 G#5/8 F#5 | E5/8 D#5 E5 C#5 | "
          "B4/16 C#5 B4 C#5 B4 C#5 D#5 E5 | A4/16 B4 A4 B4 A4 B4 C#5 D#5 | G#4/16 A4 G#4 A4 G#4 A4 B4 C#5 | "
          "F#4/16 G#4 F#4 G#4 F#4 G#4 F#4 G#4 | F#4/16 G#4 F#4 D#4 B3 B4 C#5 D#5 | E5/8 E5/16 E5 E5/8 E5 | "
          "G#5/4 G#5/8 F#5 | E5/8 D#5 E5 C#5 | B4/16 C#5 B4 C#5 B4 C#5 D#5 E5 | A4/16 B4 A4 B4 A4 B4 C#5 D#5 | "
          "G#4/16 A4 G#4 A4 G#4 A4 B4 C#5 | F#4/16 G#4 F#4 G#4 F#4 A4 G#4 F#4 | E4/8 B3 E4 r/8", 0, 2, False,
          "[S2] bars 116-131"),

    # --- Denza, Funiculì, funiculà --------------------------------------------------------------
    # 6/8: a beat is a dotted quarter, the eighth 8t, the quarter 4t.
    Theme("fun", "refrain", "E5/4 D5/8t r/4t | E5/4 D5/8t r/8t D5/8t | F5/4t E5/8t D5/4t F5/8t | E5/2 | "
          "E5/4 D5/8t r/4t | E5/4 D5/8t r/8t D5/8t | F5/4t E5/8t D5/4t F5/8t | C5/4t A4/8t A4/8t r/8t A4/8t | "
          "A4/4t A4/8t A4/8t r/8t A4/8t | A4/4t A4/8t A4/8t r/8t A4/8t | A4/4t A4/8t A4/8t r/8t A4/8t | F5/2 | "
          "G5/4t F5/8t D5/4t F5/8t | C5/4t A4/8t A4/4t Bb4/8t | C5/4t Bb4/8t A4/4t G4/8t | F4/2", 0, 2, True,
          "[S3] voice 1, its rhythm checked against the inner voice of [S4]"),
    # The verse: its first couplet, and its last, which climbs to the dominant of the refrain.
    Theme("fun", "verse", "Bb4/8t | Eb5/2 | ~/4t Eb5/8t D5/4t D5/8t | Bb4/4t Bb4/8t C5/4t C5/8t | G4/4 G4/4 | "
          "~/4t G4/8t F4/4t Eb4/8t | Eb4/2 | ~/8t r/8t G4/8t F4/4t Eb4/8t | Eb4/2", 1 / 3, 2, False,
          "[S8] bars 19-27, \"Aissera, oje Nanninè ... tu saje addò?\""),
    Theme("fun", "verse, last couplet", "Bb4/8t | Bb4/2 | ~/4t Bb4/8t C5/4t C5/8t | Bb4/4t Bb4/8t C5/4t C5/8t | "
          "Bb4/4 Bb4/4 | ~/4t F4/8t F4/4t F4/8t | F4/2 | ~/8t r/8t F4/8t F4/4t F4/8t | F4/2", 1 / 3, 2, False,
          "[S8] bars 46-54"),

    # --- Johann Strauss I, Radetzky March --------------------------------------------------------
    Theme("rad", "theme", "F#4/16 E#4 | F#4/8 F#4/16 E#4 F#4/8 F#4/16 E#4 | F#4/8 E4 D4 F#4/16 E#4 | "
          "F#4/8 F#4/16 E#4 F#4/8 F#4/16 E#4 | F#4/8 B4 A4 A4/16 F#4 | G4/8 B4 A4 A4/16 E4 | "
          "F#4/8 B4 A4 A4/16 F#4 | E4/8 C#5 D4 B4 | A4/8 A4/16 G#4 A4 B4 A4 G4", 0.5, 2, True, "[S5] bars 5-12"),
    Theme("rad", "theme, close", "F#4/8 F#4/16 E#4 F#4/8 F#4/16 E#4 | F#4/8 E4 D4 F#4/16 E#4 | "
          "F#4/8 F#4/16 E#4 F#4/8 F#4/16 E#4 | F#4/8 B4 A4 A4/16 F#4 | G#4/8 F#5 E5/4 | F#4/8 E5 D5/4 | "
          "C#5/8. B4/16 A4 G4 F#4 E4 | D4/8 D5 D5 r/8", 0, 2, False, "[S5] bars 45-52"),
    Theme("rad", "introduction", "D5/16 D5 D5/8 D5/16 D5 D5/8 | F#5/8 E5 D5/8. C#5/16 | "
          "B4/16 A#4 B4 C#5 D5/8 E5 | A4/8 r/8 r/4", 0, 2, False, "[S5] bars 1-4"),
    Theme("rad", "second strain", "D4/8 D4/16 C#4 D4/8 D4/16 C#4 | D4/8 G4 B3 D4/16 C#4 | "
          "D4/8 D4/16 C#4 D4/8 D4/16 C#4 | D4/8 F#4 A3 A4 | A4/4 G4/8 B4 | B4/4 A4/8 D5 | "
          "C#5/8 C#5/16 B4 A4/8 G4 | G4/8 B4/16 A4 G4/8 F#4 | A4/4 G4/8 B4 | B4/4 A4/8 D5 | "
          "C#5/8 C#5/16 A#4 B4/8 D5 | C#5/8 C#5/16 A#4 B4/8 D5 | F#5/8 F#5/16 F#5 F#5/8 F#5/16 F#5 | "
          "F#5/8 F#4/16 F#4 F#4/8 F#4/16 F#4 | F#4/8 F#4/16 E#4 F#4/8 F#4/16 E#4 | "
          "F#4/8 F#4/16 E#4 F#4/8 F#4/16 E#4", 0, 2, False, "[S5] bars 21-36"),
    Theme("rad", "trio", "E4/16 C#5 C#5/4 E4/8 | E4/16 C#5 C#5/4 D4/8 | E4/16 A4 C#5/8 C#5 C#5 | "
          "C#5/4. B3/16 C#4 | D4/16 G#4 B4/4 A4/8 | G#4/16t A4 G#4 F#4/8 F#4 F#4 | E4/16 A4 C#5/8 C#5 C#5 | "
          "C#4/4. E4/8 | E4/16 C#5 C#5/4 E4/8 | E4/16 C#5 C#5/4 D4/8 | E4/16 C#5 C#5/8 C#5 C#5 | "
          "C#5/4. B3/16 C#4 | D4/16 G#4 B4/4 A4/8 | G#4/16t A4 G#4 F#4/8 F#4 F#4 | E4/16 A4 C#5/8 D4/16 G#4 B4/8 | "
          "A4/4. G#4/16 A4", 0, 2, False, "[S5] bars 57-72"),
    Theme("rad", "trio, second part", "B4/16 D5 G#5/4 F#5/8 | E5/16t F#5 E5 D5/8 D5 D5 | C#5/16 E5 A5/8 A5 A5 | "
          "A4/4. B3/16 C#4 | D4/16 G#4 B4/4 A4/8 | G#4/16t A4 G#4 F#4/8 F#4 F#4 | A4/16 C#5 E5/4 D5/16 C#5 | "
          "B4/16 A4 G#4 F#4 E4/8 D4", 0, 2, False, "[S5] bars 73-80"),

    # --- Vivaldi, Spring, Allegro ----------------------------------------------------------------
    Theme("spring", "ritornello", "E5/8 | G#5/8 G#5 G#5 F#5/16 E5 B5/4. B5/16 A5 | "
          "G#5/8 G#5 G#5 F#5/16 E5 B5/4. B5/16 A5 | G#5/8 A5/16 B5 A5/8 G#5 F#5 D#5 B4 E5 | "
          "G#5/8 G#5 G#5 F#5/16 E5 B5/4. B5/16 A5 | G#5/8 G#5 G#5 F#5/16 E5 B5/4. B5/16 A5 | "
          "G#5/8 A5/16 B5 A5/8 G#5 F#5/4 r/8", 0.5, 4, True, "[S1] bars 1-6"),
    Theme("spring", "second motif", "E5/8 | B5/8 A5/16 G#5 A5/8 B5 C#6 B5/4 E5/8 | "
          "B5/8 A5/16 G#5 A5/8 B5 C#6 B5/4 E5/8 | C#6/8 B5/4 A5/8 G#5 F#5/16 E5 F#5/4 | "
          "E5/4 r/8 E5/8 B5/8 A5/16 G#5 A5/8 B5 | C#6/8 B5/4 E5/8 B5/8 A5/16 G#5 A5/8 B5 | "
          "C#6/8 B5/4 E5/8 C#6/8 B5/4 A5/8 | G#5/8 F#5/16 E5 F#5/4 E5/4 r/4", 0.5, 4, False, "[S1] bars 7-13"),
]


def themes(song=None):
    return [t for t in THEMES if song is None or t.song == song]
