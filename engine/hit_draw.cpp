// The stop of the reels (a miss or a hit), the after-show timer and the pop-up helpers.

#include "app/tform1.h"

namespace zumbolo {

bool TForm1::IsHit() {
  if (ActionList1.Checked(ActionId::avictory)) return true;
  const int r = random.Below(HitOdds);
  return (r + 1) % HitOdds == 0;
}

void TForm1::ShowSpinResult(int kind) {
  const auto result_pose = [this] { return ResultPoses[random.Below(static_cast<int>(ResultPoses.size()))]; };
  const int p = result_pose();
  if (kind == 0) {
    // A miss never shows three equal poses: that is the sign of a hit.
    figures.DrawFigure(1, p);
    const int p2 = result_pose();
    figures.DrawFigure(2, p2);
    int p3 = result_pose();
    if (p == p2 && p2 == p3) p3 = p == ResultPoses[0] ? ResultPoses[1] : ResultPoses[0];
    figures.DrawFigure(3, p3);
  } else if (kind == 1) {
    if (Checked(Item::N10)) mgraph.Stop();  // the spin sound may still be playing
    dance.HitPose = p;
    dance.SubStep = 0;
    window.SetTop(pos.HomeTop - 3);
    dance.LeadInDone = false;
    const int r = random.Below(5);
    if ((r + 1) % 5 != 0) {
      figures.ShowPose(p);
    } else {
      // Once in five the third figure falls into line one beat late.
      dance.OddThird = true;
      dance.HitPose = p;
      figures.ShowPoses(p, p, p != 1 ? 1 : 5);
    }
  }
}

void TForm1::Timer1Timer() {
  Form3.Hide();
  Timer1.SetEnabled(false);
  RestartBeat();
}

void TForm1::ShowCelebration() {
  Form2.Show();
  Foreground();
}

void TForm1::Foreground() {
  trace("foreground");
  stage.BringToFront();
}

}  // namespace zumbolo
