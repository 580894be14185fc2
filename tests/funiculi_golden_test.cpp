// Golden-log tests of the Funiculì show (mode 3, "fun.res"): the hit and the 23-beat lead-in in
// each sound choice (beat 9 empty, Form2 shown on lead-in beat 11), then the show expanded beat by
// beat from tables written in the shape of the show's own script: the first pass from beat 12 to
// 115, the single loop-back to 84, the second pass with its variant of beats 98 to 105, the
// closing beats 116 to 127, the quiet beats after them, the beat intervals (810, 451, 449, 450,
// 451 ms), the beats that leave the window alone, and the end of the show when the track ends,
// with the restart three seconds later.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <ostream>
#include <set>
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
const SongTrack kTrack = {10, "fun.res"};

const LeadInRow kSubSteps[] = {
    // sub-steps  figures    window   sound                               interval
    {"0",         "–",       "top H", "hit sound loaded",                 "–"},
    {"2",         "overlay", "–",     "hit sound played or music halted", "–"},
    {"5",         "–",       "–",     "song loaded",                      "–"},
    {"6",         "–",       "–",     "–",                                "810"},
    {"8",         "1",       "–",     "–",                                "451"},
    {"9",         "–",       "–",     "song started",                     "–"},
    {"10, 11",    "0, 1",    "S, H",  "–",                                "–"},
    {"14, 15",    "0, 1",    "S, H",  "–",                                "–"},
    {"18",        "0",       "S",     "–",                                "–"},  // LeadInDone
};
constexpr int kLastSubStep = 18;

struct AfterLoopBeat {
  int beat;
  const char* figures;
  const char* window;
  const char* also;
};

const AfterLoopBeat kAfterLoop[] = {
    // beat  figures  window  also
    {8,      "1",     "H",    ""},            // the closing call: BeatCount stays 8
    {9,      "–",     "–",    ""},            // nothing
    {10,     "–",     "–",    ""},            // FirstPass set, nothing drawn
    {11,     "0",     "S",    "form2 show"},  // dsShow from the next beat on
};

// ---------------------------------------------------------------------------------------------
// The show (dsShow = 3). The i-th value of each column belongs to the i-th beat of the row; a row
// with a condition applies only while FirstPass is set or clear.

const ShowRow kShowScript[] = {
    // beats    condition          poses                                             window
    {12, 12,   "",                "1",                                              "H"},
    {13, 28,   "",                "0, 5, 2, 6, 1, 5, 2, 6, 1, 6, 9, 5, 0, 5, 11, 6", "–, –, –, –, –, –, –, –, –, –, –, –, –, –, –, –"},
    {29, 30,   "",                "2, 1",                                           "S, H"},
    {31, 39,   "",                "0, 5, 2, 6, 1, 5, 2, 6, 1",                      "–, –, –, –, –, –, –, –, –"},
    {40, 47,   "",                "5, 11, 8, 0, 6, 9, 3, 2",                        "S, H, S, H, S, H, S, H"},
    {48, 48,   "",                "1",                                              "H"},
    {49, 56,   "",                "0, 5, 0, 5, 0, 2, 0, 2",                         "–, –, –, –, –, –, –, –"},
    {57, 58,   "",                "0, 6",                                           "S, H"},
    {59, 64,   "",                "2, 6, 2, 0, 2, 0",                               "–, –, –, –, –, –"},
    {65, 66,   "",                "2, 1",                                           "S, H"},
    {67, 74,   "",                "0, 5, 0, 5, 0, 2, 0, 2",                         "–, –, –, –, –, –, –, –"},
    {75, 76,   "",                "0, 6",                                           "S, H"},
    {77, 79,   "",                "2, 6, 2",                                        "–, –, –"},
    {80, 83,   "",                "3, 6, 8, 0",                                     "LM, H, RM, H"},
    {84, 91,   "",                "1, 0, 1, 2, 1, 0, 1, 2",                         "LMU, LF, LMU, H, RMU, RF, RMU, H"},
    {92, 97,   "",                "4, 3, 8, 7, 1, 2",                               "U, H, U, H, U, H"},
    {98, 105,  "FirstPass set",   "3, 5, 6, 2, 6, 8, 3, 0",                         "LM, LF, LM, H, RM, RF, RM, H"},
    {98, 105,  "FirstPass clear", "6, 9, 3, 2, 5, 11, 8, 0",                        "U, H, U, H, U, H, U, H"},
    {106, 113, "",                "1, 2, 5/1/6, 3/1/8, 1, 2, 5/1/6, 3/1/8",         "U, H, U, H, U, H, U, H"},
    {114, 114, "",                "2",                                              "–"},
    {115, 115, "FirstPass set",   "0",                                              "–"},  // loop-back
    {115, 115, "FirstPass clear", "0",                                              "U"},
    {116, 116, "",                "1",                                              "–"},  // top := HomeTop
    {117, 118, "",                "0, 1",                                           "–, –"},
    {119, 120, "",                "–, –",                                           "–, –"},
    {121, 122, "",                "0, 1",                                           "S, H"},
    {123, 124, "",                "–, –",                                           "–, –"},
    {125, 126, "",                "0, 1",                                           "S, H"},
    {127, 127, "",                "0",                                              "–"},
};

