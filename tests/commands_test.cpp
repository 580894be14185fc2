// The commands run in the simulator: start and stop, the song and BGM modes, random mode, the hit
// chance, the sound choice, the colour of the figures, forced hits, the arrow keys, the tray icon's
// clicks, a click on the figures, the shortcut keys and exit. Each one is checked by the stage-log
// lines it writes, in the order in which the command does its steps.
//
// The default desk is a 1280 x 770 work area: the figures rest at left 1030 (1280 - 250) and
// top 652 (770 - 118).

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/live_run.h"
#include "tests/support/model_random.h"
#include "tests/support/sim_run.h"
#include "tools/sim/simulation.h"

namespace zumbolo {
namespace {

using testing::At;
using testing::Contains;
using testing::During;
using testing::FirstAfter;
using testing::FirstSeed;
using testing::Join;
using testing::LiveRun;
using testing::RandomPick;
using testing::RunSim;
using testing::Saved;
using testing::ScratchDir;
using testing::WithoutTimes;
using testing::WriteText;
using Lines = std::vector<std::string>;
// The program's random generator, as the seed searches below draw from it.
using Lcg = testing::ModelRandom;

// ---------------------------------------------------------------------------------------------
// Helpers

// Loading the start track: the cue "kokab.res" is rendered and rewound to its cue start (a stop,
// then a seek to 10 ms); the loop "spring.res" is rendered and rewound to its loop start.
const Lines kLoadCue = {"player render kokab.res", "player stop", "player seek 100000"};
const Lines kLoadLoop = {"player render spring.res", "player seek 9840000"};
// Back to the start of a spin cycle: pose 1, top := HomeTop, then left := HomeLeft.
const Lines kResetToIdle = {"pose 1", "top 652", "left 1030"};

// The tail of the stop command once the start track is loaded: the caption, then the interval.
const Lines kStopTail = {"caption 開始", "interval 405"};

// The restart of the beat with the cue as the start track and no random pick: clock off, stop and
// empty the graph, load the cue, caption, reset, interval, clock on.
const Lines kRestartWithCue = Join({{"enabled 0", "player stop", "player empty"}, kLoadCue,
                                    {"caption 停止"}, kResetToIdle, {"interval 405", "enabled 1"}});

// The songs of the モード submenu in menu order; BGM mode (5) is never picked.
constexpr std::array<const char*, 5> kSongs = {"iheaven", "iheaven2", "iwill", "irad", "irad2"};

// The random song choice: a draw 0..4; if it is the current song draw again, and once more if
// that one is too; the third draw stands whatever it is.
int PickSong(Lcg& random, int current) { return RandomPick(random, current).song; }

// ---------------------------------------------------------------------------------------------
// Start and stop

TEST(StartStopCommand, SpaceWhileRunningStopsAndAstartStartsAgainFromRest) {
  // The cue was replayed on spin beat 3 (3 x 451 ms), so it is playing at 2000 ms.
  const Lines log = RunSim({"--seed", "1", "--until", "8000", "--at", "2000:key:32", "--at", "5000:astart"});

  // Stop: clock off, the playing cue stopped, the graph emptied, the cue loaded again, "開始",
  // the normal interval; the clock stays off.
  EXPECT_EQ(At(log, 2000), Join({{"enabled 0", "player stop", "player empty"}, kLoadCue, kStopTail}));
  EXPECT_TRUE(During(log, 2001, 4999).empty()) << "no beat may come while stopped";

  // Start: "停止", reset to rest, no music with the sound effects, the interval, clock on.
  EXPECT_EQ(At(log, 5000), Join({{"caption 停止"}, kResetToIdle, {"interval 405", "enabled 1"}}));
  // The cycle begins at its first beat, one interval later.
  EXPECT_EQ(FirstAfter(log, 5000, 2), (Lines{"5405 beat 1 0", "5405 pose 2"}));
}

TEST(StartStopCommand, StopBeforeTheCueHasPlayedDoesNotStopThePlayer) {
  // At 1000 ms only beats 1 and 2 have come: the cue was rewound at start-up and never played.
  const Lines log = RunSim({"--seed", "1", "--until", "3000", "--at", "1000:astart"});
  EXPECT_EQ(At(log, 1000), Join({{"enabled 0", "player empty"}, kLoadCue, kStopTail}));
}

TEST(StartStopCommand, WithBackgroundMusicStopRewindsTheLoopAndStartPlaysIt) {
  struct Case {
    const char* settings;
    const char* what;
  };
  const Case cases[] = {
      {"[sound]\r\nkoka=1\r\n", "sound choice ＢＧＭ"},
      {"[mode]\r\nmode=5\r\n", "BGMモード"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    WriteText(dir.path() / "zumbolo.ini", c.settings);
    // The loop plays from start-up on.
    const Lines log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "5000", "--at", "2000:astart",
                              "--at", "3000:astart"});
    EXPECT_EQ(At(log, 2000), Join({{"enabled 0", "player stop", "player empty"}, kLoadLoop, kStopTail}));
    EXPECT_EQ(At(log, 3000),
              Join({{"caption 停止"}, kResetToIdle, {"player play", "interval 405", "enabled 1"}}));
  }
}

TEST(StartStopCommand, StartHidesAVisibleBalloonFirst) {
  // The background-music show shows the balloon near its end while the beat goes on.
  ScratchDir dir;
  WriteText(dir.path() / "zumbolo.ini", "[mode]\r\nmode=5\r\n");
  LiveRun run({"--dir", dir.str(), "--seed", "1", "--until", "600000", "--", "/v"});
  ASSERT_TRUE(run.RunUntil([&] { return run.PopupVisible(Popup::Balloon); }, 300000));
  ASSERT_FALSE(run.PopupVisible(Popup::Celebration));
  // The hit stopped the music (sound effects are the sound choice), so there is nothing to stop.
  EXPECT_EQ(run.Do("astart"), Join({{"form3 hide", "enabled 0", "player empty"}, kLoadLoop, kStopTail}));
}

// ---------------------------------------------------------------------------------------------
// Song modes

TEST(SongModeCommand, ChoosingTheCheckedSongChangesNothing) {
  // "フニクリ・フニクラ" is checked without a settings file: its command, by menu and by key
  // (Ctrl+F8), must leave the run exactly as it would have been.
  const Lines plain = RunSim({"--seed", "3", "--until", "12000"});
  EXPECT_EQ(RunSim({"--seed", "3", "--until", "12000", "--at", "5000:asetrad"}), plain);
  EXPECT_EQ(RunSim({"--seed", "3", "--until", "12000", "--at", "5000:irad"}), plain);
  EXPECT_EQ(RunSim({"--seed", "3", "--until", "12000", "--at", "5000:key:16503"}), plain);
}

TEST(SongModeCommand, ChoosingAnotherSongRestartsTheCycleAtOnce) {
  const Lines log = RunSim({"--seed", "1", "--until", "3000", "--at", "1000:asetwil"});
  EXPECT_EQ(At(log, 1000), Join({{"check iwill 1", "visible N9 1"}, kRestartWithCue}));
  EXPECT_EQ(FirstAfter(log, 1000, 2), (Lines{"1405 beat 1 0", "1405 pose 2"}));
}

TEST(SongModeCommand, TheChosenSongsRoutineDancesTheNextShow) {
  // Every spin is a hit ("/v"); the restart at 1000 ms makes beat 7 fall at 1000 + 7 x 405 ms,
  // and the lead-in that follows loads the chosen song's track.
  struct Case {
    const char* command;
    const char* settings;  // the mode checked before, when not the default
    const char* load;      // the WM_DANCE code that loads the song
    const char* track;
  };
  const Case cases[] = {
      {"asetwil", nullptr, "dance 5", "player render tell.res"},
      {"asetheaven", nullptr, "dance 4", "player render bgm.res"},
      {"asetheaven2", nullptr, "dance 4", "player render bgm.res"},
      {"aradecky", nullptr, "dance 11", "player render rad.res"},
      {"asetrad", "[mode]\r\nmode=2\r\n", "dance 10", "player render fun.res"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    ScratchDir dir;
    if (c.settings) WriteText(dir.path() / "zumbolo.ini", c.settings);
    const Lines log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "40000", "--at",
                              std::string("1000:") + c.command, "--", "/v"});
    ASSERT_FALSE(At(log, 3835).empty());
    EXPECT_EQ(At(log, 3835).front(), "beat 7 0");
    EXPECT_TRUE(Contains(At(log, 3835), "hits 1 1"));
    const Lines after = WithoutTimes(During(log, 3836, 40000));
    EXPECT_TRUE(Contains(after, c.load));
    EXPECT_TRUE(Contains(after, c.track));
    for (const char* other : {"dance 4", "dance 5", "dance 10", "dance 11"}) {
      if (std::string(other) != c.load) {
        EXPECT_FALSE(Contains(after, other)) << other;
      }
    }
  }
}

