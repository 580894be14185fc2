#include "platform/win32/main_window.h"

#include "engine/bitmap.h"
#include "platform/win32/key_codes.h"

namespace zumbolo::win32 {

MainWindow::MainWindow(HWND owner)
    : PictureWindow({.class_name = L"TForm1",
                     .title = L"Zumbolo!",
                     .key = kWhite,
                     .boxes = 3,
                     .class_style = CS_DBLCLKS},  // the second press of a double click is no click
                    owner),
      taskbar_created_(RegisterWindowMessageW(L"TaskbarCreated")) {}

void MainWindow::ShowFirstTime() {
  ShowWindow(hwnd(), SW_SHOWNORMAL);
  UpdateWindow(hwnd());
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == taskbar_created_ && message != 0) return OnTaskbarCreated();
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: return OnKeyDown(message, wparam, lparam);
    case WM_LBUTTONDOWN: return OnClick();
    case WM_CLOSE: return OnClose();
    case WM_QUERYENDSESSION: return OnQueryEndSession();
    case WM_ENDSESSION: return OnEndSession();
    case WM_DESTROY: return OnDestroy();
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE: return OnScreensChanged(message, wparam, lparam);
    default: return PictureWindow::HandleMessage(message, wparam, lparam);
  }
}

LRESULT MainWindow::OnKeyDown(UINT message, WPARAM wparam, LPARAM lparam) {
  const int shortcut = ShortcutFromVirtualKey(static_cast<int>(wparam));
  if (shortcut != 0 && handlers_.key && handlers_.key(shortcut)) return 0;
  return Default(message, wparam, lparam);  // Alt+F4 and the like
}

LRESULT MainWindow::OnClick() {
  if (handlers_.click) handlers_.click();
  return 0;
}

LRESULT MainWindow::OnClose() {
  // A close request that arrives while the tally is shown waits for it to be confirmed.
  if (closing_) return 0;
  closing_ = true;
  if (handlers_.close_query) handlers_.close_query();
  DestroyWindow(hwnd());
  return 0;
}

LRESULT MainWindow::OnQueryEndSession() {
  // The session may end: save and show the tally now, and let it end.
  if (handlers_.close_query) handlers_.close_query();
  return TRUE;
}

LRESULT MainWindow::OnEndSession() {
  // Whether the session ends or the ending was cancelled, this program has closed already.
  if (!closing_) {
    closing_ = true;
    if (handlers_.close_query) handlers_.close_query();
    DestroyWindow(hwnd());
  }
  return 0;
}

LRESULT MainWindow::OnDestroy() {
  PostQuitMessage(0);
  return 0;
}

LRESULT MainWindow::OnTaskbarCreated() {
  if (handlers_.taskbar_created) handlers_.taskbar_created();
  return 0;
}

LRESULT MainWindow::OnScreensChanged(UINT message, WPARAM wparam, LPARAM lparam) {
  // A monitor added, removed or changed, or a work area changed (the taskbar moved or resized).
  if ((message == WM_DISPLAYCHANGE || wparam == SPI_SETWORKAREA) && handlers_.screens_changed) {
    handlers_.screens_changed();
  }
  return Default(message, wparam, lparam);
}

}  // namespace zumbolo::win32
