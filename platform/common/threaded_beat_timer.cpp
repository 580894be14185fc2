#include "platform/common/threaded_beat_timer.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <utility>

namespace zumbolo {

namespace {

// The hand-over in flight. The user-interface thread and the timer thread race for it with a
// compare-and-swap from Pending: the first one to move it decides whether the beat was taken in
// time or lost.
enum class HandOverState { kPending, kTaken, kLost };

}  // namespace

// One run of the clock, from a Start to its Kill or its lost beat. Shared by its thread and the
// closures that thread has posted, so each lives as long as it needs, whatever the other does.
struct ThreadedBeatTimer::Run {
  Clock::time_point start;
  Clock::duration interval{};
  Clock::duration hand_over{};
  BeatSink* sink = nullptr;
  Observer observer;
  std::shared_ptr<std::atomic<bool>> alive;

  // Held by the thread except while it sleeps or waits, and by the user-interface thread only
  // for moments; never while a beat runs.
  std::mutex mutex;
  std::condition_variable wake;
  std::atomic<bool> killed{false};  // set under the mutex, so the thread cannot miss it
  std::atomic<HandOverState> state{HandOverState::kTaken};
  std::atomic<bool> finished{false};  // the thread has nothing more to do and can be joined
};

ThreadedBeatTimer::ThreadedBeatTimer(UiThreadPoster& poster)
    : poster_(poster), alive_(std::make_shared<std::atomic<bool>>(true)) {}

ThreadedBeatTimer::~ThreadedBeatTimer() {
  Kill();
  alive_->store(false);
  // A killed thread returns from its wait at once, and a lost one has already stopped.
  for (Worker& worker : workers_) worker.thread.join();
}

bool ThreadedBeatTimer::Start(std::uint32_t interval_ms, std::uint32_t hand_over_ms, BeatSink& sink) {
  Kill();
  JoinFinished();
  // As with the system's timers, a period of 0 is no period at all.
  if (interval_ms == 0) return false;

  auto run = std::make_shared<Run>();
  run->interval = std::chrono::milliseconds(interval_ms);
  run->hand_over = std::chrono::milliseconds(hand_over_ms);
  run->sink = &sink;
  run->observer = observer_;
  run->alive = alive_;
  run->start = Clock::now();
  workers_.reserve(workers_.size() + 1);  // so that nothing can throw once the thread runs
  try {
    workers_.push_back({std::thread(&ThreadedBeatTimer::Loop, run, std::ref(poster_)), run});
  } catch (const std::system_error&) {
    return false;
  }
  current_ = std::move(run);
  return true;
}

void ThreadedBeatTimer::Kill() {
  if (!current_) return;
  {
    const std::lock_guard lock(current_->mutex);
    current_->killed = true;
  }
  current_->wake.notify_one();
  // The thread is not joined here (this may be running inside one of its beats): it ends by
  // itself as soon as it sees the flag, and is joined at a later Start or by the destructor.
  current_.reset();
}

void ThreadedBeatTimer::JoinFinished() {
  std::erase_if(workers_, [](Worker& worker) {
    if (!worker.run->finished) return false;
    worker.thread.join();
    return true;
  });
}

void ThreadedBeatTimer::Loop(const std::shared_ptr<Run>& run, UiThreadPoster& poster) {
  const auto killed = [&run] { return run->killed.load(); };
  const auto answered = [&run] { return run->killed || run->state != HandOverState::kPending; };
  std::int64_t beat = 0;
  std::unique_lock lock(run->mutex);
  for (;;) {
    ++beat;
    Clock::time_point due = run->start + beat * run->interval;
    const Clock::time_point now = Clock::now();
    if (now - due >= run->interval) {
      // More than a period behind (a stalled machine, a hand-over that took long): go on with
      // the next deadline still to come.
      beat = (now - run->start) / run->interval + 1;
      due = run->start + beat * run->interval;
    }
    if (run->wake.wait_until(lock, due, killed)) break;

    // Posted with the mutex held, so that once Kill has returned no beat is posted any more.
    // Posting never waits for the user-interface thread.
    run->state = HandOverState::kPending;
    const Clock::time_point posted = Clock::now();
    poster.Post([run, times = BeatTimes{static_cast<std::uint64_t>(beat), due, posted, {}, false}] {
      HandOver(run, times);
    });
    if (run->wake.wait_until(lock, posted + run->hand_over, answered)) {
      if (run->killed) break;
      continue;
    }
    // Not taken in time. Kill holds the mutex to set its flag, so it cannot come in between.
    HandOverState expected = HandOverState::kPending;
    if (!run->state.compare_exchange_strong(expected, HandOverState::kLost)) continue;  // just in time
    // The notice goes behind the late beat; the clock has stopped itself.
    poster.Post([run] {
      if (run->alive->load()) run->sink->DeliverLostNotice();
    });
    break;
  }
  run->finished = true;
}

void ThreadedBeatTimer::HandOver(const std::shared_ptr<Run>& run, const BeatTimes& times) {
  if (!run->alive->load()) return;
  // Taken first, run afterwards: a beat that starts in time is delivered however long it runs.
  HandOverState expected = HandOverState::kPending;
  const bool in_time = run->state.compare_exchange_strong(expected, HandOverState::kTaken);
  if (in_time) {
    { const std::lock_guard lock(run->mutex); }  // the thread is either waiting or sees the state
    run->wake.notify_one();
    if (run->killed) return;  // the clock was killed before this beat came through
  } else {
    if (expected != HandOverState::kLost) return;
    run->sink->HandOverTimedOut();
    if (!run->alive->load()) return;
  }
  if (run->observer) {
    BeatTimes seen = times;
    seen.taken = Clock::now();
    seen.late = !in_time;
    run->observer(seen);
  }
  run->sink->TakeBeat();
}

}  // namespace zumbolo
