#pragma once
// A plain timer of the user-interface thread (SetTimer on a hidden window of its own).

#include <functional>

#include "platform/win32/window.h"
#include "ports/timers.h"

namespace zumbolo::win32 {

class WindowTimer final : public Window, public UiTimer {
 public:
  explicit WindowTimer(HWND owner);
  ~WindowTimer() override;

  void Start(std::uint32_t ms, std::function<void()> tick) override;
  void Stop() override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  static constexpr UINT_PTR kTimerId = 1;
  std::function<void()> tick_;
  bool running_ = false;
};

}  // namespace zumbolo::win32
