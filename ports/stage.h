#pragma once
// The stage: the main window with its three figure boxes, and the two pop-up windows.

#include "engine/bitmap.h"

namespace zumbolo {

enum class Popup { Celebration, Balloon };  // TForm2's ball, TForm3's speech balloon

class Stage {
 public:
  virtual ~Stage() = default;

  // The main window holds three square boxes side by side; `pixels` is their edge (64, or 32 in
  // mini mode), so the window is 3 * pixels wide and `pixels` high. Pictures are 64 x 64 and are
  // fitted to the box.
  virtual void SetFigureSize(int pixels) = 0;
  // Box `index` (0 left, 1 middle, 2 right) shows `picture` from now on, repaints included.
  virtual void ShowFigure(int index, const Bitmap& picture) = 0;
  // Moves the main window's top-left corner at once.
  virtual void MoveMainWindow(int left, int top) = 0;
  // Asks for the same move without waiting for it.
  virtual void QueueMainWindowMove(int left, int top) = 0;
  virtual void BringToFront() = 0;
  // Shows or hides the main window, without taking the focus; it keeps its place and figures.
  virtual void ShowMainWindow(bool visible) = 0;

  // A pop-up shows `picture` stretched to width x height; its key colour is transparent
  // (black for the celebration ball, red for the balloon).
  virtual void SetPopupPicture(Popup popup, const Bitmap& picture, int width, int height) = 0;
  virtual void MovePopup(Popup popup, int left, int top) = 0;
  virtual void ShowPopup(Popup popup, bool visible) = 0;
};

}  // namespace zumbolo
