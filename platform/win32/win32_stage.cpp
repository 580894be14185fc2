#include "platform/win32/win32_stage.h"

namespace zumbolo::win32 {

Win32Stage::Win32Stage(HWND owner)
    : main_(owner),
      celebration_({.class_name = L"TForm2", .title = L"Zumbolo! celebration", .key = kBlack, .boxes = 1},
                   owner),
      balloon_({.class_name = L"TForm3", .title = L"Zumbolo! balloon", .key = kRed, .boxes = 1}, owner) {}

void Win32Stage::BringToFront() {
  // While a message box holds the main window disabled, the box is what comes to the front.
  const HWND main = main_.hwnd();
  SetForegroundWindow(IsWindowEnabled(main) ? main : GetLastActivePopup(main));
}

void Win32Stage::SetPopupPicture(Popup popup, const Bitmap& picture, int width, int height) {
  PictureWindow& window = PopupFor(popup);
  window.SetBoxSize(width, height);
  window.ShowPicture(0, picture);
}

}  // namespace zumbolo::win32
