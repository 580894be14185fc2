// Golden logs of the WM_DANCE requests, the lost-beat recovery, the end of a show and the
// player's end-of-track rules, run in the simulator.
//
// Unless a test writes a zumbolo.ini, the program starts without one: "効果音あり" and
// "フニクリ・フニクラ" are checked and the clock keeps its designed 451 ms (hand-over 419 ms)
// until something sets it. The work area is 1280 x 770, so the resting position is
// HomeLeft 1030, HomeTop 652. With a zumbolo.ini the clock runs at 405 ms (hand-over 377 ms).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/tform1.h"
#include "engine/dance_state.h"
#include "tests/support/golden_log.h"
#include "tests/support/sim_run.h"
#include "tools/sim/simulation.h"

namespace zumbolo {
namespace {

using testing::At;
using testing::During;
using testing::ParsedOptions;
using testing::RunSim;
using testing::ScratchDir;
using testing::StageLogLines;
using testing::WithoutTimes;
using testing::WriteText;
using Lines = std::vector<std::string>;

// A run that a test can reach into at virtual moments of its own choosing.
class Session {
 public:
  explicit Session(const Lines& args) : simulation_(ParsedOptions(args), log_) {}

  // At virtual time `ms`, as the user's events of that moment do.
  void At(long long ms, std::function<void(TForm1&, sim::Simulation&)> act) {
    simulation_.scheduler().Ui(sim::FromMs(ms), sim::Lane::User, [this, act] {
      if (!simulation_.form().Closed()) act(simulation_.form(), simulation_);
    });
  }
  Lines Run() {
    simulation_.Run();
    return StageLogLines(log_.str());
  }
  sim::Simulation& simulation() { return simulation_; }

 private:
  std::ostringstream log_;
  sim::Simulation simulation_;
};

// How often a line occurs in a stretch of the log, whatever its time stamp.
long long Count(const Lines& log, const std::string& line_without_time) {
  const Lines lines = WithoutTimes(log);
  return std::count(lines.begin(), lines.end(), line_without_time);
}

long long Beats(const Lines& log) {
  return std::count_if(log.begin(), log.end(), [](const std::string& line) {
    return line.find(" beat ") != std::string::npos;
  });
}

// The lines of a hit draw; the tests that need a plain spin cycle make sure there is none.
bool AnyHit(const Lines& log) {
  return std::any_of(log.begin(), log.end(), [](const std::string& line) {
    return line.find(" hits ") != std::string::npos;
  });
}

// DanceState at virtual time `ms`: the state that the next beat after it starts from.
std::optional<int> StateAt(const Lines& log, long long ms) {
  static const std::regex beat("^(\\d+) beat -?\\d+ (-?\\d+)$");
  for (const std::string& line : log) {
    std::smatch m;
    if (std::regex_match(line, m, beat) && std::stoll(m[1]) > ms) return std::stoi(m[2]);
  }
  return std::nullopt;
}

// The lines of start-up (time 0) from the player's activation on.
Lines StartUpFromPlayer(const Lines& log) {
  const Lines start = At(log, 0);
  const auto from = std::find(start.begin(), start.end(), "player active 1");
  return Lines(from, start.end());
}

// ---- Start-up ---------------------------------------------------------------------------------

TEST(DanceRequestsTest, StartUpWithBackgroundMusicResumesPlayBeforeStartingTheClock) {
  const char* const settings[] = {
      "[sound]\r\nkoka=1\r\n",  // "ＢＧＭ"
      "[mode]\r\nmode=5\r\n",   // "BGMモード"
  };
  for (const char* ini : settings) {
    SCOPED_TRACE(ini);
    ScratchDir dir;
    WriteText(dir.path() / "zumbolo.ini", ini);
    const Lines log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "500"});
    EXPECT_EQ(StartUpFromPlayer(log), (Lines{
                                          "player active 1",
                                          "player render spring.res",
                                          "player seek 9840000",
                                          "dance 6",
                                          "player play",
                                          "dance 13",
                                          "enabled 1",
                                      }));
  }
}