// The passes of the show.
struct Pass {
  int number;
  bool first_pass;
  int first_beat, last_beat;
};

const Pass kPasses[] = {
    // pass  FirstPass  beats
    {1,      true,      12, 115},  // beat 115 goes back to 84
    {2,      false,     84, 127},
};

// The "also" column, after the poses and the move.
Lines AlsoLines(int beat, const Pass& pass) {
  switch (beat) {
    case 12:
      return {"foreground"};
    case 47:
      return {"interval 449"};  // TempoSlow − 2
    case 115:  // the loop-back: BeatCount − 32, FirstPass cleared, TempoSlow − 1
      return pass.first_pass ? Lines{"interval 450"} : Lines{};
    case 116:
      return {"top H"};
    case 126:
      return {"interval 451"};  // TempoSlow
    default:
      return {};
  }
}

// ---------------------------------------------------------------------------------------------
// Expanding the tables into beats

std::vector<Beat> LeadInBeats(Sound sound, const Stage& stage, const ForcedHit& hit) {
  std::vector<Beat> beats = SubStepBeats(kSubSteps, kLastSubStep, true, kTrack, sound, stage, hit);
  for (const AfterLoopBeat& row : kAfterLoop) {
    Beat beat{row.beat, 2, {}, false, false, 0};
    if (auto line = FigureLine(row.figures)) beat.lines.push_back(*line);
    if (auto line = WindowLine(row.window, stage)) beat.lines.push_back(*line);
    if (*row.also) beat.lines.push_back(row.also);
    beats.push_back(beat);
  }
  return beats;
}

// The row of the script for a beat in a pass.
std::pair<std::string, std::string> ScriptEntry(int number, const Pass& pass) {
  return ScriptRowEntry(kShowScript, number,
                        [&pass](const std::string& when) { return (when == "FirstPass set") == pass.first_pass; });
}

std::vector<Beat> ShowBeats(const Stage& stage) {
  std::vector<Beat> beats;
  for (const Pass& pass : kPasses) {
    for (int number = pass.first_beat; number <= pass.last_beat; ++number) {
      const auto [poses, window] = ScriptEntry(number, pass);
      Beat beat{number, 3, {}, false, false, pass.number};
      if (auto line = FigureLine(poses)) beat.lines.push_back(*line);
      if (auto line = WindowLine(window, stage)) beat.lines.push_back(*line);
      for (const auto& also : AlsoLines(number, pass)) {
        if (auto line = also == "top H" ? WindowLine(also, stage) : also) beat.lines.push_back(*line);
      }
      beats.push_back(beat);
    }
  }
  return beats;
}

// ---------------------------------------------------------------------------------------------
// The expected log from the hit on beat 7 to beat 1 of the spin cycle after the show

constexpr double kFunTrackMs = 73247.346;  // the real track, from its frames

// A case of this song: its real track unless a test says otherwise.
struct Case : SongCase {
  Case() { track_ms = kFunTrackMs; }
};

Expected ExpectedRun(const Case& c) {
  std::vector<Beat> beats = LeadInBeats(c.sound, c.stage, c.hit);
  for (const Beat& beat : ShowBeats(c.stage)) beats.push_back(beat);
  return ExpectedSongRun(c, beats);
}

