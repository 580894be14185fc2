#include "engine/beat_clock.h"

namespace zumbolo {

TMMTimer::~TMMTimer() {
  if (running_) timer_.Kill();
}

void TMMTimer::Design(std::uint32_t interval, const Routine* on_timer) {
  interval_ = interval;
  hang_timeout_ = HangTimeoutFor(interval);
  on_timer_ = on_timer;
  Rearm();
}

void TMMTimer::SetEnabled(bool value) {
  trace_("enabled", value);
  if (value == enabled_) return;
  enabled_ = value;
  Rearm();
}

void TMMTimer::SetInterval(std::uint32_t value) {
  trace_("interval", value);
  if (value == interval_) return;
  interval_ = value;
  hang_timeout_ = HangTimeoutFor(value);
  Rearm();
}

void TMMTimer::SetOnTimer(const Routine* handler) {
  on_timer_ = handler;
  Rearm();
}

void TMMTimer::Rearm() {
  if (running_) {
    timer_.Kill();
    running_ = false;
  }
  if (interval_ != 0 && enabled_ && on_timer_) {
    running_ = timer_.Start(interval_, hang_timeout_, *this);
  }
}

void TMMTimer::Tick() {
  if (on_timer_ && hooks_.run_beat) hooks_.run_beat(*on_timer_);
}

void TMMTimer::TakeBeat() {
  // A beat handler that fails is reported; the beat still counts as delivered.
  try {
    Tick();
  } catch (const std::exception& error) {
    if (hooks_.report) hooks_.report(error);
  }
}

void TMMTimer::HandOverTimedOut() {
  SetEnabled(false);
  if (hooks_.send_lost_notice) hooks_.send_lost_notice();
}

void TMMTimer::DeliverLostNotice() {
  if (hooks_.handle_lost_notice) hooks_.handle_lost_notice();
}

}  // namespace zumbolo