TEST(SongModeCommand, ChoosingASongHidesAVisiblePopup) {
  ScratchDir dir;
  WriteText(dir.path() / "zumbolo.ini", "[mode]\r\nmode=5\r\n");
  {
    // The background-music show shows the celebration ball as it begins.
    LiveRun run({"--dir", dir.str(), "--seed", "1", "--until", "600000", "--", "/v"});
    ASSERT_TRUE(run.RunUntil([&] { return run.PopupVisible(Popup::Celebration); }, 60000));
    EXPECT_EQ(run.Do("asetwil"),
              Join({{"check iwill 1", "visible N9 1", "enabled 0", "player stop", "player empty"}, kLoadCue,
                    {"form2 hide", "caption 停止"}, kResetToIdle, {"interval 405", "enabled 1"}}));
  }
  {
    // ... and the balloon near its end.
    LiveRun run({"--dir", dir.str(), "--seed", "1", "--until", "600000", "--", "/v"});
    ASSERT_TRUE(run.RunUntil([&] { return run.PopupVisible(Popup::Balloon); }, 300000));
    EXPECT_EQ(run.Do("asetheaven"),
              Join({{"check iheaven 1", "visible N9 1", "enabled 0", "player stop", "player empty"}, kLoadCue,
                    {"form3 hide", "caption 停止"}, kResetToIdle, {"interval 405", "enabled 1"}}));
  }
}