// ---------------------------------------------------------------------------------------------
// Running the simulator

SongRunner& Runner() {
  static SongRunner runner(3);
  return runner;
}

// The seed of the usual runs: a hit on pose 4 with all three figures alike.
std::uint32_t PlainSeed() { return SeedOfHit([](const ForcedHit& h) { return h.pose == 4 && !h.odd_third; }); }

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

// The show's beats (state 3), numbered by pass: a pass begins at beat 12, or at 84 right after a
// beat 115.
std::vector<ShowBeat> ShowBeatsOf(const Lines& log) { return PassBeatsOf(log, 115, 84); }

std::vector<int> Range(int from, int to) {
  std::vector<int> r;
  for (int n = from; n <= to; ++n) r.push_back(n);
  return r;
}

// ---------------------------------------------------------------------------------------------
// The tables themselves

TEST(FuniculiTables, LeadInLasts23BeatsAndThePassesDance104Then44) {
  const Expected expected = ExpectedRun(PlainCase(Sound::kEffects));
  const auto& beats = expected.beats;
  const auto first_show = std::find_if(beats.begin(), beats.end(), [](const Beat& b) { return b.state == 3; });
  EXPECT_EQ(first_show - beats.begin(), 23);
  EXPECT_EQ(first_show->number, 12);  // the 24th beat after the hit beat
  std::map<int, int> per_pass;
  for (const Beat& beat : beats)
    if (beat.pass) ++per_pass[beat.pass];
  EXPECT_EQ(per_pass, (std::map<int, int>{{1, 104}, {2, 44}}));
  // With the real track the closing beats are over before the music is.
  EXPECT_EQ(beats.back().pass, 0);
  EXPECT_GT(beats.back().number, 127);
}

// ---------------------------------------------------------------------------------------------
// The lead-in in each sound choice

struct SoundCase {
  const char* name;
  Sound sound;
  // The sub-steps that cue sound, as the log shows them after "beat 8 2".
  Lines sub_step_0, sub_step_2, sub_step_5;
};

void PrintTo(const SoundCase& c, std::ostream* os) { *os << c.name; }

class FuniculiLeadIn : public ::testing::TestWithParam<SoundCase> {};

TEST_P(FuniculiLeadIn, HitThenTwentyThreeLeadInBeatsWithTheirCuesIntervalsAndHops) {
  const SoundCase& p = GetParam();
  const Case c = PlainCase(p.sound);
  const Observed o = RunCase(c, PlainSeed());
  const auto show_begins = std::find_if(o.expected.log.begin(), o.expected.log.end(),
                                        [](const std::string& l) { return WhatOf(l) == "beat 12 3"; });
  ASSERT_NE(show_begins, o.expected.log.end());
  const Lines expected_lead_in(o.expected.log.begin(), show_begins);
  ExpectSameLog(expected_lead_in, During(o.seen, kHitMs, TimeOf(*show_begins) - 1));

  // The beats spelled out: sub-steps 0 to 18 on beat 8, the closing call, then 9, 10 and 11.
  const auto beats = BeatsOf(o.seen);
  ASSERT_GE(beats.size(), 25u);
  EXPECT_EQ(beats[1].lines, p.sub_step_0);
  EXPECT_EQ(beats[3].lines, p.sub_step_2);
  EXPECT_EQ(beats[6].lines, p.sub_step_5);
  EXPECT_EQ(beats[7].lines, (Lines{"interval 810"}));
  EXPECT_EQ(beats[9].lines, (Lines{"pose 1", "interval 451"}));
  EXPECT_EQ(beats[10].lines, (Lines{"dance 0", "player play"}));
  EXPECT_EQ(beats[11].lines, (Lines{"pose 0", "moveto 1030 646"}));
  EXPECT_EQ(beats[12].lines, (Lines{"pose 1", "moveto 1030 652"}));
  EXPECT_EQ(beats[19].lines, (Lines{"pose 0", "moveto 1030 646"}));
  EXPECT_EQ(beats[20].lines, (Lines{"pose 1", "moveto 1030 652"}));  // the closing call
  for (int i = 1; i <= 20; ++i) EXPECT_EQ(beats[i].number, 8) << i;
  EXPECT_EQ(beats[21].number, 9);
  EXPECT_TRUE(beats[21].lines.empty());
  EXPECT_EQ(beats[22].number, 10);
  EXPECT_TRUE(beats[22].lines.empty());
  EXPECT_EQ(beats[23].number, 11);
  EXPECT_EQ(beats[23].lines, (Lines{"pose 0", "moveto 1030 646", "form2 show"}));
  EXPECT_EQ(beats[24].number, 12);
  EXPECT_EQ(beats[24].state, 3);
  EXPECT_EQ(beats[24].lines, (Lines{"pose 1", "moveto 1030 652", "foreground"}));
}

