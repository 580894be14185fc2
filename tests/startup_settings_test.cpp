// Start-up (the command line, zumbolo.ini, the placement of the window, the start-up lines) and
// shutdown (the hit tally and what is written back to zumbolo.ini), run in the simulator.
//
// The default desk is a 1280 x 770 work area: the figures rest at left 1030 (1280 - 250) and
// top 652 (770 - 118). The simulator's locale has no short date pattern, so the "date" keys use
// "m/d/yy": 2026-12-08 is "12/8/26".

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/file_rights.h"
#include "tests/support/live_run.h"
#include "tests/support/model_random.h"
#include "tests/support/sim_run.h"
#include "tools/sim/simulation.h"

namespace zumbolo {
namespace {

using testing::At;
using testing::Contains;
using testing::During;
using testing::ErrorLines;
using testing::FirstAfter;
using testing::FirstSeed;
using testing::InJapanese;
using testing::Join;
using testing::LiveRun;
using testing::TimeOf;
using testing::WhatOf;
using testing::RandomPick;
using testing::ReadText;
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

bool AnyStartsWith(const Lines& lines, const std::string& prefix) {
  for (const std::string& line : lines) {
    if (line.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// The start track as start-up loads it: the cue "kokab.res" rendered and rewound to 10 ms (a stop,
// then a seek); the loop "spring.res" rendered and rewound to its loop start.
const Lines kLoadCue = {"player render kokab.res", "player stop", "player seek 100000"};
const Lines kLoadLoop = {"player render spring.res", "player seek 9840000"};
// The home from the work area, placed before anything is read.
const Lines kPlaceHome = {"left 1030", "top 652"};
// From pose 1 to the tray icon, for the cue as the start track.
const Lines kEndWithCue = Join({{"pose 1", "caption 停止", "player active 1"}, kLoadCue, {"dance 13", "enabled 1"}});
// ... and for the loop, which the creation of the balloon window starts before the clock.
const Lines kEndWithLoop =
    Join({{"pose 1", "caption 停止", "player active 1"}, kLoadLoop, {"dance 6", "player play", "dance 13", "enabled 1"}});

constexpr std::array<const char*, 5> kSongs = {"iheaven", "iheaven2", "iwill", "irad", "irad2"};

int PickSong(Lcg& random, int current) { return RandomPick(random, current).song; }

// The simulator's arguments for a run in `dir`, with `settings` written there as zumbolo.ini
// first (when not null), followed by `args`.
std::vector<std::string> ArgsWith(const ScratchDir& dir, const char* settings, std::vector<std::string> args) {
  if (settings) WriteText(dir.path() / "zumbolo.ini", settings);
  std::vector<std::string> all = {"--dir", dir.str()};
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

// A first run in `dir`, which writes the track files.
void StartOnce(const ScratchDir& dir) { RunSim({"--dir", dir.str(), "--seed", "1", "--until", "100"}); }

bool AllWhite(const Bitmap& picture) {
  for (std::uint32_t pixel : picture.pixels()) {
    if (pixel != kWhite) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Start-up without a settings file

TEST(StartupWithoutSettings, WritesTheStartupLinesInOrderAndBeatsFirstAfter451Ms) {
  const Lines log = RunSim({"--seed", "1", "--until", "1000"});
  EXPECT_EQ(At(log, 0), Join({kPlaceHome, kEndWithCue}));
  // The clock keeps the interval it was created with until something sets it.
  EXPECT_EQ(FirstAfter(log, 0, 2), (Lines{"451 beat 1 0", "451 pose 2"}));
}

TEST(StartupWithoutSettings, TheMenuKeepsItsResourceStateAndTheValuesTheirDefaults) {
  ScratchDir dir;
  {
    LiveRun run({"--dir", dir.str(), "--seed", "1", "--until", "1000"});
    TForm1& form = run.form();
    EXPECT_TRUE(form.Checked(Item::irad));
    EXPECT_TRUE(form.Checked(Item::N10011));
    EXPECT_TRUE(form.Checked(Item::N10));
    EXPECT_FALSE(form.Checked(Item::iran));
    EXPECT_TRUE(form.PopupMenu1[Item::N9].visible);
    EXPECT_EQ(form.HitOdds, 100);
    EXPECT_EQ(form.CharColor, 1);
    EXPECT_EQ(form.MMTimer1.Interval(), 451u);
    EXPECT_EQ(form.pos.HomeLeft, 1030);
    EXPECT_EQ(form.pos.HomeTop, 652);
    EXPECT_EQ(run.sim().shell().tray_icons_added, 1);
    EXPECT_FALSE(AllWhite(run.sim().stage().figures[0]));
    run.RunTo(2000);
  }
  // ... and they are what the first exit writes.
  EXPECT_EQ(Saved(dir, "num", "ritu"), "100");
  EXPECT_EQ(Saved(dir, "sound", "koka"), "0");
  EXPECT_EQ(Saved(dir, "mode", "mode"), "3");
  EXPECT_EQ(Saved(dir, "mode", "random"), "0");
  EXPECT_EQ(Saved(dir, "color", "redchar"), "1");
  EXPECT_EQ(Saved(dir, "form", "left"), "1030");
  EXPECT_EQ(Saved(dir, "form", "top"), "652");
}

// ---------------------------------------------------------------------------------------------
// Start-up with a settings file, key by key. Any file gives the keys it lacks their defaults:
// sound 0 ("効果音あり"), mode 2 ("ウィリアムテル"), odds 100.

TEST(StartupSettings, AFileWithEveryKeyIsReadInOrder) {
  ScratchDir dir;
  const Lines log = RunSim(ArgsWith(dir,
                                   "[num]\r\nritu=50\r\n[form]\r\nleft=300\r\ntop=400\r\n[sound]\r\nkoka=1\r\n"
                                   "[mode]\r\nmode=4\r\nrandom=0\r\n[color]\r\nredchar=2\r\n",
                                   {"--seed", "1", "--until", "1000"}));
  EXPECT_EQ(At(log, 0), Join({kPlaceHome,
                              {"check N12 1", "check irad2 1", "interval 405", "left 300", "top 400", "check N5011 1"},
                              kEndWithLoop}));
  EXPECT_EQ(FirstAfter(log, 0, 1), (Lines{"405 beat 1 0"}));
}

TEST(StartupSettings, AHitChanceWithAMenuItemChecksThatItem) {
  struct Case {
    const char* ritu;
    Item item;
    const char* line;
  };
  const Case cases[] = {
      {"500", Item::N50011, "check N50011 1"}, {"300", Item::N30011, "check N30011 1"},
      {"200", Item::N2001, "check N2001 1"},   {"100", Item::N10011, "check N10011 1"},
      {"50", Item::N5011, "check N5011 1"},    {"20", Item::N2011, "check N2011 1"},
      {"10", Item::N1011, "check N1011 1"},    {"5", Item::N511, "check N511 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ritu);
    ScratchDir dir;
    const std::string settings = std::string("[num]\r\nritu=") + c.ritu + "\r\n";
    LiveRun run(ArgsWith(dir, settings.c_str(), {"--seed", "1", "--until", "1000"}));
    EXPECT_EQ(At(run.Log(), 0),
              Join({kPlaceHome, {"check N10 1", "check iwill 1", "interval 405", c.line}, kEndWithCue}));
    EXPECT_EQ(run.form().HitOdds, std::stoi(c.ritu));
    EXPECT_TRUE(run.form().Checked(c.item));
  }
}

TEST(StartupSettings, AHitChanceWithoutAMenuItemIsUsedAndKeepsTheDefaultItemChecked) {
  // A seed whose first draw is a hit at 1 in 37 (36 of 0..36) but a miss at 1 in 100. With a
  // settings file the beat is 405 ms, so the first draw comes on beat 7 at 2835 ms.
  const std::uint32_t seed = FirstSeed([](Lcg random) {
    Lcg copy = random;
    return random.Below(37) == 36 && copy.Below(100) != 99;
  });
  ScratchDir dir;
  LiveRun run(ArgsWith(dir, "[num]\r\nritu=37\r\n", {"--seed", std::to_string(seed), "--until", "4000"}));
  EXPECT_EQ(At(run.Log(), 0), Join({kPlaceHome, {"check N10 1", "check iwill 1", "interval 405"}, kEndWithCue}));
  EXPECT_EQ(run.form().HitOdds, 37);
  EXPECT_TRUE(run.form().Checked(Item::N10011));
  run.RunTo(3000);
  EXPECT_TRUE(Contains(At(run.Log(), 2835), "hits 1 1"));

  ScratchDir other;
  const Lines at_100 = RunSim(ArgsWith(other, "[num]\r\nritu=100\r\n", {"--seed", std::to_string(seed), "--until", "4000"}));
  EXPECT_FALSE(Contains(At(at_100, 2835), "hits 1 1"));
}

TEST(StartupSettings, TheSoundKeyChecksItsItemAndChoosesTheStartTrack) {
  struct Case {
    const char* koka;
    const char* check;
    Lines end;
  };
  const Case cases[] = {
      {"0", "check N10 1", kEndWithCue},
      {"1", "check N12 1", kEndWithLoop},
      {"2", "check N13 1", kEndWithCue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.koka);
    ScratchDir dir;
    const std::string settings = std::string("[sound]\r\nkoka=") + c.koka + "\r\n";
    const Lines log = RunSim(ArgsWith(dir, settings.c_str(), {"--seed", "1", "--until", "1000"}));
    EXPECT_EQ(At(log, 0),
              Join({kPlaceHome, {c.check, "check iwill 1", "interval 405", "check N10011 1"}, c.end}));
    EXPECT_EQ(Saved(dir, "sound", "koka"), c.koka);
  }
}

TEST(StartupSettings, TheModeKeyChecksItsItemAndInstallsItsRoutine) {
  // With every spin a hit ("/v"), the lead-in after the first hit (beat 7, 2835 ms) loads the
  // song of the installed routine; the background-music show loads none.
  struct Case {
    const char* mode;
    const char* check;
    const char* load;  // nullptr: no song is loaded
  };
  const Case cases[] = {
      {"0", "check iheaven 1", "dance 4"}, {"1", "check iheaven2 1", "dance 4"}, {"2", "check iwill 1", "dance 5"},
      {"3", "check irad 1", "dance 10"},   {"4", "check irad2 1", "dance 11"},   {"5", "check ibgm 1", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    ScratchDir dir;
    const std::string settings = std::string("[mode]\r\nmode=") + c.mode + "\r\n";
    const bool bgm = c.load == nullptr;
    const Lines log = RunSim(ArgsWith(dir, settings.c_str(), {"--seed", "1", "--until", "40000", "--", "/v"}));
    const Lines head = {"check avictory 1", "left 1030", "top 652", "check N10 1", c.check, "interval 405",
                        "check N10011 1"};
    // BGM mode hides the sound menu and starts with the loop.
    const Lines end = bgm ? Join({{"pose 1", "visible N9 0", "caption 停止", "player active 1"}, kLoadLoop,
                                  {"dance 6", "player play", "dance 13", "enabled 1"}})
                          : kEndWithCue;
    EXPECT_EQ(At(log, 0), Join({head, end}));

    ASSERT_TRUE(Contains(At(log, 2835), "hits 1 1"));
    const Lines after = WithoutTimes(During(log, 2836, 40000));
    for (const char* load : {"dance 4", "dance 5", "dance 10", "dance 11"}) {
      EXPECT_EQ(Contains(after, load), c.load != nullptr && std::string(load) == c.load) << load;
    }
    if (bgm) {
      EXPECT_TRUE(Contains(after, "form2 show"));
    }
    EXPECT_EQ(Saved(dir, "mode", "mode"), c.mode);
  }
}

TEST(StartupSettings, RandomWithModeTwoPicksAnotherSongInUpToThreeDraws) {
  struct Case {
    const char* draws;
    std::function<bool(Lcg)> fits;
  };
  const Case cases[] = {
      {"first draw not 2", [](Lcg r) { return r.Below(5) != 2; }},
      {"first draw 2, second not", [](Lcg r) { return r.Below(5) == 2 && r.Below(5) != 2; }},
      {"first two 2, third not", [](Lcg r) { return r.Below(5) == 2 && r.Below(5) == 2 && r.Below(5) != 2; }},
      {"all three 2: the third stands", [](Lcg r) { return r.Below(5) == 2 && r.Below(5) == 2 && r.Below(5) == 2; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.draws);
    const std::uint32_t seed = FirstSeed(c.fits);
    Lcg random{seed};
    const int pick = PickSong(random, 2);
    ScratchDir dir;
    LiveRun run(ArgsWith(dir, "[mode]\r\nmode=2\r\nrandom=1\r\n", {"--seed", std::to_string(seed), "--until", "1000"}));
    EXPECT_EQ(At(run.Log(), 0),
              Join({kPlaceHome,
                    {"check N10 1", "check iwill 1", std::string("check ") + kSongs[pick] + " 1", "visible N9 1",
                     "check iran 1", "visible N9 1", "interval 405", "check N10011 1"},
                    kEndWithCue}));
    EXPECT_TRUE(run.form().Checked(Item::iran));
  }
}

TEST(StartupSettings, TheColourKeySelectsTheColourSet) {
  LiveRun plain({"--seed", "1", "--until", "1000"});
  const Bitmap colour1 = plain.sim().stage().figures[0];
  std::vector<Bitmap> seen;
  for (const char* redchar : {"0", "2"}) {
    SCOPED_TRACE(redchar);
    ScratchDir dir;
    const std::string settings = std::string("[color]\r\nredchar=") + redchar + "\r\n";
    LiveRun run(ArgsWith(dir, settings.c_str(), {"--seed", "1", "--until", "1000"}));
    EXPECT_EQ(run.form().CharColor, std::stoi(redchar));
    const Bitmap shown = run.sim().stage().figures[0];
    EXPECT_FALSE(AllWhite(shown));
    EXPECT_NE(shown, colour1);
    seen.push_back(shown);
    run.RunTo(2000);
    EXPECT_EQ(Saved(dir, "color", "redchar"), redchar);
  }
  EXPECT_NE(seen[0], seen[1]);
}

TEST(StartupSettings, AStoredPositionReplacesTheHomeAndItsOffsets) {
  struct Case {
    const char* settings;
    Lines placed;  // the lines of the stored position, after the interval
    int left, top;
  };
  const Case cases[] = {
      {"[form]\r\nleft=100\r\ntop=200\r\n", {"left 100", "top 200"}, 100, 200},
      {"[form]\r\nleft=0\r\ntop=0\r\n", {"left 0", "top 0"}, 0, 0},
      // Outside mini mode a place partly off the work area is used as it is.
      {"[form]\r\nleft=1200\r\ntop=740\r\n", {"left 1200", "top 740"}, 1200, 740},
      // Negative coordinates keep the home from the work area.
      {"[form]\r\nleft=-5\r\ntop=-1\r\n", {}, 1030, 652},
      {"[form]\r\nleft=-1\r\ntop=300\r\n", {"top 300"}, 1030, 300},
      // So do coordinates no screen has, which would overflow the offsets.
      {"[form]\r\nleft=2147483647\r\ntop=1000001\r\n", {}, 1030, 652},
      {"[form]\r\nleft=2147483600\r\ntop=2147483647\r\n", {}, 1030, 652},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    ScratchDir dir;
    LiveRun run(ArgsWith(dir, c.settings, {"--seed", "1", "--until", "1000"}));
    EXPECT_EQ(At(run.Log(), 0), Join({kPlaceHome, {"check N10 1", "check iwill 1", "interval 405"}, c.placed,
                                      {"check N10011 1"}, kEndWithCue}));
    const Positions& pos = run.form().pos;
    EXPECT_EQ(pos.HomeLeft, c.left);
    EXPECT_EQ(pos.HomeTop, c.top);
    EXPECT_EQ(pos.PosLeftMid, c.left - 16);
    EXPECT_EQ(pos.PosRightMid, c.left + 16);
    EXPECT_EQ(pos.PosLeftFar, c.left - 32);
    EXPECT_EQ(pos.PosRightFar, c.left + 32);
    EXPECT_EQ(pos.PosTopHigh, c.top - 12);
    EXPECT_EQ(pos.PosTopLow, c.top - 6);
  }
}

TEST(StartupSettings, MiniModeKeepsAStoredPositionOnTheWorkArea) {
  // Mini mode: the window is 96 x 32. A left beyond width - 200 (1080) becomes width - 250; a top
  // beyond height - 32 (738) becomes height - 32 - 20 (718). The offsets are halved.
  struct Case {
    const char* settings;
    Lines placed;
    int left, top;
  };
  const Case cases[] = {
      {"[form]\r\nleft=1100\r\ntop=750\r\n", {"left 1030", "top 718"}, 1030, 718},
      {"[form]\r\nleft=1080\r\ntop=738\r\n", {"left 1080", "top 738"}, 1080, 738},
      {"[form]\r\nleft=1081\r\ntop=739\r\n", {"left 1030", "top 718"}, 1030, 718},
      {"[form]\r\nleft=200\r\ntop=100\r\n", {"left 200", "top 100"}, 200, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    ScratchDir dir;
    LiveRun run(ArgsWith(dir, c.settings, {"--seed", "1", "--until", "1000", "--", "/m"}));
    EXPECT_EQ(At(run.Log(), 0), Join({kPlaceHome, {"check N10 1", "check iwill 1", "interval 405"}, c.placed,
                                      {"check N10011 1"}, kEndWithCue}));
    const Positions& pos = run.form().pos;
    EXPECT_EQ(pos.HomeLeft, c.left);
    EXPECT_EQ(pos.HomeTop, c.top);
    EXPECT_EQ(pos.PosLeftMid, c.left - 8);
    EXPECT_EQ(pos.PosRightFar, c.left + 16);
    EXPECT_EQ(pos.PosTopHigh, c.top - 6);
    EXPECT_EQ(pos.PosTopLow, c.top - 3);
    EXPECT_EQ(run.sim().stage().figure_size, 32);
  }
}

TEST(StartupSettings, ABadValueGivesTheDefaultOrLeavesTheMenuAsItIs) {
  // The lines between the home placement and "interval 405" tell what the file checked.
  struct Case {
    const char* settings;
    Lines checks;   // what the sound and mode keys check
    const char* odds_line;  // the chance item checked after the position, or nullptr
    int odds;
    int colour;
    Item mode;
    Item sound;
  };
  const Case cases[] = {
      {"[num]\r\nritu=0\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1, Item::iwill, Item::N10},
      {"[num]\r\nritu=-5\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1, Item::iwill, Item::N10},
      {"[num]\r\nritu=abc\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1, Item::iwill, Item::N10},
      {"[num]\r\nritu=99999999999\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1, Item::iwill,
       Item::N10},
      {"[num]\r\nritu=\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1, Item::iwill, Item::N10},
      // A mode or sound number that names no item checks nothing: the resource's items stay.
      {"[mode]\r\nmode=9\r\n", {"check N10 1"}, "check N10011 1", 100, 1, Item::irad, Item::N10},
      {"[mode]\r\nmode=-1\r\n", {"check N10 1"}, "check N10011 1", 100, 1, Item::irad, Item::N10},
      {"[sound]\r\nkoka=7\r\n", {"check iwill 1"}, "check N10011 1", 100, 1, Item::iwill, Item::N10},
      {"[sound]\r\nkoka=7\r\n[mode]\r\nmode=9\r\n", {}, "check N10011 1", 100, 1, Item::irad, Item::N10},
      // A value that is no 32-bit integer is the default.
      {"[mode]\r\nmode=99999999999\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1, Item::iwill,
       Item::N10},
      {"[mode]\r\nmode=abc\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1, Item::iwill, Item::N10},
      {"[sound]\r\nkoka=99999999999\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1, Item::iwill,
       Item::N10},
      // A colour set that does not exist gives colour set 1.
      {"[color]\r\nredchar=5\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1, Item::iwill,
       Item::N10},
      {"[color]\r\nredchar=-1\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1, Item::iwill,
       Item::N10},
      {"[color]\r\nredchar=99999999999\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100, 1,
       Item::iwill, Item::N10},
      {"[form]\r\nleft=99999999999\r\ntop=4294967396\r\n", {"check N10 1", "check iwill 1"}, "check N10011 1", 100,
       1, Item::iwill, Item::N10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.settings);
    ScratchDir dir;
    LiveRun run(ArgsWith(dir, c.settings, {"--seed", "1", "--until", "5000"}));
    EXPECT_EQ(At(run.Log(), 0), Join({kPlaceHome, c.checks, {"interval 405", c.odds_line}, kEndWithCue}));
    TForm1& form = run.form();
    EXPECT_EQ(form.HitOdds, c.odds);
    EXPECT_EQ(form.CharColor, c.colour);
    EXPECT_TRUE(form.Checked(c.mode));
    EXPECT_TRUE(form.Checked(c.sound));
    EXPECT_EQ(form.pos.HomeLeft, 1030);
    EXPECT_EQ(form.pos.HomeTop, 652);
    EXPECT_FALSE(AllWhite(run.sim().stage().figures[0])) << "the figures must not be blank";
    // The beat runs and draws with the odds that the file gave.
    run.RunTo(3000);
    EXPECT_FALSE(AnyStartsWith(WithoutTimes(run.Log()), "error"));
    EXPECT_TRUE(Contains(At(run.Log(), 2835), "beat 7 0"));
  }
}

TEST(StartupSettings, AFileOfRandomBytesNeverCrashesAndGivesTheDefaults) {
  std::mt19937 bytes_from(20261208);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    std::string junk(static_cast<std::size_t>(1 + bytes_from() % 4096), '\0');
    for (char& c : junk) c = static_cast<char>(bytes_from() & 0xFF);
    ScratchDir dir;
    WriteText(dir.path() / "zumbolo.ini", junk);
    LiveRun run({"--dir", dir.str(), "--seed", "1", "--until", "5000"});
    TForm1& form = run.form();
    EXPECT_EQ(form.HitOdds, 100);
    EXPECT_EQ(form.CharColor, 1);
    EXPECT_TRUE(form.Checked(Item::iwill));
    EXPECT_TRUE(form.Checked(Item::N10));
    EXPECT_TRUE(form.Checked(Item::N10011));
    EXPECT_FALSE(form.Checked(Item::iran));
    EXPECT_EQ(form.pos.HomeLeft, 1030);
    EXPECT_EQ(form.pos.HomeTop, 652);
    run.RunTo(6000);
    const Lines log = run.Log();
    EXPECT_EQ(At(log, 0), Join({kPlaceHome, {"check N10 1", "check iwill 1", "interval 405", "check N10011 1"},
                                kEndWithCue}));
    EXPECT_TRUE(AnyStartsWith(At(log, 5000), "message "));
  }
}

// ---------------------------------------------------------------------------------------------
// Command line

TEST(CommandLine, MiniOnlyAsTheFirstArgumentForcedHitsAsAnyOfTheFirstThree) {
  struct Case {
    std::vector<std::string> args;
    bool mini;
    bool forced;
  };
  const Case cases[] = {
      {{}, false, false},
      {{"/m"}, true, false},
      {{"/x", "/m"}, false, false},
      {{"/M"}, false, false},
      {{"/m "}, false, false},
      {{"/v"}, false, true},
      {{"/a", "/v"}, false, true},
      {{"/a", "/b", "/v"}, false, true},
      {{"/a", "/b", "/c", "/v"}, false, false},
      {{"/V"}, false, false},
      {{"/v", "/m"}, false, true},
      {{"/m", "/v"}, true, true},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += "[" + a + "]";
    SCOPED_TRACE(shown);
    std::vector<std::string> args = {"--seed", "1", "--until", "1000", "--"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    LiveRun run(args);
    EXPECT_EQ(run.sim().stage().figure_size, c.mini ? 32 : 64);
    EXPECT_EQ(run.form().MiniMode, c.mini);
    const Lines at_start = At(run.Log(), 0);
    // The command line is read before the window is placed.
    ASSERT_FALSE(at_start.empty());
    EXPECT_EQ(at_start.front() == "check avictory 1", c.forced);
    EXPECT_EQ(run.form().ActionList1.Checked(ActionId::avictory), c.forced);
    // Mini mode halves the offsets of the home (1030, 652).
    EXPECT_EQ(run.form().pos.PosRightFar, c.mini ? 1046 : 1062);
    EXPECT_EQ(run.form().pos.PosTopLow, c.mini ? 649 : 646);
  }
}

// ---------------------------------------------------------------------------------------------
// Shutdown

TEST(Shutdown, TheTallyCountsTheRunAndTheDay) {
  // Every spin a hit; the day had 2. Hits on beat 7 at 2835 ms, and after each stop and start
  // 7 x 405 ms after the start: 5935 ms and 8935 ms.
  ScratchDir dir;
  LiveRun run(ArgsWith(dir, "[date]\r\n12/8/26=2\r\n",
                      {"--seed", "1", "--clock", "2026-12-08T10:00:00", "--until", "9000", "--at", "3000:astart",
                       "--at", "3100:astart", "--at", "6000:astart", "--at", "6100:astart", "--", "/v"}));
  run.RunTo(10000);
  const Lines log = run.Log();
  EXPECT_TRUE(Contains(At(log, 2835), "hits 1 3"));
  EXPECT_TRUE(Contains(At(log, 5935), "hits 2 4"));
  EXPECT_TRUE(Contains(At(log, 8935), "hits 3 5"));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "9000 message 今回の当たりは3回\\n今日の当たりは5回でした");
  // The line break of the message is a carriage return and a line feed.
  EXPECT_EQ(run.form().TallyMessage(), "今回の当たりは3回\r\n今日の当たりは5回でした");
  EXPECT_EQ(Saved(dir, "date", "12/8/26"), "5");
}

TEST(Shutdown, ARunWithoutHitsShowsZeroAndTheStoredCount) {
  ScratchDir dir;
  const Lines log =
      RunSim(ArgsWith(dir, "[date]\r\n12/8/26=2\r\n", {"--seed", "1", "--clock", "2026-12-08T10:00:00", "--until", "2000"}));
  EXPECT_EQ(log.back(), "2000 message 今回の当たりは0回\\n今日の当たりは2回でした");
  EXPECT_EQ(Saved(dir, "date", "12/8/26"), "2");
}

TEST(Shutdown, OnlyYesterdaysKeyGivesZeroForTodayAndKeepsYesterday) {
  ScratchDir dir;
  const Lines log =
      RunSim(ArgsWith(dir, "[date]\r\n12/7/26=9\r\n", {"--seed", "1", "--clock", "2026-12-08T10:00:00", "--until", "2000"}));
  EXPECT_EQ(log.back(), "2000 message 今回の当たりは0回\\n今日の当たりは0回でした");
  EXPECT_EQ(Saved(dir, "date", "12/7/26"), "9");
  EXPECT_EQ(Saved(dir, "date", "12/8/26"), "0");
}

TEST(Shutdown, TheFirstRunWritesTheSectionsInOrderWithCrLfLineEnds) {
  ScratchDir dir;
  RunSim({"--dir", dir.str(), "--seed", "1", "--clock", "2026-12-08T10:00:00", "--until", "2000"});
  const std::string text = ReadText(dir.path() / "zumbolo.ini");
  ASSERT_FALSE(text.empty());

  // Every line ends with CR LF.
  EXPECT_TRUE(text.ends_with("\r\n"));
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at byte " << i;
    }
    if (text[i] == '\r') {
      EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at byte " << i;
    }
  }
  // The sections in the order of the first writes, each with its keys (blank lines aside).
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  EXPECT_EQ(lines, (Lines{
                       "[num]",     "ritu=100",  //
                       "[form]",    "left=1030", "top=652",  //
                       "[date]",    "12/8/26=0",  //
                       "[sound]",   "koka=0",  //
                       "[mode]",    "mode=3",    "random=0",  //
                       "[color]",   "redchar=1",  //
                       "[option]",  "fullscreen=1", "volume=100",
                   }));
}

TEST(Shutdown, BgmModeIsSavedAsModeFive) {
  ScratchDir dir;
  RunSim(ArgsWith(dir, "[mode]\r\nmode=5\r\n", {"--seed", "1", "--until", "2000"}));
  EXPECT_EQ(Saved(dir, "mode", "mode"), "5");
  EXPECT_EQ(Saved(dir, "mode", "random"), "0");
}

TEST(Shutdown, RandomModeIsSavedWithThePickedSong) {
  for (std::uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
    SCOPED_TRACE(seed);
    Lcg random{seed};
    const int pick = PickSong(random, 0);
    // The run ends before the first draw of a hit; start-up's pick is the last one.
    ScratchDir dir;
    RunSim(ArgsWith(dir, "[mode]\r\nmode=0\r\nrandom=1\r\n", {"--seed", std::to_string(seed), "--until", "2000"}));
    EXPECT_EQ(Saved(dir, "mode", "mode"), std::to_string(pick));
    EXPECT_EQ(Saved(dir, "mode", "random"), "1");
  }
}

TEST(Shutdown, ARunPastMidnightWritesUnderTheNewDayAndKeepsTheOldDay) {
  // A hit at 2835 ms on 8 December, then a stop and start, and a hit 7 x 405 ms after the start
  // at 61100 ms, which is 9 December.
  ScratchDir dir;
  const Lines log = RunSim(ArgsWith(dir, "[date]\r\n12/8/26=2\r\n",
                                   {"--seed", "1", "--clock", "2026-12-08T23:59:00", "--until", "65000", "--at",
                                    "61000:astart", "--at", "61100:astart", "--", "/v"}));
  EXPECT_TRUE(Contains(At(log, 2835), "hits 1 3"));
  EXPECT_TRUE(Contains(At(log, 63935), "hits 2 4"));
  EXPECT_EQ(log.back(), "65000 message 今回の当たりは2回\\n今日の当たりは4回でした");
  EXPECT_EQ(Saved(dir, "date", "12/9/26"), "4");
  EXPECT_EQ(Saved(dir, "date", "12/8/26"), "2");
}

TEST(Shutdown, KeysItDoesNotWriteAndOtherLinesOfTheFileStay) {
  ScratchDir dir;
  RunSim(ArgsWith(dir, "; my notes\r\n[date]\r\n12/1/26=7\r\n[other]\r\nkeep=this\r\n[num]\r\nritu=20\r\nextra=1\r\n",
                 {"--seed", "1", "--clock", "2026-12-08T10:00:00", "--until", "2000", "--at", "1000:N511"}));
  const std::string text = ReadText(dir.path() / "zumbolo.ini");
  EXPECT_NE(text.find("; my notes"), std::string::npos);
  EXPECT_EQ(Saved(dir, "other", "keep"), "this");
  EXPECT_EQ(Saved(dir, "num", "extra"), "1");
  EXPECT_EQ(Saved(dir, "date", "12/1/26"), "7");
  EXPECT_EQ(Saved(dir, "date", "12/8/26"), "0");
  EXPECT_EQ(Saved(dir, "num", "ritu"), "5");
}

// Sets or clears the immutable attribute of a file or folder; false when the file system or the
// process's rights do not allow it.
bool SetImmutable(const std::filesystem::path& path, bool on) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return done;
}

TEST(Shutdown, AReadOnlySettingsFileLosesNothingAndReportsNothing) {
  ScratchDir dir;
  // A first run writes the track files, so that the second one has nothing to write but the settings.
  RunSim({"--dir", dir.str(), "--seed", "1", "--until", "100"});
  const std::filesystem::path ini = dir.path() / "zumbolo.ini";
  const std::string before = "[num]\r\nritu=50\r\n[date]\r\n12/8/26=4\r\n";
  WriteText(ini, before);

  // Read-only even for the superuser: the immutable attribute on the file and on its folder.
  struct Restore {
    std::filesystem::path dir, ini;
    bool flags = false;
    ~Restore() {
      if (flags) {
        SetImmutable(ini, false);
        SetImmutable(dir, false);
      } else {
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
        std::filesystem::permissions(ini, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
      }
    }
  } restore{dir.path(), ini};
  restore.flags = SetImmutable(ini, true) && SetImmutable(dir.path(), true);
  if (!restore.flags) {
    SetImmutable(ini, false);
    if (geteuid() == 0) GTEST_SKIP() << "no immutable attribute here, and the superuser ignores permissions";
    std::filesystem::permissions(ini, std::filesystem::perms::owner_read);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  }

  const Lines log = RunSim({"--dir", dir.str(), "--seed", "1", "--clock", "2026-12-08T10:00:00", "--until", "3000",
                            "--at", "1000:N511", "--at", "1100:aup"});
  EXPECT_FALSE(AnyStartsWith(WithoutTimes(log), "error"));
  EXPECT_EQ(log.back(), "3000 message 今回の当たりは0回\\n今日の当たりは4回でした");
  EXPECT_EQ(ReadText(ini), before);
}

// ---------------------------------------------------------------------------------------------
// A settings file that cannot be read, or saved

TEST(UnreadableSettings, TheUserIsToldOnceAtStartAndTheFileIsNeverWritten) {
  const std::string mine = "[num]\r\nritu=5\r\n[date]\r\n12/8/26=40\r\n";
  const std::vector<std::string> run = {"--seed", "1", "--clock", "2026-12-08T10:00:00", "--until", "3000",
                                        "--at", "1000:N511", "--at", "1100:aup"};
  // What the user must learn at start-up: which file, told in the program's language.
  const auto expect_told_once = [](const Lines& log, const std::filesystem::path& ini) {
    const Lines errors = ErrorLines(log);
    ASSERT_EQ(errors.size(), 1u) << ::testing::PrintToString(errors);
    EXPECT_EQ(TimeOf(errors[0]), 0);
    EXPECT_NE(errors[0].find(ini.string()), std::string::npos) << errors[0];
    EXPECT_TRUE(InJapanese(WhatOf(errors[0]).substr(6), {ini.string()})) << errors[0];
    // The program runs on as without a settings file (the clock at its first 451 ms), and closes
    // as ever.
    EXPECT_TRUE(Contains(log, "451 beat 1 0"));
    EXPECT_EQ(log.back(), "3000 message 今回の当たりは0回\\n今日の当たりは0回でした");
  };

  {  // No permission to read it.
    ScratchDir dir;
    const std::filesystem::path ini = dir.path() / "zumbolo.ini";
    WriteText(ini, mine);
    Lines log;
    {
      testing::ModeFor no_rights(ini, std::filesystem::perms::none);
      testing::OwnRightsOnly as_its_owner;
      log = RunSim(ArgsWith(dir, nullptr, run));
    }
    SCOPED_TRACE("no permission");
    expect_told_once(log, ini);
    EXPECT_EQ(ReadText(ini), mine);
  }
  {  // A FIFO, which start-up must not wait on, nor replace.
    ScratchDir dir;
    const std::filesystem::path ini = dir.path() / "zumbolo.ini";
    ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0);
    testing::FifoWatchdog watchdog(ini, std::chrono::seconds(2));
    const Lines log = RunSim(ArgsWith(dir, nullptr, run));
    watchdog.Dismiss();
    SCOPED_TRACE("FIFO");
    EXPECT_FALSE(watchdog.Bit()) << "start-up waited for a writer";
    expect_told_once(log, ini);
    EXPECT_TRUE(std::filesystem::is_fifo(ini));
  }
  {  // A folder.
    ScratchDir dir;
    const std::filesystem::path ini = dir.path() / "zumbolo.ini";
    std::filesystem::create_directory(ini);
    WriteText(ini / "inside.txt", "still here");
    const Lines log = RunSim(ArgsWith(dir, nullptr, run));
    SCOPED_TRACE("folder");
    expect_told_once(log, ini);
    EXPECT_TRUE(std::filesystem::is_directory(ini));
    EXPECT_EQ(ReadText(ini / "inside.txt"), "still here");
  }
}

TEST(Shutdown, ASaveThatFailsIsToldWithTheFileBeforeTheTally) {
  ScratchDir dir;
  StartOnce(dir);  // the track files, so that only the settings remain to be written
  const std::filesystem::path ini = dir.path() / "zumbolo.ini";
  const std::string before = "[num]\r\nritu=50\r\n";
  WriteText(ini, before);
  Lines log;
  {
    // The file may be written, but its folder takes no new file.
    using std::filesystem::perms;
    testing::ModeFor closed_folder(dir.path(), perms::owner_read | perms::owner_exec);
    testing::OwnRightsOnly as_its_owner;
    log = RunSim(ArgsWith(dir, nullptr, {"--seed", "1", "--until", "3000", "--at", "1000:N511"}));
  }
  const Lines errors = ErrorLines(log);
  ASSERT_EQ(errors.size(), 1u) << ::testing::PrintToString(errors);
  EXPECT_EQ(TimeOf(errors[0]), 3000);
  EXPECT_NE(errors[0].find(ini.string()), std::string::npos) << errors[0];
  EXPECT_TRUE(InJapanese(WhatOf(errors[0]).substr(6), {ini.string()})) << errors[0];
  EXPECT_EQ(log.back(), "3000 message 今回の当たりは0回\\n今日の当たりは0回でした");
  EXPECT_EQ(ReadText(ini), before);
}

TEST(StartupFolders, AFolderThatCannotBeMadeIsToldAndTheFiguresSpinOn) {
  ScratchDir dir;
  WriteText(dir.path() / "plain file", "in the way");
  const std::filesystem::path folder = dir.path() / "plain file" / "zumbolo";
  Lines log;
  try {
    log = RunSim({"--dir", folder.string(), "--seed", "1", "--until", "5000"});
  } catch (const std::exception& error) {
    FAIL() << "the run ended with: " << error.what();
  }
  const Lines errors = ErrorLines(log);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(TimeOf(errors[0]), 0);
  EXPECT_NE(errors[0].find(folder.string()), std::string::npos) << errors[0];
  for (const std::string& error : errors) {
    EXPECT_TRUE(InJapanese(WhatOf(error).substr(6), {folder.string(), (folder / "zumbolo.ini").string()})) << error;
  }
  // Told once at start-up, and once more at the close when the settings cannot be saved there.
  EXPECT_LE(errors.size(), 2u) << ::testing::PrintToString(errors);
  EXPECT_TRUE(Contains(log, "451 beat 1 0"));
  EXPECT_TRUE(Contains(log, "3608 beat 8 1"));
  EXPECT_EQ(log.back(), "5000 message 今回の当たりは0回\\n今日の当たりは0回でした");
}

}  // namespace
}  // namespace zumbolo