TEST(DanceRequestsTest, StartUpWithoutBackgroundMusicOnlyStartsTheClock) {
  const std::optional<std::string> settings[] = {
      std::nullopt,                    // no zumbolo.ini: "効果音あり"
      "[sound]\r\nkoka=0\r\n",         // "効果音あり"
      "[sound]\r\nkoka=2\r\n",         // "なし": the cue is loaded all the same
  };
  for (const auto& ini : settings) {
    SCOPED_TRACE(ini.value_or("no zumbolo.ini"));
    ScratchDir dir;
    if (ini) WriteText(dir.path() / "zumbolo.ini", *ini);
    const Lines log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "500"});
    EXPECT_EQ(StartUpFromPlayer(log), (Lines{
                                          "player active 1",
                                          "player render kokab.res",
                                          "player stop",
                                          "player seek 100000",
                                          "dance 13",
                                          "enabled 1",
                                      }));
    EXPECT_EQ(Count(log, "dance 6"), 0);
  }
}

// ---- The sound codes, each sent at 1000 ms, between spin beats 2 (902) and 3 (1353) --------

TEST(DanceRequestsTest, Code0PlaysOnlyWhenThePlayerIsActive) {
  {
    Session session({"--seed", "1", "--until", "1200"});
    bool running = false;
    session.At(1000, [&](TForm1& f, sim::Simulation& s) {
      f.SendDance(0);
      running = s.player().Running();
    });
    const Lines log = session.Run();
    EXPECT_EQ(At(log, 1000), (Lines{"dance 0", "player play"}));
    EXPECT_TRUE(running);
  }
  {
    Session session({"--seed", "1", "--until", "1200"});
    session.At(1000, [](TForm1& f, sim::Simulation&) {
      f.mgraph.SetActive(false);
      f.SendDance(0);
    });
    const Lines log = session.Run();
    EXPECT_EQ(At(log, 1000), (Lines{"player active 0", "dance 0"}));
  }
}

TEST(DanceRequestsTest, Code1StopsSeeksToTenMillisecondsAndPlays) {
  Session session({"--seed", "1", "--until", "1200"});
  bool running = false;
  sim::Ticks position = -1;
  session.At(990, [](TForm1& f, sim::Simulation&) { f.SendDance(0); });  // the cue runs on
  session.At(1000, [&](TForm1& f, sim::Simulation& s) {
    f.SendDance(1);
    running = s.player().Running();
    position = s.player().Position();
  });
  const Lines log = session.Run();
  EXPECT_EQ(At(log, 1000), (Lines{"dance 1", "player stop", "player seek 100000", "player play"}));
  EXPECT_TRUE(running);
  EXPECT_EQ(position, sim::FromMs(10));
}

TEST(DanceRequestsTest, LoadCodesStopEmptyRenderTheirTrackAndRewindToZero) {
  struct Row {
    int code;
    const char* file;
  };
  const Row table[] = {
      {2, "eye.res"}, {4, "bgm.res"}, {5, "tell.res"}, {10, "fun.res"}, {11, "rad.res"},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.code);
    Session session({"--seed", "1", "--until", "1200"});
    std::optional<std::string> loaded;
    bool running = true;
    bool busy = true;
    sim::Ticks position = -1;
    session.At(990, [](TForm1& f, sim::Simulation&) { f.SendDance(0); });  // something plays
    session.At(1000, [&](TForm1& f, sim::Simulation& s) {
      f.SendDance(row.code);
      loaded = s.player().Loaded();
      running = s.player().Running();
      position = s.player().Position();
      busy = f.MediaBusy;
    });
    const Lines log = session.Run();
    EXPECT_EQ(At(log, 1000), (Lines{
                                 "dance " + std::to_string(row.code),
                                 "player stop",
                                 "player empty",
                                 std::string("player render ") + row.file,
                                 "player seek 0",
                             }));
    EXPECT_EQ(loaded, row.file);
    EXPECT_FALSE(running);
    EXPECT_EQ(position, 0);
    EXPECT_FALSE(busy);
  }
}

