// The beat clock's timer thread against a headless event loop on the test's own thread. Timing is
// only ever checked from below (a beat never comes before its deadline) or with wide margins, so
// that a loaded machine cannot make these tests fail; orders and counts are checked exactly.

#include "platform/common/threaded_beat_timer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/common/event_loop.h"

namespace zumbolo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Events = std::vector<std::string>;

// What the clock's sink was told, in order, with a hook per call for the test to act in.
class RecordingSink : public BeatSink {
 public:
  void TakeBeat() override {
    events.push_back("beat");
    beat_times.push_back(Clock::now());
    if (on_beat) on_beat(static_cast<int>(beat_times.size()));
  }
  void HandOverTimedOut() override {
    events.push_back("timed out");
    if (on_timed_out) on_timed_out();
  }
  void DeliverLostNotice() override {
    events.push_back("notice");
    if (on_notice) on_notice();
  }
  int beats() const { return static_cast<int>(beat_times.size()); }
  bool noticed() const { return std::find(events.begin(), events.end(), "notice") != events.end(); }

  Events events;
  std::vector<Clock::time_point> beat_times;
  std::function<void(int beat)> on_beat;
  std::function<void()> on_timed_out;
  std::function<void()> on_notice;
};

// Passes every closure on to the loop and counts them, so a test can tell from its own thread
// what the timer thread has done while the loop is not running.
class CountingPoster : public UiThreadPoster {
 public:
  explicit CountingPoster(UiThreadPoster& next) : next_(next) {}
  void Post(std::function<void()> task) override {
    ++posts;
    next_.Post(std::move(task));
  }
  std::atomic<int> posts{0};

 private:
  UiThreadPoster& next_;
};

// Turns a hang (a deadlock between the two threads) into a failure instead of a stuck test run.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit)
      : thread_([this, limit] {
          std::unique_lock lock(mutex_);
          if (!done_changed_.wait_for(lock, limit, [this] { return done_; })) {
            std::fprintf(stderr, "ThreadedBeatTimerTest: no progress in %d s, a deadlock?\n",
                         static_cast<int>(limit.count()));
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      const std::lock_guard lock(mutex_);
      done_ = true;
    }
    done_changed_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_changed_;
  bool done_ = false;
  std::thread thread_;
};

// Waits on the test's thread, without running the loop, until `condition` holds.
bool WaitWithoutLoop(const std::function<bool()>& condition, Clock::duration limit = 5s) {
  const auto give_up = Clock::now() + limit;
  while (!condition()) {
    if (Clock::now() > give_up) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class ThreadedBeatTimerTest : public ::testing::Test {
 protected:
  void RecordBeatTimes() {
    timer.SetObserver([this](const ThreadedBeatTimer::BeatTimes& times) { seen.push_back(times); });
  }
  bool RunUntil(const std::function<bool()>& done, Clock::duration limit = 5s) {
    return loop.RunUntil(done, Clock::now() + limit);
  }
  void RunFor(Clock::duration span) { loop.RunUntil(Clock::now() + span); }

  Watchdog watchdog{std::chrono::seconds(20)};
  EventLoop loop;
  CountingPoster poster{loop};
  RecordingSink sink;
  std::vector<ThreadedBeatTimer::BeatTimes> seen;
  ThreadedBeatTimer timer{poster};
};

TEST_F(ThreadedBeatTimerTest, BeatsFallDueAtWholeIntervalsFromStartAndStopWithKill) {
  RecordBeatTimes();
  const auto before = Clock::now();
  ASSERT_TRUE(timer.Start(20, 1000, sink));
  ASSERT_TRUE(RunUntil([&] { return sink.beats() >= 20; }));
  timer.Kill();
  RunFor(100ms);  // five more periods

  EXPECT_EQ(sink.beats(), 20);
  ASSERT_EQ(seen.size(), 20u);
  EXPECT_EQ(seen[0].beat, 1u);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE("beat record " + std::to_string(i));
    if (i > 0) {
      EXPECT_GT(seen[i].beat, seen[i - 1].beat);
      // Deadlines are whole periods from one start: no drift, however late a beat was.
      EXPECT_EQ(seen[i].due - seen[0].due, static_cast<int>(seen[i].beat - seen[0].beat) * 20ms);
    }
    EXPECT_LE(seen[i].due, seen[i].posted);
    EXPECT_LE(seen[i].posted, seen[i].taken);
    EXPECT_FALSE(seen[i].late);
    // Never early: beat k is due k periods after Start.
    EXPECT_GE(sink.beat_times[i] - before, static_cast<int>(seen[i].beat) * 20ms);
  }
  EXPECT_GE(sink.beat_times.back() - before, 20 * 20ms);
  EXPECT_EQ(sink.events, Events(20, "beat"));
}

TEST_F(ThreadedBeatTimerTest, ATimerThreadThatFellBehindSkipsToTheNextDeadlineInsteadOfBursting) {
  RecordBeatTimes();
  const auto before = Clock::now();
  ASSERT_TRUE(timer.Start(20, 2000, sink));
  // The first hand-over waits while this thread is busy for ten periods.
  std::this_thread::sleep_for(200ms);
  ASSERT_TRUE(RunUntil([&] { return sink.beats() >= 3; }));
  timer.Kill();

  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].beat, 1u);
  // Beats 2 to 10 fell due while the first one waited; they are not handed over in a row.
  EXPECT_GT(seen[1].beat, 2u);
  EXPECT_GT(seen[1].due, before + 200ms);
  EXPECT_GT(seen[2].beat, seen[1].beat);
}

