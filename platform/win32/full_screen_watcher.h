#pragma once
// Senses whether a full-screen program is in front of the figures: the shell's notification state
// (SHQueryUserNotificationState) says a full-screen application is busy, a Direct3D program runs
// full screen, or presentation mode is on; the first two count when the foreground window is on
// the figures' monitor. It is asked when the foreground window changes (the shell hook's
// messages) and on a slow timer, for a window that goes full screen where it is.

#include <functional>

#include "platform/win32/window.h"

namespace zumbolo::win32 {

class FullScreenWatcher final : public Window {
 public:
  // `figures` is the main window; `changed` gets each new answer, the first one included.
  FullScreenWatcher(HWND owner, HWND figures, std::function<void(bool full_screen)> changed);
  ~FullScreenWatcher() override;

  void Check();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  bool FullScreenNow() const;

  static constexpr UINT_PTR kTimerId = 1;
  static constexpr UINT kTimerMs = 2000;
  HWND figures_;
  std::function<void(bool)> changed_;
  UINT shell_hook_message_ = 0;
  bool hooked_ = false;
  int reported_ = -1;  // -1: nothing reported yet
};

}  // namespace zumbolo::win32
