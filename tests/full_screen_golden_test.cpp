// Golden-log tests of stepping aside for full-screen windows: while a full-screen window is the
// active one, the beat stops as the stop command stops it and every window hides; when it goes,
// the windows come back and the beat starts as the start command starts it, unless the user had
// stopped it before. A start by the user in between wins until the full-screen state changes.
//
// The stop and the start that the program makes for a full-screen window are the stop and start
// commands': so a run that steps aside at T1 and comes back at T2 must write, apart from its
// lines about the full-screen window and the main window, the very log of a run whose user
// presses Space at T1 and at T2.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/live_run.h"
#include "tests/support/sim_run.h"

namespace zumbolo {
namespace {

using testing::At;
using testing::During;
using testing::LiveRun;
using testing::RunSim;
using testing::WhatOf;
using Lines = std::vector<std::string>;

// The log without the lines of the full-screen window and of the main window's hiding.
Lines WithoutStepAside(const Lines& log) {
  Lines out;
  for (const std::string& line : log) {
    const std::string what = WhatOf(line);
    if (what.rfind("fullscreen ", 0) == 0 || what == "step-aside" || what == "come-back" ||
        what.rfind("form1 ", 0) == 0) {
      continue;
    }
    out.push_back(line);
  }
  return out;
}

Lines Args(const std::string& seed, long long until, const Lines& more, const Lines& program = {}) {
  Lines args = {"--seed", seed, "--until", std::to_string(until)};
  args.insert(args.end(), more.begin(), more.end());
  if (!program.empty()) {
    args.push_back("--");
    args.insert(args.end(), program.begin(), program.end());
  }
  return args;
}

std::string AtMs(long long ms, const char* what) { return std::to_string(ms) + ":" + what; }

// The lines of StopBeat with the spin sound as the start track: clock off, the playing track
// stopped, the graph emptied, the cue loaded again and rewound, the caption, the spin interval.
Lines StopLines(bool playing) {
  Lines lines = {"enabled 0"};
  if (playing) lines.push_back("player stop");
  for (const char* line : {"player empty", "player render kokab.res", "player stop", "player seek 100000",
                           "caption 開始", "interval 405"}) {
    lines.push_back(line);
  }
  return lines;
}

// The start branch of astart at the default home (1280 x 770 work area): caption, pose 1 at rest,
// the spin interval, the clock on.
const Lines kStartLines = {"caption 停止", "pose 1", "top 652", "left 1030", "interval 405", "enabled 1"};

Lines Join(std::initializer_list<Lines> parts) { return testing::Join(parts); }

// ---------------------------------------------------------------------------------------------
// During a spin, written out whole

TEST(FullScreenGolden, DuringASpinTheBeatStopsTheWindowHidesAndBothComeBack) {
  // Spin beats every 451 ms (the clock's first interval): beat 4 at 1804 is the last before the
  // full-screen window at 2000. The spin sound, replayed on beat 3, still plays then.
  const Lines log = RunSim(Args("1", 6000, {"--track", "kokab.res=600000", "--at", "2000:fullscreen-on", "--at",
                                            "4000:fullscreen-off"}));
  const Lines expected = Join({
      {"1804 beat 4 0", "1804 pose 1"},
      {"2000 fullscreen 1", "2000 step-aside"},
      [] {
        Lines stop;
        for (const std::string& line : StopLines(true)) stop.push_back("2000 " + line);
        return stop;
      }(),
      {"2000 form1 hide"},
      {"4000 fullscreen 0", "4000 come-back"},
      [] {
        Lines start;
        for (const std::string& line : kStartLines) start.push_back("4000 " + line);
        return start;
      }(),
      {"4000 form1 show"},
      // From the start, the spin interval of 405 ms.
      {"4405 beat 1 0", "4405 pose 2", "4810 beat 2 0", "4810 pose 0", "5215 beat 3 0", "5215 pose 5",
       "5215 dance 1", "5215 player stop", "5215 player seek 100000", "5215 player play", "5620 beat 4 0",
       "5620 pose 1"},
  });
  EXPECT_EQ(During(log, 1804, 5999), expected);
}

// ---------------------------------------------------------------------------------------------
// In a show: its lead-in and its show script, and the speech balloon after it

struct ShowCase {
  const char* name;
  long long aside_ms;
  long long back_ms;
  Lines hidden;        // what is hidden before the stop, in that order
  bool song_playing;   // the stop stops the song
  bool clock_running;  // Space would stop the beat then
};

TEST(FullScreenGolden, InAShowStepsAsideAsTheStopCommandStopsAndComesBackAsTheStartCommandStarts) {
  // "/v": every spin a hit. The Funiculì show: the hit on beat 7 at 3157; the song is loaded at
  // 5863 and plays from 8385; the celebration shows at 14248 and the show script runs from 14699.
  // A song of 20 s ends the show at 28385: the balloon until 31385.
  const ShowCase cases[] = {
      {"lead-in with its song playing", 9000, 12000, {}, true, true},
      {"show script with the celebration", 20000, 23000, {"form2 hide"}, true, true},
      {"speech balloon after the show", 29000, 33000, {"timer1 0", "form3 hide"}, false, false},
  };
  for (const ShowCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Lines tracks = {"--track", "fun.res=20000", "--track", "kokab.res=600000"};
    Lines by_full_screen = tracks, by_user = tracks;
    for (const char* what : {"fullscreen-on", "fullscreen-off"}) {
      by_full_screen.push_back("--at");
      by_full_screen.push_back(AtMs(std::string(what) == "fullscreen-on" ? c.aside_ms : c.back_ms, what));
    }
    const Lines full_screen_log = RunSim(Args("3", 60000, by_full_screen, {"/v"}));

    // The lines of the moment it steps aside: the pop-ups hidden, the stop, the window hidden.
    const Lines aside = At(full_screen_log, c.aside_ms);
    EXPECT_EQ(aside, Join({{"fullscreen 1", "step-aside"}, c.hidden, StopLines(c.song_playing), {"form1 hide"}}));
    // Nothing happens while the windows stand aside: no beat, no sound, no pop-up.
    EXPECT_EQ(During(full_screen_log, c.aside_ms + 1, c.back_ms - 1), Lines{});
    EXPECT_EQ(At(full_screen_log, c.back_ms),
              Join({{"fullscreen 0", "come-back"}, kStartLines, {"form1 show"}}));

    // The user's stop and start at the same moments write the same log otherwise; in the
    // balloon's three seconds the clock is off, so there Space only starts it (and the stop
    // is the balloon's own end, which the full-screen window takes over).
    if (!c.clock_running) continue;
    by_user = tracks;
    for (long long ms : {c.aside_ms, c.back_ms}) {
      by_user.push_back("--at");
      by_user.push_back(AtMs(ms, "astart"));
    }
    EXPECT_EQ(WithoutStepAside(full_screen_log), RunSim(Args("3", 60000, by_user, {"/v"})));
  }
}

TEST(FullScreenGolden, AHitIsCountedOnceAndTheNextShowFollowsTheComeBack) {
  const Lines log = RunSim(Args("3", 40000, {"--track", "fun.res=20000", "--at", "20000:fullscreen-on", "--at",
                                              "23000:fullscreen-off"},
                                {"/v"}));
  Lines hits;
  for (const std::string& line : log) {
    if (WhatOf(line).rfind("hits ", 0) == 0) hits.push_back(line);
  }
  // The first hit at 3157, 7 beats of 451 ms; after the come-back at 23000 the next hit is on
  // beat 7 of the spin interval: 23000 + 7 * 405.
  EXPECT_EQ(hits, (Lines{"3157 hits 1 1", "25835 hits 2 2"}));
}

// ---------------------------------------------------------------------------------------------
// The user's stop before, and the user's start during

TEST(FullScreenGolden, AfterTheUsersStopOnlyTheWindowsStepAsideAndTheBeatStaysStopped) {
  const Lines log = RunSim(Args("1", 8000, {"--track", "kokab.res=600000", "--at", "1000:astart", "--at",
                                            "2000:fullscreen-on", "--at", "4000:fullscreen-off"}));
  EXPECT_EQ(At(log, 1000), StopLines(false));  // Space after beat 2: the spin sound not yet played
  EXPECT_EQ(At(log, 2000), (Lines{"fullscreen 1", "step-aside", "form1 hide"}));
  EXPECT_EQ(At(log, 4000), (Lines{"fullscreen 0", "come-back", "form1 show"}));
  // No beat after the stop.
  EXPECT_EQ(During(log, 1001, 1999), Lines{});
  EXPECT_EQ(During(log, 4001, 7999), Lines{});
}

TEST(FullScreenGolden, TheUsersStartWinsUntilTheFullScreenStateChanges) {
  const Lines log = RunSim(Args("1", 12000,
                                {"--track", "kokab.res=600000", "--at", "2000:fullscreen-on", "--at", "3000:astart",
                                 "--at", "5000:fullscreen-off", "--at", "9000:fullscreen-on"}));
  EXPECT_EQ(At(log, 2000), Join({{"fullscreen 1", "step-aside"}, StopLines(true), {"form1 hide"}}));
  // Space while the full-screen window is there: the start, and the windows come back for it.
  EXPECT_EQ(At(log, 3000), Join({kStartLines, {"come-back", "form1 show"}}));
  EXPECT_EQ(During(log, 3001, 3405), (Lines{"3405 beat 1 0", "3405 pose 2"}));
  // The full-screen window goes: nothing more to do; the spin goes on (beat 5 at 3000 + 5 * 405).
  EXPECT_EQ(At(log, 5000), (Lines{"fullscreen 0"}));
  EXPECT_EQ(At(log, 5025), (Lines{"beat 5 0", "pose 6"}));
  // A full-screen window again: it steps aside again.
  EXPECT_EQ(At(log, 9000).front(), "fullscreen 1");
  EXPECT_EQ(At(log, 9000)[1], "step-aside");
  EXPECT_EQ(At(log, 9000).back(), "form1 hide");
  EXPECT_EQ(During(log, 9001, 11999), Lines{});
}

// ---------------------------------------------------------------------------------------------
// The option "全画面のときは隠れる"

TEST(FullScreenGolden, TheOptionOffKeepsTheFiguresAndTurningItOnStepsAsideAtOnce) {
  LiveRun run({"--seed", "1", "--until", "600000", "--track", "kokab.res=600000"});
  run.RunTo(1000);
  EXPECT_EQ(run.Do("ifullscreen"), (Lines{"check ifullscreen 0"}));
  EXPECT_EQ(run.Do("fullscreen-on"), (Lines{"fullscreen 1"}));
  EXPECT_TRUE(run.form().MMTimer1.Enabled());
  EXPECT_TRUE(run.sim().stage().main_visible);
  run.RunTo(3000);
  EXPECT_EQ(run.Do("ifullscreen"), Join({{"check ifullscreen 1", "step-aside"}, StopLines(true), {"form1 hide"}}));
  EXPECT_FALSE(run.sim().stage().main_visible);
  EXPECT_FALSE(run.sim().player().Running());
  // Off again while aside: the windows come back and the beat starts.
  run.RunTo(4000);
  EXPECT_EQ(run.Do("ifullscreen"), Join({{"check ifullscreen 0", "come-back"}, kStartLines, {"form1 show"}}));
  EXPECT_TRUE(run.sim().stage().main_visible);
  EXPECT_TRUE(run.form().MMTimer1.Enabled());
}

}  // namespace
}  // namespace zumbolo