TEST(DanceRequestsTest, LoadCodeWithoutGraphRendersWithoutEmptying) {
  Session session({"--seed", "1", "--until", "1200"});
  session.At(1000, [](TForm1& f, sim::Simulation&) {
    f.mgraph.SetActive(false);
    f.SendDance(2);
  });
  const Lines log = session.Run();
  // Stop fails without a graph, so the graph is not emptied.
  EXPECT_EQ(At(log, 1000), (Lines{"player active 0", "dance 2", "player stop", "player render eye.res",
                                  "player seek 0"}));
}

TEST(DanceRequestsTest, Code6PlaysWithoutTestingActive) {
  {
    Session session({"--seed", "1", "--until", "1200"});
    bool running = false;
    session.At(1000, [&](TForm1& f, sim::Simulation& s) {
      f.SendDance(6);
      running = s.player().Running();
    });
    const Lines log = session.Run();
    EXPECT_EQ(At(log, 1000), (Lines{"dance 6", "player play"}));
    EXPECT_TRUE(running);
  }
  {
    Session session({"--seed", "1", "--until", "1200"});
    session.At(1000, [](TForm1& f, sim::Simulation&) {
      f.mgraph.SetActive(false);
      f.SendDance(6);
    });
    const Lines log = session.Run();
    EXPECT_EQ(At(log, 1000), (Lines{"player active 0", "dance 6", "player play"}));
  }
}

TEST(DanceRequestsTest, Code9StopsOnlyWhilePlayingThenEmptiesTheGraph) {
  {
    Session session({"--seed", "1", "--until", "1200"});
    std::optional<std::string> loaded = "?";
    session.At(990, [](TForm1& f, sim::Simulation&) { f.SendDance(0); });
    session.At(1000, [&](TForm1& f, sim::Simulation& s) {
      f.SendDance(9);
      loaded = s.player().Loaded();
    });
    const Lines log = session.Run();
    EXPECT_EQ(At(log, 1000), (Lines{"dance 9", "player stop", "player empty"}));
    EXPECT_EQ(loaded, std::nullopt);
  }
  {
    Session session({"--seed", "1", "--until", "1200"});  // the cue is loaded, not playing
    std::optional<std::string> loaded = "?";
    session.At(1000, [&](TForm1& f, sim::Simulation& s) {
      f.SendDance(9);
      loaded = s.player().Loaded();
    });
    const Lines log = session.Run();
    EXPECT_EQ(At(log, 1000), (Lines{"dance 9", "player empty"}));
    EXPECT_EQ(loaded, std::nullopt);
  }
}

TEST(DanceRequestsTest, Code13EnablesTheClockAndLeavesARunningPeriodAlone) {
  {
    // Stopped at 1000: code 13 starts a fresh period, the next beat is at 1451.
    Session session({"--seed", "1", "--until", "1500"});
    session.At(1000, [](TForm1& f, sim::Simulation&) {
      f.MMTimer1.SetEnabled(false);
      f.SendDance(13);
    });
    const Lines log = session.Run();
    EXPECT_EQ(During(log, 1000, 1451), (Lines{
                                           "1000 enabled 0",
                                           "1000 dance 13",
                                           "1000 enabled 1",
                                           "1451 beat 3 0",
                                           "1451 pose 5",
                                           "1451 dance 1",
                                           "1451 player stop",
                                           "1451 player seek 100000",
                                           "1451 player play",
                                       }));
  }
  {
    // Running: the beat after 902 stays at 1353.
    Session session({"--seed", "1", "--until", "1500"});
    session.At(1000, [](TForm1& f, sim::Simulation&) { f.SendDance(13); });
    const Lines log = session.Run();
    EXPECT_EQ(During(log, 1000, 1353), (Lines{
                                           "1000 dance 13",
                                           "1000 enabled 1",
                                           "1353 beat 3 0",
                                           "1353 pose 5",
                                           "1353 dance 1",
                                           "1353 player stop",
                                           "1353 player seek 100000",
                                           "1353 player play",
                                       }));
  }
}

