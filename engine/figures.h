#pragma once
// The three figures of the main window and the drawing primitives the beat routines are made of,
// plus the main window's position: its own record of left and top, the synchronous position
// properties and the queued move.

#include <array>

#include "engine/sprite_set.h"
#include "ports/stage.h"
#include "ports/trace.h"

namespace zumbolo {

class Figures {
 public:
  Figures(Stage& stage, Trace& trace, const SpriteSet& sprites)
      : stage_(stage), trace_(trace), sprites_(sprites) {}

  void ShowPose(int pose);               // pose 0..11 on all three figures
  void ShowPoses(int left, int middle, int right);  // -1 is the blank picture
  void ShowOverlay();                    // the sparkle over whatever each figure shows
  void DrawFigure(int figure, int pose);  // figure 1..3 alone

  // What box 0..2 shows now.
  const Bitmap& Showing(int index) const { return showing_[index]; }

 private:
  void Draw(int index, const Bitmap* picture);

  Stage& stage_;
  Trace& trace_;
  const SpriteSet& sprites_;
  std::array<Bitmap, 3> showing_{Bitmap::Filled(kFigurePixels, kFigurePixels, kWhite),
                                 Bitmap::Filled(kFigurePixels, kFigurePixels, kWhite),
                                 Bitmap::Filled(kFigurePixels, kFigurePixels, kWhite)};
};

class WindowPlace {
 public:
  WindowPlace(Stage& stage, Trace& trace) : stage_(stage), trace_(trace) {}

  int Left() const { return left_; }
  int Top() const { return top_; }
  void SetLeft(int x);  // moves the window at once, keeping its top
  void SetTop(int y);   // moves the window at once, keeping its left
  void MoveWindowTo(int x, int y);  // queues the move and returns at once
  bool Visible() const { return visible_; }
  void Show();
  void Hide();

 private:
  Stage& stage_;
  Trace& trace_;
  int left_ = 0;
  int top_ = 0;
  bool visible_ = true;  // shown from the end of start-up on, until it steps aside
};

}  // namespace zumbolo