// ---------------------------------------------------------------------------------------------
// Random mode

TEST(RandomModeCommand, ASongChosenByHandIsKeptForTheRestartAndThePickResumesAfter) {
  // Random mode from the settings file, with "フニクリ・フニクラ" (3) checked: start-up picks a
  // song other than 3. A seed for which neither that pick nor the next one is "ウィリアムテル".
  const std::uint32_t seed = FirstSeed([](Lcg random) {
    const int first = PickSong(random, 3);
    return first != 2 && PickSong(random, 2) != 2;
  });
  Lcg random{seed};
  const int at_start = PickSong(random, 3);
  const int after_stop = PickSong(random, 2);

  ScratchDir dir;
  WriteText(dir.path() / "zumbolo.ini", "[mode]\r\nmode=3\r\nrandom=1\r\n");
  const Lines log = RunSim({"--dir", dir.str(), "--seed", std::to_string(seed), "--until", "2000", "--at",
                            "1000:asetwil", "--at", "1200:astart"});
  ASSERT_TRUE(Contains(At(log, 0), std::string("check ") + kSongs[at_start] + " 1"));

  // The chosen song stands: the restart makes no pick.
  EXPECT_EQ(At(log, 1000), Join({{"check iwill 1", "visible N9 1"}, kRestartWithCue}));
  // The next stop picks again, away from "ウィリアムテル".
  EXPECT_EQ(At(log, 1200), Join({{"enabled 0", "player empty"}, kLoadCue,
                                 {std::string("check ") + kSongs[after_stop] + " 1", "visible N9 1"},
                                 kStopTail}));
}