TEST(DanceRequestsTest, CodesWithoutMeaningDoNothing) {
  const int codes[] = {3, 7, 8, 12, 101};
  const Lines baseline = RunSim({"--seed", "1", "--until", "6000"});
  Session session({"--seed", "1", "--until", "6000"});
  for (std::size_t i = 0; i < std::size(codes); ++i) {
    session.At(1000 + 10 * static_cast<long long>(i), [code = codes[i]](TForm1& f, sim::Simulation&) { f.SendDance(code); });
  }
  const Lines log = session.Run();
  Lines requests;
  for (std::size_t i = 0; i < std::size(codes); ++i) {
    const long long t = 1000 + 10 * static_cast<long long>(i);
    EXPECT_EQ(At(log, t), (Lines{"dance " + std::to_string(codes[i])})) << "at " << t;
    requests.push_back(std::to_string(t) + " dance " + std::to_string(codes[i]));
  }
  // Apart from the requests themselves the run is the same as one without them.
  Lines rest;
  std::copy_if(log.begin(), log.end(), std::back_inserter(rest), [&](const std::string& line) {
    return std::find(requests.begin(), requests.end(), line) == requests.end();
  });
  EXPECT_EQ(rest, baseline);
}

// ---- Code 100: a beat lost in a stall ---------------------------------------------------------

TEST(DanceRequestsTest, LostBeatInLongStallResetsReloadsTheCueAndRestartsAtNormalTempo) {
  // Beat 2 falls due at 902, inside a stall from 900 to 1400; its hand-over gives up at
  // 902 + 419 = 1321.
  const Lines log = RunSim({"--seed", "1", "--until", "2500", "--stall", "900:500"});
  EXPECT_EQ(During(log, 903, 1805), (Lines{
                                        "1321 enabled 0",
                                        "1321 dance 100",
                                        // the stall is over: the late beat, then the notice
                                        "1400 beat 2 0",
                                        "1400 pose 0",
                                        "1400 enabled 0",
                                        "1400 pose 1",
                                        "1400 top 652",
                                        "1400 left 1030",
                                        "1400 player stop",
                                        "1400 player empty",
                                        "1400 player render kokab.res",
                                        "1400 player stop",
                                        "1400 player seek 100000",
                                        "1400 interval 405",
                                        "1400 enabled 1",
                                        // a new spin cycle, 405 ms later
                                        "1805 beat 1 0",
                                        "1805 pose 2",
                                    }));
  EXPECT_EQ(During(log, 2210, 2210), (Lines{"2210 beat 2 0", "2210 pose 0"}));
  EXPECT_EQ(Count(log, "dance 100"), 1);
}

TEST(DanceRequestsTest, ShortStallOnlyDelaysTheBeatAndKeepsTheSchedule) {
  struct Row {
    const char* stall;
    long long late_at;
  };
  const Row table[] = {
      {"900:200", 1100},
      {"900:420", 1320},  // free again 1 ms before the hand-over gives up at 1321
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.stall);
    const Lines log = RunSim({"--seed", "1", "--until", "2000", "--stall", row.stall});
    const std::string late = std::to_string(row.late_at);
    EXPECT_EQ(During(log, 900, 1804), (Lines{
                                          late + " beat 2 0",
                                          late + " pose 0",
                                          "1353 beat 3 0",
                                          "1353 pose 5",
                                          "1353 dance 1",
                                          "1353 player stop",
                                          "1353 player seek 100000",
                                          "1353 player play",
                                          "1804 beat 4 0",
                                          "1804 pose 1",
                                      }));
    const Lines before_close = During(log, 0, 1999);
    EXPECT_EQ(Count(before_close, "dance 100"), 0);
    EXPECT_EQ(Count(before_close, "enabled 0"), 0);
  }
}

