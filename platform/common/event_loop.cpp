#include "platform/common/event_loop.h"

#include <algorithm>
#include <utility>

namespace zumbolo {

void EventLoop::Post(std::function<void()> task) {
  {
    const std::lock_guard lock(mutex_);
    ready_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void EventLoop::PostAt(Clock::time_point due, std::function<void()> task) {
  {
    const std::lock_guard lock(mutex_);
    timed_.emplace(due, std::move(task));
  }
  wake_.notify_one();
}

bool EventLoop::RunUntil(const std::function<bool()>& done, Clock::time_point deadline) {
  for (;;) {
    if (done && done()) return true;
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      for (;;) {
        if (quit_) return false;
        const auto now = Clock::now();
        // Timed closures that have come due join the queue in the order of their moments.
        while (!timed_.empty() && timed_.begin()->first <= now) {
          ready_.push_back(std::move(timed_.begin()->second));
          timed_.erase(timed_.begin());
        }
        if (!ready_.empty()) {
          task = std::move(ready_.front());
          ready_.pop_front();
          break;
        }
        if (now >= deadline) return false;
        const auto wake = timed_.empty() ? deadline : std::min(deadline, timed_.begin()->first);
        if (wake == Clock::time_point::max()) {
          wake_.wait(lock);
        } else {
          wake_.wait_until(lock, wake);
        }
      }
    }
    task();  // without the lock: it may post, and other threads may post meanwhile
  }
}

void EventLoop::Quit() {
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
}

bool EventLoop::QuitRequested() const {
  const std::lock_guard lock(mutex_);
  return quit_;
}

void EventLoopTimer::Start(std::uint32_t ms, std::function<void()> tick) {
  const std::uint64_t mine = ++*generation_;
  const auto period = std::chrono::milliseconds(ms);
  Arm(loop_, generation_, mine, std::make_shared<const std::function<void()>>(std::move(tick)),
      EventLoop::Clock::now() + period, period);
}

void EventLoopTimer::Arm(EventLoop& loop, Generation generation, std::uint64_t mine, Tick tick,
                         EventLoop::Clock::time_point due, EventLoop::Clock::duration period) {
  loop.PostAt(due, [&loop, generation, mine, tick, due, period] {
    if (*generation != mine) return;
    (*tick)();
    if (*generation == mine) Arm(loop, generation, mine, tick, due + period, period);
  });
}

}  // namespace zumbolo