TEST(RandomModeCommand, ThePickResumesAtTheEndOfTheNextShow) {
  // Every spin a hit; "ウィリアムテル" chosen by hand in random mode; its track cut to 40 s so that
  // the show ends within the run. Three seconds after the end the restart makes a pick.
  ScratchDir dir;
  WriteText(dir.path() / "zumbolo.ini", "[mode]\r\nmode=3\r\nrandom=1\r\n");
  const std::uint32_t seed = FirstSeed([](Lcg random) { return PickSong(random, 3) != 2; });
  const Lines log = RunSim({"--dir", dir.str(), "--seed", std::to_string(seed), "--until", "90000", "--track",
                            "tell.res=40000", "--at", "1000:asetwil", "--", "/v"});
  ASSERT_TRUE(Contains(WithoutTimes(log), "player render tell.res"));

  long long hidden_at = -1;
  for (const std::string& line : log) {
    if (line.ends_with(" form3 hide")) {
      hidden_at = std::stoll(line.substr(0, line.find(' ')));
      break;
    }
  }
  ASSERT_GE(hidden_at, 0) << "the show never ended";
  const Lines restart = At(log, hidden_at);
  ASSERT_GE(restart.size(), 10u);
  // Timer1's tick: the balloon hidden, the timer off, then the restart with its pick.
  EXPECT_EQ(Lines(restart.begin(), restart.begin() + 8),
            Join({{"form3 hide", "timer1 0", "enabled 0", "player stop", "player empty"}, kLoadCue}));
  bool picked_a_song = false;
  for (const char* song : kSongs) picked_a_song |= restart[8] == std::string("check ") + song + " 1";
  EXPECT_TRUE(picked_a_song) << restart[8];
  EXPECT_EQ(restart[9], "visible N9 1");
}

TEST(RandomModeCommand, TurningRandomOffChangesNothingElse) {
  const std::uint32_t seed = 11;
  Lcg random{seed};
  const int at_start = PickSong(random, 2);
  ScratchDir dir;
  WriteText(dir.path() / "zumbolo.ini", "[mode]\r\nmode=2\r\nrandom=1\r\n");
  const Lines log =
      RunSim({"--dir", dir.str(), "--seed", std::to_string(seed), "--until", "2000", "--at", "1000:asetran"});
  EXPECT_EQ(At(log, 1000), (Lines{"check iran 0"}));
  // The song of the last pick stays checked, and random mode is saved as off.
  EXPECT_EQ(Saved(dir, "mode", "mode"), std::to_string(at_start));
  EXPECT_EQ(Saved(dir, "mode", "random"), "0");
}

TEST(RandomModeCommand, RandomOnInBgmModeAvoidsSongZeroInTheFirstTwoDraws) {
  // In BGM mode none of the five songs is checked, so the pick avoids song 0 ("天国と地獄").
  struct Case {
    const char* draws;
    std::function<bool(Lcg)> fits;
    int expected;  // -1: the first draw, whatever it is
  };
  const Case cases[] = {
      {"first draw not 0", [](Lcg r) { return r.Below(5) != 0; }, -1},
      {"first draw 0, second 3", [](Lcg r) { return r.Below(5) == 0 && r.Below(5) == 3; }, 3},
      {"first two 0, third 4", [](Lcg r) { return r.Below(5) == 0 && r.Below(5) == 0 && r.Below(5) == 4; }, 4},
      {"all three 0: the third stands", [](Lcg r) { return r.Below(5) == 0 && r.Below(5) == 0 && r.Below(5) == 0; },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.draws);
    const std::uint32_t seed = FirstSeed(c.fits);
    Lcg random{seed};
    const int pick = PickSong(random, 0);
    if (c.expected >= 0) {
      EXPECT_EQ(pick, c.expected);
    }

    ScratchDir dir;
    WriteText(dir.path() / "zumbolo.ini", "[mode]\r\nmode=5\r\n");
    // Random mode on before the first beat: nothing has drawn from the generator yet.
    const Lines log =
        RunSim({"--dir", dir.str(), "--seed", std::to_string(seed), "--until", "1000", "--at", "100:asetran"});
    // The restart loads the start track while BGM mode is still checked ("spring.res"), then picks;
    // the song unchecks BGM mode, so the spin cue takes the loop's place and nothing plays.
    EXPECT_EQ(At(log, 100),
              Join({{"check iran 1", "visible N9 1", "enabled 0", "player stop", "player empty"}, kLoadLoop,
                    {std::string("check ") + kSongs[pick] + " 1", "visible N9 1", "player empty"}, kLoadCue,
                    {"caption 停止"}, kResetToIdle, {"interval 405", "enabled 1"}}));
    // The picked song is what the file keeps.
    EXPECT_EQ(Saved(dir, "mode", "mode"), std::to_string(pick));
    EXPECT_EQ(Saved(dir, "mode", "random"), "1");
  }
}

