// Golden-log tests of the William Tell show (mode 2, "tell.res"): the hit and the 50-beat lead-in
// in each sound choice, then the six passes of the show expanded beat by beat from tables written
// in the shape of the show's own script, the beat interval pass by pass, the coda of the sixth
// pass (beats 13 to 79 with their variants, then beat 92 with nothing but pose 2), the quiet beats
// after it, and the end of the show when the track ends, with the restart three seconds later.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/script_show.h"

namespace zumbolo {
namespace {

using namespace testing;
using namespace testing::script;

// ---------------------------------------------------------------------------------------------
// The lead-in (dsLeadIn = 2). The hit has drawn the hit pose with the window at HomeTop − 3.
// Every call with beat 8 first redraws figure 3 if it was out of line; then, until LeadInDone,
// one sub-step a call (sub-steps not listed do nothing); then one closing call.

// The song's track, loaded on sub-step 5.
const SongTrack kTrack = {5, "tell.res"};

const LeadInRow kSubSteps[] = {
    // sub-steps                                figures                          window   sound                               interval
    {"0",                                       "–",                             "top H", "hit sound loaded",                 "–"},
    {"2",                                       "overlay",                       "–",     "hit sound played or music halted", "–"},
    {"5",                                       "–",                             "–",     "song loaded",                      "–"},
    {"6",                                       "–",                             "–",     "–",                                "810"},
    {"8",                                       "0",                             "–",     "–",                                "–"},
    {"9",                                       "–",                             "–",     "song started",                     "401 | 403"},
    {"11, 13, 14, 21, 22, 25, 26, 29, 30",      "1, 0, 1, 0, 1, 0, 1, 0, 1",     "–",     "–",                                "–"},
    {"33, 34, 37, 38, 39, 40, 41, 42, 43, 44",  "2, 1, 0, 1, 2, 1, 0, 1, 2, 1",  "–",     "–",                                "–"},
    {"45",                                      "0",                             "–",     "–",                                "–"},  // LeadInDone
};
constexpr int kLastSubStep = 45;

struct AfterLoopBeat {
  int beat;
  const char* figures;
  const char* interval;
};

const AfterLoopBeat kAfterLoop[] = {
    // beat  figures  interval
    {8,      "5",     "–"},    // the closing call: BeatCount stays 8
    {9,      "9",     "–"},
    {10,     "6",     "–"},    // FinalPass cleared, FirstPass and RepeatPending set
    {11,     "1",     "406"},  // dsShow from the next beat on
};

// ---------------------------------------------------------------------------------------------
// The show (dsShow = 3). The i-th value of each column belongs to the i-th beat of the row; a row
// with a condition applies only while FinalPass is clear or set.

const ShowRow kShowScript[] = {
    // beats   condition          poses                                                      window
    {12, 19, "",                "3, 1, 8, 1, 3, 1, 8, 1",                                  "LM, H, RM, H, LM, H, RM, H"},
    {20, 27, "",                "5, 11, 8, 0, 6, 9, 3, 2",                                 "U, H, U, H, U, H, U, H"},
    {28, 35, "",                "5/1/6, 11/1/9, 5/1/6, 1/1/1, 5/1/6, 11/1/9, 5/1/6, 1/1/1", "U, H, U, H, U, H, U, H"},
    {36, 43, "",                "3, 1, 8, 0, 5, 11, 6, 2",                                 "LM, H, RM, H, U, H, U, H"},
    {44, 51, "",                "3, 5, 6, 1, 6, 8, 3, 1",                                  "LM, LF, LM, H, RM, RF, RM, H"},
    {52, 59, "",                "1, 0, 1, 2, 1, 0, 1, 2",                                  "U, H, U, H, U, H, U, H"},
    {60, 67, "",                "5/1/6, 3/1/8, 5/1/6, 1, 5/1/6, 3/1/8, 5/1/6, 1",          "U, H, U, H, U, H, U, H"},
    {68, 75, "FinalPass clear", "–, –, 1, 2, 1, 0, 1, 2",                                  "LMU, LF, LMU, H, RMU, RF, RMU, H"},
    {68, 75, "FinalPass set",   "0, 6, 9, 3, 2, 6, 9, 3",                                  "–, –, –, –, –, –, –, –"},
    {76, 76, "",                "1",                                                       "U"},
    {77, 79, "FinalPass clear", "x/0/x, x/3/x, 1/4/x",                                     "H, U, H"},
    {77, 79, "FinalPass set",   "–, –, –",                                                 "H, U, H"},
    {80, 84, "",                "2/6/x, 0/7/0, 1, 2, 1",                                   "U, H, U, H, U"},
    {85, 89, "",                "x/0/x, x/8/x, x/7/1, x/3/2, 0/4/0",                       "H, U, H, U, H"},
    {90, 91, "",                "1, 2",                                                    "U, H"},
};

// Beat 91 moves the window before it draws; every other beat draws first.
constexpr int kMovesBeforeDrawing = 91;

// The passes of the show: RepeatCount and the flags while the pass is danced.
struct Pass {
  int number;
  int repeat_count;
  bool first_pass;
  bool final_pass;
  int first_beat, last_beat;
};

const Pass kPasses[] = {
    // pass  RepeatCount  FirstPass  FinalPass  beats
    {1,      0,           true,      false,     12, 92},
    {2,      1,           false,     false,     13, 92},
    {3,      2,           false,     false,     13, 92},
    {4,      3,           false,     false,     13, 92},
    {5,      4,           false,     false,     13, 92},
    {6,      5,           false,     true,      13, 79},  // beat 79 goes on to 92: pose 2 and nothing else
};

// Beat 92 with RepeatPending set: RepeatCount + 1, then by the new count an interval (none for
// 2; FirstPass cleared on 1; RepeatPending cleared and FinalPass set on 5); then back to 13 next,
// with beat 12's pose 3 and move LM, without Form2.
const std::map<int, int> kLoopBackInterval = {{1, 406}, {3, 409}, {4, 408}, {5, 406}};

// The "also" column, after the poses and the move.
Lines AlsoLines(int beat, const Pass& pass) {
  const auto interval = [](int ms) { return Lines{"interval " + std::to_string(ms)}; };
  const int rc = pass.repeat_count;
  switch (beat) {
    case 12:
      return {"form2 show", "foreground"};
    case 36:
    case 60:
      return pass.final_pass ? interval(405 - 6) : Lines{};
    case 43:  // by RepeatCount: 3 → +1, 1 → +5, 4 → +1, any other → +4
      return interval(405 + (rc == 3 ? 1 : rc == 1 ? 5 : rc == 4 ? 1 : 4));
    case 75:
      return interval(pass.first_pass || rc == 3 ? 406 : 405);
    default:
      return {};
  }
}

// The interval table of the show, in ms (0 for –), by the beat that sets it and the pass.
struct IntervalRow {
  int beat;
  std::array<int, 6> by_pass;
};

const IntervalRow kIntervalTable[] = {
    // set on   pass 1  pass 2  pass 3  pass 4  pass 5  pass 6
    {36,      {0,      0,      0,      0,      0,      399}},
    {43,      {409,    410,    409,    406,    406,    409}},
    {60,      {0,      0,      0,      0,      0,      399}},
    {75,      {406,    405,    405,    406,    405,    405}},
    {92,      {406,    0,      409,    408,    406,    0}},
};

// ---------------------------------------------------------------------------------------------
// Expanding the tables into beats

std::vector<Beat> LeadInBeats(Sound sound, const Stage& stage, const ForcedHit& hit) {
  // The window column holds one entry for the whole row.
  std::vector<Beat> beats = SubStepBeats(kSubSteps, kLastSubStep, false, kTrack, sound, stage, hit);
  for (const AfterLoopBeat& row : kAfterLoop) {
    Beat beat{row.beat, 2, {}, false, false, 0};
    if (auto line = FigureLine(row.figures)) beat.lines.push_back(*line);
    if (auto line = IntervalLine(row.interval, sound)) beat.lines.push_back(*line);
    beats.push_back(beat);
  }
  return beats;
}

// The row of the script for a beat in a pass.
std::pair<std::string, std::string> ScriptEntry(int number, const Pass& pass) {
  return ScriptRowEntry(kShowScript, number,
                        [&pass](const std::string& when) { return (when == "FinalPass set") == pass.final_pass; });
}

std::vector<Beat> ShowBeats(const Stage& stage) {
  std::vector<Beat> beats;
  for (const Pass& pass : kPasses) {
    // Beats up to 91 from the script; beat 92 (the loop-back, or pose 2 after the coda) below.
    for (int number = pass.first_beat; number <= std::min(pass.last_beat, 91); ++number) {
      const auto [poses, window] = ScriptEntry(number, pass);
      Beat beat{number, 3, {}, false, false, pass.number};
      const auto figure_line = FigureLine(poses);
      const auto window_line = WindowLine(window, stage);
      if (number == kMovesBeforeDrawing) {
        if (window_line) beat.lines.push_back(*window_line);
        if (figure_line) beat.lines.push_back(*figure_line);
      } else {
        if (figure_line) beat.lines.push_back(*figure_line);
        if (window_line) beat.lines.push_back(*window_line);
      }
      for (const auto& line : AlsoLines(number, pass)) beat.lines.push_back(line);
      beats.push_back(beat);
    }
    Beat beat92{92, 3, {}, false, false, pass.number};
    if (pass.final_pass) {
      beat92.lines = {"pose 2"};
    } else {
      const auto interval = kLoopBackInterval.find(pass.repeat_count + 1);
      if (interval != kLoopBackInterval.end()) beat92.lines.push_back("interval " + std::to_string(interval->second));
      beat92.lines.push_back("pose 3");
      beat92.lines.push_back(stage.MoveTo("LM"));
    }
    beats.push_back(beat92);
  }
  return beats;
}

// ---------------------------------------------------------------------------------------------
// The expected log from the hit on beat 7 to beat 1 of the spin cycle after the show

constexpr double kTellTrackMs = 209528.163;  // the real track, from its frames

// A case of this song: its real track unless a test says otherwise.
struct Case : SongCase {
  Case() { track_ms = kTellTrackMs; }
};

Expected ExpectedRun(const Case& c) {
  std::vector<Beat> beats = LeadInBeats(c.sound, c.stage, c.hit);
  for (const Beat& beat : ShowBeats(c.stage)) beats.push_back(beat);
  return ExpectedSongRun(c, beats);
}

// ---------------------------------------------------------------------------------------------
// Running the simulator

SongRunner& Runner() {
  static SongRunner runner(2);
  return runner;
}

// The seed of the usual runs: a hit on pose 7 with all three figures alike.
std::uint32_t PlainSeed() { return SeedOfHit([](const ForcedHit& h) { return h.pose == 7 && !h.odd_third; }); }

Case PlainCase(Sound sound) {
  Case c;
  c.sound = sound;
  c.hit = ModelForcedHit(PlainSeed());
  return c;
}

Observed RunCase(const Case& c, std::uint32_t seed, const std::map<std::string, std::string>& tracks = {},
                 const std::vector<std::string>& program_args = {"/v"}) {
  return Runner().Observe(ExpectedRun(c), c, seed, tracks, program_args);
}

// The show's beats (state 3) up to the end of the show, numbered by pass: a pass begins at beat
// 12, or at 13 right after a beat 92.
std::vector<ShowBeat> ShowBeatsOf(const Lines& log) { return PassBeatsOf(log, 92, 13); }

// ---------------------------------------------------------------------------------------------
// The tables themselves

TEST(WilliamTellTables, LeadInLasts50BeatsAndThePassesDance81Then80FourTimesThen68) {
  const Expected expected = ExpectedRun(PlainCase(Sound::kEffects));
  const auto& beats = expected.beats;
  const auto first_show = std::find_if(beats.begin(), beats.end(), [](const Beat& b) { return b.state == 3; });
  EXPECT_EQ(first_show - beats.begin(), 50);
  EXPECT_EQ(first_show->number, 12);  // the 51st beat after the hit beat
  std::map<int, int> per_pass;
  for (const Beat& beat : beats)
    if (beat.pass) ++per_pass[beat.pass];
  EXPECT_EQ(per_pass, (std::map<int, int>{{1, 81}, {2, 80}, {3, 80}, {4, 80}, {5, 80}, {6, 68}}));
  // With the real track the last pass is over before the music is: quiet beats follow it.
  EXPECT_EQ(beats.back().pass, 0);
  EXPECT_GT(beats.back().number, 92);
}

// ---------------------------------------------------------------------------------------------
// The lead-in in each sound choice

struct SoundCase {
  const char* name;
  Sound sound;
  // The sub-steps that cue sound, as the log shows them after "beat 8 2".
  Lines sub_step_0, sub_step_2, sub_step_5, sub_step_9;
};

void PrintTo(const SoundCase& c, std::ostream* os) { *os << c.name; }

class WilliamTellLeadIn : public ::testing::TestWithParam<SoundCase> {};

TEST_P(WilliamTellLeadIn, HitThenFiftyLeadInBeatsWithTheirCuesIntervalsAndPoses) {
  const SoundCase& p = GetParam();
  const Case c = PlainCase(p.sound);
  const Observed o = RunCase(c, PlainSeed());
  const auto show_begins = std::find_if(o.expected.log.begin(), o.expected.log.end(),
                                        [](const std::string& l) { return WhatOf(l) == "beat 12 3"; });
  ASSERT_NE(show_begins, o.expected.log.end());
  const Lines expected_lead_in(o.expected.log.begin(), show_begins);
  const long long beat12_ms = TimeOf(*show_begins);
  ExpectSameLog(expected_lead_in, During(o.seen, kHitMs, beat12_ms - 1));

  // The beats that cue sound, spelled out.
  const auto beats = BeatsOf(o.seen);
  ASSERT_GE(beats.size(), 51u);
  EXPECT_EQ(beats[1].lines, p.sub_step_0);
  EXPECT_EQ(beats[3].lines, p.sub_step_2);
  EXPECT_EQ(beats[6].lines, p.sub_step_5);
  EXPECT_EQ(beats[10].lines, p.sub_step_9);
  // Beat 8 is danced 47 times, then 9, 10, 11; the show begins on the 51st beat after the hit.
  for (int i = 1; i <= 47; ++i) EXPECT_EQ(beats[i].number, 8) << i;
  EXPECT_EQ(beats[48].number, 9);
  EXPECT_EQ(beats[49].number, 10);
  EXPECT_EQ(beats[50].number, 11);
  EXPECT_EQ(beats[50].lines, (Lines{"pose 1", "interval 406"}));
  EXPECT_EQ(beats[51].number, 12);
  EXPECT_EQ(beats[51].state, 3);
}

const Lines kLoadTell = {"dance 5", "player stop", "player empty", "player render tell.res", "player seek 0"};

INSTANTIATE_TEST_SUITE_P(
    WilliamTellSound, WilliamTellLeadIn,
    ::testing::Values(
        SoundCase{"Effects", Sound::kEffects,
                  {"top 652", "dance 2", "player stop", "player empty", "player render eye.res", "player seek 0"},
                  {"overlay", "dance 0", "player play"},
                  kLoadTell,
                  {"dance 0", "player play", "interval 401"}},
        SoundCase{"Bgm", Sound::kBgm,
                  {"top 652"},
                  {"overlay", "dance 9", "player stop", "player empty"},
                  kLoadTell,
                  {"dance 0", "player play", "interval 403"}},
        SoundCase{"None", Sound::kNone,
                  {"top 652"},
                  {"overlay"},
                  kLoadTell,
                  {"dance 0", "player play", "interval 403"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WilliamTellLeadInOdd, OddThirdIsRedrawnOnTheFirstLeadInBeatBeforeSubStep0) {
  for (const std::uint32_t seed : {SeedOfHit([](const ForcedHit& h) { return h.odd_third && h.pose == 1; }),
                                   SeedOfHit([](const ForcedHit& h) { return h.odd_third && h.pose == 10; })}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Case c;
    c.hit = ModelForcedHit(seed);
    const Observed o = RunCase(c, seed);
    ExpectSameLog(o.expected.log, o.seen);
    const auto beats = BeatsOf(o.seen);
    ASSERT_GE(beats.size(), 2u);
    ASSERT_FALSE(beats[1].lines.empty());
    EXPECT_EQ(beats[1].lines.front(), "figure 3 " + std::to_string(c.hit.pose));
  }
}

TEST(WilliamTellLeadInOdd, HitSoundEndingInTheLeadInIsIgnored) {
  // A 500 ms hit sound ends before tell.res is loaded: code 110 comes in dsLeadIn and does
  // nothing, and the show goes on as usual.
  Case c = PlainCase(Sound::kEffects);
  c.jingle_ms = 500;
  const Observed o = RunCase(c, PlainSeed(), {{"eye.res", "500"}});
  ExpectSameLog(o.expected.log, o.seen);
  EXPECT_EQ(std::count_if(o.seen.begin(), o.seen.end(),
                          [](const std::string& l) { return WhatOf(l) == "dance 110"; }),
            2);
}

// ---------------------------------------------------------------------------------------------
// The whole show, beat by beat

class WilliamTellShow : public ::testing::TestWithParam<Sound> {};

TEST_P(WilliamTellShow, SixPassesBeatByBeatThenTrackEndAndRestartThreeSecondsLater) {
  const Case c = PlainCase(GetParam());
  const Observed o = RunCase(c, PlainSeed());
  ExpectSameLog(o.expected.log, o.seen);
}

INSTANTIATE_TEST_SUITE_P(WilliamTellSound, WilliamTellShow,
                         ::testing::Values(Sound::kEffects, Sound::kBgm, Sound::kNone),
                         [](const auto& info) { return std::string(NameOf(info.param)); });

TEST(WilliamTellShowMini, MiniModeMovesToTheHalvedPositionsThroughAllPasses) {
  Case c = PlainCase(Sound::kEffects);
  c.stage.mini = true;
  const Observed o = RunCase(c, PlainSeed(), {}, {"/m", "/v"});
  ExpectSameLog(o.expected.log, o.seen);
  // Spot checks against the mini values: LM 1022 on beat 12, LF 1014 and RF 1046 on 45 and 49,
  // U 646 on beat 20.
  const auto show = ShowBeatsOf(o.seen);
  ASSERT_GT(show.size(), 40u);
  EXPECT_EQ(show[0].beat.lines, (Lines{"pose 3", "moveto 1022 652", "form2 show", "foreground"}));
  EXPECT_EQ(show[8].beat.lines, (Lines{"pose 5", "moveto 1030 646"}));
  EXPECT_EQ(show[33].beat.lines, (Lines{"pose 5", "moveto 1014 652"}));
  EXPECT_EQ(show[37].beat.lines, (Lines{"pose 8", "moveto 1046 652"}));
}

// ---------------------------------------------------------------------------------------------
// The beat interval

TEST(WilliamTellIntervals, PerPassIntervalsOnBeats36_43_60_75And92MatchTheTable) {
  const Case c = PlainCase(Sound::kEffects);
  const Observed o = RunCase(c, PlainSeed());
  std::map<std::pair<int, int>, int> seen;  // (pass, beat) → interval set there
  for (const ShowBeat& b : ShowBeatsOf(o.seen))
    for (const auto& line : b.beat.lines)
      if (line.rfind("interval ", 0) == 0) {
        EXPECT_FALSE(seen.count({b.pass, b.beat.number})) << "two intervals on beat " << b.beat.number;
        seen[{b.pass, b.beat.number}] = std::stoi(line.substr(9));
      }
  std::map<std::pair<int, int>, int> table;
  for (const IntervalRow& row : kIntervalTable)
    for (int pass = 1; pass <= 6; ++pass)
      if (row.by_pass[pass - 1]) table[{pass, row.beat}] = row.by_pass[pass - 1];
  EXPECT_EQ(seen, table);

  // The lead-in's: 810 from sub-step 6, 401 from sub-step 9 (効果音あり), 406 from beat 11.
  Lines lead_in;
  for (const LoggedBeat& b : BeatsOf(o.seen))
    for (const auto& line : b.lines)
      if (b.state == 2 && line.rfind("interval ", 0) == 0) lead_in.push_back(line);
  EXPECT_EQ(lead_in, (Lines{"interval 810", "interval 401", "interval 406"}));
}

TEST(WilliamTellIntervals, EveryBeatComesOneIntervalInForceAfterThePrevious) {
  for (const Sound sound : {Sound::kEffects, Sound::kNone}) {
    const Observed o = RunCase(PlainCase(sound), PlainSeed());
    const auto beats = BeatsOf(o.seen);
    ASSERT_GT(beats.size(), 500u);
    int interval = 405;
    std::size_t checked = 0;
    for (std::size_t i = 0; i + 1 < beats.size(); ++i) {
      for (const auto& line : beats[i].lines)
        if (line.rfind("interval ", 0) == 0) interval = std::stoi(line.substr(9));
      if (beats[i + 1].ms > o.expected.show_ended_ms) break;  // the restart's beat 1
      EXPECT_EQ(beats[i + 1].ms - beats[i].ms, interval)
          << "beat " << beats[i + 1].number << " at " << beats[i + 1].ms;
      ++checked;
    }
    EXPECT_EQ(checked, o.expected.beats.size());
  }
}

// ---------------------------------------------------------------------------------------------
// The passes and the coda

TEST(WilliamTellCoda, Form2IsShownOnlyOnPass1Beat12AndBeat91MovesBeforeItDraws) {
  const Observed o = RunCase(PlainCase(Sound::kEffects), PlainSeed());
  const auto show = ShowBeatsOf(o.seen);
  int form2 = 0, beat12 = 0, beat91 = 0;
  for (const ShowBeat& b : show) {
    form2 += static_cast<int>(std::count(b.beat.lines.begin(), b.beat.lines.end(), "form2 show"));
    if (b.beat.number == 12) {
      ++beat12;
      EXPECT_EQ(b.pass, 1);
      EXPECT_EQ(b.beat.lines, (Lines{"pose 3", "moveto 1014 652", "form2 show", "foreground"}));
    }
    if (b.beat.number == 91) {
      ++beat91;
      EXPECT_EQ(b.beat.lines, (Lines{"moveto 1030 652", "pose 2"})) << "pass " << b.pass;
    }
  }
  EXPECT_EQ(form2, 1);
  EXPECT_EQ(beat12, 1);
  EXPECT_EQ(beat91, 5);  // pass 6 never reaches it
}

TEST(WilliamTellCoda, SixthPassDances13To79WithItsVariantsThenBeat92DrawsPose2AndNothingElse) {
  const Observed o = RunCase(PlainCase(Sound::kEffects), PlainSeed());
  const auto show = ShowBeatsOf(o.seen);

  // The beat numbers pass by pass.
  std::map<int, std::vector<int>> numbers;
  for (const ShowBeat& b : show) numbers[b.pass].push_back(b.beat.number);
  auto range = [](int from, int to) {
    std::vector<int> r;
    for (int n = from; n <= to; ++n) r.push_back(n);
    return r;
  };
  ASSERT_EQ(numbers.size(), 6u);
  EXPECT_EQ(numbers[1], range(12, 92));
  for (int pass = 2; pass <= 5; ++pass) EXPECT_EQ(numbers[pass], range(13, 92)) << "pass " << pass;
  std::vector<int> coda = range(13, 79);
  coda.push_back(92);
  const std::vector<int>& sixth = numbers[6];
  ASSERT_GT(sixth.size(), coda.size());
  EXPECT_EQ(std::vector<int>(sixth.begin(), sixth.begin() + static_cast<long>(coda.size())), coda);
  // Then only quiet beats 93, 94, ... until the track ends.
  for (std::size_t i = coda.size(); i < sixth.size(); ++i) EXPECT_EQ(sixth[i], 93 + static_cast<int>(i - coda.size()));

  for (const ShowBeat& b : show) {
    if (b.pass != 6) continue;
    const auto& lines = b.beat.lines;
    const int n = b.beat.number;
    if (n >= 68 && n <= 75) {  // poses only
      EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), IsMove)) << "beat " << n;
      EXPECT_EQ(std::count_if(lines.begin(), lines.end(), IsDrawing), 1) << "beat " << n;
    }
    if (n >= 77 && n <= 79) {  // moves only
      EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), IsDrawing)) << "beat " << n;
    }
    if (n == 79) {
      EXPECT_EQ(lines, (Lines{"moveto 1030 652"}));
    }
    if (n == 92) {
      EXPECT_EQ(lines, (Lines{"pose 2"}));
    }
    if (n > 92) {
      EXPECT_TRUE(lines.empty()) << "beat " << n;
    }
  }
}

