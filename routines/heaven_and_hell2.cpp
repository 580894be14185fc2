// "天国と地獄 ver.2": Heaven and Hell again (bgm.res, the same track as the first version), with a
// longer dance. After a hit the lead-in takes 44 beats (40 sub-steps, the closing beat 8, then
// beats 9, 10 and 11) while the jingle sounds and the track is loaded and started. The show runs
// at the fast tempo (353 ms) over beats 11 to 185 in four passes of 310 beats, chosen by
// RepeatCount alone:
//   pass 1 (RepeatCount 0): 12 to 119, back to 88
//   pass 2 (RepeatCount 1): 88 to 119, back to 11
//   pass 3 (RepeatCount 2): 11 to 54, on to 88; 88 to 119, back to 88
//   pass 4 (RepeatCount 3): 88 to 115, on to 120; 120 to 185
// The tempo is nudged by a few ms on fixed beats and slowed by 15 ms near the end. The hops D
// (2 px down) and U18 (18 px up) are fixed in pixels, also in mini mode. The show never ends by
// itself: the end of the track ends it.

#include "app/tform1.h"
#include "routines/routines.h"
#include "routines/song_cues.h"

namespace zumbolo {

namespace {

using namespace spot;

constexpr Move tH = Top(Y::Home);

// ---- Lead-in ------------------------------------------------------------------------------

constexpr StepAction LoadTrack = song::LoadHeavenTrack;
constexpr StepAction SlowLeadIn = song::HalfTimeOfTempoFast;

// The track starts, then the tempo is set a touch faster than the show's.
void StartTrack(TForm1& f) {
  song::PlaySong(f);
  f.SetInterval(f.Checked(Item::N10) ? f.TempoFast - 4 : f.TempoFast - 2);
}

using song::EnterShowAtFastTempo;

// ---- Show ---------------------------------------------------------------------------------

void FastTempo(TForm1& f) { f.SetInterval(f.TempoFast); }

void Beat43(TForm1& f) {
  if (f.dance.RepeatCount == 0) f.SetInterval(f.TempoFast + 4);
}

void Beat52(TForm1& f) {
  if (f.dance.RepeatCount == 0) f.SetInterval(f.TempoFast);
}

// Pass 3 skips 55 to 87.
void Beat54(TForm1& f) {
  if (f.dance.RepeatCount == 2) f.dance.BeatCount = Stepped(f.dance.BeatCount, 33);
}

void Beat75(TForm1& f) { f.SetInterval(f.TempoFast - 3); }

void Beat88(TForm1& f) {
  f.SetInterval(f.dance.RepeatCount == 3 ? f.TempoFast - 4 : f.TempoFast);
}

// Pass 3 keeps the tempo it has.
void Beat103(TForm1& f) {
  switch (f.dance.RepeatCount) {
    case 0:
    case 1: f.SetInterval(f.TempoFast + 2); break;
    case 3: f.SetInterval(f.TempoFast - 1); break;
    default: break;
  }
}

// The last pass skips 116 to 119 and goes on to the coda.
void Beat115(TForm1& f) {
  if (f.dance.RepeatCount == 3) {
    f.dance.BeatCount = Stepped(f.dance.BeatCount, 4);
    f.SetInterval(f.TempoFast - 4);
  }
}

// The loop-back: passes 1 and 3 go back to 88, pass 2 to 11.
void Beat119(TForm1& f) {
  if (f.dance.RepeatCount == 0 || f.dance.RepeatCount == 2) {
    f.dance.BeatCount = Stepped(f.dance.BeatCount, -32);
  } else if (f.dance.RepeatCount == 1) {
    f.dance.BeatCount = Stepped(f.dance.BeatCount, -109);
  }
  f.dance.RepeatCount = Stepped(f.dance.RepeatCount, 1);
}

void Beat136(TForm1& f) { f.SetInterval(f.TempoFast - 2); }
void Beat183(TForm1& f) { f.SetInterval(f.TempoFast + 15); }

constexpr Step kSubSteps[] = {
    {0, Keep, tH, song::LoadHitSound},
    {2, Sparkle, Stay, song::PlayHitSoundOrHaltMusic},
    {5, Keep, Stay, LoadTrack},
    {6, Keep, Stay, SlowLeadIn},
    {8, Pose(0)},
    {9, Keep, Stay, StartTrack},
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
    {10, Pose(1), Stay, song::SetRepeatPending},
    {11, Pose(2), H, EnterShowAtFastTempo},
};

constexpr Step kShow[] = {
    // Reached only from beat 119 of pass 2: pass 3 starts blank.
    {11, Poses(-1, -1, -1), Stay, FastTempo},

    {12, Pose(3), LM, song::Celebrate},
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
    {24, Pose(5), D},
    {25, Pose(1), H},
    {26, Pose(6), D},
    {27, Pose(1), H},

    {28, Pose(3), LM},
    {29, Pose(1), H},
    {30, Pose(6), RM},
    {31, Pose(1), H},
    {32, Pose(3), LM},
    {33, Pose(1), H},
    {34, Pose(6), RM},
    {35, Pose(1), H},

    {36, Pose(5), U},
    {37, Pose(11), H},
    {38, Pose(8), U},
    {39, Pose(0), H},
    {40, Pose(5), D},
    {41, Pose(1), H},
    {42, Pose(6), D},
    {43, Pose(1), H, Beat43},

    {44, Pose(3), LM},
    {45, Pose(5), LF},
    {46, Pose(6), LM},
    {47, Pose(2), H},
    {48, Pose(6), D},
    {49, Pose(1), H},
    {50, Pose(5), D},
    {51, Pose(1), H},

    {52, Pose(6), RM, Beat52},
    {53, Pose(8), RF},
    {54, Pose(3), RM, Beat54},

    {55, Pose(0), H},
    {56, Pose(5), D},
    {57, Pose(1), H},
    {58, Pose(6), D},
    {59, Pose(1), H},
    {60, Pose(3), D},
    {61, Pose(1), H},
    {62, Pose(8), D},

    {63, Pose(1), H},
    {64, Pose(5), D},
    {65, Pose(1), H},
    {66, Pose(6), D},
    {67, Pose(1), H},

    {68, Pose(6), RMD},
    {69, Pose(1), RM},
    {70, Pose(3), D},
    {71, Pose(1), H},
    {72, Pose(0), D},
    {73, Pose(1), U},
    {74, Pose(2), H},
    {75, Pose(1), U, Beat75},
    {76, Pose(2), H},

    {77, Poses(-1, 0, -1), U},
    {78, Poses(-1, 3, -1), H},
    {79, Poses(1, 4, -1), U},
    {80, Poses(2, 6, -1), H},
    {81, Poses(0, 7, 0), U},

    {82, Pose(2), H},
    {83, Pose(1), U},
    {84, Pose(3), H},
    {85, Pose(4), U},
    {86, Pose(8), L},
    {87, Pose(1), U18},

    {88, Pose(0), D, Beat88},
    {89, Pose(5), U},
    {90, Pose(2), D},
    {91, Pose(6), U},
    {92, Pose(0), D},
    {93, Pose(5), U},
    {94, Pose(2), D},
    {95, Pose(6), U},
    {96, Pose(0), D},
    {97, Pose(5), U},
    {98, Pose(2), D},
    {99, Pose(6), U},

    {100, Pose(0), H},
    {101, Pose(5), U},
    {102, Pose(11), H},
    {103, Pose(8), U, Beat103},

    {104, Pose(0), D},
    {105, Pose(5), U},
    {106, Pose(2), D},
    {107, Pose(6), U},
    {108, Pose(0), D},
    {109, Pose(5), U},
    {110, Pose(2), D},
    {111, Pose(6), U},
    {112, Pose(0), D},
    {113, Pose(5), U},
    {114, Pose(2), D},
    {115, Pose(6), U, Beat115},

    {116, Poses(8, 0, 3), D},
    {117, Poses(1, 1, 1), H},
    {118, Poses(3, 2, 8), D},
    {119, Pose(1), U, Beat119},

    // The coda, danced in the last pass only.
    {120, Pose(3), LM},
    {121, Pose(1), H},
    {122, Pose(8), RM},
    {123, Pose(1), H},
    {124, Pose(5), H},
    {125, Pose(11), U},
    {126, Pose(6), H},
    {127, Pose(2), U},

    {128, Pose(3), LM},
    {129, Pose(1), H},
    {130, Pose(8), RM},
    {131, Pose(1), H},
    {132, Pose(5), H},
    {133, Pose(11), U},
    {134, Pose(6), H},
    {135, Pose(2), U},

    {136, Pose(3), LMD, Beat136},
    {137, Pose(1), H},
    {138, Pose(8), RMD},
    {139, Pose(1), H},
    {140, Pose(3), LMD},
    {141, Pose(1), H},
    {142, Pose(8), RMD},
    {143, Pose(1), H},

    {144, Pose(5), H},
    {145, Pose(11), U},
    {146, Pose(6), H},
    {147, Pose(2), U},
    {148, Pose(5), H},
    {149, Pose(11), U},
    {150, Pose(6), H},
    {151, Pose(1), U},

    {152, Pose(2), H},
    {153, Pose(1), LMU},
    {154, Pose(0), LF},
    {155, Pose(1), LMU},
    {156, Pose(2), H},
    {157, Pose(1), RMU},
    {158, Pose(0), RF},
    {159, Pose(1), RMU},

    {160, Poses(5, 2, 2), H},
    {161, Poses(11, 1, 1), LMU},
    {162, Poses(6, 5, 0), LM},
    {163, Poses(2, 11, 1), U},
    {164, Poses(0, 6, 5), H},
    {165, Poses(1, 2, 11), U},
    {166, Poses(6, 6, 6), H},
    {167, Poses(1, 1, 1), U},

    {168, Pose(0), H},
    {169, Pose(1), U},
    {170, Pose(2), H},
    {171, Pose(1), U},
    {172, Poses(5, 0, 6), H},
    {173, Poses(3, 1, 8), U},
    {174, Poses(5, 2, 6), H},
    {175, Pose(1), U},

    {176, Pose(2), H},
    {177, Pose(1), U},
    {178, Poses(5, 1, 6), H},
    {179, Poses(3, 0, 8), U},
    {180, Pose(2), H},
    {181, Pose(1), U},
    {182, Poses(5, 1, 6), H},
    {183, Pose(1), U, Beat183},

    // The figures end in pose 0 at D and stay so until the track ends.
    {184, Keep, H},
    {185, Pose(0), D},
};

}  // namespace

const Routine kHeavenAndHell2 = {"heaven2", kSubSteps, &kAfterLoop, kLeadIn, kShow};

}  // namespace zumbolo