// ---------------------------------------------------------------------------------------------
// BGM mode

TEST(BgmModeCommand, ChoosingBgmModeHidesTheSoundMenuTurnsRandomOffAndPlaysTheLoop) {
  ScratchDir dir;
  WriteText(dir.path() / "zumbolo.ini", "[mode]\r\nmode=2\r\nrandom=1\r\n");
  const Lines log = RunSim({"--dir", dir.str(), "--seed", "5", "--until", "2000", "--at", "1000:asetbgm"});
  EXPECT_EQ(At(log, 1000),
            Join({{"check ibgm 1", "visible N9 0", "check iran 0", "enabled 0", "player stop", "player empty"},
                  kLoadLoop, {"caption 停止"}, kResetToIdle, {"player play", "interval 405", "enabled 1"}}));
  EXPECT_EQ(Saved(dir, "mode", "mode"), "5");
  EXPECT_EQ(Saved(dir, "mode", "random"), "0");
}

TEST(BgmModeCommand, BgmModeWhileStoppedStartsTheBeat) {
  const Lines log = RunSim({"--seed", "1", "--until", "3000", "--at", "500:astart", "--at", "1000:asetbgm"});
  // The stop loaded the cue; BGM mode needs the loop instead, which then plays.
  EXPECT_EQ(At(log, 1000), Join({{"check ibgm 1", "visible N9 0", "check iran 0", "player empty"}, kLoadLoop,
                                 {"caption 停止"}, kResetToIdle, {"player play", "interval 405", "enabled 1"}}));
}

// ---------------------------------------------------------------------------------------------
// Shortcut keys

TEST(ShortcutKeys, CtrlF7SelectsBgmMode) {
  const Lines log = RunSim({"--seed", "1", "--until", "2000", "--at", "1000:key:16502"});
  EXPECT_EQ(At(log, 1000),
            Join({{"check ibgm 1", "visible N9 0", "check iran 0", "enabled 0", "player stop", "player empty"},
                  kLoadLoop, {"caption 停止"}, kResetToIdle, {"player play", "interval 405", "enabled 1"}}));
}

TEST(ShortcutKeys, CtrlF6ShownBesideBgmModeDoesNothing) {
  const Lines plain = RunSim({"--seed", "2", "--until", "12000"});
  EXPECT_EQ(RunSim({"--seed", "2", "--until", "12000", "--at", "4000:key:16501"}), plain);
}

TEST(ShortcutKeys, NoKeySelectsTheRadetzkyMarch) {
  LiveRun run({"--seed", "1", "--until", "600000"});
  for (int modifiers : {0, 0x2000, 0x4000, 0x8000, 0x6000, 0xA000, 0xC000, 0xE000}) {
    for (int key = 0; key < 256; ++key) {
      // Ctrl+F5 turns random mode on, whose pick may rightly choose the Radetzky March.
      if ((modifiers | key) == 16500) continue;
      run.form().KeyPressed(modifiers | key);
      ASSERT_FALSE(run.form().Checked(Item::irad2)) << "key " << (modifiers | key);
    }
  }
  // The menu item works.
  run.Do("irad2");
  EXPECT_TRUE(run.form().Checked(Item::irad2));
}

TEST(ShortcutKeys, EachActionsKeyRunsItsCommand) {
  // The first line each key's command writes at 1000 ms (no settings file unless given).
  struct Case {
    int key;
    const char* name;
    const char* settings;
    const char* first_line;
  };
  const Case cases[] = {
      {38, "Up", nullptr, "top 642"},
      {40, "Down", nullptr, "top 662"},
      {37, "Left", nullptr, "left 1020"},
      {39, "Right", nullptr, "left 1040"},
      {16506, "Ctrl+F11", nullptr, "enabled 0"},
      {32, "Space", nullptr, "enabled 0"},
      {16504, "Ctrl+F9", nullptr, "check iwill 1"},
      {16505, "Ctrl+F10", nullptr, "check iheaven 1"},
      {86, "V", nullptr, "check avictory 1"},
      {16503, "Ctrl+F8", "[mode]\r\nmode=2\r\n", "check irad 1"},
      {16502, "Ctrl+F7", nullptr, "check ibgm 1"},
      {16500, "Ctrl+F5", nullptr, "check iran 1"},
      {16499, "Ctrl+F4", nullptr, "check iheaven2 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    if (c.settings) WriteText(dir.path() / "zumbolo.ini", c.settings);
    const Lines log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "1500", "--at",
                              "1000:key:" + std::to_string(c.key)});
    const Lines lines = At(log, 1000);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), c.first_line);
  }
}

