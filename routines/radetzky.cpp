// "ラデッキー行進曲": the Radetzky March (rad.res), the slowest of the song shows. After a hit the
// lead-in takes 19 beats (16 sub-steps, then beats 9, 10 and 11) while the jingle sounds and the
// track is loaded and started; its last sub-step ends the loop by itself, so LeadInDone is never
// looked at. The show runs at the slowest tempo (577 ms) over beats 12 to 119 in six passes of
// 304 beats, chosen by FirstPass and RepeatCount:
//   pass 1 (RepeatCount 0, FirstPass set): 12 to 75, back to 12
//   pass 2 (RepeatCount 0):                12 to 51, on to 76; 76 to 115, back to 84
//   pass 3 (RepeatCount 1):                84 to 115, back to 84
//   pass 4 (RepeatCount 2):                84 to 115, back to 12
//   pass 5 (RepeatCount 3):                12 to 51, on to 76; 76 to 115, back to 84
//   pass 6 (RepeatCount 4):                84 to 95, on to 116; 116 to 119
// Only the last pass slows once more, to 617 ms, from beat 91. Many moves change the top alone
// (t:) or the left alone (l:); the 2 px drop D is fixed in pixels, also in mini mode. The show
// never ends by itself: the end of the track ends it.

#include "app/tform1.h"
#include "routines/routines.h"
#include "routines/song_cues.h"

