#include "engine/figures.h"

namespace zumbolo {

void Figures::Draw(int index, const Bitmap* picture) {
  if (!picture || picture->empty()) return;  // an empty pose slot draws nothing
  showing_[index] = *picture;
  stage_.ShowFigure(index, showing_[index]);
}

void Figures::ShowPose(int pose) {
  trace_("pose", pose);
  const Bitmap* picture = sprites_.PoseBitmap(pose);
  for (int i = 0; i < 3; ++i) Draw(i, picture);
}

void Figures::ShowPoses(int left, int middle, int right) {
  trace_("poses", left, middle, right);
  const int poses[3] = {left, middle, right};
  for (int i = 0; i < 3; ++i) {
    Draw(i, poses[i] == -1 ? &sprites_.BlankBitmap() : sprites_.PoseBitmap(poses[i]));
  }
}

void Figures::ShowOverlay() {
  trace_("overlay");
  for (int i = 0; i < 3; ++i) {
    if (sprites_.transparent_overlay()) {
      showing_[i].DrawTransparent(sprites_.Overlay(), sprites_.OverlayKey());
    } else {
      showing_[i] = sprites_.Overlay();
    }
    stage_.ShowFigure(i, showing_[i]);
  }
}

void Figures::DrawFigure(int figure, int pose) {
  trace_("figure", figure, pose);
  if (figure >= 1 && figure <= 3) Draw(figure - 1, sprites_.PoseBitmap(pose));
}

void WindowPlace::SetLeft(int x) {
  trace_("left", x);
  left_ = x;
  stage_.MoveMainWindow(left_, top_);
}

void WindowPlace::SetTop(int y) {
  trace_("top", y);
  top_ = y;
  stage_.MoveMainWindow(left_, top_);
}

void WindowPlace::MoveWindowTo(int x, int y) {
  trace_("moveto", x, y);
  // The window is ours, on this thread: the queued move is done before anything else reads the
  // window's record of its place.
  left_ = x;
  top_ = y;
  stage_.QueueMainWindowMove(x, y);
}

void WindowPlace::Show() {
  trace_("form1", "show");
  visible_ = true;
  stage_.ShowMainWindow(true);
}

void WindowPlace::Hide() {
  trace_("form1", "hide");
  visible_ = false;
  stage_.ShowMainWindow(false);
}

}  // namespace zumbolo
