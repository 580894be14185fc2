// One row of a script: the figures drawn, the window moved, and the rest.

#include "app/tform1.h"

namespace zumbolo {

const Step* FindStep(std::span<const Step> script, int key, const TForm1& form) {
  for (const Step& step : script) {
    if (step.key == key && (!step.when || step.when(form))) return &step;
  }
  return nullptr;
}

int TForm1::LeftOf(X x) const {
  switch (x) {
    case X::Home: return pos.HomeLeft;
    case X::LeftMid: return pos.PosLeftMid;
    case X::RightMid: return pos.PosRightMid;
    case X::LeftFar: return pos.PosLeftFar;
    case X::RightFar: return pos.PosRightFar;
    case X::HomeMinus36: return pos.HomeLeft - 36;
    case X::HomePlus36: return pos.HomeLeft + 36;
  }
  return pos.HomeLeft;
}

int TForm1::TopOf(Y y) const {
  switch (y) {
    case Y::Home: return pos.HomeTop;
    case Y::TopHigh: return pos.PosTopHigh;
    case Y::TopLow: return pos.PosTopLow;
    case Y::HomePlus2: return pos.HomeTop + 2;
    case Y::HomeMinus12: return pos.HomeTop - 12;
    case Y::HomeMinus18: return pos.HomeTop - 18;
    case Y::HomeMinus24: return pos.HomeTop - 24;
    case Y::HomeMinus36: return pos.HomeTop - 36;
    case Y::HomeMinus48: return pos.HomeTop - 48;
  }
  return pos.HomeTop;
}

void TForm1::RunStep(const Step& step) {
  const auto draw = [&] {
    switch (step.draw.kind) {
      case Draw::None: break;
      case Draw::Pose: figures.ShowPose(step.draw.a); break;
      case Draw::Poses: figures.ShowPoses(step.draw.a, step.draw.b, step.draw.c); break;
      case Draw::Overlay: figures.ShowOverlay(); break;
    }
  };
  const auto move = [&] {
    switch (step.move.kind) {
      case Move::None: break;
      case Move::To: window.MoveWindowTo(LeftOf(step.move.x), TopOf(step.move.y)); break;
      case Move::Top: window.SetTop(TopOf(step.move.y)); break;
      case Move::Left: window.SetLeft(LeftOf(step.move.x)); break;
    }
  };
  if (step.move_first) {
    move();
    draw();
  } else {
    draw();
    move();
  }
  if (step.also) step.also(*this);
}

}  // namespace zumbolo
