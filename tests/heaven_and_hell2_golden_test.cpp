// Golden-log tests of the Heaven and Hell ver. 2 show (mode 1, track "bgm.res"): the hit, the
// 44-beat lead-in in each sound choice, the show script over beats 11 to 185 danced in four passes
// with their entry and exit beats, expanded beat by beat from tables written in the script's own
// notation, the beat interval over the whole show, the fixed hops D and U18 in mini mode, the
// figures standing still after beat 185, and the end of the show when the track ends, with the
// restart three seconds later.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/heaven_show.h"

namespace zumbolo {
namespace {

using namespace testing;
using namespace testing::heaven;

// ---------------------------------------------------------------------------------------------
// The lead-in. Beat 8 runs the sub-steps 0..39, one a beat; the actions of the sound choice
// follow those that every choice has.

const SubStepRow kSubSteps[] = {
    // sub-steps                          every choice              効果音あり         ＢＧＭ             なし
    {"0",                                 "top := HomeTop",         "dcLoadHitSound", "",                ""},
    {"2",                                 "overlay",                "dcPlay",         "dcHaltMusic",     ""},
    {"5",                                 "dcLoadHeavenTrack",      "",               "",                ""},
    {"6",                                 "interval 706",           "",               "",                ""},
    {"8",                                 "pose 0",                 "",               "",                ""},
    {"9",                                 "dcPlay",                 "interval 349",   "interval 351",    "interval 351"},
    {"11, 13, 14, 21, 22",                "pose 1, 0, 1, 0, 1",     "",               "",                ""},
    {"28, 29, 32, 33, 35, 36, 37, 38",    "pose 2, 1, 0, 1, 2, 1, 0, 1", "",          "",                ""},
    {"39",                                "pose 2",                 "",               "",                ""},  // LeadInDone
};
constexpr int kSubStepCount = 40;

// After the loop (LeadInDone): the closing call of beat 8, then beats 9 to 11.
const std::pair<int, const char*> kAfterLoop[] = {
    {8, "pose 1"},
    {9, "pose 0"},
    {10, "pose 1"},                        // RepeatPending set
    {11, "pose 2; move H; interval 353"},  // DanceState := dsShow
};

// ---------------------------------------------------------------------------------------------
// The show script, beats 11 to 185. A number p is ShowPose(p), a/b/c is ShowPoses with x for a
// blank figure, – is nothing; the window codes are MoveWindowTo. The i-th value of a column
// belongs to the i-th beat of the row.

constexpr int kLastScriptBeat = 185;

struct ShowRow {
  const char* beats;
  const char* poses;
  const char* window;
};

const ShowRow kShowScript[] = {
    // beats      poses                                                               window
    {"11",      "x/x/x",                                                              "–"},
    {"12–19",   "3, 1, 6, 1, 3, 1, 6, 1",                                             "LM, H, RM, H, LM, H, RM, H"},
    {"20–27",   "5, 11, 8, 0, 5, 1, 6, 1",                                            "U, H, U, H, D, H, D, H"},
    {"28–35",   "3, 1, 6, 1, 3, 1, 6, 1",                                             "LM, H, RM, H, LM, H, RM, H"},
    {"36–43",   "5, 11, 8, 0, 5, 1, 6, 1",                                            "U, H, U, H, D, H, D, H"},
    {"44–51",   "3, 5, 6, 2, 6, 1, 5, 1",                                             "LM, LF, LM, H, D, H, D, H"},
    {"52–54",   "6, 8, 3",                                                            "RM, RF, RM"},
    {"55–62",   "0, 5, 1, 6, 1, 3, 1, 8",                                             "H, D, H, D, H, D, H, D"},
    {"63–67",   "1, 5, 1, 6, 1",                                                      "H, D, H, D, H"},
    {"68–76",   "6, 1, 3, 1, 0, 1, 2, 1, 2",                                          "RMD, RM, D, H, D, U, H, U, H"},
    {"77–81",   "x/0/x, x/3/x, 1/4/x, 2/6/x, 0/7/0",                                  "U, H, U, H, U"},
    {"82–87",   "2, 1, 3, 4, 8, 1",                                                   "H, U, H, U, L, U18"},
    {"88–99",   "0, 5, 2, 6, 0, 5, 2, 6, 0, 5, 2, 6",                                 "D, U, D, U, D, U, D, U, D, U, D, U"},
    {"100–103", "0, 5, 11, 8",                                                        "H, U, H, U"},
    {"104–115", "0, 5, 2, 6, 0, 5, 2, 6, 0, 5, 2, 6",                                 "D, U, D, U, D, U, D, U, D, U, D, U"},
    {"116–119", "8/0/3, 1/1/1, 3/2/8, 1",                                             "D, H, D, U"},
    {"120–127", "3, 1, 8, 1, 5, 11, 6, 2",                                            "LM, H, RM, H, H, U, H, U"},
    {"128–135", "3, 1, 8, 1, 5, 11, 6, 2",                                            "LM, H, RM, H, H, U, H, U"},
    {"136–143", "3, 1, 8, 1, 3, 1, 8, 1",                                             "LMD, H, RMD, H, LMD, H, RMD, H"},
    {"144–151", "5, 11, 6, 2, 5, 11, 6, 1",                                           "H, U, H, U, H, U, H, U"},
    {"152–159", "2, 1, 0, 1, 2, 1, 0, 1",                                             "H, LMU, LF, LMU, H, RMU, RF, RMU"},
    {"160–167", "5/2/2, 11/1/1, 6/5/0, 2/11/1, 0/6/5, 1/2/11, 6/6/6, 1/1/1",          "H, LMU, LM, U, H, U, H, U"},
    {"168–175", "0, 1, 2, 1, 5/0/6, 3/1/8, 5/2/6, 1",                                 "H, U, H, U, H, U, H, U"},
    {"176–183", "2, 1, 5/1/6, 3/0/8, 2, 1, 5/1/6, 1",                                 "H, U, H, U, H, U, H, U"},
    {"184–185", "–, 0",                                                               "H, D"},
};

// What a beat does after its poses and its move. RC is RepeatCount.
const AlsoRow kAlso[] = {
    {11,  "",          "interval 353"},  // TempoFast
    {12,  "",          "show Form2; SetForegroundWindow"},
    {43,  "RC 0",      "interval 357"},  // TempoFast + 4
    {52,  "RC 0",      "interval 353"},  // TempoFast
    {75,  "",          "interval 350"},  // TempoFast − 3
    {88,  "RC 3",      "interval 349"},  // TempoFast − 4
    {88,  "RC not 3",  "interval 353"},  // TempoFast
    {103, "RC 0 or 1", "interval 355"},  // TempoFast + 2
    {103, "RC 3",      "interval 352"},  // TempoFast − 1
    {115, "RC 3",      "interval 349"},  // TempoFast − 4
    {136, "",          "interval 351"},  // TempoFast − 2
    {183, "",          "interval 368"},  // TempoFast + 15
};

// The jumps, after a beat's poses, move and actions: BeatCount changes by `by`.
struct JumpRow {
  int beat;
  const char* when;
  int by;
};

const JumpRow kJumps[] = {
    {54,  "RC 2",      +33},   // next beat 88
    {115, "RC 3",      +4},    // next beat 120
    {119, "RC 0 or 2", -32},   // next beat 88
    {119, "RC 1",      -109},  // next beat 11
};
// Beat 119 also counts RepeatCount up, in every case, after its jump.

// The lines of one beat of the script, for the given RepeatCount.
std::vector<std::string> ScriptLines(int beat, int repeat_count, const Stage& stage) {
  return ScriptBeatLines(kShowScript, kAlso, beat, repeat_count, stage,
                         [](const ShowRow&, int) { return true; });
}

// The show as the routine walks through the script: from beat 12 with RepeatCount 0, taking the
// jumps, up to beat 185; the beats after it do nothing.
std::vector<ShowBeat> ShowBeats(const Stage& stage) {
  std::vector<ShowBeat> out;
  int beat_count = 11;
  int repeat_count = 0;
  while (out.size() < 1000) {
    ++beat_count;
    const int beat = beat_count;
    out.push_back({{beat, 3, ScriptLines(beat, repeat_count, stage)}, repeat_count});
    if (beat == kLastScriptBeat) return out;
    for (const JumpRow& jump : kJumps)
      if (jump.beat == beat && Holds(jump.when, repeat_count)) beat_count += jump.by;
    if (beat == 119) ++repeat_count;
  }
  throw std::logic_error("the show does not end");
}

// ---------------------------------------------------------------------------------------------
// The expected log and the runs

// From the hit on beat 7 to beat 1 of the spin cycle after the show.
std::vector<std::string> ExpectedLog(const ShowRun& run) {
  std::vector<ExpectedBeat> beats = LeadInBeats(kSubSteps, kSubStepCount, kAfterLoop, run.sound, run.stage, run.hit);
  for (const ShowBeat& beat : ShowBeats(run.stage)) beats.push_back(beat.beat);
  return ExpectedShowLog(run, beats);
}

// Runs in "天国と地獄 ver.2" (mode 1).
using Heaven2Run = ShowRunner;

Heaven2Run& Runner() {
  static Heaven2Run runner(1);
  return runner;
}

// The beats of the show script (DanceState dsShow, beats up to 185), cut into runs of
// consecutive beat numbers.
std::vector<std::vector<LoggedBeat>> Runs(const std::vector<LoggedBeat>& beats) {
  return testing::heaven::Runs(beats, kLastScriptBeat);
}

// ---------------------------------------------------------------------------------------------
// The lead-in

TEST(HeavenAndHell2LeadIn, SubStepsAndBeats9To11BeatByBeatInEachSoundChoice) {
  const std::uint32_t seed = SeedOfHit(4, false);
  for (const Sound sound : {Sound::kEffects, Sound::kBgm, Sound::kNone}) {
    SCOPED_TRACE(Name(sound));
    const ShowRun run{sound, kNormal, ModelForcedHit(seed), kBgmTrackMs};
    const auto expected = ExpectedLog(run);
    // Up to and with lead-in beat 11: the hit, 40 sub-steps, the closing call, beats 9 to 11.
    const auto beat12 = std::find_if(expected.begin(), expected.end(),
                                     [](const std::string& l) { return WhatOf(l) == "beat 12 3"; });
    ASSERT_NE(beat12, expected.end());
    const long long beat11_ms = TimeOf(*(beat12 - 1));
    const auto seen = During(Runner().Run(seed, sound, false, 25000), kHitMs, beat11_ms);
    ExpectSameLog(std::vector<std::string>(expected.begin(), beat12), seen);
    // Beat 11 brings the window home, ends the lead-in and sets the show's tempo.
    EXPECT_EQ(At(seen, beat11_ms),
              (std::vector<std::string>{"beat 11 2", "pose 2", "moveto 1030 652", "interval 353"}));
  }
}

TEST(HeavenAndHell2LeadIn, TakesFortyFourBeatsAtTheTempiItSets) {
  // Sub-steps 0 to 6 at 405 ms (sub-step 6 sets 706), sub-steps 7 to 9 at 706 (sub-step 9 sets
  // 349, or 351 without sound effects), then 34 beats at that tempo up to beat 11, which sets
  // 353; beat 12 is the 45th beat after the hit.
  for (const auto& [sound, fast] : {std::pair{Sound::kEffects, 349}, {Sound::kBgm, 351}, {Sound::kNone, 351}}) {
    SCOPED_TRACE(Name(sound));
    const auto beats = Beats(During(Runner().Run(1, sound, false, 25000), kHitMs, 25000));
    ASSERT_GE(beats.size(), 46u);
    EXPECT_EQ(beats[0].ms, kHitMs);
    EXPECT_EQ(beats[0].number, 7);
    for (int i = 1; i <= 41; ++i) EXPECT_EQ(beats[i].number, 8) << i;
    EXPECT_EQ(beats[42].number, 9);
    EXPECT_EQ(beats[43].number, 10);
    EXPECT_EQ(beats[44].number, 11);
    EXPECT_EQ(beats[45].number, 12);
    EXPECT_EQ(beats[45].state, 3);
    EXPECT_EQ(beats[7].ms, kHitMs + 7 * 405);                        // sub-step 6
    EXPECT_EQ(beats[10].ms, kHitMs + 7 * 405 + 3 * 706);             // sub-step 9
    EXPECT_EQ(beats[44].ms, kHitMs + 7 * 405 + 3 * 706 + 34 * fast);  // beat 11
    EXPECT_EQ(beats[45].ms, beats[44].ms + 353);                     // beat 12
  }
}

TEST(HeavenAndHell2LeadIn, TrackIsLoadedOnSubStep5AndStartedOnSubStep9InEverySoundChoice) {
  for (const Sound sound : {Sound::kEffects, Sound::kBgm, Sound::kNone}) {
    SCOPED_TRACE(Name(sound));
    const auto log = Runner().Run(1, sound, false, 25000);
    const long long sub_step5 = kHitMs + 6 * 405;
    const long long sub_step9 = kHitMs + 7 * 405 + 3 * 706;
    EXPECT_EQ(At(log, sub_step5),
              (std::vector<std::string>{"beat 8 2", "dance 4", "player stop", "player empty",
                                        "player render bgm.res", "player seek 0"}));
    EXPECT_EQ(At(log, sub_step9),
              (std::vector<std::string>{"beat 8 2", "dance 0", "player play",
                                        sound == Sound::kEffects ? "interval 349" : "interval 351"}));
    // Nothing else is rendered or played between the hit and the show but the jingle (sound
    // effects only: loaded on sub-step 0, played on sub-step 2).
    std::vector<std::string> renders_and_plays;
    for (const std::string& line : During(log, kHitMs, 25000))
      if (WhatOf(line).rfind("player render", 0) == 0 || WhatOf(line) == "player play")
        renders_and_plays.push_back(line);
    std::vector<std::string> expected;
    if (sound == Sound::kEffects)
      expected = {At(kHitMs + 405, "player render eye.res"), At(kHitMs + 3 * 405, "player play")};
    expected.push_back(At(sub_step5, "player render bgm.res"));
    expected.push_back(At(sub_step9, "player play"));
    EXPECT_EQ(renders_and_plays, expected);
  }
}

TEST(HeavenAndHell2LeadIn, OddThirdFigureFallsIntoLineOnTheFirstLeadInBeat) {
  for (const std::uint32_t seed : {SeedOfHit(1, true), SeedOfHit(7, true)}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const ForcedHit hit = ModelForcedHit(seed);
    ASSERT_TRUE(hit.odd_third);
    const auto log = Runner().Run(seed, Sound::kNone, false, 25000);
    EXPECT_EQ(At(log, kHitMs).back(),
              "poses " + std::to_string(hit.pose) + " " + std::to_string(hit.pose) + " " + (hit.pose == 1 ? "5" : "1"));
    EXPECT_EQ(At(log, kHitMs + 405),
              (std::vector<std::string>{"beat 8 2", "figure 3 " + std::to_string(hit.pose), "top 652"}));
    const ShowRun run{Sound::kNone, kNormal, hit, kBgmTrackMs};
    ExpectSameLog(ExpectedLog(run), Runner().Show(seed, run));
  }
}

// ---------------------------------------------------------------------------------------------
// The whole show

TEST(HeavenAndHell2Golden, WholeShowBeatByBeatInEachSoundChoiceUntilSpinningAgain) {
  const std::uint32_t seed = SeedOfHit(7, false);
  for (const Sound sound : {Sound::kEffects, Sound::kBgm, Sound::kNone}) {
    SCOPED_TRACE(Name(sound));
    const ShowRun run{sound, kNormal, ModelForcedHit(seed), kBgmTrackMs};
    ExpectSameLog(ExpectedLog(run), Runner().Show(seed, run));
  }
}

TEST(HeavenAndHell2Golden, MiniModeHalvesThePositionsButNotTheFixedHops) {
  const std::uint32_t seed = SeedOfHit(10, false);
  const ShowRun run{Sound::kEffects, kMini, ModelForcedHit(seed), kBgmTrackMs};
  const auto seen = Runner().Show(seed, run);
  ExpectSameLog(ExpectedLog(run), seen);
  // As figures: D 654 and U18 634 keep their size; L 649, LM 1022, RM 1038 and U 646 are halved.
  for (const char* move : {"moveto 1030 654", "moveto 1030 634", "moveto 1030 649", "moveto 1022 654",
                           "moveto 1038 654", "moveto 1030 646", "moveto 1014 652", "moveto 1046 652"})
    EXPECT_NE(std::find_if(seen.begin(), seen.end(),
                           [&](const std::string& l) { return WhatOf(l) == std::string(move); }),
              seen.end())
        << move;
}

TEST(HeavenAndHell2Golden, BeatTimesOfThePassesFollowTheIntervalsInForce) {
  // Worked out from the interval table with sound effects (349 ms after sub-step 9, so beat 11
  // of the lead-in at 19654 ms). The song starts at 7788 ms and lasts 122644.897 ms.
  const auto log = Runner().Run(SeedOfHit(1, false), Sound::kEffects, false, 134000);
  const auto runs = Runs(Beats(log));
  ASSERT_EQ(runs.size(), 6u);
  const std::vector<std::array<long long, 2>> first_and_last = {
      {20007, 57807},   // pass 1: 12 to 119
      {58162, 69137},   // pass 2: 88 to 119
      {69492, 84671},   // pass 3: 11 to 54
      {85024, 95967},   //         88 to 119
      {96320, 105779},  // pass 4: 88 to 115
      {106128, 128945}, //         120 to 185
  };
  for (std::size_t i = 0; i < runs.size(); ++i) {
    EXPECT_EQ(runs[i].front().ms, first_and_last[i][0]) << "run " << i;
    EXPECT_EQ(runs[i].back().ms, first_and_last[i][1]) << "run " << i;
  }
  EXPECT_NE(std::find(log.begin(), log.end(), "130432 dance 110"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "133432 timer1 0"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "133837 beat 1 0"), log.end());
}

// The four passes as the show table gives them, with their lengths in beats.
struct PassRow {
  int repeat_count;
  const char* beats;
  int length;
};

const PassRow kPasses[] = {
    // RC  beats danced                   beats
    {0, "12 to 119",                    108},
    {1, "88 to 119",                    32},
    {2, "11 to 54, then 88 to 119",     76},
    {3, "88 to 115, then 120 to 185",   94},
};

// The runs of the log grouped into passes: a pass ends where beat 119 jumps back.
std::vector<std::vector<std::vector<LoggedBeat>>> Passes(const std::vector<std::vector<LoggedBeat>>& runs) {
  std::vector<std::vector<std::vector<LoggedBeat>>> passes(1);
  for (const auto& run : runs) {
    passes.back().push_back(run);
    if (run.back().number == 119) passes.emplace_back();
  }
  if (passes.back().empty()) passes.pop_back();
  return passes;
}

TEST(HeavenAndHell2Passes, EachPassEntersAndLeavesWhereTheShowTableSays) {
  const auto passes = Passes(Runs(Beats(Runner().Run(1, Sound::kEffects, false, 134000))));
  ASSERT_EQ(passes.size(), 4u);
  int total = 0;
  for (std::size_t pass = 0; pass < 4; ++pass) {
    std::string danced;
    int length = 0;
    for (const auto& run : passes[pass]) {
      danced += (danced.empty() ? "" : ", then ") + std::to_string(run.front().number) + " to " +
                std::to_string(run.back().number);
      length += static_cast<int>(run.size());
    }
    EXPECT_EQ(danced, kPasses[pass].beats) << "pass " << pass + 1;
    EXPECT_EQ(length, kPasses[pass].length) << "pass " << pass + 1;
    total += length;
  }
  EXPECT_EQ(total, 310);
}

TEST(HeavenAndHell2Passes, WhichBeatsEachPassDancesAndThePassThreeRestart) {
  const auto passes = Passes(Runs(Beats(Runner().Run(1, Sound::kEffects, false, 134000))));
  ASSERT_EQ(passes.size(), 4u);
  auto danced_in = [&](int number) {
    std::string in;
    for (std::size_t pass = 0; pass < 4; ++pass)
      for (const auto& run : passes[pass])
        for (const LoggedBeat& beat : run)
          if (beat.number == number) in += std::to_string(pass + 1);
    return in;
  };
  // Beats 55 to 87 in pass 1 only; 116 to 119 in passes 1 to 3; 120 to 185 in pass 4 only.
  for (int number = 55; number <= 87; ++number) EXPECT_EQ(danced_in(number), "1") << number;
  for (int number = 116; number <= 119; ++number) EXPECT_EQ(danced_in(number), "123") << number;
  for (int number = 120; number <= 185; ++number) EXPECT_EQ(danced_in(number), "4") << number;
  EXPECT_EQ(danced_in(11), "3");
  EXPECT_EQ(danced_in(12), "13");
  EXPECT_EQ(danced_in(54), "13");
  EXPECT_EQ(danced_in(88), "1234");
  // Pass 3 begins on beat 11 with all figures blank, and shows Form2 again on beat 12.
  const auto& pass3 = passes[2].front();
  EXPECT_EQ(pass3[0].lines, (std::vector<std::string>{"poses -1 -1 -1", "interval 353"}));
  EXPECT_EQ(pass3[1].lines, (std::vector<std::string>{"pose 3", "moveto 1014 652", "form2 show", "foreground"}));
}

// The interval over the show, as the interval table writes it: the value set on a beat in each
// pass, – for none.
struct IntervalRow {
  const char* set_on;
  std::array<const char*, 4> passes;
};

const IntervalRow kIntervals[] = {
    // set on             pass 1  pass 2  pass 3  pass 4
    {"lead-in beat 11",   {"353", "–",   "–",   "–"}},
    {"beat 11",           {"–",   "–",   "353", "–"}},
    {"beat 43",           {"357", "–",   "–",   "–"}},
    {"beat 52",           {"353", "–",   "–",   "–"}},
    {"beat 75",           {"350", "–",   "–",   "–"}},
    {"beat 88",           {"353", "353", "353", "349"}},
    {"beat 103",          {"355", "355", "–",   "352"}},
    {"beat 115",          {"–",   "–",   "–",   "349"}},
    {"beat 136",          {"–",   "–",   "–",   "351"}},
    {"beat 183",          {"–",   "–",   "–",   "368"}},
};

TEST(HeavenAndHell2Intervals, IntervalsSetOverTheShowMatchTheTablePerPass) {
  for (const auto& [sound, fast] : {std::pair{Sound::kEffects, 349}, {Sound::kBgm, 351}}) {
    SCOPED_TRACE(Name(sound));
    const auto beats = Beats(During(Runner().Run(1, sound, false, 134000), kHitMs, 134000));
    auto intervals_of = [](const LoggedBeat& beat, const std::string& prefix, std::vector<std::string>& out) {
      for (const std::string& line : beat.lines)
        if (line.rfind("interval ", 0) == 0) out.push_back(prefix + std::to_string(beat.number) + ": " + line.substr(9));
    };
    // The lead-in: sub-step 6, sub-step 9, beat 11.
    std::vector<std::string> lead_in;
    for (const LoggedBeat& beat : beats)
      if (beat.state == 2) intervals_of(beat, "", lead_in);
    EXPECT_EQ(lead_in, (std::vector<std::string>{"8: 706", "8: " + std::to_string(fast),
                                                 std::string("11: ") + kIntervals[0].passes[0]}));
    // The show, pass by pass.
    const auto passes = Passes(Runs(beats));
    ASSERT_EQ(passes.size(), 4u);
    for (std::size_t pass = 0; pass < 4; ++pass) {
      std::vector<std::string> seen;
      for (const auto& run : passes[pass])
        for (const LoggedBeat& beat : run) intervals_of(beat, "beat ", seen);
      std::vector<std::string> expected;
      for (const IntervalRow& row : kIntervals)
        if (std::string(row.set_on).rfind("beat ", 0) == 0 && row.passes[pass] != kDash)
          expected.push_back(std::string(row.set_on) + ": " + row.passes[pass]);
      EXPECT_EQ(seen, expected) << "pass " << pass + 1;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The end

TEST(HeavenAndHell2End, AfterBeat185TheFiguresStayInPose0AtDUntilTheTrackEnds) {
  const double track_ms = 150000;
  const auto log = Runner().Run(1, Sound::kEffects, false, 165000, {"bgm.res=150000"});
  const auto beats = Beats(During(log, kHitMs, 165000));
  const auto last = std::find_if(beats.begin(), beats.end(),
                                 [](const LoggedBeat& b) { return b.state == 3 && b.number == 185; });
  ASSERT_NE(last, beats.end());
  EXPECT_EQ(last->lines, (std::vector<std::string>{"pose 0", "moveto 1030 654"}));
  int idle = 0;
  for (auto beat = last + 1; beat != beats.end() && beat->state == 3; ++beat) {
    ++idle;
    EXPECT_EQ(beat->number, 185 + idle);
    EXPECT_EQ(beat->ms, (beat - 1)->ms + 368);
    EXPECT_TRUE(beat->lines.empty()) << "beat " << beat->number << ": " << beat->lines.front();
  }
  const double end = Heaven2Run::StartOfSong() + track_ms;  // 157788
  EXPECT_EQ(idle, static_cast<int>((end - static_cast<double>(last->ms)) / 368));
  // Nothing at all between the last beat and the end of the track.
  const auto between = During(log, last->ms + 368LL * idle + 1, static_cast<long long>(end) - 1);
  EXPECT_TRUE(between.empty()) << between.front();
  const auto at_end = At(log, static_cast<long long>(end));
  ASSERT_FALSE(at_end.empty());
  EXPECT_EQ(at_end.front(), "dance 110");
}

TEST(HeavenAndHell2End, TrackEndingInPassThreeEndsTheShowThere) {
  const std::uint32_t seed = SeedOfHit(1, false);
  for (const Sound sound : {Sound::kEffects, Sound::kNone}) {
    SCOPED_TRACE(Name(sound));
    const ShowRun run{sound, kNormal, ModelForcedHit(seed), 70000};
    ExpectSameLog(ExpectedLog(run), Runner().Show(seed, run, {"bgm.res=70000"}));
  }
}

}  // namespace
}  // namespace zumbolo