namespace zumbolo {

namespace {

using namespace spot;

// Moves of one coordinate: t:X sets the top of X, l:X the left of X.
constexpr Move tH = Top(Y::Home);
constexpr Move tU = Top(Y::TopHigh);
constexpr Move tL = Top(Y::TopLow);
constexpr Move tD = Top(Y::HomePlus2);
constexpr Move lH = Left(X::Home);
constexpr Move lLM = Left(X::LeftMid);
constexpr Move lLF = Left(X::LeftFar);

// t:L/U is t:L in pass 3 (RepeatCount 1) and t:U in every other pass.
bool LowTops(const TForm1& f) { return f.dance.RepeatCount == 1; }
bool FourthRepeat(const TForm1& f) { return f.dance.RepeatCount == 4; }
constexpr StepCondition ThirdRepeat = song::RepeatCount3;
bool SecondRepeat(const TForm1& f) { return f.dance.RepeatCount == 2; }

// ---- Lead-in ------------------------------------------------------------------------------

void LoadTrack(TForm1& f) { f.SendDance(dcLoadRadetzkyTrack); }
constexpr StepAction SlowLeadIn = song::HalfTimeOfTempoNormal;
void SlowestTempo(TForm1& f) { f.SetInterval(f.TempoSlowest); }

// The track starts, then the tempo is set a touch slower than the show's.
void StartTrack(TForm1& f) {
  song::PlaySong(f);
  f.SetInterval(f.Checked(Item::N10) ? f.TempoSlowest + 1 : f.TempoSlowest + 3);
}

// The last sub-step: back to sub-step 0 and on by one beat, so that the loop's own step back
// leaves BeatCount at 8 and SubStep at 1, and the next beat is 9.
void EndLeadInLoop(TForm1& f) {
  f.dance.SubStep = 0;
  f.dance.BeatCount = Stepped(f.dance.BeatCount, 1);
}

using song::SetFirstPass;

void EnterShowAtSlowestTempo(TForm1& f) {
  song::EnterShow(f);
  f.SetInterval(f.TempoSlowest);
}

// ---- Show ---------------------------------------------------------------------------------

// After pass 1, and in pass 5, 52 to 75 are skipped.
void Beat51(TForm1& f) {
  if (!f.dance.FirstPass) f.dance.BeatCount = Stepped(f.dance.BeatCount, 24);
}

// The end of pass 1: back to 12.
void Beat75(TForm1& f) {
  f.dance.BeatCount = Stepped(f.dance.BeatCount, -64);
  f.dance.FirstPass = false;
}

void Beat91(TForm1& f) {
  if (f.dance.RepeatCount == 4) f.SetInterval(f.TempoSlowest + 40);
}

// In the last pass, 92 to 95 draw a second pose once the window has moved.
void ThenPose5(TForm1& f) { f.figures.ShowPose(5); }
void ThenPose9(TForm1& f) { f.figures.ShowPose(9); }
void ThenPose6(TForm1& f) { f.figures.ShowPose(6); }

// The last pass leaves for the final bars at 116.
void Beat95LastPass(TForm1& f) {
  f.figures.ShowPose(0);
  f.dance.BeatCount = Stepped(f.dance.BeatCount, 20);
}

// The loop-back: after pass 4 back to 12 (with the window dropped to D), otherwise to 84.
void Beat115(TForm1& f) {
  f.dance.RepeatCount = Stepped(f.dance.RepeatCount, 1);
  if (f.dance.RepeatCount == 3) {
    f.window.SetTop(f.TopOf(Y::HomePlus2));
    f.dance.BeatCount = Stepped(f.dance.BeatCount, -104);
  } else {
    f.dance.BeatCount = Stepped(f.dance.BeatCount, -32);
  }
}

constexpr Step kSubSteps[] = {
    {0, Keep, tH, song::LoadHitSound},
    {2, Sparkle, Stay, song::PlayHitSoundOrHaltMusic},
    {5, Keep, Stay, LoadTrack},
    {6, Keep, Stay, SlowLeadIn},
    {7, Keep, Stay, SlowestTempo},
    {9, Pose(1), Stay, StartTrack},
    {10, Pose(0), tL},
    {11, Pose(1), tH},
    {13, Keep, tL},
    {14, Pose(5), tH},
    {15, Pose(1), Stay, EndLeadInLoop},
};

constexpr Step kLeadIn[] = {
    {9, Pose(6), Stay, SetFirstPass},
    {10, Pose(1), Stay, song::SetRepeatPending},
    {11, Pose(0), L, EnterShowAtSlowestTempo},
};

constexpr Step kShow[] = {
    {12, Pose(5), H, song::Celebrate},
    {13, Pose(1)},
    {14, Pose(6)},
    {15, Pose(1)},
    {16, Pose(5)},
    {17, Pose(1)},
    {18, Pose(6)},
    {19, Pose(1)},

    {20, Pose(5), tH},
    {21, Pose(1), tL},
    {22, Pose(6), tH},
    {23, Pose(1), tL},
    {24, Pose(0), tH},
    {25, Pose(5), tU},
    {26, Pose(9), tH},

    {27, Pose(6), LMU},
    {28, Pose(5), LM},
    {29, Pose(3), lLF},
    {30, Pose(8), lLM},
    {31, Pose(2), H},
    {32, Pose(6), RM},
    {33, Pose(8), RF},
    {34, Pose(3), RM},
    {35, Pose(1), H},

    {36, Pose(3)},
    {37, Pose(1), U},
    {38, Pose(8), H},
    {39, Pose(1), U},
    {40, Pose(0), tH},
    {41, Pose(5)},
    {42, Pose(6)},
    {43, Pose(1), tU},

    {44, Pose(5), tH},
    {45, Pose(3), LM},
    {46, Pose(5), lLF},
    {47, Pose(1), tL},
    {48, Pose(6), tH},
    {49, Pose(8), lLM},
    {50, Pose(6), lH},
    {51, Pose(1), tL, Beat51},

    // 52 to 75: pass 1 only.
    {52, Pose(8), D},
    {53, Pose(1), H},
    {54, Pose(3), D},
    {55, Pose(1), H},
    {56, Pose(6), RM},
    {57, Pose(11)},
    {58, Pose(5)},
    {59, Pose(1), H},

    {60, Pose(8), D},
    {61, Pose(1), H},
    {62, Pose(3), D},
    {63, Pose(1), H},
    {64, Pose(8), RM},
    {65, Pose(0), H},
    {66, Pose(3), LM},
    {67, Pose(2), U},

    {68, Pose(0), tH},
    {69, Pose(1), tU},
    {70, Pose(2), tH},
    {71, Pose(1), tU},
    {72, Pose(5), tD},
    {73},  // a rest: nothing drawn, nothing moved
    {74, Pose(0), tH},
    {75, Pose(1), tL, Beat75},

    {76, Pose(6), tH},
    {77, Pose(2)},
    {78, Pose(6)},
    {79, Pose(2)},
    {80, Pose(1), tL},
    {81, Pose(0), tH},
    {82, Pose(2)},
    {83, Pose(1)},

    {84, Pose(3), D},
    {85, Pose(1), tU, nullptr, FourthRepeat},
    {85, Pose(1), H},
    {86, Pose(8), D},
    {87, Pose(1), tU, nullptr, FourthRepeat},
    {87, Pose(1), H},
    {88, Pose(2), tH},
    {89, Pose(1), tU, nullptr, FourthRepeat},
    {89, Pose(1), L},
    {90, Pose(0), H},
    {91, Pose(2), Stay, Beat91},

    {92, Pose(4), tU, ThenPose5, FourthRepeat},
    {92, Pose(4), tL, nullptr, LowTops},
    {92, Pose(4), tU},
    {93, Pose(3), tH, ThenPose9, FourthRepeat},
    {93, Pose(3), tH},
    {94, Pose(8), tU, ThenPose6, FourthRepeat},
    {94, Pose(8), tL, nullptr, LowTops},
    {94, Pose(8), tU},
    {95, Pose(7), tH, Beat95LastPass, FourthRepeat},
    {95, Pose(7), tH},
    {96, Pose(1), tL, nullptr, LowTops},
    {96, Pose(1), tU},
    {97, Pose(2), tH},

    {98, Pose(6), tL, nullptr, LowTops},
    {98, Pose(6), tU},
    {99, Pose(9), tH},
    {100, Pose(3), tL, nullptr, LowTops},
    {100, Pose(3), tU},
    {101, Pose(2), tH},
    {102, Pose(5), tL, nullptr, LowTops},
    {102, Pose(5), tU},
    {103, Pose(1), tH, nullptr, ThirdRepeat},
    {103, Pose(11), tH},
    {104, Pose(8), tL, nullptr, LowTops},
    {104, Pose(8), tU},
    {105, Pose(0), tH},
    {106, Pose(1), tL, nullptr, LowTops},
    {106, Pose(1), tU},
    {107, Pose(2), tH},

    // 108 to 114: a different figure in pass 4.
    {108, Pose(3), Stay, nullptr, SecondRepeat},
    {108, Pose(1), LMU},
    {109, Pose(4), tU, nullptr, SecondRepeat},
    {109, Pose(0), LF},
    {110, Pose(8), tH, nullptr, SecondRepeat},
    {110, Pose(1), LMU},
    {111, Pose(7), tU, nullptr, SecondRepeat},
    {111, Pose(2), H},
    {112, Pose(1), tH, nullptr, SecondRepeat},
    {112, Pose(1), RMU},
    {113, Pose(5), Stay, nullptr, SecondRepeat},
    {113, Pose(0), RF},
    {114, Pose(6), Stay, nullptr, SecondRepeat},
    {114, Pose(1), RMU},

    {115, Pose(2), H, Beat115},

    // The final bars, danced in the last pass only; the figures end in pose 5 at D.
    {116, Pose(1), tH},
    {117, Pose(0), tU},
    {118, Pose(5), tH},
    {119, Keep, tD},
};

}  // namespace

const Routine kRadetzky = {"radetzky", kSubSteps, nullptr, kLeadIn, kShow};

}  // namespace zumbolo
