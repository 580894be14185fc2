#pragma once
// The tray icon: the hidden window "TTrayWindow" that receives its callback message, and the
// icon itself, added to and removed from the notification area with Shell_NotifyIconW.

#include <windows.h>
#include <shellapi.h>

#include <functional>

#include "platform/win32/window.h"

namespace zumbolo::win32 {

constexpr UINT WM_TRAYICON = 0x8305;

class TrayIcon final : public Window {
 public:
  // `mouse` gets the mouse message of every callback (WM_LBUTTONDOWN, WM_RBUTTONDOWN, ...).
  TrayIcon(HWND owner, std::function<void(int mouse_message)> mouse);
  ~TrayIcon() override;

  void Add();  // with the program's icon and the tip "Zumbolo!"; a failure is not reported
  void Remove();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  NOTIFYICONDATAW Record(UINT flags) const;

  std::function<void(int)> mouse_;
  bool added_ = false;
};

}  // namespace zumbolo::win32