TEST(DanceRequestsTest, LostBeatWithoutSoundEffectsDoesNotReloadTheCue) {
  const char* const settings[] = {
      "[sound]\r\nkoka=1\r\n",  // "ＢＧＭ"
      "[sound]\r\nkoka=2\r\n",  // "なし"
      "[mode]\r\nmode=5\r\n",   // "BGMモード" with "効果音あり"
  };
  for (const char* ini : settings) {
    SCOPED_TRACE(ini);
    ScratchDir dir;
    WriteText(dir.path() / "zumbolo.ini", ini);
    // 405 ms: beat 2 falls due at 810, inside the stall; it is given up at 810 + 377 = 1187.
    const Lines log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "2000", "--stall", "800:500"});
    EXPECT_EQ(During(log, 811, 1705), (Lines{
                                          "1187 enabled 0",
                                          "1187 dance 100",
                                          "1300 beat 2 0",
                                          "1300 pose 0",
                                          "1300 enabled 0",
                                          "1300 pose 1",
                                          "1300 top 652",
                                          "1300 left 1030",
                                          "1300 interval 405",
                                          "1300 enabled 1",
                                          "1705 beat 1 0",
                                          "1705 pose 2",
                                      }));
  }
}

// ---- Code 110: the end of a show --------------------------------------------------------------

TEST(DanceRequestsTest, ShowEndedOutsideAShowIsIgnored) {
  const std::int32_t states[] = {dsSpin, dsMissWait, dsLeadIn};
  for (const std::int32_t state : states) {
    SCOPED_TRACE(state);
    Session session({"--seed", "1", "--until", "1200"});
    bool clock_enabled = false;
    bool timer1_enabled = true;
    session.At(1000, [&](TForm1& f, sim::Simulation&) {
      f.dance.DanceState = state;
      f.SendDance(110);
      clock_enabled = f.MMTimer1.Enabled();
      timer1_enabled = f.Timer1.Enabled();
    });
    const Lines log = session.Run();
    EXPECT_EQ(At(log, 1000), (Lines{"dance 110"}));
    EXPECT_TRUE(clock_enabled);
    EXPECT_FALSE(timer1_enabled);
  }
}

TEST(DanceRequestsTest, ShowEndedInAShowShowsTheBalloonThenRestartsThreeSecondsLater) {
  struct Row {
    const char* name;
    const char* ini;  // nullptr: no zumbolo.ini
    Lines restart;    // RestartBeat's lines at 4000, after "form3 hide" and "timer1 0"
  };
  const Row table[] = {
      {"効果音あり", nullptr,
       {"enabled 0", "player stop", "player empty", "player render kokab.res", "player stop",
        "player seek 100000", "caption 停止", "pose 1", "top 652", "left 1030", "interval 405",
        "enabled 1"}},
      {"ＢＧＭ", "[sound]\r\nkoka=1\r\n",
       {"enabled 0", "player stop", "player empty", "player render spring.res", "player seek 9840000",
        "caption 停止", "pose 1", "top 652", "left 1030", "player play", "interval 405", "enabled 1"}},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    ScratchDir dir;
    if (row.ini) WriteText(dir.path() / "zumbolo.ini", row.ini);
    Session session({"--dir", dir.str(), "--seed", "1", "--until", "5000"});
    session.At(1000, [](TForm1& f, sim::Simulation&) {
      f.dance.DanceState = dsShow;
      f.dance.BeatCount = 50;
      f.SendDance(110);
    });
    const Lines log = session.Run();

    EXPECT_EQ(At(log, 1000), (Lines{
                                 "dance 110",
                                 "enabled 0",
                                 "form2 hide",
                                 "player stop",
                                 "form3 show",
                                 "pose 1",
                                 "top 652",
                                 "left 1030",
                                 "interval 405",
                                 "timer1 1",
                             }));
    // The clock stays off for the three seconds.
    EXPECT_TRUE(During(log, 1001, 3999).empty());
    Lines at_4000{"form3 hide", "timer1 0"};
    at_4000.insert(at_4000.end(), row.restart.begin(), row.restart.end());
    EXPECT_EQ(At(log, 4000), at_4000);
    EXPECT_TRUE(During(log, 4001, 4404).empty());
    EXPECT_EQ(During(log, 4405, 4405), (Lines{"4405 beat 1 0", "4405 pose 2"}));
  }
}

