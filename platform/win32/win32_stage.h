#pragma once
// The engine's stage on Win32: the main window with the three figures, and the two pop-ups
// (the celebration ball keyed on black, the balloon keyed on red), all owned by the hidden
// application window.

#include "platform/win32/main_window.h"
#include "platform/win32/picture_window.h"
#include "ports/stage.h"

namespace zumbolo::win32 {

class Win32Stage final : public Stage {
 public:
  explicit Win32Stage(HWND owner);

  MainWindow& main_window() { return main_; }

  void SetFigureSize(int pixels) override { main_.SetBoxSize(pixels, pixels); }
  void ShowFigure(int index, const Bitmap& picture) override { main_.ShowPicture(index, picture); }
  void MoveMainWindow(int left, int top) override { main_.MoveTo(left, top); }
  void QueueMainWindowMove(int left, int top) override { main_.QueueMove(left, top); }
  void BringToFront() override;
  void ShowMainWindow(bool visible) override { main_.SetShown(visible); }

  void SetPopupPicture(Popup popup, const Bitmap& picture, int width, int height) override;
  void MovePopup(Popup popup, int left, int top) override { PopupFor(popup).MoveTo(left, top); }
  void ShowPopup(Popup popup, bool visible) override { PopupFor(popup).SetShown(visible); }

 private:
  PictureWindow& PopupFor(Popup popup) { return popup == Popup::Celebration ? celebration_ : balloon_; }

  MainWindow main_;
  PictureWindow celebration_;
  PictureWindow balloon_;
};

}  // namespace zumbolo::win32
