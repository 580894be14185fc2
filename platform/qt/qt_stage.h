#pragma once
// The engine's stage on Qt Widgets: the main window with the three figures, and the two pop-ups.

#include "platform/qt/figure_window.h"
#include "platform/qt/picture_window.h"
#include "ports/stage.h"

namespace zumbolo {

class QtStage final : public Stage {
 public:
  QtStage();

  FigureWindow& main_window() { return main_; }

  void SetFigureSize(int pixels) override { main_.SetFigureSize(pixels); }
  void ShowFigure(int index, const Bitmap& picture) override { main_.ShowFigure(index, picture); }
  void MoveMainWindow(int left, int top) override;
  // An X11 move is asynchronous in any case: both ask the server for the same move at once.
  void QueueMainWindowMove(int left, int top) override { MoveMainWindow(left, top); }
  void BringToFront() override;
  void ShowMainWindow(bool visible) override { main_.SetShown(visible); }

  void SetPopupPicture(Popup popup, const Bitmap& picture, int width, int height) override;
  void MovePopup(Popup popup, int left, int top) override;
  void ShowPopup(Popup popup, bool visible) override;

 private:
  PictureWindow& Window(Popup popup) { return popup == Popup::Celebration ? celebration_ : balloon_; }

  FigureWindow main_;
  PictureWindow celebration_;
  PictureWindow balloon_;
};

}  // namespace zumbolo
