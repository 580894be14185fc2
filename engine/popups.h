#pragma once
// The two pop-up picture windows: TForm2, the celebration ball shown while a show runs, and
// TForm3, the speech balloon shown when it ends. They are created at start-up, placed relative
// to the figures' resting position, and afterwards only shown, hidden and moved.

#include <string>

#include "engine/bitmap.h"
#include "engine/positions.h"
#include "ports/resources.h"
#include "ports/stage.h"
#include "ports/trace.h"

namespace zumbolo {

class PopupWindow {
 public:
  PopupWindow(Popup which, std::string name, Stage& stage, Trace& trace)
      : which_(which), name_(std::move(name)), stage_(stage), trace_(trace) {}

  bool Visible() const { return visible_; }
  void Show();
  void Hide();
  int Left() const { return left_; }
  int Top() const { return top_; }
  void SetLeft(int x);
  void SetTop(int y);

  // Its place relative to the resting position: (HomeLeft + dx, HomeTop + dy).
  virtual int OffsetLeft(bool mini) const = 0;
  virtual int OffsetTop(bool mini) const = 0;

 protected:
  ~PopupWindow() = default;
  void Create(const Resources& resources, const char* picture, std::uint32_t key, int width,
              int height, const Positions& at, bool mini);

 private:
  Popup which_;
  std::string name_;
  Stage& stage_;
  Trace& trace_;
  bool visible_ = false;
  int left_ = 0;
  int top_ = 0;
};

// The celebration ball, 136 x 201 (68 x 100 in mini mode), on black.
class TForm2 final : public PopupWindow {
 public:
  TForm2(Stage& stage, Trace& trace) : PopupWindow(Popup::Celebration, "form2", stage, trace) {}
  void FormCreate(const Resources& resources, const Positions& at, bool mini);
  int OffsetLeft(bool mini) const override { return mini ? 15 : 30; }
  int OffsetTop(bool mini) const override { return mini ? -120 : -230; }
};

// The speech balloon, 131 x 72 (65 x 36 in mini mode), on red. Its creation handler, which
// starts the music and the beat, lives with the main window (TForm1::Form3Create).
class TForm3 final : public PopupWindow {
 public:
  TForm3(Stage& stage, Trace& trace) : PopupWindow(Popup::Balloon, "form3", stage, trace) {}
  void FormCreate(const Resources& resources, const Positions& at, bool mini);
  int OffsetLeft(bool mini) const override { return mini ? 10 : 30; }
  int OffsetTop(bool mini) const override { return mini ? -50 : -75; }
};

}  // namespace zumbolo