// ---- The player's end of track ----------------------------------------------------------------

// kokab.res: 86 frames x 1152 samples at 44 100 Hz = 2246.53 ms, replayed from 10 ms.
constexpr sim::Ticks kCueLength = 86 * 1152 * sim::kTicksPerSample;

TEST(DanceRequestsTest, SpinCueEndingAtRestSendsShowEndedWhichIsIgnored) {
  const Lines log = RunSim({"--seed", "1", "--until", "9000"});
  ASSERT_FALSE(AnyHit(log));
  // Spin beat 3 of the first two cycles: 3 x 451 and 11 x 451.
  for (const long long beat3 : {1353LL, 4961LL}) {
    SCOPED_TRACE(beat3);
    const long long end = sim::WholeMs(sim::FromMs(beat3) + kCueLength - sim::FromMs(10));
    const long long beat8 = beat3 + 5 * 451;  // the miss's rest, which follows the end
    EXPECT_EQ(During(log, end, beat8 - 1), (Lines{std::to_string(end) + " dance 110"}));
    EXPECT_EQ(During(log, beat8, beat8), (Lines{std::to_string(beat8) + " beat 8 1"}));
  }
}


// spring.res cut to 2000 ms: played from its loop start at 984 ms, it ends 1016 ms later.
constexpr long long kLoopRemainder = 2000 - 984;

TEST(DanceRequestsTest, BackgroundLoopEndingWhileSpinningRestartsAndInTheMissRestOnlyRewinds) {
  ScratchDir dir;
  WriteText(dir.path() / "zumbolo.ini", "[sound]\r\nkoka=1\r\n");
  const Lines log =
      RunSim({"--dir", dir.str(), "--seed", "1", "--until", "4500", "--track", "spring.res=2000"});
  ASSERT_FALSE(AnyHit(log));
  // 405 ms beats: beat 7 (the miss) at 2835, beat 8 at 3240.
  struct Row {
    long long at;
    int state;
    Lines lines;
  };
  const Row table[] = {
      {1 * kLoopRemainder, dsSpin, {"player seek 9840000", "player play"}},
      {2 * kLoopRemainder, dsSpin, {"player seek 9840000", "player play"}},
      {3 * kLoopRemainder, dsMissWait, {"player seek 9840000"}},
      {4 * kLoopRemainder, dsSpin, {"player seek 9840000", "player play"}},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.at);
    ASSERT_EQ(StateAt(log, row.at), row.state);
    EXPECT_EQ(At(log, row.at), row.lines);
  }
  EXPECT_EQ(Count(log, "dance 110"), 0);
}

TEST(DanceRequestsTest, BackgroundLoopEndingWhileTheClockIsStoppedIsRewoundNotPlayed) {
  ScratchDir dir;
  WriteText(dir.path() / "zumbolo.ini", "[sound]\r\nkoka=1\r\n");
  Session session({"--dir", dir.str(), "--seed", "1", "--until", "4000", "--track", "spring.res=2000",
                   "--at", "1100:astart"});
  bool clock_enabled = true;
  session.At(1500, [&](TForm1& f, sim::Simulation&) {
    clock_enabled = f.MMTimer1.Enabled();
    f.SendDance(6);  // the music runs on without the beat
  });
  const Lines log = session.Run();
  EXPECT_FALSE(clock_enabled);
  EXPECT_EQ(At(log, 1500), (Lines{"dance 6", "player play"}));
  EXPECT_EQ(At(log, 1500 + kLoopRemainder), (Lines{"player seek 9840000"}));
  EXPECT_EQ(At(log, 1500 + 2 * kLoopRemainder), (Lines{"player seek 9840000"}));
  EXPECT_EQ(Count(During(log, 1101, 3999), "player play"), 1);
  EXPECT_EQ(Count(log, "dance 110"), 0);
}

