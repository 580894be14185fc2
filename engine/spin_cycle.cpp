// The skeleton every beat routine shares: the spin cycle of eight beats, the hit draw on beat 7,
// the lead-in loop at beat 8 and the dispatch of the lead-in beats and the show script.

#include "app/tform1.h"

namespace zumbolo {

namespace {

// The pose of each spin beat; beats outside 1..6 draw pose 0.
int SpinPose(int beat) {
  switch (beat) {
    case 1: return 2;
    case 2: return 0;
    case 3: return 5;
    case 4: return 1;
    case 5: return 6;
    case 6: return 1;
    default: return 0;
  }
}

}  // namespace

void TForm1::RunBeat(const Routine& routine) {
  dance.BeatCount = Stepped(dance.BeatCount, 1);
  trace("beat", dance.BeatCount, dance.DanceState);
  switch (dance.DanceState) {
    case dsSpin:
      if (dance.BeatCount != 7) return ShowSpinBeat(dance.BeatCount);
      // The reels stop.
      dance.DanceState = dsMissWait;
      if (IsHit()) {
        dance.DanceState = dsLeadIn;
        dance.RunHits = CountedUp(dance.RunHits);
        dance.TodayHits = CountedUp(dance.TodayHits);
        trace("hits", dance.RunHits, dance.TodayHits);
        ShowSpinResult(1);
      } else {
        ShowSpinResult(0);
      }
      return;
    case dsMissWait:
      if (dance.BeatCount == 8) {
        dance.DanceState = dsSpin;
        dance.BeatCount = 0;
      }
      return;
    case dsLeadIn:
      if (dance.BeatCount == 8) {
        // The lead-in loop: beat 8 again and again, one sub-step a beat.
        if (dance.OddThird) {
          figures.DrawFigure(3, dance.HitPose);
          dance.OddThird = false;
        }
        dance.RepeatCount = 0;
        if (routine.after_loop && dance.LeadInDone) return RunStep(*routine.after_loop);
        if (const Step* step = FindStep(routine.sub_steps, dance.SubStep, *this)) RunStep(*step);
        dance.BeatCount = Stepped(dance.BeatCount, -1);
        dance.SubStep = Stepped(dance.SubStep, 1);
      } else if (dance.BeatCount >= 9 && dance.BeatCount <= 11) {
        if (const Step* step = FindStep(routine.lead_in, dance.BeatCount, *this)) RunStep(*step);
      }
      return;
    case dsShow:
      if (const Step* step = FindStep(routine.show, dance.BeatCount, *this)) RunStep(*step);
      return;
    default:
      return;  // an unknown state only counts the beat
  }
}

void TForm1::ResetToIdle() {
  dance.DanceState = dsSpin;
  dance.BeatCount = 0;
  figures.ShowPose(1);
  window.SetTop(pos.HomeTop);
  window.SetLeft(pos.HomeLeft);
}

void TForm1::ShowSpinBeat(int beat) {
  figures.ShowPose(SpinPose(beat));
  if (beat == 3 && Checked(Item::N10) && !Checked(Item::ibgm)) SendDance(dcReplayCue);
}

}  // namespace zumbolo
