#pragma once
// A borderless, top-most tool window that shows pictures in boxes side by side, one colour of
// them cut away (a layered window with a colour key). It paints every box from the picture the
// box was last given, so a repaint never loses what it showed.

#include <cstdint>
#include <vector>

#include "engine/bitmap.h"
#include "platform/win32/window.h"

namespace zumbolo::win32 {

class PictureWindow : public Window {
 public:
  struct Look {
    const wchar_t* class_name;
    const wchar_t* title;
    std::uint32_t key;  // 0x00RRGGBB, shown as transparent
    int boxes;
    UINT class_style = 0;
  };
  // Hidden until shown; `owner` keeps it off the taskbar.
  PictureWindow(const Look& look, HWND owner);

  // Each box is width x height; the window is `boxes` boxes wide.
  void SetBoxSize(int width, int height);
  // Box `index` shows `picture` from now on, fitted to the box.
  void ShowPicture(int index, const Bitmap& picture);
  void MoveTo(int left, int top);
  // The same move, asked for without waiting for it.
  void QueueMove(int left, int top);
  void SetShown(bool shown);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  struct Box {
    Bitmap given;      // what the box was last told to show
    UniqueBitmap dib;  // the same at the box's size
  };
  void Fit(Box& box);
  LRESULT OnPaint();

  std::uint32_t key_;
  int width_ = 0;
  int height_ = 0;
  std::vector<Box> boxes_;
};

}  // namespace zumbolo::win32