TEST(DanceRequestsTest, BgmModeLoopAlwaysRestartsFromLoopStartAndNeverEndsTheShow) {
  struct Row {
    const char* name;
    const char* ini;
    const char* program_arg;  // "/v": every spin a hit, so the loop ends in lead-in and show
    long long until;
  };
  const Row table[] = {
      // "ＢＧＭ" keeps the music on at the hit; the show runs from about 11 s.
      {"BGM mode with hits", "[sound]\r\nkoka=1\r\n[mode]\r\nmode=5\r\n", "/v", 30000},
      // "効果音あり": the spin sound is not cued in BGM mode; ends in the miss rest too.
      {"BGM mode without hits", "[mode]\r\nmode=5\r\n", "", 9000},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    ScratchDir dir;
    WriteText(dir.path() / "zumbolo.ini", row.ini);
    Lines args{"--dir", dir.str(), "--seed", "1", "--until", std::to_string(row.until), "--track",
               "spring.res=2000"};
    if (*row.program_arg) args.insert(args.end(), {"--", row.program_arg});
    const Lines log = RunSim(args);
    std::set<int> states;  // the dance states the loop ended in
    for (long long t = kLoopRemainder; t < row.until; t += kLoopRemainder) {
      EXPECT_EQ(At(log, t), (Lines{"player seek 9840000", "player play"})) << "at " << t;
      if (const auto state = StateAt(log, t)) states.insert(*state);
    }
    EXPECT_EQ(Count(log, "dance 110"), 0);
    EXPECT_EQ(Count(log, "dance 1"), 0);
    if (*row.program_arg) {
      EXPECT_EQ(states, (std::set<int>{dsSpin, dsLeadIn, dsShow}));
    } else {
      ASSERT_FALSE(AnyHit(log));
      EXPECT_EQ(states, (std::set<int>{dsSpin, dsMissWait}));
    }
  }
}

// ---- A start track that cannot be played --------------------------------------------------

TEST(DanceRequestsTest, UnplayableCueIsReportedAtEveryLoadAndTheProgramGoesOn) {
  ScratchDir dir;
  // Track files that exist are used as they are, so this one stays broken.
  WriteText(dir.path() / "kokab.res", "this is not an MP3 file\n");
  Session session({"--dir", dir.str(), "--seed", "1", "--until", "7000", "--at", "3000:astart", "--at",
                   "4000:astart", "--at", "6000:asetwil"});
  bool busy_after_stop = true;
  bool busy_after_restart = true;
  session.At(3001, [&](TForm1& f, sim::Simulation&) { busy_after_stop = f.MediaBusy; });
  session.At(6001, [&](TForm1& f, sim::Simulation&) { busy_after_restart = f.MediaBusy; });
  const Lines log = session.Run();

  const std::regex error_line("^error .+ \\(\\$[0-9a-f]+\\)\\.$");
  // The load at `ms` is followed by its error report.
  const auto ErrorAfterRender = [&](long long ms) -> std::string {
    const Lines lines = At(log, ms);
    const auto render = std::find(lines.begin(), lines.end(), "player render kokab.res");
    if (render == lines.end() || render + 1 == lines.end()) return "no render at " + std::to_string(ms);
    return *(render + 1);
  };
  const std::string first = ErrorAfterRender(0);
  EXPECT_TRUE(std::regex_match(first, error_line)) << first;

  // Start-up goes on: the clock starts and the figures spin.
  const Lines start = At(log, 0);
  ASSERT_GE(start.size(), 2u);
  EXPECT_EQ(Lines(start.end() - 2, start.end()), (Lines{"dance 13", "enabled 1"}));
  EXPECT_EQ(During(log, 451, 451), (Lines{"451 beat 1 0", "451 pose 2"}));
  EXPECT_EQ(Beats(During(log, 1, 2999)), 6);  // 451 ... 2706

  // The stop loads the start track again: the same report, and the stop is complete.
  EXPECT_EQ(ErrorAfterRender(3000), first);
  EXPECT_EQ(At(log, 3000).back(), "interval 405");
  EXPECT_EQ(Count(During(log, 3000, 3000), "caption 開始"), 1);
  EXPECT_FALSE(busy_after_stop);
  EXPECT_TRUE(During(log, 3001, 3999).empty());

  // The start needs no track: the beat resumes.
  EXPECT_EQ(During(log, 4405, 4405), (Lines{"4405 beat 1 0", "4405 pose 2"}));

  // The restart of a new song mode reports it again and does not hang.
  EXPECT_EQ(ErrorAfterRender(6000), first);
  EXPECT_FALSE(busy_after_restart);
  EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("7000 message ", 0) == 0; }),
            1);
}