TEST_F(ThreadedBeatTimerTest, AnOverrunBeatLosesTheNextOneWhichStillRunsLateBeforeTheNotice) {
  RecordBeatTimes();
  sink.on_beat = [&](int beat) {
    // The first beat routine runs on until the timer thread has given up on the second beat and
    // posted the notice: beat 1, beat 2, notice.
    if (beat == 1) {
      ASSERT_TRUE(WaitWithoutLoop([&] { return poster.posts >= 3; }));
    }
  };
  sink.on_timed_out = [&] { timer.Kill(); };  // the beat clock switches itself off here
  ASSERT_TRUE(timer.Start(100, 90, sink));
  ASSERT_TRUE(RunUntil([&] { return sink.noticed(); }));
  RunFor(300ms);  // three more periods

  EXPECT_EQ(sink.events, (Events{"beat", "timed out", "beat", "notice"}));
  EXPECT_EQ(poster.posts, 3);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_FALSE(seen[0].late);
  EXPECT_TRUE(seen[1].late);
  EXPECT_EQ(seen[1].beat, 2u);
}

TEST_F(ThreadedBeatTimerTest, ABeatTakenAfterItsTimeOutButBeforeTheNextDeadlineIsLostAllTheSame) {
  RecordBeatTimes();
  sink.on_timed_out = [&] { timer.Kill(); };
  ASSERT_TRUE(timer.Start(300, 20, sink));
  // The loop is not running when the first beat is posted, and gets to it well past the
  // hand-over's 20 ms but long before the second deadline, at 600 ms.
  ASSERT_TRUE(WaitWithoutLoop([&] { return poster.posts >= 1; }));
  std::this_thread::sleep_for(120ms);
  ASSERT_TRUE(RunUntil([&] { return sink.noticed(); }));
  RunFor(700ms);  // past two more deadlines

  EXPECT_EQ(sink.events, (Events{"timed out", "beat", "notice"}));
  EXPECT_EQ(poster.posts, 2);  // the beat and the notice, nothing after them
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].late);
}

TEST_F(ThreadedBeatTimerTest, AClockKilledAfterTheTimeOutStillLosesTheBeatTakenLate) {
  ASSERT_TRUE(timer.Start(300, 20, sink));
  ASSERT_TRUE(WaitWithoutLoop([&] { return poster.posts >= 1; }));
  std::this_thread::sleep_for(100ms);  // past the time-out, before the next deadline
  timer.Kill();  // say, a command ahead of the late beat in the queue stopped the dance
  RunFor(200ms);

  EXPECT_EQ(sink.events, (Events{"timed out", "beat", "notice"}));
}

TEST_F(ThreadedBeatTimerTest, AClockKilledBeforeTheTimeOutDropsTheBeatTakenLate) {
  ASSERT_TRUE(timer.Start(300, 200, sink));
  ASSERT_TRUE(WaitWithoutLoop([&] { return poster.posts >= 1; }));
  timer.Kill();  // well inside the hand-over's 200 ms
  std::this_thread::sleep_for(250ms);  // the loop gets to the beat after its time-out
  RunFor(200ms);

  EXPECT_TRUE(sink.events.empty());
  EXPECT_EQ(poster.posts, 1);
}

