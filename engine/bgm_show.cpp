// "BGMモード": the background music plays on by itself; after a hit the figures sparkle, turn and
// climb, then dance 171 beats (beats 12 to 91 twice, then the balloon) and go back to spinning by
// themselves. The routine sends no sound requests and never changes the tempo.

#include "app/tform1.h"
#include "routines/routines.h"

namespace zumbolo {

namespace {

using namespace spot;

constexpr Move tH = Top(Y::Home);
constexpr Move tTH = Top(Y::TopHigh);
constexpr Move lH = Left(X::Home);
constexpr Move lLM = Left(X::LeftMid);
constexpr Move lRM = Left(X::RightMid);

void ShowDone(TForm1& f) { f.dance.LeadInDone = true; }
void EnterShow(TForm1& f) { f.dance.DanceState = dsShow; }
void Celebrate(TForm1& f) { f.ShowCelebration(); }

// Beat 92: the first time back to beat 13 with beat 12's pose and move; the second time on.
void LoopBack(TForm1& f) {
  f.dance.RepeatCount = Stepped(f.dance.RepeatCount, 1);
  if (f.dance.RepeatCount == 1) {
    f.dance.BeatCount = Stepped(f.dance.BeatCount, -80);
    f.figures.ShowPose(3);
    f.window.SetLeft(f.pos.PosLeftMid);
  } else {
    f.figures.ShowPose(1);
  }
}

void Balloon(TForm1& f) {
  f.Form2.Hide();
  f.Form3.Show();
}

void BackToSpinning(TForm1& f) {
  f.Form3.Hide();
  f.ResetToIdle();
}

constexpr Step kSubSteps[] = {
    {0, Keep, tH},
    {2, Sparkle},
    {8, Pose(1)},
    {10, Pose(4)},
    {11, Pose(1)},
    {12, Pose(7)},
    {13, Pose(1)},
    {14, Keep, Top(Y::HomeMinus12), ShowDone},
};

constexpr Step kAfterLoop = {8, Keep, Top(Y::HomeMinus24)};

constexpr Step kLeadIn[] = {
    {9, Keep, Top(Y::HomeMinus36)},
    {10, Keep, Top(Y::HomeMinus48)},
    {11, Poses(-1, -1, -1), H, EnterShow},
};

constexpr Step kShow[] = {
    {12, Pose(3), lLM, Celebrate},
    {13, Pose(1), lH},
    {14, Pose(6), lRM},
    {15, Pose(1), lH},
    {16, Pose(3), lLM},
    {17, Pose(1), lH},
    {18, Pose(6), lRM},
    {19, Pose(1), lH},

    {20, Pose(5), tTH},
    {21, Pose(11), tH},
    {22, Pose(6), tTH},
    {23, Pose(1), tH},
    {24, Pose(6), tTH},
    {25, Pose(9), tH},
    {26, Pose(3), tTH},
    {27, Pose(1), tH},

    {28, Poses(5, 1, 6), tTH},
    {29, Poses(11, 1, 9), tH},
    {30, Poses(5, 1, 6), tTH},
    {31, Poses(1, 1, 1), tH},
    {32, Poses(5, 1, 6), tTH},
    {33, Poses(11, 1, 9), tH},
    {34, Poses(5, 1, 6), tTH},
    {35, Poses(1, 1, 1), tH},

    {36, Pose(3), lLM},
    {37, Pose(1), lH},
    {38, Pose(6), lRM},
    {39, Pose(1), lH},
    {40, Pose(3), lLM},
    {41, Pose(1), lH},
    {42, Pose(6), lRM},
    {43, Pose(1), lH},

    {44, Pose(3), lLM},
    {45, Pose(5), Left(X::HomeMinus36)},
    {46, Pose(6), lLM},
    {47, Pose(1), lH},
    {48, Pose(6), lRM},
    {49, Pose(8), Left(X::HomePlus36)},
    {50, Pose(3), lRM},
    {51, Pose(1), lH},

    {52, Pose(1), tTH},
    {53, Pose(0), tH},
    {54, Pose(1), tTH},
    {55, Pose(2), tH},
    {56, Pose(1), tTH},
    {57, Pose(0), tH},
    {58, Pose(1), tTH},
    {59, Pose(2), tH},

    {60, Poses(5, 1, 6), tTH},
    {61, Poses(3, 1, 8), tH},
    {62, Poses(5, 1, 6), tTH},
    {63, Pose(1), tH},
    {64, Poses(5, 1, 6), tTH},
    {65, Poses(3, 1, 8), tH},
    {66, Poses(5, 1, 6), tTH},
    {67, Pose(1), tH},

    {68, Keep, LMU},
    {69, Keep, LF},
    {70, Pose(1), LMU},
    {71, Pose(2), H},
    {72, Pose(1), RMU},
    {73, Pose(0), RF},
    {74, Pose(1), RMU},
    {75, Pose(2), H},

    {76, Pose(1), tTH},
    {77, Poses(-1, 0, -1), tH},
    {78, Poses(-1, 3, -1), tTH},
    {79, Poses(1, 4, -1), tH},
    {80, Poses(2, 6, -1), tTH},
    {81, Poses(0, 7, 0), tH},

    {82, Pose(1), tTH},
    {83, Pose(2), tH},
    {84, Pose(1), tTH},
    {85, Pose(0), tH},
    {86, Pose(1), tTH},
    {87, Pose(2), tH},
    {88, Pose(1), tTH},
    {89, Pose(0), tH},

    {90, Keep, tTH},
    {91, Keep, tH},
    {92, Keep, Stay, LoopBack},
    {95, Keep, Stay, Balloon},
    {102, Keep, Stay, BackToSpinning},
};

}  // namespace

const Routine kBgmShow = {"bgm", kSubSteps, &kAfterLoop, kLeadIn, kShow};

}  // namespace zumbolo