// ---- A show whose song cannot be loaded -------------------------------------------------------

// A broken fun.res with every spin a hit: the Funiculì show's song fails to load on lead-in
// sub-step 5 (the hit on beat 7 at 2835 ms, sub-step 0 on the next beat, one sub-step every
// 405 ms). A show ends at its song's end, which this one never reaches: after the error it ends
// at once with the steps of code 110, from the lead-in (no code 110 is sent: the show has not
// begun). Three seconds later the balloon goes and the restart spins again.
TEST(DanceRequestsTest, AShowWhoseSongCannotBeLoadedEndsAfterTheErrorAsAtTheSongsEnd) {
  struct Row {
    const char* name;
    const char* koka;
    bool bgm;
  };
  const Row table[] = {{"効果音あり", "0", false}, {"ＢＧＭ", "1", true}, {"なし", "2", false}};
  constexpr long long kLoad = 2835 + 6 * 405;
  const std::regex error_line("^error .+ \\(\\$[0-9a-f]+\\)\\.$");
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    ScratchDir dir;
    WriteText(dir.path() / "zumbolo.ini", std::string("[sound]\r\nkoka=") + row.koka + "\r\n[mode]\r\nmode=3\r\n");
    WriteText(dir.path() / "fun.res", "this is not an MP3 file\n");
    const Lines log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "9000", "--", "/v"});

    Lines at_load = At(log, kLoad);
    ASSERT_GE(at_load.size(), 6u);
    EXPECT_TRUE(std::regex_match(at_load[5], error_line)) << at_load[5];
    at_load[5] = "error";
    Lines ended = testing::ShowEndedLines(1030, 652);
    ended.erase(ended.begin());  // "dance 110"
    EXPECT_EQ(at_load, testing::Join({{"beat 8 2", "dance 10", "player stop", "player empty",
                                       "player render fun.res", "error"},
                                      ended}));
    EXPECT_TRUE(During(log, kLoad + 1, kLoad + 2999).empty());
    EXPECT_EQ(At(log, kLoad + 3000), testing::RestartLines(row.bgm, 1030, 652));
    EXPECT_EQ(During(log, kLoad + 3001, kLoad + 3405),
              (Lines{std::to_string(kLoad + 3405) + " beat 1 0", std::to_string(kLoad + 3405) + " pose 2"}));
  }
}

// A fun.res of one second, which ends before the lead-in is over: the show ends at the song's
// end with the steps of code 110, and three seconds later the restart spins again.
TEST(DanceRequestsTest, ASongThatEndsInTheLeadInEndsTheShowThere) {
  ScratchDir dir;
  WriteText(dir.path() / "zumbolo.ini", "[mode]\r\nmode=3\r\n");
  const Lines log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "20000", "--track",
                            "fun.res=1000", "--", "/v"});
  const Lines song = testing::Between(log, std::to_string(2835 + 6 * 405) + " player render fun.res", "");
  const auto play = std::find_if(song.begin(), song.end(),
                                 [](const std::string& line) { return line.ends_with(" player play"); });
  ASSERT_NE(play, song.end());
  const long long end = testing::TimeOf(*play) + 1000;
  EXPECT_EQ(At(log, end), testing::ShowEndedLines(1030, 652));
  EXPECT_TRUE(During(log, end + 1, end + 2999).empty());
  EXPECT_EQ(At(log, end + 3000), testing::RestartLines(false, 1030, 652));
}

}  // namespace
}  // namespace zumbolo