TEST(WilliamTellCoda, BeatsAfterTheLastPassOnlyCountUntilTheTrackEnds) {
  // A track 30 s longer than the real one: the figures stay in pose 2 at H through 70-odd quiet
  // beats at 405 ms.
  Case c = PlainCase(Sound::kEffects);
  c.track_ms = kTellTrackMs + 30000;
  const Observed o = RunCase(c, PlainSeed(), {{"tell.res", "239528.163"}});
  ExpectSameLog(o.expected.log, o.seen);

  const auto show = ShowBeatsOf(o.seen);
  const auto last_92 = std::find_if(show.rbegin(), show.rend(), [](const ShowBeat& b) { return b.beat.number == 92; });
  ASSERT_NE(last_92, show.rend());
  const auto end = std::find_if(o.seen.begin(), o.seen.end(), [](const std::string& l) { return WhatOf(l) == "dance 110"; });
  ASSERT_NE(end, o.seen.end());
  // Everything from the last beat 92's drawing to the end of the show is a beat line.
  auto line = std::find(o.seen.begin(), o.seen.end(), std::to_string(last_92->beat.ms) + " pose 2");
  ASSERT_NE(line, o.seen.end());
  int quiet = 0;
  long long previous_ms = last_92->beat.ms;
  for (++line; line != end; ++line) {
    EXPECT_EQ(WhatOf(*line), "beat " + std::to_string(93 + quiet) + " 3");
    EXPECT_EQ(TimeOf(*line) - previous_ms, 405);
    previous_ms = TimeOf(*line);
    ++quiet;
  }
  EXPECT_GT(quiet, 70);
}