// ---------------------------------------------------------------------------------------------
// Arrow keys: the resting position moves by 10 pixels, and the pop-ups with it

TEST(ArrowKeys, EachKeyMovesTheHomeAndBothPopups) {
  struct Case {
    const char* key;
    bool mini;
    const char* line;          // the main window's move
    int home_left, home_top;   // afterwards
    int ball_left, ball_top;   // Form2: HomeLeft + 30 (+ 15), HomeTop - 230 (- 120)
    int balloon_left, balloon_top;  // Form3: HomeLeft + 30 (+ 10), HomeTop - 75 (- 50)
    int pos_top_high, pos_left_far;  // PosTopHigh, PosLeftFar
  };
  const Case cases[] = {
      {"aup", false, "top 642", 1030, 642, 1060, 412, 1060, 567, 630, 998},
      {"adown", false, "top 662", 1030, 662, 1060, 432, 1060, 587, 650, 998},
      {"aleft", false, "left 1020", 1020, 652, 1050, 422, 1050, 577, 640, 988},
      {"aright", false, "left 1040", 1040, 652, 1070, 422, 1070, 577, 640, 1008},
      {"aup", true, "top 642", 1030, 642, 1045, 522, 1040, 592, 636, 1014},
      {"aright", true, "left 1040", 1040, 652, 1055, 532, 1050, 602, 646, 1024},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + (c.mini ? " in mini mode" : ""));
    ScratchDir dir;
    std::vector<std::string> args = {"--dir", dir.str(), "--seed", "1", "--until", "600000"};
    if (c.mini) args.insert(args.end(), {"--", "/m"});
    LiveRun run(args);
    run.RunTo(1000);
    EXPECT_EQ(run.Do(c.key), (Lines{c.line}));
    EXPECT_EQ(run.form().pos.HomeLeft, c.home_left);
    EXPECT_EQ(run.form().pos.HomeTop, c.home_top);
    EXPECT_EQ(run.form().pos.PosTopHigh, c.pos_top_high);
    EXPECT_EQ(run.form().pos.PosLeftFar, c.pos_left_far);
    const auto& ball = run.sim().stage().popups[sim::SimStage::Index(Popup::Celebration)].place;
    const auto& balloon = run.sim().stage().popups[sim::SimStage::Index(Popup::Balloon)].place;
    EXPECT_EQ(ball.x, c.ball_left);
    EXPECT_EQ(ball.y, c.ball_top);
    EXPECT_EQ(balloon.x, c.balloon_left);
    EXPECT_EQ(balloon.y, c.balloon_top);
    // Nothing is saved before the exit.
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "zumbolo.ini"));
  }
}

TEST(ArrowKeys, UpThreeTimesIsSavedAtExit) {
  ScratchDir dir;
  const Lines log = RunSim({"--dir", dir.str(), "--seed", "1", "--until", "3000", "--at", "1000:key:38", "--at",
                            "1100:key:38", "--at", "1200:key:38"});
  EXPECT_EQ(At(log, 1200), (Lines{"top 622"}));
  EXPECT_EQ(Saved(dir, "form", "top"), "622");
  EXPECT_EQ(Saved(dir, "form", "left"), "1030");
}

// ---------------------------------------------------------------------------------------------
// Colour of the figures

