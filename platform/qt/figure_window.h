#pragma once
// The main window: three figure boxes side by side in one frameless, always-on-top window with
// no taskbar entry, its white pixels cut away by a shape mask. It paints each box from the last
// picture the box was given, so an expose never loses a figure, and it reports keys, clicks and
// the window manager's close request to whoever listens.

#include <QImage>
#include <QRegion>
#include <QWidget>
#include <array>
#include <functional>

#include "engine/bitmap.h"

namespace zumbolo {

class FigureWindow final : public QWidget {
 public:
  struct Handlers {
    std::function<void(int shortcut)> key;  // a key with its Windows key code and modifier bits
    std::function<void()> left_press;
    std::function<void()> right_press;
    std::function<void()> close_request;  // the window manager asks the window to close
  };

  FigureWindow();
  void SetHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

  // Each box is `pixels` square; the window is three boxes wide.
  void SetFigureSize(int pixels);
  void ShowFigure(int index, const Bitmap& picture);
  // Shows the window for the first time, its shape already in place, without taking the focus.
  void ShowFirstTime();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Box {
    Bitmap given;     // what the engine last showed here
    QImage picture;   // the same as an image
    QImage scaled;    // at the box's size in device pixels; null until needed
    QRegion shape;    // the box's non-white pixels, in window coordinates
    bool shape_stale = true;
  };

  // Changes are gathered and put on screen once the current handler has returned: the shape
  // once for all three boxes, then the repaint.
  void ScheduleApply();
  void Apply();
  const QImage& ScaledPicture(int index);

  Handlers handlers_;
  int size_ = 64;
  std::array<Box, 3> boxes_;
  qreal scaled_dpr_ = 0;  // the device pixel ratio the scaled pictures were made for
  QRegion shape_;         // the window's shape now
  bool shape_set_ = false;
  bool apply_scheduled_ = false;
};

}  // namespace zumbolo