// ---------------------------------------------------------------------------------------------
// The end of the show

TEST(WilliamTellEnd, TrackEndingMidShowEndsItThereAndTimer1RestartsTheSpinThreeSecondsLater) {
  // A 60 s track ends in the second pass.
  for (const Sound sound : {Sound::kEffects, Sound::kBgm}) {
    SCOPED_TRACE(NameOf(sound));
    Case c = PlainCase(sound);
    c.track_ms = 60000;
    const Observed o = RunCase(c, PlainSeed(), {{"tell.res", "60000"}});
    ExpectSameLog(o.expected.log, o.seen);
    EXPECT_EQ(o.expected.beats.back().pass, 2);

    const long long end = o.expected.show_ended_ms;
    EXPECT_EQ(WithoutTimes(During(o.seen, end, end)),
              (Lines{"dance 110", "enabled 0", "form2 hide", "player stop", "form3 show", "pose 1", "top 652",
                     "left 1030", "interval 405", "timer1 1"}));
    Lines restart = {"form3 hide", "timer1 0", "enabled 0", "player stop", "player empty"};
    if (sound == Sound::kBgm)
      restart.insert(restart.end(), {"player render spring.res", "player seek 9840000", "caption 停止", "pose 1",
                                     "top 652", "left 1030", "player play", "interval 405", "enabled 1"});
    else
      restart.insert(restart.end(), {"player render kokab.res", "player stop", "player seek 100000",
                                     "caption 停止", "pose 1", "top 652", "left 1030", "interval 405",
                                     "enabled 1"});
    EXPECT_EQ(WithoutTimes(During(o.seen, end + 1, end + 3000)), restart);
    EXPECT_EQ(WithoutTimes(During(o.seen, end + 3001, end + 3405)), (Lines{"beat 1 0", "pose 2"}));
  }
}

}  // namespace
}  // namespace zumbolo
