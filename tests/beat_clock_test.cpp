// The beat clock TMMTimer against a system timer that only records what it is asked to do.

#include "engine/beat_clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/routine.h"
#include "ports/timers.h"
#include "ports/trace.h"

namespace zumbolo {
namespace {

// Two beat handlers, told apart by their address.
const Routine kFirstRoutine{"first", {}, nullptr, {}, {}};
const Routine kSecondRoutine{"second", {}, nullptr, {}, {}};

// The system timer: "start INTERVAL HAND_OVER" for every Start, "kill" for every Kill.
class RecordingBeatTimer : public BeatTimer {
 public:
  bool Start(std::uint32_t interval_ms, std::uint32_t hand_over_ms, BeatSink& sink) override {
    calls.push_back("start " + std::to_string(interval_ms) + " " + std::to_string(hand_over_ms));
    this->sink = &sink;
    return start_succeeds;
  }
  void Kill() override { calls.push_back("kill"); }

  std::vector<std::string> calls;
  BeatSink* sink = nullptr;
  bool start_succeeds = true;
};

using Lines = std::vector<std::string>;

class BeatClockTest : public ::testing::Test {
 protected:
  BeatClockTest() {
    trace.SetSink([this](std::string_view line) { lines.emplace_back(line); });
  }

  // A clock that runs kFirstRoutine every `interval` ms; what it took to get there is forgotten.
  void StartRunning(std::uint32_t interval = 405) {
    clock.SetOnTimer(&kFirstRoutine);
    clock.SetInterval(interval);
    clock.SetEnabled(true);
    ASSERT_TRUE(clock.Running());
    timer.calls.clear();
    lines.clear();
  }

