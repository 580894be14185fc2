#pragma once
// The user-interface thread's side of a headless program (the benchmarks, the tests): a queue of
// closures that any thread may post to and that the owning thread runs, one at a time, in order.
// The desktop programs use their toolkit's own loop instead, behind UiThreadPoster.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "ports/timers.h"

namespace zumbolo {

// Runs closures on the user-interface thread. Post may be called from any thread and never waits
// for the user-interface thread; the closures run later, in the order they were posted.
class UiThreadPoster {
 public:
  virtual ~UiThreadPoster() = default;
  virtual void Post(std::function<void()> task) = 0;
};

class EventLoop : public UiThreadPoster {
 public:
  using Clock = std::chrono::steady_clock;

  void Post(std::function<void()> task) override;
  // Runs `task` once `due` has come, after the closures posted before that moment.
  void PostAt(Clock::time_point due, std::function<void()> task);

  // Runs closures on the calling thread until `done` holds (checked before the first and after
  // every closure), `deadline` has passed with nothing left to run, or Quit was called. Returns
  // whether `done` held. It may be called again from inside a closure.
  bool RunUntil(const std::function<bool()>& done, Clock::time_point deadline = Clock::time_point::max());
  bool RunUntil(Clock::time_point deadline) { return RunUntil(nullptr, deadline); }
  // From any thread: every RunUntil, now and later, returns as soon as its closure has finished.
  void Quit();
  bool QuitRequested() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> ready_;
  std::multimap<Clock::time_point, std::function<void()>> timed_;
  bool quit_ = false;
};

// A UiTimer whose ticks are closures of an EventLoop. The ticks fall due at whole periods from
// Start, however long a tick takes. Start, Stop and the destructor belong to the loop's thread.
class EventLoopTimer : public UiTimer {
 public:
  explicit EventLoopTimer(EventLoop& loop) : loop_(loop), generation_(std::make_shared<std::uint64_t>(0)) {}
  ~EventLoopTimer() override { Stop(); }
  EventLoopTimer(const EventLoopTimer&) = delete;
  EventLoopTimer& operator=(const EventLoopTimer&) = delete;

  void Start(std::uint32_t ms, std::function<void()> tick) override;
  void Stop() override { ++*generation_; }

 private:
  using Generation = std::shared_ptr<std::uint64_t>;
  using Tick = std::shared_ptr<const std::function<void()>>;
  static void Arm(EventLoop& loop, Generation generation, std::uint64_t mine, Tick tick,
                  EventLoop::Clock::time_point due, EventLoop::Clock::duration period);

  EventLoop& loop_;
  // Shared with the closures it has posted: a closure of an older generation does nothing.
  Generation generation_;
};

}  // namespace zumbolo
