#pragma once
// The beat clock's system timer for the desktop programs: a thread of its own that sleeps to
// absolute deadlines on the monotonic clock and hands each beat over to the user-interface thread
// through a UiThreadPoster, waiting a bounded time for it to be taken.
//
// Beat k of a run falls due at start + k * interval, so the period does not drift; a thread that
// has fallen more than a period behind goes on with the next deadline still to come instead of
// handing over the missed ones in a burst. The hand-over is posted to the user-interface thread,
// which marks it taken as the first thing it does and then runs the beat; a beat that was
// started in time counts as delivered however long it runs. A hand-over not taken within its
// time-out is lost: whichever thread finds it so first stops the clock. The user-interface thread
// finds it when it gets to the late beat after the time-out: it calls HandOverTimedOut and then
// TakeBeat, and posts the lost-beat notice behind the beat. The timer thread finds it at the
// next deadline, when the beat has not been taken yet: it stops, and posts the notice behind the
// late beat, which then calls HandOverTimedOut and TakeBeat. Either way the notice calls
// DeliverLostNotice afterwards, even when the clock was killed or restarted meanwhile. So the
// timer thread wakes once a beat; it waits for the user-interface thread only when a hand-over's
// time-out is longer than the period.
//
// The timer thread waits for the user-interface thread only in that bounded hand-over, and it
// stops waiting at once when the clock is killed. Kill and Start take the thread's lock for a
// moment but never wait for the thread to end, so they may be called from inside any of the
// sink's calls. Everything but the timer thread itself (Start, Kill, SetObserver, the destructor,
// the posted closures) belongs to the user-interface thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/common/event_loop.h"
#include "ports/timers.h"

namespace zumbolo {

class ThreadedBeatTimer : public BeatTimer {
 public:
  using Clock = std::chrono::steady_clock;

  // The moments of one beat that reached the user-interface thread, for measurements.
  struct BeatTimes {
    std::uint64_t beat = 0;     // 1 for the first beat after Start
    Clock::time_point due;      // start + beat * interval
    Clock::time_point posted;   // the hand-over was posted
    Clock::time_point taken;    // the user-interface thread is about to call TakeBeat
    bool late = false;          // a lost beat, run after HandOverTimedOut
  };
  using Observer = std::function<void(const BeatTimes&)>;

  // `poster` must outlive this timer.
  explicit ThreadedBeatTimer(UiThreadPoster& poster);
  // Kills the clock and waits for its threads, which never wait for the user-interface thread
  // once killed. Closures still in the queue do nothing afterwards, the late beat and the notice
  // of a lost beat included.
  ~ThreadedBeatTimer() override;
  ThreadedBeatTimer(const ThreadedBeatTimer&) = delete;
  ThreadedBeatTimer& operator=(const ThreadedBeatTimer&) = delete;

  bool Start(std::uint32_t interval_ms, std::uint32_t hand_over_ms, BeatSink& sink) override;
  void Kill() override;

  // Called on the user-interface thread just before each TakeBeat; takes effect at the next
  // Start. Without one, nothing is measured.
  void SetObserver(Observer observer) { observer_ = std::move(observer); }

 private:
  struct Run;
  struct Worker {
    std::thread thread;
    std::shared_ptr<Run> run;
  };
  static void Loop(const std::shared_ptr<Run>& run);
  static void HandOver(const std::shared_ptr<Run>& run, const BeatTimes& times);
  static void PostLostNotice(const std::shared_ptr<Run>& run);
  void JoinFinished();

  UiThreadPoster& poster_;
  Observer observer_;
  // False once this timer is gone: then no closure it posted touches the sink.
  std::shared_ptr<std::atomic<bool>> alive_;
  std::shared_ptr<Run> current_;   // the run of the clock now armed, if any
  std::vector<Worker> workers_;    // the threads not yet joined, the current one among them
};

}  // namespace zumbolo