TEST(ColourCommand, ColourSetsCycleOneTwoZeroOne) {
  // Right after start-up the figures show pose 1 in colour set 1.
  LiveRun run({"--seed", "1", "--until", "600000"});
  const Bitmap colour1 = run.sim().stage().figures[0];
  ASSERT_FALSE(colour1.empty());

  const int expected[] = {2, 0, 1};
  std::vector<Bitmap> shown;
  for (int colour : expected) {
    SCOPED_TRACE(colour);
    // While the beat runs, each change restarts it, whose reset draws pose 1 in the new colours.
    EXPECT_EQ(run.Do("achar"), kRestartWithCue);
    EXPECT_EQ(run.form().CharColor, colour);
    shown.push_back(run.sim().stage().figures[0]);
  }
  EXPECT_NE(shown[0], colour1);
  EXPECT_NE(shown[1], colour1);
  EXPECT_NE(shown[0], shown[1]);
  EXPECT_EQ(shown[2], colour1);
}

TEST(ColourCommand, SavedColourFollowsTheCycle) {
  const char* expected[] = {"2", "0", "1"};
  for (int changes = 1; changes <= 3; ++changes) {
    SCOPED_TRACE(changes);
    ScratchDir dir;
    std::vector<std::string> args = {"--dir", dir.str(), "--seed", "1", "--until", "2000"};
    for (int i = 0; i < changes; ++i) args.insert(args.end(), {"--at", std::to_string(1000 + 10 * i) + ":N8"});
    RunSim(args);
    EXPECT_EQ(Saved(dir, "color", "redchar"), expected[changes - 1]);
  }
}

TEST(ColourCommand, AColourChangeWhileStoppedStartsTheBeat) {
  const Lines log = RunSim({"--seed", "1", "--until", "4000", "--at", "1000:astart", "--at", "2000:achar"});
  // The start branch of the start/stop command: no stop, no reload of the track.
  EXPECT_EQ(At(log, 2000), Join({{"caption 停止"}, kResetToIdle, {"interval 405", "enabled 1"}}));
  EXPECT_EQ(FirstAfter(log, 2000, 2), (Lines{"2405 beat 1 0", "2405 pose 2"}));
}

// ---------------------------------------------------------------------------------------------
// Hit chance

TEST(HitChanceCommand, ANewChanceTakesEffectAtTheNextDrawWithoutARestart) {
  // Without a settings file the beat is 451 ms and the first draw comes on beat 7 (3157 ms); nothing
  // draws before it. A seed whose first draw is a hit at 1 in 5 (4 of 0..4) but a miss at 1 in 100.
  const std::uint32_t seed = FirstSeed([](Lcg random) {
    Lcg copy = random;
    return random.Below(5) == 4 && copy.Below(100) != 99;
  });

  const Lines with_change =
      RunSim({"--seed", std::to_string(seed), "--until", "4000", "--at", "1000:N511"});
  EXPECT_EQ(At(with_change, 1000), (Lines{"check N511 1"}));
  const Lines stop = At(with_change, 3157);
  ASSERT_FALSE(stop.empty());
  EXPECT_EQ(stop.front(), "beat 7 0");
  EXPECT_TRUE(Contains(stop, "hits 1 1"));

  const Lines without = RunSim({"--seed", std::to_string(seed), "--until", "4000"});
  EXPECT_FALSE(Contains(At(without, 3157), "hits 1 1"));
  // Up to the stop, the beats are those of the run without the change: no restart happened.
  Lines before_change = During(with_change, 0, 3000);
  before_change.erase(std::remove(before_change.begin(), before_change.end(), "1000 check N511 1"),
                      before_change.end());
  EXPECT_EQ(before_change, During(without, 0, 3000));
}

