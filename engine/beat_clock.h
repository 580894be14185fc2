#pragma once
// TMMTimer, the beat clock. Every Interval ms its system timer, on a thread of its own, hands a
// beat over to the user-interface thread, where the beat handler (the show mode's routine) runs.
// A beat that is not taken within HangTimeout (93 % of the interval) switches the clock off and
// sends the lost-beat notice (WM_DANCE code 100) to the owner window.

#include <cstdint>
#include <exception>
#include <functional>

#include "ports/timers.h"
#include "ports/trace.h"

namespace zumbolo {

struct Routine;

class TMMTimer : public BeatSink {
 public:
  struct Hooks {
    std::function<void(const Routine&)> run_beat;      // runs a beat routine
    std::function<void()> send_lost_notice;            // WM_DANCE 100 sent to the owner
    std::function<void()> handle_lost_notice;          // ... and handled there
    std::function<void(const std::exception&)> report;  // the application's error box
  };

  TMMTimer(BeatTimer& timer, Trace& trace) : timer_(timer), trace_(trace) {}
  ~TMMTimer() override;
  TMMTimer(const TMMTimer&) = delete;
  TMMTimer& operator=(const TMMTimer&) = delete;

  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }
  // The values the window description gives the clock; they are not assignments.
  void Design(std::uint32_t interval, const Routine* on_timer);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t value);
  std::uint32_t HangTimeout() const { return hang_timeout_; }
  const Routine* OnTimer() const { return on_timer_; }
  void SetOnTimer(const Routine* handler);
  bool Running() const { return running_; }  // a system timer is armed (TimerID != 0)

  void Tick();  // calls OnTimer

  // BeatSink
  void TakeBeat() override;
  void HandOverTimedOut() override;
  void DeliverLostNotice() override;

 private:
  void Rearm();

  BeatTimer& timer_;
  Trace& trace_;
  Hooks hooks_;
  bool enabled_ = false;
  std::uint32_t interval_ = 1000;
  std::uint32_t hang_timeout_ = 930;
  const Routine* on_timer_ = nullptr;
  bool running_ = false;
};

// Interval x 0.93 to the nearest millisecond.
constexpr std::uint32_t HangTimeoutFor(std::uint32_t interval) {
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(interval) * 93 + 50) / 100);
}

}  // namespace zumbolo
