#include "platform/qt/qt_ui_timer.h"

namespace zumbolo {

QtUiTimer::QtUiTimer() {
  // A coarse timer may be 5 % late: three seconds would become up to 3.15.
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    // A copy: the tick may start the timer again with another one.
    const std::function<void()> tick = tick_;
    if (tick) tick();
  });
}

void QtUiTimer::Start(std::uint32_t ms, std::function<void()> tick) {
  tick_ = std::move(tick);
  timer_.start(static_cast<int>(ms));
}

}  // namespace zumbolo
