#pragma once
// TTimer: a plain timer of the user-interface thread that ticks every Interval ms while enabled.

#include <cstdint>
#include <functional>
#include <string>

#include "ports/timers.h"
#include "ports/trace.h"

namespace zumbolo {

class TTimer {
 public:
  TTimer(UiTimer& timer, Trace& trace, std::string name, std::uint32_t interval)
      : timer_(timer), trace_(trace), name_(std::move(name)), interval_(interval) {}
  ~TTimer() {
    if (enabled_) timer_.Stop();
  }
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  void SetOnTimer(std::function<void()> handler) { on_timer_ = std::move(handler); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) {
    trace_(name_, value);
    if (value == enabled_) return;
    enabled_ = value;
    if (enabled_) {
      timer_.Start(interval_, [this] {
        if (on_timer_) on_timer_();
      });
    } else {
      timer_.Stop();
    }
  }

 private:
  UiTimer& timer_;
  Trace& trace_;
  std::string name_;
  std::uint32_t interval_;
  bool enabled_ = false;
  std::function<void()> on_timer_;
};

}  // namespace zumbolo
