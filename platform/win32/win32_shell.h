#pragma once
// The desktop around the program on Win32: the work areas of the monitors, the local date and
// the user's short date pattern, the tray icon, the popup menu at the cursor, the start at login,
// the message boxes and the end of the message loop.

#include <windows.h>

#include "platform/win32/application_window.h"
#include "platform/win32/tray_icon.h"
#include "ports/shell.h"

namespace zumbolo {
class TForm1;
}

namespace zumbolo::win32 {

class Win32Shell final : public Shell {
 public:
  // `main_window` owns the menu and the tally; `application` shows the error boxes and owns the
  // tray window.
  Win32Shell(ApplicationWindow& application, HWND main_window);
  // The form whose menu, tray callback and taskbar re-creation this shell serves.
  void Attach(TForm1& form) { form_ = &form; }

  WorkArea GetWorkArea() override;
  std::vector<WorkArea> ScreenWorkAreas() override;
  LocalDate Today() override;
  std::string ShortDatePattern() override;

  void AddTrayIcon() override { tray_.Add(); }
  void RemoveTrayIcon() override { tray_.Remove(); }
  ScreenPoint CursorPos() override;
  void ShowPopupMenu(ScreenPoint at) override;
  bool StartsAtLogin() override;
  std::string SetStartAtLogin(bool on) override;

  void ShowError(std::string_view text) override;
  void ShowMessage(std::string_view caption, std::string_view text, int left, int top) override;
  void ProcessPendingEvents() override;
  void Quit() override;

 private:
  void TrayMouse(int mouse_message);

  ApplicationWindow& application_;
  HWND main_;
  TForm1* form_ = nullptr;
  TrayIcon tray_;
};

}  // namespace zumbolo::win32