TEST(HitChanceCommand, EachChanceItemSetsItsOdds) {
  struct Case {
    const char* item;
    int odds;
  };
  const Case cases[] = {{"N50011", 500}, {"N30011", 300}, {"N2001", 200}, {"N10011", 100},
                        {"N5011", 50},   {"N2011", 20},   {"N1011", 10},  {"N511", 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    ScratchDir dir;
    RunSim({"--dir", dir.str(), "--seed", "1", "--until", "2000", "--at", std::string("1000:") + c.item});
    EXPECT_EQ(Saved(dir, "num", "ritu"), std::to_string(c.odds));
  }
}

// ---------------------------------------------------------------------------------------------
// Sound choice

TEST(SoundChoiceCommand, ChoosingBackgroundMusicRestartsWithTheLoopPlaying) {
  const Lines log = RunSim({"--seed", "1", "--until", "2000", "--at", "1000:N12"});
  EXPECT_EQ(At(log, 1000), Join({{"check N12 1", "enabled 0", "player stop", "player empty"}, kLoadLoop,
                                 {"caption 停止"}, kResetToIdle, {"player play", "interval 405", "enabled 1"}}));
}

TEST(SoundChoiceCommand, ChoosingSilenceRestartsWithTheCueLoaded) {
  const Lines log = RunSim({"--seed", "1", "--until", "2000", "--at", "1000:N13"});
  EXPECT_EQ(At(log, 1000), Join({{"check N13 1"}, kRestartWithCue}));
}

TEST(SoundChoiceCommand, ChoosingTheCheckedSoundChangesNothing) {
  const Lines plain = RunSim({"--seed", "4", "--until", "8000"});
  EXPECT_EQ(RunSim({"--seed", "4", "--until", "8000", "--at", "3000:N10"}), plain);
}

// ---------------------------------------------------------------------------------------------
// Tray icon and clicks

TEST(TrayAndClick, TrayLeftClickAndAClickOnTheFiguresActAsStartStop) {
  const Lines by_command = RunSim({"--seed", "6", "--until", "9000", "--at", "2000:astart", "--at", "5000:astart"});
  ASSERT_TRUE(Contains(At(by_command, 2000), "caption 開始"));
  ASSERT_TRUE(Contains(At(by_command, 5000), "caption 停止"));
  for (const char* what : {"tray-left", "click"}) {
    SCOPED_TRACE(what);
    EXPECT_EQ(RunSim({"--seed", "6", "--until", "9000", "--at", std::string("2000:") + what, "--at",
                      std::string("5000:") + what}),
              by_command);
  }
}

TEST(TrayAndClick, TrayRightClickBringsTheWindowForwardAndOpensTheMenu) {
  LiveRun run({"--seed", "1", "--until", "600000"});
  run.RunTo(1000);
  // The check of the start at login shows what the session does now.
  EXPECT_EQ(run.Do("tray-right"), (Lines{"foreground", "check iautostart 0"}));
  EXPECT_EQ(run.sim().shell().menus_shown, 1);
  run.sim().shell().starts_at_login = true;
  EXPECT_EQ(run.Do("tray-right"), (Lines{"foreground", "check iautostart 1"}));
  // The beat goes on.
  EXPECT_TRUE(run.form().MMTimer1.Enabled());
}

// ---------------------------------------------------------------------------------------------
// Forced hits

TEST(ForcedHitsCommand, VTogglesForcedHits) {
  // A seed whose first draw at 1 in 100 is a miss.
  const std::uint32_t seed = FirstSeed([](Lcg random) { return random.Below(100) != 99; });
  const Lines on = RunSim({"--seed", std::to_string(seed), "--until", "4000", "--at", "100:key:86"});
  EXPECT_EQ(At(on, 100), (Lines{"check avictory 1"}));
  EXPECT_TRUE(Contains(At(on, 3157), "hits 1 1"));

  const Lines off =
      RunSim({"--seed", std::to_string(seed), "--until", "4000", "--at", "100:key:86", "--at", "200:avictory"});
  EXPECT_EQ(At(off, 200), (Lines{"check avictory 0"}));
  EXPECT_FALSE(Contains(At(off, 3157), "hits 1 1"));
}

// ---------------------------------------------------------------------------------------------
// Exit

TEST(ExitCommand, ExitClosesAndNothingFollows) {
  const Lines log = RunSim({"--seed", "1", "--until", "60000", "--at", "2000:Exit1", "--at", "3000:astart"});
  // Timers off, the playing cue stopped, the graph emptied, the player released, the tally.
  EXPECT_EQ(At(log, 2000), (Lines{"timer1 0", "enabled 0", "player stop", "player empty", "player active 0",
                                  "message 今回の当たりは0回\\n今日の当たりは0回でした"}));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "2000 message 今回の当たりは0回\\n今日の当たりは0回でした");
}

}  // namespace
}  // namespace zumbolo