TEST_F(ThreadedBeatTimerTest, ABeatTakenJustBeforeItsTimeOutLetsTheClockGoOn) {
  RecordBeatTimes();
  ASSERT_TRUE(timer.Start(100, 90, sink));
  ASSERT_TRUE(WaitWithoutLoop([&] { return poster.posts >= 1; }));
  std::this_thread::sleep_for(30ms);  // well inside the hand-over's 90 ms
  ASSERT_TRUE(RunUntil([&] { return sink.beats() >= 3; }));
  timer.Kill();
  RunFor(200ms);

  EXPECT_EQ(sink.events, Events(3, "beat"));
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].beat, 2u);
  EXPECT_FALSE(seen[0].late);
}

TEST_F(ThreadedBeatTimerTest, TheOwnerCanStartTheClockAgainFromTheLostBeatNotice) {
  sink.on_beat = [&](int beat) {
    if (beat == 1) {
      ASSERT_TRUE(WaitWithoutLoop([&] { return poster.posts >= 3; }));
    }
  };
  sink.on_timed_out = [&] { timer.Kill(); };
  sink.on_notice = [&] { EXPECT_TRUE(timer.Start(50, 1000, sink)); };
  ASSERT_TRUE(timer.Start(100, 90, sink));
  ASSERT_TRUE(RunUntil([&] { return sink.beats() >= 4; }));
  timer.Kill();
  RunFor(150ms);

  EXPECT_EQ(sink.events, (Events{"beat", "timed out", "beat", "notice", "beat", "beat"}));
}

TEST_F(ThreadedBeatTimerTest, KillWhileAHandOverWaitsReturnsAtOnceAndThatBeatNeverRuns) {
  ASSERT_TRUE(timer.Start(20, 2000, sink));
  // The loop is not running: the first hand-over is posted and waits for it.
  ASSERT_TRUE(WaitWithoutLoop([&] { return poster.posts >= 1; }));
  const auto killing = Clock::now();
  timer.Kill();
  EXPECT_LT(Clock::now() - killing, 1000ms);  // the hand-over's time-out is 2 s
  RunFor(100ms);

  EXPECT_TRUE(sink.events.empty());
  EXPECT_EQ(poster.posts, 1);  // a killed hand-over is not reported as lost
}

TEST_F(ThreadedBeatTimerTest, ALostBeatAndItsNoticeStillRunWhenTheClockWasKilledMeanwhile) {
  ASSERT_TRUE(timer.Start(20, 10, sink));
  // The loop is not running: the first beat is lost, and the notice is posted behind it.
  ASSERT_TRUE(WaitWithoutLoop([&] { return poster.posts >= 2; }));
  timer.Kill();  // say, the user stopped the dance before the late beat got through
  RunFor(100ms);

  EXPECT_EQ(sink.events, (Events{"timed out", "beat", "notice"}));
  EXPECT_EQ(poster.posts, 2);
}

TEST_F(ThreadedBeatTimerTest, KillFromInsideABeatReturnsAndNoBeatFollows) {
  sink.on_beat = [&](int beat) {
    if (beat == 3) timer.Kill();
  };
  ASSERT_TRUE(timer.Start(20, 1000, sink));
  ASSERT_TRUE(RunUntil([&] { return sink.beats() >= 3; }));
  RunFor(150ms);

  EXPECT_EQ(sink.beats(), 3);
}

TEST_F(ThreadedBeatTimerTest, RestartFromInsideABeatRunsTheNewIntervalFromThatMoment) {
  RecordBeatTimes();
  Clock::time_point restarted, restart_returned;
  sink.on_beat = [&](int beat) {
    if (beat == 2) {
      restarted = Clock::now();
      EXPECT_TRUE(timer.Start(20, 1000, sink));  // a show changing the tempo
      restart_returned = Clock::now();
    }
  };
  ASSERT_TRUE(timer.Start(60, 1000, sink));
  ASSERT_TRUE(RunUntil([&] { return sink.beats() >= 7; }));
  timer.Kill();

  ASSERT_EQ(seen.size(), 7u);
  EXPECT_EQ(seen[1].due - seen[0].due, static_cast<int>(seen[1].beat - seen[0].beat) * 60ms);
  // The new run counts whole 20 ms periods from a start inside that Start call. Its first beat
  // is normally beat 1; a timer thread that a loaded machine starts more than a period late goes
  // on with the next deadline still to come, so a later one may come first, but never one that
  // is due before a whole period has passed.
  ASSERT_GE(seen[2].beat, 1u);
  const Clock::time_point new_start = seen[2].due - static_cast<int>(seen[2].beat) * 20ms;
  EXPECT_GE(new_start, restarted);
  EXPECT_LE(new_start, restart_returned);
  EXPECT_GE(seen[2].taken, restarted + 20ms);
  // ... and every later beat belongs to it: whole 20 ms periods from the same start.
  for (std::size_t i = 3; i < seen.size(); ++i) {
    SCOPED_TRACE("beat record " + std::to_string(i));
    EXPECT_GT(seen[i].beat, seen[i - 1].beat);
    EXPECT_EQ(seen[i].due - seen[2].due, static_cast<int>(seen[i].beat - seen[2].beat) * 20ms);
  }
}

