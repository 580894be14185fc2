#pragma once
// A timer of the user-interface thread on QTimer: it ticks every `ms` until stopped.

#include <QTimer>
#include <functional>

#include "ports/timers.h"

namespace zumbolo {

class QtUiTimer final : public UiTimer {
 public:
  QtUiTimer();
  void Start(std::uint32_t ms, std::function<void()> tick) override;
  void Stop() override { timer_.stop(); }

 private:
  QTimer timer_;
  std::function<void()> tick_;
};

}  // namespace zumbolo
