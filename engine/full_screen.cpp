// Stepping aside for full-screen windows: while a film, a game or a presentation fills the
// figures' screen, the beat stops as the stop command stops it and every window of the program
// hides; when the full-screen window goes away or loses the focus, they come back and the beat
// starts again, unless the user had stopped it. A start by the user while the full-screen window
// is active wins until that state changes again.

#include "app/tform1.h"

namespace zumbolo {

void TForm1::FullScreenChanged(bool active) {
  if (closed_ || active == FullScreenActive) return;
  FullScreenActive = active;
  FullScreenOverridden = false;
  trace("fullscreen", active);
  if (active) {
    if (Checked(Item::ifullscreen) && !SteppedAside) StepAside();
  } else if (SteppedAside) {
    ComeBack(false);
  }
}

void TForm1::StepAside() {
  trace("step-aside");
  SteppedAside = true;
  // The beat runs, or starts again once the speech balloon has had its three seconds.
  ResumeAfterFullScreen = MMTimer1.Enabled() || Timer1.Enabled();
  if (Timer1.Enabled()) Timer1.SetEnabled(false);
  if (Form2.Visible()) Form2.Hide();
  if (Form3.Visible()) Form3.Hide();
  if (ResumeAfterFullScreen) StopBeat();
  window.Hide();
}

void TForm1::ComeBack(bool by_user) {
  trace("come-back");
  SteppedAside = false;
  const bool resume = ResumeAfterFullScreen;
  ResumeAfterFullScreen = false;
  if (by_user) {
    // The user has started the beat while the full-screen window is still there.
    FullScreenOverridden = true;
  } else if (resume) {
    StartBeat();
  }
  window.Show();
}

}  // namespace zumbolo
