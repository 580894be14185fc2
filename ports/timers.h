#pragma once
// The two timers of the main window: the beat clock's periodic system timer, which runs on a
// thread of its own and hands every beat over to the user-interface thread, and a plain timer of
// the user-interface thread.

#include <cstdint>
#include <functional>

namespace zumbolo {

// What the beat clock's timer thread reaches on the user-interface thread.
class BeatSink {
 public:
  virtual ~BeatSink() = default;
  virtual void TakeBeat() = 0;  // a beat handed over in time (the answer 3333)
  // A hand-over was not taken within its time-out: the system timer has stopped itself. A real
  // timer calls it as the first thing the user-interface thread does for that beat, before the
  // late beat; the simulator, whose threads take turns, calls it at the moment of the time-out.
  virtual void HandOverTimedOut() = 0;
  // After the late beat: the lost-beat notice reaches the owner window.
  virtual void DeliverLostNotice() = 0;
};

class BeatTimer {
 public:
  virtual ~BeatTimer() = default;
  // Starts a periodic timer whose beats fall due every interval_ms, the first interval_ms from
  // now; each one must be taken within hand_over_ms. Returns false when no timer could be started.
  virtual bool Start(std::uint32_t interval_ms, std::uint32_t hand_over_ms, BeatSink& sink) = 0;
  virtual void Kill() = 0;  // no beat is handed over after this returns
};

// A timer of the user-interface thread that ticks every `ms` until stopped.
class UiTimer {
 public:
  virtual ~UiTimer() = default;
  virtual void Start(std::uint32_t ms, std::function<void()> tick) = 0;
  virtual void Stop() = 0;
};

}  // namespace zumbolo
