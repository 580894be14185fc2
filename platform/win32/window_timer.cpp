#include "platform/win32/window_timer.h"

namespace zumbolo::win32 {

WindowTimer::WindowTimer(HWND owner) { CreateHidden(L"TTimerWindow", owner); }

WindowTimer::~WindowTimer() { Stop(); }

void WindowTimer::Start(std::uint32_t ms, std::function<void()> tick) {
  tick_ = std::move(tick);
  running_ = SetTimer(hwnd(), kTimerId, ms, nullptr) != 0;
}

void WindowTimer::Stop() {
  if (!running_) return;
  KillTimer(hwnd(), kTimerId);
  running_ = false;
}

LRESULT WindowTimer::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_TIMER || wparam != kTimerId) return Window::HandleMessage(message, wparam, lparam);
  if (!running_) return 0;  // a tick that was already queued when the timer stopped
  // A copy: the tick may start the timer again with another one.
  const std::function<void()> tick = tick_;
  if (tick) tick();
  return 0;
}

}  // namespace zumbolo::win32