  RecordingBeatTimer timer;
  Lines lines;  // the trace, and the hooks' own notes, in the order they happened
  Trace trace;
  TMMTimer clock{timer, trace};
};

TEST_F(BeatClockTest, NewClockIsStoppedAtOneSecondWithNinetyThreePercentHandOver) {
  EXPECT_EQ(clock.Interval(), 1000u);
  EXPECT_EQ(clock.HangTimeout(), 930u);
  EXPECT_FALSE(clock.Enabled());
  EXPECT_FALSE(clock.Running());
  EXPECT_EQ(clock.OnTimer(), nullptr);
  EXPECT_TRUE(timer.calls.empty());
  EXPECT_TRUE(lines.empty());
}

TEST_F(BeatClockTest, HangTimeoutIsIntervalTimesPointNinetyThreeRoundedToNearest) {
  struct Row {
    std::uint32_t interval;
    std::uint32_t hang_timeout;
  };
  // interval x 0.93 = exact value -> nearest
  const Row table[] = {
      {353, 328},    // 328.29  TempoFast
      {405, 377},    // 376.65  TempoNormal
      {451, 419},    // 419.43  TempoSlow
      {577, 537},    // 536.61  TempoSlowest
      {1000, 930},   // 930
      {360, 335},    // 334.8
      {400, 372},    // 372
      {410, 381},    // 381.3
      {7, 7},        // 6.51
      {10, 9},       // 9.3
      {1, 1},        // 0.93
      {4294967295u, 3994319584u},  // 3994319584.35, the largest interval
  };
  StartRunning(1000);
  for (const Row& row : table) {
    SCOPED_TRACE(row.interval);
    clock.SetInterval(row.interval);
    EXPECT_EQ(clock.HangTimeout(), row.hang_timeout);
    // The system timer is given the same time-out for the hand-over.
    ASSERT_FALSE(timer.calls.empty());
    EXPECT_EQ(timer.calls.back(), "start " + std::to_string(row.interval) + " " + std::to_string(row.hang_timeout));
  }
}

TEST_F(BeatClockTest, DesignValuesAreNotAssignmentsAndStartNothingWhileDisabled) {
  clock.Design(451, &kFirstRoutine);
  EXPECT_EQ(clock.Interval(), 451u);
  EXPECT_EQ(clock.HangTimeout(), 419u);
  EXPECT_EQ(clock.OnTimer(), &kFirstRoutine);
  EXPECT_FALSE(clock.Enabled());
  EXPECT_FALSE(clock.Running());
  EXPECT_TRUE(timer.calls.empty());
  EXPECT_TRUE(lines.empty());
  // Enabling it afterwards starts the designed period.
  clock.SetEnabled(true);
  EXPECT_EQ(timer.calls, (Lines{"start 451 419"}));
}

TEST_F(BeatClockTest, ClockStartsOnlyWhenEnabledWithIntervalAndHandler) {
  clock.SetEnabled(true);  // no handler yet
  EXPECT_TRUE(timer.calls.empty());
  EXPECT_FALSE(clock.Running());
  clock.SetOnTimer(&kFirstRoutine);  // the handler comes: it starts
  EXPECT_EQ(timer.calls, (Lines{"start 1000 930"}));
  EXPECT_TRUE(clock.Running());
}

TEST_F(BeatClockTest, IntervalZeroKeepsTheClockSilentUntilANonZeroInterval) {
  clock.SetInterval(0);
  EXPECT_EQ(clock.HangTimeout(), 0u);
  clock.SetOnTimer(&kFirstRoutine);
  clock.SetEnabled(true);
  EXPECT_TRUE(timer.calls.empty());
  EXPECT_FALSE(clock.Running());
  clock.SetInterval(405);
  EXPECT_EQ(timer.calls, (Lines{"start 405 377"}));
  EXPECT_TRUE(clock.Running());
  // Back to 0 on the running clock: it stops and nothing new starts.
  timer.calls.clear();
  clock.SetInterval(0);
  EXPECT_EQ(timer.calls, (Lines{"kill"}));
  EXPECT_FALSE(clock.Running());
  EXPECT_TRUE(clock.Enabled());
}

TEST_F(BeatClockTest, SameIntervalDoesNotRestartThePeriod) {
  StartRunning(405);
  clock.SetInterval(405);
  EXPECT_TRUE(timer.calls.empty());
  EXPECT_EQ(clock.HangTimeout(), 377u);
  EXPECT_TRUE(clock.Running());
}

TEST_F(BeatClockTest, NewIntervalOnRunningClockRestartsThePeriodAtOnce) {
  StartRunning(405);
  clock.SetInterval(353);
  EXPECT_EQ(timer.calls, (Lines{"kill", "start 353 328"}));
  EXPECT_TRUE(clock.Running());
}

TEST_F(BeatClockTest, NewIntervalOnStoppedClockOnlyStoresIt) {
  clock.SetOnTimer(&kFirstRoutine);
  clock.SetInterval(577);
  EXPECT_TRUE(timer.calls.empty());
  EXPECT_EQ(clock.Interval(), 577u);
  EXPECT_EQ(clock.HangTimeout(), 537u);
  clock.SetEnabled(true);
  EXPECT_EQ(timer.calls, (Lines{"start 577 537"}));
}

TEST_F(BeatClockTest, InstallingAHandlerOnRunningClockRestartsThePeriodEvenWhenItIsTheSame) {
  StartRunning(451);
  clock.SetOnTimer(&kSecondRoutine);
  EXPECT_EQ(timer.calls, (Lines{"kill", "start 451 419"}));
  EXPECT_EQ(clock.OnTimer(), &kSecondRoutine);
  timer.calls.clear();
  clock.SetOnTimer(&kSecondRoutine);
  EXPECT_EQ(timer.calls, (Lines{"kill", "start 451 419"}));
}

TEST_F(BeatClockTest, RemovingTheHandlerStopsTheClock) {
  StartRunning(405);
  clock.SetOnTimer(nullptr);
  EXPECT_EQ(timer.calls, (Lines{"kill"}));
  EXPECT_FALSE(clock.Running());
  EXPECT_TRUE(clock.Enabled());
}

TEST_F(BeatClockTest, RepeatedEnableOnRunningClockChangesNothing) {
  StartRunning(405);
  clock.SetEnabled(true);
  clock.SetEnabled(true);
  EXPECT_TRUE(timer.calls.empty());
  EXPECT_TRUE(clock.Running());
}

TEST_F(BeatClockTest, DisableKillsOnceAndRepeatedDisableChangesNothing) {
  StartRunning(405);
  clock.SetEnabled(false);
  EXPECT_EQ(timer.calls, (Lines{"kill"}));
  EXPECT_FALSE(clock.Running());
  clock.SetEnabled(false);
  EXPECT_EQ(timer.calls, (Lines{"kill"}));
  // Enabled again: a fresh period at the same interval.
  clock.SetEnabled(true);
  EXPECT_EQ(timer.calls, (Lines{"kill", "start 405 377"}));
}

TEST_F(BeatClockTest, SystemTimerThatFailsToStartLeavesTheClockSilentWithNothingToKill) {
  timer.start_succeeds = false;
  clock.SetOnTimer(&kFirstRoutine);
  clock.SetEnabled(true);
  EXPECT_EQ(timer.calls, (Lines{"start 1000 930"}));
  EXPECT_FALSE(clock.Running());
  EXPECT_TRUE(clock.Enabled());
  // No timer id, so a re-arm has nothing to kill before it tries again.
  clock.SetInterval(405);
  EXPECT_EQ(timer.calls, (Lines{"start 1000 930", "start 405 377"}));
  clock.SetEnabled(false);
  EXPECT_EQ(timer.calls, (Lines{"start 1000 930", "start 405 377"}));
}

TEST_F(BeatClockTest, DestroyingARunningClockKillsItsTimer) {
  RecordingBeatTimer own_timer;
  {
    TMMTimer running(own_timer, trace);
    running.SetOnTimer(&kFirstRoutine);
    running.SetEnabled(true);
    own_timer.calls.clear();
  }
  EXPECT_EQ(own_timer.calls, (Lines{"kill"}));

  RecordingBeatTimer idle_timer;
  {
    TMMTimer stopped(idle_timer, trace);
    stopped.SetOnTimer(&kFirstRoutine);
  }
  EXPECT_TRUE(idle_timer.calls.empty());
}

TEST_F(BeatClockTest, TickAndTakeBeatRunTheInstalledRoutine) {
  std::vector<const Routine*> ran;
  clock.SetHooks({
      .run_beat = [&](const Routine& routine) { ran.push_back(&routine); },
      .send_lost_notice = {},
      .handle_lost_notice = {},
      .report = {},
  });
  clock.Tick();  // no handler: nothing runs
  EXPECT_TRUE(ran.empty());

  StartRunning(405);
  ASSERT_NE(timer.sink, nullptr);
  clock.Tick();
  timer.sink->TakeBeat();  // a beat handed over by the system timer
  clock.SetOnTimer(&kSecondRoutine);
  timer.sink->TakeBeat();
  EXPECT_EQ(ran, (std::vector<const Routine*>{&kFirstRoutine, &kFirstRoutine, &kSecondRoutine}));
}

TEST_F(BeatClockTest, FailingBeatHandlerIsReportedEveryBeatAndTheClockKeepsRunning) {
  std::vector<std::string> reports;
  int beats = 0;
  clock.SetHooks({
      .run_beat = [&](const Routine&) {
        ++beats;
        throw std::runtime_error("beat " + std::to_string(beats) + " failed");
      },
      .send_lost_notice = [&] { lines.push_back("lost notice sent"); },
      .handle_lost_notice = [&] { lines.push_back("lost notice handled"); },
      .report = [&](const std::exception& error) { reports.emplace_back(error.what()); },
  });
  StartRunning(405);
  ASSERT_NE(timer.sink, nullptr);
  EXPECT_NO_THROW(timer.sink->TakeBeat());
  EXPECT_NO_THROW(timer.sink->TakeBeat());
  EXPECT_EQ(beats, 2);
  EXPECT_EQ(reports, (Lines{"beat 1 failed", "beat 2 failed"}));
  // The beats counted as delivered: no stop, no lost-beat notice.
  EXPECT_TRUE(timer.calls.empty());
  EXPECT_TRUE(lines.empty());
  EXPECT_TRUE(clock.Enabled());
  EXPECT_TRUE(clock.Running());
}

TEST_F(BeatClockTest, LostBeatDisablesTheClockThenSendsTheNoticeExactlyOnce) {
  int sent = 0;
  int handled = 0;
  clock.SetHooks({
      .run_beat = [&](const Routine&) { lines.push_back("beat"); },
      .send_lost_notice = [&] {
        ++sent;
        lines.push_back("lost notice sent");
      },
      .handle_lost_notice = [&] {
        ++handled;
        lines.push_back("lost notice handled");
      },
      .report = {},
  });
  StartRunning(353);
  ASSERT_NE(timer.sink, nullptr);
  timer.sink->HandOverTimedOut();
  EXPECT_EQ(timer.calls, (Lines{"kill"}));
  EXPECT_FALSE(clock.Enabled());
  EXPECT_FALSE(clock.Running());
  EXPECT_EQ(sent, 1);
  EXPECT_EQ(handled, 0);  // the owner handles it only after the late beat
  EXPECT_EQ(lines, (Lines{"enabled 0", "lost notice sent"}));

  // The late beat still runs, then the notice reaches the owner.
  timer.sink->TakeBeat();
  timer.sink->DeliverLostNotice();
  EXPECT_EQ(sent, 1);
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(lines, (Lines{"enabled 0", "lost notice sent", "beat", "lost notice handled"}));
  // No new period until the owner enables the clock again.
  EXPECT_EQ(timer.calls, (Lines{"kill"}));
  clock.SetEnabled(true);
  EXPECT_EQ(timer.calls, (Lines{"kill", "start 353 328"}));
}

TEST_F(BeatClockTest, LostNoticeHandlerMayRestartTheClock) {
  // What the owner does with the notice: reset and start again at the normal tempo.
  clock.SetHooks({
      .run_beat = {},
      .send_lost_notice = {},
      .handle_lost_notice =
          [&] {
            clock.SetEnabled(false);
            clock.SetInterval(405);
            clock.SetEnabled(true);
          },
      .report = {},
  });
  StartRunning(577);
  timer.sink->HandOverTimedOut();
  timer.sink->DeliverLostNotice();
  EXPECT_EQ(timer.calls, (Lines{"kill", "start 405 377"}));
  EXPECT_TRUE(clock.Running());
  EXPECT_EQ(lines, (Lines{"enabled 0", "enabled 0", "interval 405", "enabled 1"}));
}

TEST_F(BeatClockTest, EveryAssignmentOfIntervalAndEnabledIsTracedEvenWhenUnchanged) {
  clock.SetInterval(1000);  // unchanged
  clock.SetInterval(405);
  clock.SetInterval(405);   // unchanged
  clock.SetEnabled(false);  // unchanged
  clock.SetEnabled(true);
  clock.SetEnabled(true);   // unchanged
  clock.SetOnTimer(&kFirstRoutine);  // the handler is not a traced property
  clock.SetEnabled(false);
  clock.SetInterval(0);
  EXPECT_EQ(lines, (Lines{
                       "interval 1000",
                       "interval 405",
                       "interval 405",
                       "enabled 0",
                       "enabled 1",
                       "enabled 1",
                       "enabled 0",
                       "interval 0",
                   }));
}

}  // namespace
}  // namespace zumbolo
