// "天国と地獄", danced to bgm.res at TempoFast (353 ms). The lead-in takes 44 beats (40 sub-steps,
// the closing beat 8, beats 9 to 11); then the script of beats 12 to 92 is danced four times:
// pass 1 (RepeatCount 0) beats 12 to 87, looping back from 87; pass 2 (1) beats 12 to 92; pass 3
// (2) beats 17 to 92; pass 4 (3) beats 16 to 92, after which the figures stand in pose 2 until
// the track ends. The passes differ in beats 60 to 65 and 85 to 91, and in small tempo nudges on
// beats 43, 59, 67 and 83.

#include "app/tform1.h"
#include "routines/routines.h"
#include "routines/song_cues.h"

namespace zumbolo {

namespace {

using namespace spot;

// ---- Conditions ----------------------------------------------------------------------------

using song::EffectsOff;
using song::EffectsOn;
bool Rc0(const TForm1& f) { return f.dance.RepeatCount == 0; }
bool RcNot0(const TForm1& f) { return f.dance.RepeatCount != 0; }
bool Rc0Or3(const TForm1& f) { return f.dance.RepeatCount == 0 || f.dance.RepeatCount == 3; }
bool Rc1Or2(const TForm1& f) { return f.dance.RepeatCount == 1 || f.dance.RepeatCount == 2; }
constexpr StepCondition Rc3 = song::RepeatCount3;
bool RcNot3(const TForm1& f) { return f.dance.RepeatCount != 3; }
using song::NoRepeatPending;
using song::RepeatPending;

// ---- Actions -------------------------------------------------------------------------------

using song::LoadHeavenTrack;
constexpr StepAction HalfTime = song::HalfTimeOfTempoFast;
// The track starts before the tempo is set.
void PlayAtMinus3(TForm1& f) {
  song::PlaySong(f);
  f.SetInterval(f.TempoFast - 3);
}
void PlayAtMinus1(TForm1& f) {
  song::PlaySong(f);
  f.SetInterval(f.TempoFast - 1);
}

constexpr StepAction ArmRepeats = song::SetRepeatPending;
constexpr StepAction StartShow = song::EnterShowAtFastTempo;

void Beat43Tempo(TForm1& f) {
  if (f.dance.RepeatCount == 2) {
    f.SetInterval(f.TempoFast - 2);
  } else if (f.dance.RepeatCount == 1) {
    f.SetInterval(f.TempoFast + 3);
  }
}

void Beat59Tempo(TForm1& f) {
  if (f.dance.RepeatCount == 1) f.SetInterval(f.TempoFast);
}

void Beat67Tempo(TForm1& f) {
  if (f.dance.RepeatCount == 3) f.SetInterval(f.TempoFast - 2);
}

void Beat83Tempo(TForm1& f) {
  if (f.dance.RepeatCount == 3) f.SetInterval(f.TempoFast + 3);
}

// Beat 87 of pass 1: back to beat 12; beats 88 to 92 wait for pass 2.
void FirstLoopBack(TForm1& f) {
  if (f.dance.RepeatCount != 0) return;
  f.dance.RepeatCount = 1;
  f.dance.BeatCount = Stepped(f.dance.BeatCount, -76);
}

// Beat 92 while repeats are pending: pass 3 goes on with beat 17 (after beat 16's pose and move),
// pass 4 with beat 16.
void LoopBack(TForm1& f) {
  f.dance.RepeatCount = Stepped(f.dance.RepeatCount, 1);
  if (f.dance.RepeatCount == 3) {
    f.dance.RepeatPending = false;
    f.dance.BeatCount = Stepped(f.dance.BeatCount, -77);
    f.figures.ShowPose(2);
  } else {
    f.figures.ShowPose(3);
    f.window.MoveWindowTo(f.LeftOf(X::LeftMid), f.TopOf(Y::Home));
    f.dance.BeatCount = Stepped(f.dance.BeatCount, -76);
  }
}

// ---- Lead-in -------------------------------------------------------------------------------

constexpr Step kSubSteps[] = {
    {0, Keep, Top(Y::Home), song::LoadHitSound},
    {2, Sparkle, Stay, song::PlayHitSoundOrHaltMusic},
    {5, Keep, Stay, LoadHeavenTrack},
    {6, Keep, Stay, HalfTime},
    {8, Pose(0)},
    {9, Keep, Stay, PlayAtMinus3, EffectsOn},
    {9, Keep, Stay, PlayAtMinus1, EffectsOff},

    {11, Pose(1)},
    {13, Pose(0)},
    {14, Pose(1)},
    {21, Pose(0)},
    {22, Pose(1)},

    {28, Pose(2)},
    {29, Pose(1)},
    {32, Pose(0)},
    {33, Pose(1)},
    {35, Pose(2)},
    {36, Pose(1)},
    {37, Pose(0)},
    {38, Pose(1)},

    {39, Pose(2), Stay, song::LeadInDone},
};

constexpr Step kAfterLoop = {8, Pose(1)};

constexpr Step kLeadIn[] = {
    {9, Pose(0)},
    {10, Pose(1), Stay, ArmRepeats},
    {11, Pose(2), Stay, StartShow},
};

// ---- Show ----------------------------------------------------------------------------------

constexpr Step kShow[] = {
    {12, Pose(3), LM, song::Celebrate},  // in passes 1 and 2
    {13, Pose(1), H},
    {14, Pose(6), RM},
    {15, Pose(1), H},
    {16, Pose(3), LM},
    {17, Pose(1), H},
    {18, Pose(6), RM},
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
    {29, Poses(11, 2, 9), H},
    {30, Poses(5, 1, 6), U},
    {31, Pose(0), H},
    {32, Poses(5, 1, 6), U},
    {33, Poses(11, 2, 9), H},
    {34, Poses(5, 1, 6), U},
    {35, Pose(1), H},

    {36, Pose(3), LM},
    {37, Pose(1), H},
    {38, Pose(6), RM},
    {39, Pose(1), H},
    {40, Pose(3), LM},
    {41, Pose(1), H},
    {42, Pose(6), RM},
    {43, Pose(1), H, Beat43Tempo},

    {44, Pose(3), LM},
    {45, Pose(5), LF},
    {46, Pose(6), LM},
    {47, Pose(2), H},
    {48, Pose(6), RM},
    {49, Pose(8), RF},
    {50, Pose(3), RM},
    {51, Pose(0), H},

    {52, Pose(1), U},
    {53, Pose(0), H},
    {54, Pose(1), U},
    {55, Pose(2), H},
    {56, Pose(1), U},
    {57, Pose(0), H},
    {58, Pose(1), U},
    {59, Pose(2), H, Beat59Tempo},

    {60, Poses(5, 1, 6), U, nullptr, Rc0},
    {60, Pose(4), U, nullptr, RcNot0},
    {61, Poses(3, 1, 8), H, nullptr, Rc0},
    {61, Pose(3), H, nullptr, RcNot0},
    {62, Poses(5, 1, 6), U, nullptr, Rc0},
    {62, Pose(8), U, nullptr, RcNot0},
    {63, Pose(1), H, nullptr, Rc0},
    {63, Pose(7), H, nullptr, RcNot0},
    {64, Poses(5, 1, 6), U, nullptr, Rc0},
    {64, Pose(1), U, nullptr, RcNot0},
    {65, Poses(3, 1, 8), H, nullptr, Rc0},
    {65, Pose(2), H, nullptr, RcNot0},
    {66, Poses(5, 1, 6), U},
    {67, Pose(1), H, Beat67Tempo},

    {68, Keep, LMU},
    {69, Keep, LF},
    {70, Pose(1), LMU},
    {71, Pose(2), H},
    {72, Pose(1), RMU},
    {73, Pose(0), RF},
    {74, Pose(1), RMU},
    {75, Pose(2), H},

    {76, Pose(1), U},
    {77, Poses(-1, 0, -1), H},
    {78, Poses(-1, 3, -1), U},
    {79, Poses(1, 4, -1), H},
    {80, Poses(2, 6, -1), U},
    {81, Poses(0, 7, 0), H},
    // Beats 82 and 83 hop by the top alone; the left stays where beat 81 put it.
    {82, Pose(1), Top(Y::TopHigh)},
    {83, Pose(2), Top(Y::Home), Beat83Tempo},
    {84, Pose(1), U},

    {85, Pose(0), H, nullptr, Rc0Or3},
    {85, Poses(-1, 0, -1), H, nullptr, Rc1Or2},
    {86, Pose(1), U, nullptr, Rc0Or3},
    {86, Poses(-1, 8, -1), U, nullptr, Rc1Or2},
    {87, Pose(2), H, FirstLoopBack, Rc0Or3},
    {87, Poses(-1, 7, 1), H, nullptr, Rc1Or2},
    {88, Pose(1), U, nullptr, Rc3},
    {88, Poses(-1, 3, 2), U, nullptr, RcNot3},
    {89, Pose(0), H, nullptr, Rc3},
    {89, Poses(0, 4, 0), H, nullptr, RcNot3},

    {90, Pose(1), U},
    {91, Pose(1), H, nullptr, Rc3},
    {91, Pose(2), H, nullptr, RcNot3},

    {92, Keep, Stay, LoopBack, RepeatPending},
    {92, Pose(2), Stay, nullptr, NoRepeatPending},  // after pass 4: pose 2, and stay so
};

}  // namespace

const Routine kHeavenAndHell = {"heaven", kSubSteps, &kAfterLoop, kLeadIn, kShow};

}  // namespace zumbolo