TEST_F(ThreadedBeatTimerTest, StartWithoutAPeriodStartsNothing) {
  EXPECT_FALSE(timer.Start(0, 0, sink));
  RunFor(50ms);
  EXPECT_EQ(poster.posts, 0);
}

TEST_F(ThreadedBeatTimerTest, DestroyingARunningClockIsCleanAndItsQueuedBeatDoesNothing) {
  auto running = std::make_unique<ThreadedBeatTimer>(poster);
  ASSERT_TRUE(running->Start(10, 2000, sink));
  ASSERT_TRUE(RunUntil([&] { return sink.beats() >= 2; }));
  // The third hand-over is posted and waits, since the loop is not running.
  ASSERT_TRUE(WaitWithoutLoop([&] { return poster.posts >= 3; }));
  running.reset();
  RunFor(50ms);

  EXPECT_EQ(sink.beats(), 2);
  EXPECT_EQ(poster.posts, 3);
}

TEST_F(ThreadedBeatTimerTest, DestroyingTheClockSilencesALostBeatStillInTheQueue) {
  auto running = std::make_unique<ThreadedBeatTimer>(poster);
  ASSERT_TRUE(running->Start(20, 10, sink));
  // The loop is not running: the first beat is lost, and the notice is posted behind it.
  ASSERT_TRUE(WaitWithoutLoop([&] { return poster.posts >= 2; }));
  running.reset();
  RunFor(50ms);

  EXPECT_TRUE(sink.events.empty());
  EXPECT_EQ(poster.posts, 2);
}

TEST(EventLoopTest, RunsWhatAnyThreadPostsInPostingOrderUntilQuit) {
  EventLoop loop;
  std::vector<int> order;
  std::thread other([&] {
    for (int i = 0; i < 100; ++i) loop.Post([&order, i] { order.push_back(i); });
    loop.Post([&loop] { loop.Quit(); });
  });
  EXPECT_FALSE(loop.RunUntil(Clock::now() + 10s));
  other.join();

  std::vector<int> expected(100);
  for (int i = 0; i < 100; ++i) expected[i] = i;
  EXPECT_EQ(order, expected);
  EXPECT_TRUE(loop.QuitRequested());
}

TEST(EventLoopTest, TimedClosuresRunInTheOrderOfTheirMomentsAfterTheirMoment) {
  EventLoop loop;
  std::vector<std::pair<int, Clock::duration>> runs;
  const auto start = Clock::now();
  loop.PostAt(start + 60ms, [&] { runs.emplace_back(2, Clock::now() - start); });
  loop.PostAt(start + 30ms, [&] { runs.emplace_back(1, Clock::now() - start); });
  loop.Post([&] { runs.emplace_back(0, Clock::now() - start); });
  ASSERT_TRUE(loop.RunUntil([&] { return runs.size() == 3; }, start + 5s));

  EXPECT_EQ(runs[0].first, 0);
  EXPECT_EQ(runs[1].first, 1);
  EXPECT_GE(runs[1].second, 30ms);
  EXPECT_EQ(runs[2].first, 2);
  EXPECT_GE(runs[2].second, 60ms);
}

TEST(EventLoopTest, TheTimerTicksEveryPeriodUntilStoppedFromItsOwnTick) {
  EventLoop loop;
  EventLoopTimer timer(loop);
  int ticks = 0;
  const auto start = Clock::now();
  timer.Start(20, [&] {
    if (++ticks == 5) timer.Stop();
  });
  ASSERT_TRUE(loop.RunUntil([&] { return ticks == 5; }, start + 5s));
  EXPECT_GE(Clock::now() - start, 5 * 20ms);
  loop.RunUntil(Clock::now() + 100ms);
  EXPECT_EQ(ticks, 5);
}

}  // namespace
}  // namespace zumbolo