const Lines kLoadFun = {"dance 10", "player stop", "player empty", "player render fun.res", "player seek 0"};

INSTANTIATE_TEST_SUITE_P(
    FuniculiSound, FuniculiLeadIn,
    ::testing::Values(
        SoundCase{"Effects", Sound::kEffects,
                  {"top 652", "dance 2", "player stop", "player empty", "player render eye.res", "player seek 0"},
                  {"overlay", "dance 0", "player play"},
                  kLoadFun},
        SoundCase{"Bgm", Sound::kBgm, {"top 652"}, {"overlay", "dance 9", "player stop", "player empty"}, kLoadFun},
        SoundCase{"None", Sound::kNone, {"top 652"}, {"overlay"}, kLoadFun}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FuniculiLeadInOdd, OddThirdIsRedrawnOnTheFirstLeadInBeatBeforeSubStep0) {
  for (const std::uint32_t seed : {SeedOfHit([](const ForcedHit& h) { return h.odd_third && h.pose == 1; }),
                                   SeedOfHit([](const ForcedHit& h) { return h.odd_third && h.pose == 7; })}) {
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

TEST(FuniculiLeadInOdd, HitSoundEndingInTheLeadInIsIgnored) {
  // A 500 ms hit sound ends before fun.res is loaded: code 110 comes in dsLeadIn and does
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

class FuniculiShow : public ::testing::TestWithParam<Sound> {};

TEST_P(FuniculiShow, TwoPassesAndClosingBeatsBeatByBeatThenTrackEndAndRestartThreeSecondsLater) {
  const Observed o = RunCase(PlainCase(GetParam()), PlainSeed());
  ExpectSameLog(o.expected.log, o.seen);
}

INSTANTIATE_TEST_SUITE_P(FuniculiSound, FuniculiShow, ::testing::Values(Sound::kEffects, Sound::kBgm, Sound::kNone),
                         [](const auto& info) { return std::string(NameOf(info.param)); });

TEST(FuniculiShowMini, MiniModeMovesToTheHalvedPositionsInLeadInAndShow) {
  Case c = PlainCase(Sound::kEffects);
  c.stage.mini = true;
  const Observed o = RunCase(c, PlainSeed(), {}, {"/m", "/v"});
  ExpectSameLog(o.expected.log, o.seen);
  // Spot checks against the mini values: S 649 in the lead-in, LMU (1022, 646) and LF 1014 on
  // beats 84 and 85, RM 1038 on beat 82.
  const auto beats = BeatsOf(o.seen);
  ASSERT_GT(beats.size(), 12u);
  EXPECT_EQ(beats[11].lines, (Lines{"pose 0", "moveto 1030 649"}));
  const auto show = ShowBeatsOf(o.seen);
  ASSERT_GT(show.size(), 74u);
  EXPECT_EQ(show[70].beat.lines, (Lines{"pose 8", "moveto 1038 652"}));
  EXPECT_EQ(show[72].beat.lines, (Lines{"pose 1", "moveto 1022 646"}));
  EXPECT_EQ(show[73].beat.lines, (Lines{"pose 0", "moveto 1014 652"}));
}

// ---------------------------------------------------------------------------------------------
// The beat interval

TEST(FuniculiIntervals, IntervalIs810Then451Then449Then450Then451) {
  const Observed o = RunCase(PlainCase(Sound::kEffects), PlainSeed());
  // Every interval set from the hit to the end of the show, with the beat (and dance state) it
  // was set on: sub-step 6 and sub-step 8 of the lead-in, beat 47, the loop-back on 115, beat 126.
  Lines seen;
  for (const LoggedBeat& b : BeatsOf(During(o.seen, kHitMs, o.expected.show_ended_ms)))
    for (const auto& line : b.lines)
      if (line.rfind("interval ", 0) == 0)
        seen.push_back(std::to_string(b.number) + "/" + std::to_string(b.state) + " " + line.substr(9));
  EXPECT_EQ(seen, (Lines{"8/2 810", "8/2 451", "47/3 449", "115/3 450", "126/3 451"}));
  // 47 is danced only in the first pass: the second pass keeps 450 until 126.
}

TEST(FuniculiIntervals, EveryBeatComesOneIntervalInForceAfterThePrevious) {
  for (const Sound sound : {Sound::kEffects, Sound::kBgm}) {
    const Observed o = RunCase(PlainCase(sound), PlainSeed());
    const auto beats = BeatsOf(o.seen);
    ASSERT_GT(beats.size(), 170u);
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
// The passes, the loop-back and the closing beats

TEST(FuniculiPasses, Form2IsShownOnLeadInBeat11AndBeat12OnlyBringsTheWindowToTheFront) {
  const Observed o = RunCase(PlainCase(Sound::kEffects), PlainSeed());
  int form2 = 0, foreground = 0;
  for (const LoggedBeat& b : BeatsOf(o.seen)) {
    const auto shows = std::count(b.lines.begin(), b.lines.end(), "form2 show");
    const auto fronts = std::count(b.lines.begin(), b.lines.end(), "foreground");
    if (shows) {
      EXPECT_TRUE(b.number == 11 && b.state == 2) << "form2 shown on beat " << b.number;
    }
    if (fronts) {
      EXPECT_TRUE(b.number == 12 && b.state == 3) << "foreground on beat " << b.number;
    }
    form2 += static_cast<int>(shows);
    foreground += static_cast<int>(fronts);
  }
  EXPECT_EQ(form2, 1);
  EXPECT_EQ(foreground, 1);
}

TEST(FuniculiPasses, LoopBackHappensOnceAt115AndTheSecondArrivalHopsToUThenTopGoesHome) {
  const Observed o = RunCase(PlainCase(Sound::kEffects), PlainSeed());
  const auto show = ShowBeatsOf(o.seen);
  std::map<int, std::vector<int>> numbers;
  std::map<std::pair<int, int>, Lines> lines;  // (pass, beat) → lines
  for (const ShowBeat& b : show) {
    numbers[b.pass].push_back(b.beat.number);
    lines[{b.pass, b.beat.number}] = b.beat.lines;
  }
  ASSERT_EQ(numbers.size(), 2u);
  EXPECT_EQ(numbers[1], Range(12, 115));
  const std::vector<int>& second = numbers[2];
  ASSERT_GT(second.size(), 44u);
  EXPECT_EQ(std::vector<int>(second.begin(), second.begin() + 44), Range(84, 127));
  EXPECT_EQ(std::vector<int>(second.begin() + 44, second.end()),
            Range(128, 127 + static_cast<int>(second.size()) - 44));  // quiet beats

  EXPECT_EQ((lines[{1, 115}]), (Lines{"pose 0", "interval 450"}));
  EXPECT_EQ((lines[{2, 115}]), (Lines{"pose 0", "moveto 1030 640"}));
  EXPECT_EQ((lines[{2, 116}]), (Lines{"pose 1", "top 652"}));
  // Beats 98 to 105: the far slides the first time, the hops the second.
  EXPECT_EQ((lines[{1, 99}]), (Lines{"pose 5", "moveto 998 652"}));
  EXPECT_EQ((lines[{2, 99}]), (Lines{"pose 9", "moveto 1030 652"}));
  EXPECT_EQ((lines[{1, 103}]), (Lines{"pose 8", "moveto 1062 652"}));
  EXPECT_EQ((lines[{2, 103}]), (Lines{"pose 11", "moveto 1030 652"}));
}

TEST(FuniculiPasses, WindowlessBeatsLeaveTheWindowAloneAndFourClosingBeatsDoNothing) {
  const Observed o = RunCase(PlainCase(Sound::kEffects), PlainSeed());
  std::set<int> windowless;
  for (const auto& [from, to] : std::vector<std::pair<int, int>>{
           {13, 28}, {31, 39}, {49, 56}, {59, 64}, {67, 74}, {77, 79}, {114, 114}, {117, 118}, {127, 127}})
    for (int n = from; n <= to; ++n) windowless.insert(n);
  const std::set<int> idle = {119, 120, 123, 124};
  int checked = 0;
  for (const ShowBeat& b : ShowBeatsOf(o.seen)) {
    const auto& lines = b.beat.lines;
    const int n = b.beat.number;
    if (windowless.count(n)) {
      EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), IsMove)) << "beat " << n << " pass " << b.pass;
      EXPECT_EQ(std::count_if(lines.begin(), lines.end(), IsDrawing), 1) << "beat " << n << " pass " << b.pass;
      ++checked;
    }
    if (idle.count(n)) {
      EXPECT_TRUE(lines.empty()) << "beat " << n;
      ++checked;
    }
  }
  // Pass 1 has 51 windowless beats from 13 to 114; pass 2 only 114, 117, 118, 127 and the four
  // idle closing beats.
  EXPECT_EQ(checked, 51 + 4 + 4);
}

TEST(FuniculiPasses, ClosingBeats116To127ThenLaterBeatsOnlyCountUntilTheTrackEnds) {
  // A track 20 s longer than the real one: the figures stay in pose 0 at H through 40-odd quiet
  // beats at 451 ms.
  Case c = PlainCase(Sound::kEffects);
  c.track_ms = kFunTrackMs + 20000;
  const Observed o = RunCase(c, PlainSeed(), {{"fun.res", "93247.346"}});
  ExpectSameLog(o.expected.log, o.seen);

  const auto show = ShowBeatsOf(o.seen);
  std::vector<std::string> closing;
  for (const ShowBeat& b : show) {
    if (b.pass != 2 || b.beat.number < 116) continue;
    std::string row = std::to_string(b.beat.number) + ":";
    for (const auto& line : b.beat.lines) row += " " + line + ";";
    closing.push_back(row);
  }
  ASSERT_GT(closing.size(), 12u + 40u);
  const Lines kClosing = {
      "116: pose 1; top 652;",
      "117: pose 0;",
      "118: pose 1;",
      "119:",
      "120:",
      "121: pose 0; moveto 1030 646;",
      "122: pose 1; moveto 1030 652;",
      "123:",
      "124:",
      "125: pose 0; moveto 1030 646;",
      "126: pose 1; moveto 1030 652; interval 451;",
      "127: pose 0;",
  };
  EXPECT_EQ(Lines(closing.begin(), closing.begin() + 12), kClosing);
  for (std::size_t i = 12; i < closing.size(); ++i)
    EXPECT_EQ(closing[i], std::to_string(116 + i) + ":");

  // After beat 127 nothing but beat lines, every 451 ms, until the end of the show.
  const auto last = std::find_if(show.begin(), show.end(), [](const ShowBeat& b) { return b.beat.number == 127; });
  ASSERT_NE(last, show.end());
  const auto after = During(o.seen, last->beat.ms + 1, o.expected.show_ended_ms - 1);
  long long previous_ms = last->beat.ms;
  for (std::size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(WhatOf(after[i]), "beat " + std::to_string(128 + i) + " 3");
    EXPECT_EQ(TimeOf(after[i]) - previous_ms, 451);
    previous_ms = TimeOf(after[i]);
  }
  EXPECT_GT(after.size(), 40u);
}

// ---------------------------------------------------------------------------------------------
// The end of the show

TEST(FuniculiEnd, TrackEndingMidShowEndsItThereAndTimer1RestartsTheSpinThreeSecondsLater) {
  // A 30 s track ends in the first pass.
  for (const Sound sound : {Sound::kEffects, Sound::kBgm, Sound::kNone}) {
    SCOPED_TRACE(NameOf(sound));
    Case c = PlainCase(sound);
    c.track_ms = 30000.5;
    const Observed o = RunCase(c, PlainSeed(), {{"fun.res", "30000.5"}});
    ExpectSameLog(o.expected.log, o.seen);
    EXPECT_EQ(o.expected.beats.back().pass, 1);

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
