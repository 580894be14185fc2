// "ウィリアムテル", danced to tell.res around TempoNormal (405 ms). The lead-in takes 50 beats
// (46 sub-steps, the closing beat 8, beats 9 to 11); then the script of beats 12 to 92 is danced
// six times: pass 1 from beat 12, passes 2 to 5 from beat 13, and pass 6, the coda, from beat 13
// to 79 with its own variants of beats 36, 60 and 68 to 79, skipping straight to beat 92. The
// interval is nudged a few milliseconds above or below TempoNormal on beats 36, 43, 60, 75 and 92.
// The show ends when the track ends.

#include "app/tform1.h"
#include "routines/routines.h"
#include "routines/song_cues.h"

namespace zumbolo {

namespace {

using namespace spot;

// ---- Conditions ----------------------------------------------------------------------------

using song::EffectsOff;
using song::EffectsOn;
bool PassFinal(const TForm1& f) { return f.dance.FinalPass; }
bool PassNotFinal(const TForm1& f) { return !f.dance.FinalPass; }
using song::NoRepeatPending;
using song::RepeatPending;

// ---- Actions -------------------------------------------------------------------------------

void LoadTellTrack(TForm1& f) { f.SendDance(dcLoadTellTrack); }
constexpr StepAction HalfTime = song::HalfTimeOfTempoNormal;
// The track starts before the tempo is set.
void PlayAtMinus4(TForm1& f) {
  song::PlaySong(f);
  f.SetInterval(f.TempoNormal - 4);
}
void PlayAtMinus2(TForm1& f) {
  song::PlaySong(f);
  f.SetInterval(f.TempoNormal - 2);
}

void ArmPasses(TForm1& f) {
  f.dance.FinalPass = false;
  f.dance.FirstPass = true;
  f.dance.RepeatPending = true;
}

void StartShow(TForm1& f) {
  f.SetInterval(f.TempoNormal + 1);
  song::EnterShow(f);
}

void CodaQuicken(TForm1& f) { f.SetInterval(f.TempoNormal - 6); }

// Beat 43: the tempo for the rest of the pass, by the passes done so far.
void Beat43Tempo(TForm1& f) {
  switch (f.dance.RepeatCount) {
    case 3: f.SetInterval(f.TempoNormal + 1); break;
    case 1: f.SetInterval(f.TempoNormal + 5); break;
    case 4: f.SetInterval(f.TempoNormal + 1); break;
    default: f.SetInterval(f.TempoNormal + 4); break;
  }
}

// Beat 75: a touch slower in the first pass and in pass 4.
void Beat75Tempo(TForm1& f) {
  if (f.dance.FirstPass || f.dance.RepeatCount == 3) {
    f.SetInterval(f.TempoNormal + 1);
  } else {
    f.SetInterval(f.TempoNormal);
  }
}

// Beat 79 of the coda: straight on to beat 92, then back home.
void SkipToEnd(TForm1& f) {
  f.dance.BeatCount = Stepped(f.dance.BeatCount, 12);
  f.window.MoveWindowTo(f.LeftOf(X::Home), f.TopOf(Y::Home));
}

// Beat 92 while repeats are pending: count the pass, set its tempo, and dance beat 12's pose and
// move (without the celebration) so that the next call is beat 13.
void LoopBack(TForm1& f) {
  f.dance.RepeatCount = Stepped(f.dance.RepeatCount, 1);
  switch (f.dance.RepeatCount) {
    case 1:
      f.SetInterval(f.TempoNormal + 1);
      f.dance.FirstPass = false;
      break;
    case 2: break;
    case 3: f.SetInterval(f.TempoNormal + 4); break;
    case 4: f.SetInterval(f.TempoNormal + 3); break;
    case 5:
      f.dance.RepeatPending = false;
      f.dance.FinalPass = true;
      f.SetInterval(f.TempoNormal + 1);
      break;
    default: break;
  }
  f.dance.BeatCount = Stepped(f.dance.BeatCount, -80);
  f.figures.ShowPose(3);
  f.window.MoveWindowTo(f.LeftOf(X::LeftMid), f.TopOf(Y::Home));
}

// ---- Lead-in -------------------------------------------------------------------------------

constexpr Step kSubSteps[] = {
    {0, Keep, Top(Y::Home), song::LoadHitSound},
    {2, Sparkle, Stay, song::PlayHitSoundOrHaltMusic},
    {5, Keep, Stay, LoadTellTrack},
    {6, Keep, Stay, HalfTime},
    {8, Pose(0)},
    {9, Keep, Stay, PlayAtMinus4, EffectsOn},
    {9, Keep, Stay, PlayAtMinus2, EffectsOff},

    {11, Pose(1)},
    {13, Pose(0)},
    {14, Pose(1)},
    {21, Pose(0)},
    {22, Pose(1)},
    {25, Pose(0)},
    {26, Pose(1)},
    {29, Pose(0)},
    {30, Pose(1)},

    {33, Pose(2)},
    {34, Pose(1)},
    {37, Pose(0)},
    {38, Pose(1)},
    {39, Pose(2)},
    {40, Pose(1)},
    {41, Pose(0)},
    {42, Pose(1)},
    {43, Pose(2)},
    {44, Pose(1)},

    {45, Pose(0), Stay, song::LeadInDone},
};

constexpr Step kAfterLoop = {8, Pose(5)};

constexpr Step kLeadIn[] = {
    {9, Pose(9)},
    {10, Pose(6), Stay, ArmPasses},
    {11, Pose(1), Stay, StartShow},
};

// ---- Show ----------------------------------------------------------------------------------

constexpr Step kShow[] = {
    {12, Pose(3), LM, song::Celebrate},  // pass 1 only; later passes start at beat 13
    {13, Pose(1), H},
    {14, Pose(8), RM},
    {15, Pose(1), H},
    {16, Pose(3), LM},
    {17, Pose(1), H},
    {18, Pose(8), RM},
    {19, Pose(1), H},

    {20, Pose(5), U},
    {21, Pose(11), H},
    {22, Pose(8), U},
    {23, Pose(0), H},
    {24, Pose(6), U},
    {25, Pose(9), H},
    {26, Pose(3), U},
    {27, Pose(2), H},

    {28, Poses(5, 1, 6), U},
    {29, Poses(11, 1, 9), H},
    {30, Poses(5, 1, 6), U},
    {31, Poses(1, 1, 1), H},
    {32, Poses(5, 1, 6), U},
    {33, Poses(11, 1, 9), H},
    {34, Poses(5, 1, 6), U},
    {35, Poses(1, 1, 1), H},

    {36, Pose(3), LM, nullptr, PassNotFinal},
    {36, Pose(3), LM, CodaQuicken, PassFinal},
    {37, Pose(1), H},
    {38, Pose(8), RM},
    {39, Pose(0), H},
    {40, Pose(5), U},
    {41, Pose(11), H},
    {42, Pose(6), U},
    {43, Pose(2), H, Beat43Tempo},

    {44, Pose(3), LM},
    {45, Pose(5), LF},
    {46, Pose(6), LM},
    {47, Pose(1), H},
    {48, Pose(6), RM},
    {49, Pose(8), RF},
    {50, Pose(3), RM},
    {51, Pose(1), H},

    {52, Pose(1), U},
    {53, Pose(0), H},
    {54, Pose(1), U},
    {55, Pose(2), H},
    {56, Pose(1), U},
    {57, Pose(0), H},
    {58, Pose(1), U},
    {59, Pose(2), H},

    {60, Poses(5, 1, 6), U, nullptr, PassNotFinal},
    {60, Poses(5, 1, 6), U, CodaQuicken, PassFinal},
    {61, Poses(3, 1, 8), H},
    {62, Poses(5, 1, 6), U},
    {63, Pose(1), H},
    {64, Poses(5, 1, 6), U},
    {65, Poses(3, 1, 8), H},
    {66, Poses(5, 1, 6), U},
    {67, Pose(1), H},

    // In the coda, beats 68 to 75 only change the poses.
    {68, Keep, LMU, nullptr, PassNotFinal},
    {68, Pose(0), Stay, nullptr, PassFinal},
    {69, Keep, LF, nullptr, PassNotFinal},
    {69, Pose(6), Stay, nullptr, PassFinal},
    {70, Pose(1), LMU, nullptr, PassNotFinal},
    {70, Pose(9), Stay, nullptr, PassFinal},
    {71, Pose(2), H, nullptr, PassNotFinal},
    {71, Pose(3), Stay, nullptr, PassFinal},
    {72, Pose(1), RMU, nullptr, PassNotFinal},
    {72, Pose(2), Stay, nullptr, PassFinal},
    {73, Pose(0), RF, nullptr, PassNotFinal},
    {73, Pose(6), Stay, nullptr, PassFinal},
    {74, Pose(1), RMU, nullptr, PassNotFinal},
    {74, Pose(9), Stay, nullptr, PassFinal},
    {75, Pose(2), H, Beat75Tempo, PassNotFinal},
    {75, Pose(3), Stay, Beat75Tempo, PassFinal},

    {76, Pose(1), U},
    // In the coda, beats 77 to 79 only move the window, and beat 79 skips to beat 92.
    {77, Poses(-1, 0, -1), H, nullptr, PassNotFinal},
    {77, Keep, H, nullptr, PassFinal},
    {78, Poses(-1, 3, -1), U, nullptr, PassNotFinal},
    {78, Keep, U, nullptr, PassFinal},
    {79, Poses(1, 4, -1), H, nullptr, PassNotFinal},
    {79, Keep, Stay, SkipToEnd, PassFinal},

    {80, Poses(2, 6, -1), U},
    {81, Poses(0, 7, 0), H},
    {82, Pose(1), U},
    {83, Pose(2), H},
    {84, Pose(1), U},

    {85, Poses(-1, 0, -1), H},
    {86, Poses(-1, 8, -1), U},
    {87, Poses(-1, 7, 1), H},
    {88, Poses(-1, 3, 2), U},
    {89, Poses(0, 4, 0), H},

    {90, Pose(1), U},
    {91, Pose(2), H, nullptr, nullptr, true},  // the window moves before the pose

    {92, Keep, Stay, LoopBack, RepeatPending},
    {92, Pose(2), Stay, nullptr, NoRepeatPending},  // after the coda: pose 2, and stay so
};

}  // namespace

const Routine kWilliamTell = {"tell", kSubSteps, &kAfterLoop, kLeadIn, kShow};

}  // namespace zumbolo
