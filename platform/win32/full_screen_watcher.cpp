#include "platform/win32/full_screen_watcher.h"

#include <shellapi.h>

namespace zumbolo::win32 {

FullScreenWatcher::FullScreenWatcher(HWND owner, HWND figures, std::function<void(bool)> changed)
    : figures_(figures), changed_(std::move(changed)) {
  CreateHidden(L"TFullScreenWatcher", owner);
  shell_hook_message_ = RegisterWindowMessageW(L"SHELLHOOK");
  hooked_ = shell_hook_message_ != 0 && RegisterShellHookWindow(hwnd());
  SetTimer(hwnd(), kTimerId, kTimerMs, nullptr);
  Check();
}

FullScreenWatcher::~FullScreenWatcher() {
  KillTimer(hwnd(), kTimerId);
  if (hooked_) DeregisterShellHookWindow(hwnd());
}

void FullScreenWatcher::Check() {
  const bool full_screen = FullScreenNow();
  if (reported_ == static_cast<int>(full_screen)) return;
  reported_ = full_screen;
  if (changed_) changed_(full_screen);
}

bool FullScreenWatcher::FullScreenNow() const {
  QUERY_USER_NOTIFICATION_STATE state{};
  if (FAILED(SHQueryUserNotificationState(&state))) return false;
  if (state == QUNS_PRESENTATION_MODE) return true;
  if (state != QUNS_BUSY && state != QUNS_RUNNING_D3D_FULL_SCREEN) return false;
  // Busy: the foreground window fills its monitor. It counts on the figures' monitor only.
  const HWND foreground = GetForegroundWindow();
  if (!foreground) return true;
  return MonitorFromWindow(foreground, MONITOR_DEFAULTTONEAREST) == MonitorFromWindow(figures_, MONITOR_DEFAULTTONEAREST);
}

LRESULT FullScreenWatcher::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER && wparam == kTimerId) {
    Check();
    return 0;
  }
  if (hooked_ && message == shell_hook_message_) {
    // A window activated, "rudely" (a full-screen one) or not, created or gone.
    Check();
    return 0;
  }
  return Window::HandleMessage(message, wparam, lparam);
}

}  // namespace zumbolo::win32
