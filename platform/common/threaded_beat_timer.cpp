#include "platform/common/threaded_beat_timer.h"

#include <algorithm>
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
  Clock::time_point killed_at;      // user-interface thread only
  std::atomic<HandOverState> state{HandOverState::kTaken};
  std::atomic<bool> finished{false};  // the thread has nothing more to do and can be joined
  // Set under the mutex while the thread waits for a hand-over to be taken. Read without it, after
  // the state has moved: either the reader sees it set, or the thread sees the state moved.
  std::atomic<bool> answer_awaited{false};
  UiThreadPoster* poster = nullptr;
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
  run->poster = &poster_;
  run->start = Clock::now();
  workers_.reserve(workers_.size() + 1);  // so that nothing can throw once the thread runs
  try {
    workers_.push_back({std::thread(&ThreadedBeatTimer::Loop, run), run});
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
    current_->killed_at = Clock::now();
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

void ThreadedBeatTimer::Loop(const std::shared_ptr<Run>& run) {
  const auto killed = [&run] { return run->killed.load(); };
  const auto answered = [&run] { return run->killed || run->state != HandOverState::kPending; };
  std::int64_t beat = 0;
  bool in_flight = false;  // a beat has been posted and its hand-over not yet judged here
  Clock::time_point posted;
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

    if (in_flight) {
      // The last hand-over is judged now, at the next deadline, rather than at its time-out: the
      // user-interface thread judges the ones it takes itself, so this thread wakes once a beat.
      if (run->state == HandOverState::kPending && Clock::now() - posted < run->hand_over) {
        // A time-out longer than the period: wait for the hand-over to be taken, and then for
        // the next deadline still to come.
        run->answer_awaited = true;
        const bool taken = run->wake.wait_until(lock, posted + run->hand_over, answered);
        run->answer_awaited = false;
        if (run->killed) break;
        if (taken && run->state == HandOverState::kTaken) {
          in_flight = false;
          --beat;
          continue;
        }
      }
      // Kill holds the mutex to set its flag, so it cannot come in between.
      HandOverState expected = HandOverState::kPending;
      if (run->state.compare_exchange_strong(expected, HandOverState::kLost)) {
        // Not taken in time. The notice goes behind the late beat; the clock has stopped itself.
        PostLostNotice(run);
        break;
      }
      // Taken late: the user-interface thread has posted the notice itself.
      if (expected == HandOverState::kLost) break;
      in_flight = false;
    }

    // Posted with the mutex held, so that once Kill has returned no beat is posted any more.
    // Posting never waits for the user-interface thread.
    run->state = HandOverState::kPending;
    posted = Clock::now();
    in_flight = true;
    run->poster->Post([run, times = BeatTimes{static_cast<std::uint64_t>(beat), due, posted, {}, false}] {
      HandOver(run, times);
    });
  }
  run->finished = true;
}

void ThreadedBeatTimer::HandOver(const std::shared_ptr<Run>& run, const BeatTimes& times) {
  if (!run->alive->load()) return;
  // Taken first, run afterwards: a beat that starts in time is delivered however long it runs.
  // One taken after its time-out is lost, whether or not the timer thread has seen it yet;
  // unless the clock was killed before the time-out came: then nothing was lost, and the beat
  // is dropped.
  Clock::time_point judged_at = Clock::now();
  if (run->killed) judged_at = std::min(judged_at, run->killed_at);
  const bool before_time_out = judged_at - times.posted <= run->hand_over;
  HandOverState expected = HandOverState::kPending;
  const bool judged_here = run->state.compare_exchange_strong(
      expected, before_time_out ? HandOverState::kTaken : HandOverState::kLost);
  if (!judged_here && expected != HandOverState::kLost) return;
  const bool in_time = judged_here && before_time_out;
  if (judged_here) {
    // Only a timer thread waiting for this answer (a time-out longer than the period) is woken.
    // The mutex is not touched otherwise: the timer thread still holds it just after posting.
    if (run->answer_awaited) {
      { const std::lock_guard lock(run->mutex); }
      run->wake.notify_one();
    }
  }
  if (in_time) {
    if (run->killed) return;  // the clock was killed before this beat came through
  } else {
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
  if (judged_here && !in_time && run->alive->load()) {
    // Found late here: the notice goes behind this beat, as the timer thread would have sent it.
    PostLostNotice(run);
  }
}

void ThreadedBeatTimer::PostLostNotice(const std::shared_ptr<Run>& run) {
  run->poster->Post([run] {
    if (run->alive->load()) run->sink->DeliverLostNotice();
  });
}

}  // namespace zumbolo
