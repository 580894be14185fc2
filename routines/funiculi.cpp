// "フニクリ・フニクラ", danced to fun.res at TempoSlow (451 ms). The lead-in takes 23 beats (19
// sub-steps in which the figures make small hops, the closing beat 8, an empty beat 9, beats 10
// and 11); the celebration ball appears already on beat 11. The show runs beats 12 to 115, loops
// back once to dance beats 84 to 115 again (with the other variant of beats 98 to 105), then
// closes with beats 116 to 127 and leaves the figures in pose 0 until the track ends. Most beats
// up to 79 change the poses without moving the window.

#include "app/tform1.h"
#include "routines/routines.h"
#include "routines/song_cues.h"

namespace zumbolo {

namespace {

using namespace spot;

constexpr Move S = L;  // the small hop

// ---- Conditions ----------------------------------------------------------------------------

bool FirstPass(const TForm1& f) { return f.dance.FirstPass; }
bool NotFirstPass(const TForm1& f) { return !f.dance.FirstPass; }

// ---- Actions -------------------------------------------------------------------------------

void LoadFuniculiTrack(TForm1& f) { f.SendDance(dcLoadFuniculiTrack); }
constexpr StepAction HalfTime = song::HalfTimeOfTempoNormal;
void SlowTempo(TForm1& f) { f.SetInterval(f.TempoSlow); }
constexpr StepAction ArmFirstPass = song::SetFirstPass;

// Beat 11: into the show, with the celebration ball (the main window comes forward on beat 12).
void StartShow(TForm1& f) {
  song::EnterShow(f);
  f.Form2.Show();
}

void Beat47Tempo(TForm1& f) { f.SetInterval(f.TempoSlow - 2); }

// Beat 115 of the first pass: back to beat 84, a touch faster.
void LoopBack(TForm1& f) {
  f.dance.BeatCount = Stepped(f.dance.BeatCount, -32);
  f.dance.FirstPass = false;
  f.SetInterval(f.TempoSlow - 1);
}

// ---- Lead-in -------------------------------------------------------------------------------

constexpr Step kSubSteps[] = {
    {0, Keep, Top(Y::Home), song::LoadHitSound},
    {2, Sparkle, Stay, song::PlayHitSoundOrHaltMusic},
    {5, Keep, Stay, LoadFuniculiTrack},
    {6, Keep, Stay, HalfTime},
    {8, Pose(1), Stay, SlowTempo},
    {9, Keep, Stay, song::PlaySong},
    {10, Pose(0), S},
    {11, Pose(1), H},
    {14, Pose(0), S},
    {15, Pose(1), H},
    {18, Pose(0), S, song::LeadInDone},
};

constexpr Step kAfterLoop = {8, Pose(1), H};

constexpr Step kLeadIn[] = {
    {9},  // an empty beat
    {10, Keep, Stay, ArmFirstPass},
    {11, Pose(0), S, StartShow},
};

// ---- Show ----------------------------------------------------------------------------------

constexpr Step kShow[] = {
    {12, Pose(1), H, song::Foreground},

    {13, Pose(0)},
    {14, Pose(5)},
    {15, Pose(2)},
    {16, Pose(6)},
    {17, Pose(1)},
    {18, Pose(5)},
    {19, Pose(2)},
    {20, Pose(6)},
    {21, Pose(1)},
    {22, Pose(6)},
    {23, Pose(9)},
    {24, Pose(5)},
    {25, Pose(0)},
    {26, Pose(5)},
    {27, Pose(11)},
    {28, Pose(6)},

    {29, Pose(2), S},
    {30, Pose(1), H},

    {31, Pose(0)},
    {32, Pose(5)},
    {33, Pose(2)},
    {34, Pose(6)},
    {35, Pose(1)},
    {36, Pose(5)},
    {37, Pose(2)},
    {38, Pose(6)},
    {39, Pose(1)},

    {40, Pose(5), S},
    {41, Pose(11), H},
    {42, Pose(8), S},
    {43, Pose(0), H},
    {44, Pose(6), S},
    {45, Pose(9), H},
    {46, Pose(3), S},
    {47, Pose(2), H, Beat47Tempo},

    {48, Pose(1), H},

    {49, Pose(0)},
    {50, Pose(5)},
    {51, Pose(0)},
    {52, Pose(5)},
    {53, Pose(0)},
    {54, Pose(2)},
    {55, Pose(0)},
    {56, Pose(2)},

    {57, Pose(0), S},
    {58, Pose(6), H},

    {59, Pose(2)},
    {60, Pose(6)},
    {61, Pose(2)},
    {62, Pose(0)},
    {63, Pose(2)},
    {64, Pose(0)},

    {65, Pose(2), S},
    {66, Pose(1), H},

    {67, Pose(0)},
    {68, Pose(5)},
    {69, Pose(0)},
    {70, Pose(5)},
    {71, Pose(0)},
    {72, Pose(2)},
    {73, Pose(0)},
    {74, Pose(2)},

    {75, Pose(0), S},
    {76, Pose(6), H},

    {77, Pose(2)},
    {78, Pose(6)},
    {79, Pose(2)},

    {80, Pose(3), LM},
    {81, Pose(6), H},
    {82, Pose(8), RM},
    {83, Pose(0), H},

    // Beats 84 to 115 are danced twice.
    {84, Pose(1), LMU},
    {85, Pose(0), LF},
    {86, Pose(1), LMU},
    {87, Pose(2), H},
    {88, Pose(1), RMU},
    {89, Pose(0), RF},
    {90, Pose(1), RMU},
    {91, Pose(2), H},

    {92, Pose(4), U},
    {93, Pose(3), H},
    {94, Pose(8), U},
    {95, Pose(7), H},
    {96, Pose(1), U},
    {97, Pose(2), H},

    {98, Pose(3), LM, nullptr, FirstPass},
    {98, Pose(6), U, nullptr, NotFirstPass},
    {99, Pose(5), LF, nullptr, FirstPass},
    {99, Pose(9), H, nullptr, NotFirstPass},
    {100, Pose(6), LM, nullptr, FirstPass},
    {100, Pose(3), U, nullptr, NotFirstPass},
    {101, Pose(2), H, nullptr, FirstPass},
    {101, Pose(2), H, nullptr, NotFirstPass},
    {102, Pose(6), RM, nullptr, FirstPass},
    {102, Pose(5), U, nullptr, NotFirstPass},
    {103, Pose(8), RF, nullptr, FirstPass},
    {103, Pose(11), H, nullptr, NotFirstPass},
    {104, Pose(3), RM, nullptr, FirstPass},
    {104, Pose(8), U, nullptr, NotFirstPass},
    {105, Pose(0), H, nullptr, FirstPass},
    {105, Pose(0), H, nullptr, NotFirstPass},

    {106, Pose(1), U},
    {107, Pose(2), H},
    {108, Poses(5, 1, 6), U},
    {109, Poses(3, 1, 8), H},
    {110, Pose(1), U},
    {111, Pose(2), H},
    {112, Poses(5, 1, 6), U},
    {113, Poses(3, 1, 8), H},

    {114, Pose(2)},
    {115, Pose(0), Stay, LoopBack, FirstPass},
    {115, Pose(0), U, nullptr, NotFirstPass},

    // The closing run.
    {116, Pose(1), Top(Y::Home)},
    {117, Pose(0)},
    {118, Pose(1)},
    {119},
    {120},
    {121, Pose(0), S},
    {122, Pose(1), H},
    {123},
    {124},
    {125, Pose(0), S},
    {126, Pose(1), H, SlowTempo},
    {127, Pose(0)},
};

}  // namespace

const Routine kFuniculi = {"funiculi", kSubSteps, &kAfterLoop, kLeadIn, kShow};

}  // namespace zumbolo
