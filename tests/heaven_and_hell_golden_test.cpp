// Golden-log tests of the Heaven and Hell show (mode 0, track "bgm.res"): the hit, the 44-beat
// lead-in in each sound choice, the show script danced in four passes with their variants,
// expanded beat by beat from tables written in the script's own notation, the beat interval over
// the whole show, the still figures after the last pass, and the end of the show when the track
// ends, with the restart three seconds later.

#include <gtest/gtest.h>

#include <algorithm>
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
    {"9",                                 "dcPlay",                 "interval 350",   "interval 352",    "interval 352"},
    {"11, 13, 14, 21, 22",                "pose 1, 0, 1, 0, 1",     "",               "",                ""},
    {"28, 29, 32, 33, 35, 36, 37, 38",    "pose 2, 1, 0, 1, 2, 1, 0, 1", "",          "",                ""},
    {"39",                                "pose 2",                 "",               "",                ""},  // LeadInDone
};
constexpr int kSubStepCount = 40;

// After the loop (LeadInDone): the closing call of beat 8, then beats 9 to 11.
const std::pair<int, const char*> kAfterLoop[] = {
    {8, "pose 1"},
    {9, "pose 0"},
    {10, "pose 1"},                // RepeatPending set
    {11, "pose 2; interval 353"},  // DanceState := dsShow
};

// ---------------------------------------------------------------------------------------------
// The show script (beats 12 to 91; beat 92 is the loop-back below). A number p is ShowPose(p),
// a/b/c is ShowPoses with x for a blank figure, – is nothing; the window codes are MoveWindowTo.
// The i-th value of a column belongs to the i-th beat of the row. RC is RepeatCount.

struct ShowRow {
  const char* beats;
  const char* when;
  const char* poses;
  const char* window;
};

const ShowRow kShowScript[] = {
    // beats    when          poses                                             window
    {"12–19", "",           "3, 1, 6, 1, 3, 1, 6, 1",                          "LM, H, RM, H, LM, H, RM, H"},
    {"20–27", "",           "5, 11, 8, 0, 6, 9, 3, 2",                         "U, H, U, H, U, H, U, H"},
    {"28–35", "",           "5/1/6, 11/2/9, 5/1/6, 0, 5/1/6, 11/2/9, 5/1/6, 1", "U, H, U, H, U, H, U, H"},
    {"36–43", "",           "3, 1, 6, 1, 3, 1, 6, 1",                          "LM, H, RM, H, LM, H, RM, H"},
    {"44–51", "",           "3, 5, 6, 2, 6, 8, 3, 0",                          "LM, LF, LM, H, RM, RF, RM, H"},
    {"52–59", "",           "1, 0, 1, 2, 1, 0, 1, 2",                          "U, H, U, H, U, H, U, H"},
    {"60–65", "RC 0",       "5/1/6, 3/1/8, 5/1/6, 1, 5/1/6, 3/1/8",            "U, H, U, H, U, H"},
    {"60–65", "RC not 0",   "4, 3, 8, 7, 1, 2",                                "U, H, U, H, U, H"},
    {"66–67", "",           "5/1/6, 1",                                        "U, H"},
    {"68–75", "",           "–, –, 1, 2, 1, 0, 1, 2",                          "LMU, LF, LMU, H, RMU, RF, RMU, H"},
    {"76–81", "",           "1, x/0/x, x/3/x, 1/4/x, 2/6/x, 0/7/0",            "U, H, U, H, U, H"},
    {"82",    "",           "1",                                               "–"},
    {"83",    "",           "2",                                               "–"},
    {"84",    "",           "1",                                               "U"},
    {"85–87", "RC 0 or 3",  "0, 1, 2",                                         "H, U, H"},
    {"85–87", "RC 1 or 2",  "x/0/x, x/8/x, x/7/1",                             "H, U, H"},
    {"88–89", "RC 3",       "1, 0",                                            "U, H"},
    {"88–89", "RC not 3",   "x/3/2, 0/4/0",                                    "U, H"},
    {"90",    "",           "1",                                               "U"},
    {"91",    "RC 3",       "1",                                               "H"},
    {"91",    "RC not 3",   "2",                                               "H"},
};

// What a beat does after its poses and its move.
const AlsoRow kAlso[] = {
    {12, "",     "show Form2; SetForegroundWindow"},
    {43, "RC 2", "interval 351"},  // TempoFast − 2
    {43, "RC 1", "interval 356"},  // TempoFast + 3
    {59, "RC 1", "interval 353"},  // TempoFast
    {67, "RC 3", "interval 351"},  // TempoFast − 2
    {82, "",     "top := PosTopHigh"},
    {83, "",     "top := HomeTop"},
    {83, "RC 3", "interval 356"},  // TempoFast + 3
};

// The lines of one beat of the script, for the given RepeatCount.
std::vector<std::string> ScriptLines(int beat, int repeat_count, const Stage& stage) {
  return ScriptBeatLines(kShowScript, kAlso, beat, repeat_count, stage,
                         [](const ShowRow& row, int rc) { return Holds(row.when, rc); });
}

// The show as the routine walks through the script: from beat 12 with RepeatCount 0 and
// RepeatPending set (lead-in beat 10). Beat 87 in pass 1 goes back to 12; beat 92 goes back to 17
// after pass 2, to 16 after pass 3, and after pass 4 only draws pose 2: the script is over.
std::vector<ShowBeat> ShowBeats(const Stage& stage) {
  std::vector<ShowBeat> out;
  int beat_count = 11;
  int repeat_count = 0;
  bool repeat_pending = true;
  while (out.size() < 1000) {
    ++beat_count;
    ShowBeat beat{{beat_count, 3, {}}, repeat_count};
    if (beat_count == 92) {
      if (!repeat_pending) {
        beat.beat.lines = {"pose 2"};
        out.push_back(beat);
        return out;
      }
      ++repeat_count;
      if (repeat_count == 3) {
        repeat_pending = false;
        beat_count -= 77;
        beat.beat.lines = {"pose 2"};
      } else {
        beat.beat.lines = {"pose 3", stage.MoveTo("LM")};
        beat_count -= 76;
      }
    } else {
      beat.beat.lines = ScriptLines(beat_count, repeat_count, stage);
      if (beat_count == 87 && repeat_count == 0) {
        repeat_count = 1;
        beat_count -= 76;
      }
    }
    out.push_back(beat);
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

// Runs in "天国と地獄" (mode 0).
using HeavenRun = ShowRunner;

HeavenRun& Runner() {
  static HeavenRun runner(0);
  return runner;
}

// The beats of the show (DanceState dsShow), cut into runs of consecutive beat numbers.
std::vector<std::vector<LoggedBeat>> Runs(const std::vector<LoggedBeat>& beats) {
  return testing::heaven::Runs(beats, std::numeric_limits<int>::max());
}

// ---------------------------------------------------------------------------------------------
// The lead-in

TEST(HeavenAndHellLeadIn, SubStepsAndBeats9To11BeatByBeatInEachSoundChoice) {
  const std::uint32_t seed = SeedOfHit(7, false);
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
  }
}

TEST(HeavenAndHellLeadIn, TakesFortyFourBeatsAtTheTempiItSets) {
  // The lead-in's own times: sub-steps 0 to 6 at 405 ms (sub-step 6 sets 706), sub-steps 7 to 9
  // at 706 (sub-step 9 sets 350, or 352 without sound effects), then 34 beats at that tempo up to
  // beat 11, which sets 353; beat 12 is the 45th beat after the hit.
  for (const auto& [sound, fast] : {std::pair{Sound::kEffects, 350}, {Sound::kBgm, 352}, {Sound::kNone, 352}}) {
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

TEST(HeavenAndHellLeadIn, TrackIsLoadedOnSubStep5AndStartedOnSubStep9InEverySoundChoice) {
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
                                        sound == Sound::kEffects ? "interval 350" : "interval 352"}));
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

TEST(HeavenAndHellLeadIn, OddThirdFigureFallsIntoLineOnTheFirstLeadInBeat) {
  for (const std::uint32_t seed : {SeedOfHit(1, true), SeedOfHit(10, true)}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const ForcedHit hit = ModelForcedHit(seed);
    ASSERT_TRUE(hit.odd_third);
    const auto log = Runner().Run(seed, Sound::kEffects, false, 25000);
    EXPECT_EQ(At(log, kHitMs).back(),
              "poses " + std::to_string(hit.pose) + " " + std::to_string(hit.pose) + " " + (hit.pose == 1 ? "5" : "1"));
    EXPECT_EQ(At(log, kHitMs + 405),
              (std::vector<std::string>{"beat 8 2", "figure 3 " + std::to_string(hit.pose), "top 652", "dance 2",
                                        "player stop", "player empty", "player render eye.res", "player seek 0"}));
    const ShowRun run{Sound::kEffects, kNormal, hit, kBgmTrackMs};
    ExpectSameLog(ExpectedLog(run), Runner().Show(seed, run));
  }
}

TEST(HeavenAndHellLeadIn, HitJingleEndingDuringTheLeadInIsIgnored) {
  // eye.res plays from sub-step 2; a jingle of half a second ends before sub-step 5 replaces it:
  // the end sends dcShowEnded, which does nothing outside the show.
  const std::uint32_t seed = SeedOfHit(4, false);
  const ShowRun run{Sound::kEffects, kNormal, ModelForcedHit(seed), kBgmTrackMs};
  auto expected = ExpectedLog(run);
  const long long jingle_end = kHitMs + 3 * 405 + 500;
  const auto after = std::find_if(expected.begin(), expected.end(),
                                  [&](const std::string& l) { return TimeOf(l) > jingle_end; });
  expected.insert(after, At(jingle_end, "dance 110"));
  ExpectSameLog(expected, Runner().Show(seed, run, {"eye.res=500"}));
}

// ---------------------------------------------------------------------------------------------
// The whole show

TEST(HeavenAndHellGolden, WholeShowBeatByBeatInEachSoundChoiceUntilSpinningAgain) {
  const std::uint32_t seed = SeedOfHit(10, false);
  for (const Sound sound : {Sound::kEffects, Sound::kBgm, Sound::kNone}) {
    SCOPED_TRACE(Name(sound));
    const ShowRun run{sound, kNormal, ModelForcedHit(seed), kBgmTrackMs};
    ExpectSameLog(ExpectedLog(run), Runner().Show(seed, run));
  }
}

TEST(HeavenAndHellGolden, MiniModeHalvesEveryMoveOfTheWholeShow) {
  const std::uint32_t seed = SeedOfHit(1, false);
  const ShowRun run{Sound::kEffects, kMini, ModelForcedHit(seed), kBgmTrackMs};
  const auto seen = Runner().Show(seed, run);
  ExpectSameLog(ExpectedLog(run), seen);
  // A few of the mini positions, as figures: LM 1022, RM 1038, LF 1014, RF 1046, U 646.
  for (const char* move : {"moveto 1022 652", "moveto 1038 652", "moveto 1014 652", "moveto 1046 652",
                                  "moveto 1030 646", "moveto 1022 646", "moveto 1038 646", "top 646"})
    EXPECT_NE(std::find_if(seen.begin(), seen.end(), [&](const std::string& l) { return WhatOf(l) == std::string(move); }),
              seen.end())
        << move;
}

TEST(HeavenAndHellGolden, BeatTimesOfThePassesFollowTheIntervalsInForce) {
  // Worked out from the interval table with sound effects: 353 ms from beat 11; pass 2 runs at
  // 356 from its beat 43 to its beat 59, then at 353; pass 3 at 351 from its beat 43; pass 4 at
  // 351 and from its beat 83 at 356. The song starts at 7788 ms and lasts 122644.897 ms.
  const auto log = Runner().Run(SeedOfHit(4, false), Sound::kEffects, false, 134000);
  const auto runs = Runs(Beats(log));
  ASSERT_GE(runs.size(), 4u);
  EXPECT_EQ(runs[0].front().ms, 20041);  // pass 1, beat 12
  EXPECT_EQ(runs[0].back().ms, 46516);   // pass 1, beat 87
  EXPECT_EQ(runs[1].front().ms, 46869);  // pass 2, beat 12
  EXPECT_EQ(runs[1][31].ms, 57812);      // pass 2, beat 43
  EXPECT_EQ(runs[1][47].ms, 63508);      // pass 2, beat 59
  EXPECT_EQ(runs[1].back().ms, 75157);   // pass 2, beat 92
  EXPECT_EQ(runs[2].front().ms, 75510);  // pass 3, beat 17
  EXPECT_EQ(runs[2][26].ms, 84688);      // pass 3, beat 43
  EXPECT_EQ(runs[2].back().ms, 101887);  // pass 3, beat 92
  EXPECT_EQ(runs[3].front().ms, 102238); // pass 4, beat 16
  EXPECT_EQ(runs[3][67].ms, 125755);     // pass 4, beat 83
  EXPECT_EQ(runs[3][76].ms, 128959);     // pass 4, beat 92
  const auto end = std::find(log.begin(), log.end(), "130432 dance 110");
  EXPECT_NE(end, log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "133432 timer1 0"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "133837 beat 1 0"), log.end());
}

// The four passes as the show table gives them, with the intervals each one sets.
struct PassRow {
  int repeat_count;
  const char* beats;
  const char* intervals;
};

const PassRow kPasses[] = {
    // RC  beats danced   intervals set (ms)
    {0, "12–87", "none"},
    {1, "12–92", "beat 43: 356; beat 59: 353"},
    {2, "17–92", "beat 43: 351"},
    {3, "16–92", "beat 67: 351; beat 83: 356"},
};

TEST(HeavenAndHellPasses, EachPassEntersAndLeavesWhereTheShowTableSays) {
  const auto log = Runner().Run(1, Sound::kEffects, false, 134000, {"bgm.res=150000"});
  const auto runs = Runs(Beats(log));
  // Four runs of consecutive beats; the beats after the script (93, 94, ...) go on from pass 4.
  ASSERT_EQ(runs.size(), 4u);
  for (std::size_t pass = 0; pass < 4; ++pass) {
    SCOPED_TRACE("pass " + std::to_string(pass + 1));
    const auto [first, last] = BeatRange(kPasses[pass].beats);
    EXPECT_EQ(runs[pass].front().number, first);
    const auto last_scripted = pass == 3 ? runs[pass].begin() + (last - first) : runs[pass].end() - 1;
    EXPECT_EQ(last_scripted->number, last);
  }
}

TEST(HeavenAndHellPasses, VariantsOfEachPassByRepeatCount) {
  const auto log = Runner().Run(1, Sound::kEffects, false, 134000);
  const auto runs = Runs(Beats(log));
  ASSERT_EQ(runs.size(), 4u);
  auto first_line = [&](std::size_t pass, int number) -> std::string {
    for (const LoggedBeat& beat : runs[pass])
      if (beat.number == number) return beat.lines.empty() ? "(nothing)" : beat.lines.front();
    return "(not danced)";
  };
  // Beat:                 60             65             85              87              88              89              91
  const std::vector<std::vector<std::string>> expected = {
      {"poses 5 1 6", "poses 3 1 8", "pose 0", "pose 2", "(not danced)", "(not danced)", "(not danced)"},
      {"pose 4", "pose 2", "poses -1 0 -1", "poses -1 7 1", "poses -1 3 2", "poses 0 4 0", "pose 2"},
      {"pose 4", "pose 2", "poses -1 0 -1", "poses -1 7 1", "poses -1 3 2", "poses 0 4 0", "pose 2"},
      {"pose 4", "pose 2", "pose 0", "pose 2", "pose 1", "pose 0", "pose 1"},
  };
  const std::vector<int> numbers = {60, 65, 85, 87, 88, 89, 91};
  for (std::size_t pass = 0; pass < 4; ++pass)
    for (std::size_t i = 0; i < numbers.size(); ++i)
      EXPECT_EQ(first_line(pass, numbers[i]), expected[pass][i]) << "pass " << pass + 1 << ", beat " << numbers[i];
  // Beat 12 of pass 2 shows Form2 again and brings the window to the front.
  EXPECT_EQ(runs[1].front().lines, (std::vector<std::string>{"pose 3", "moveto 1014 652", "form2 show", "foreground"}));
  // Beats 82 and 83 set only the top: the left stays where beat 81 put it.
  for (std::size_t pass = 0; pass < 4; ++pass) {
    for (const LoggedBeat& beat : runs[pass]) {
      if (beat.number == 81) {
        EXPECT_EQ(beat.lines.back(), "moveto 1030 652");
      } else if (beat.number == 82) {
        EXPECT_EQ(beat.lines, (std::vector<std::string>{"pose 1", "top 640"}));
      } else if (beat.number == 83) {
        EXPECT_EQ(beat.lines.at(1), "top 652");
      }
    }
  }
}

TEST(HeavenAndHellIntervals, IntervalsSetOverTheShowMatchTheTablePerPass) {
  for (const auto& [sound, fast] : {std::pair{Sound::kEffects, 350}, {Sound::kNone, 352}}) {
    SCOPED_TRACE(Name(sound));
    const auto beats = Beats(During(Runner().Run(1, sound, false, 134000), kHitMs, 134000));
    // The lead-in: sub-step 6, sub-step 9, beat 11.
    std::vector<std::string> seen_lead_in;
    for (const LoggedBeat& beat : beats)
      if (beat.state == 2)
        for (const std::string& line : beat.lines)
          if (line.rfind("interval ", 0) == 0) seen_lead_in.push_back(std::to_string(beat.number) + ": " + line.substr(9));
    EXPECT_EQ(seen_lead_in, (std::vector<std::string>{"8: 706", "8: " + std::to_string(fast), "11: 353"}));
    // The show, pass by pass, written as the show table writes them.
    const auto runs = Runs(beats);
    ASSERT_EQ(runs.size(), 4u);
    for (std::size_t pass = 0; pass < 4; ++pass) {
      std::vector<std::string> set;
      for (const LoggedBeat& beat : runs[pass])
        for (const std::string& line : beat.lines)
          if (line.rfind("interval ", 0) == 0) set.push_back("beat " + std::to_string(beat.number) + ": " + line.substr(9));
      std::string joined;
      for (const std::string& s : set) joined += (joined.empty() ? "" : "; ") + s;
      EXPECT_EQ(joined.empty() ? "none" : joined, kPasses[pass].intervals) << "pass " << pass + 1;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The end

TEST(HeavenAndHellEnd, AfterTheLastPassLaterBeatsDoNothingUntilTheTrackEnds) {
  // A longer track: after pass 4's beat 92 (pose 2, no move; the window is at H since beat 91),
  // the beats go on at 356 ms and only count until the end of the track.
  const double track_ms = 150000;
  const auto log = Runner().Run(1, Sound::kEffects, false, 165000, {"bgm.res=150000"});
  const auto beats = Beats(During(log, kHitMs, 165000));
  const auto runs = Runs(beats);
  ASSERT_EQ(runs.size(), 4u);
  const auto last_92 = std::find_if(runs[3].begin(), runs[3].end(), [](const LoggedBeat& b) { return b.number == 92; });
  ASSERT_NE(last_92, runs[3].end());
  EXPECT_EQ(last_92->lines, std::vector<std::string>{"pose 2"});
  EXPECT_EQ((last_92 - 1)->lines, (std::vector<std::string>{"pose 1", "moveto 1030 652"}));
  int idle = 0;
  for (auto beat = last_92 + 1; beat != runs[3].end(); ++beat) {
    ++idle;
    EXPECT_EQ(beat->number, 92 + idle);
    EXPECT_EQ(beat->ms, (beat - 1)->ms + 356);
    EXPECT_TRUE(beat->lines.empty()) << "beat " << beat->number << ": " << beat->lines.front();
  }
  const double end = HeavenRun::StartOfSong() + track_ms;  // 157788
  EXPECT_EQ(idle, static_cast<int>((end - static_cast<double>(last_92->ms)) / 356));
  // Nothing at all between the last beat and the end of the track.
  const auto between = During(log, runs[3].back().ms + 1, static_cast<long long>(end) - 1);
  EXPECT_TRUE(between.empty()) << between.front();
  const auto at_end = At(log, static_cast<long long>(end));
  ASSERT_FALSE(at_end.empty());
  EXPECT_EQ(at_end.front(), "dance 110");
}

TEST(HeavenAndHellEnd, TrackEndingInPassTwoEndsTheShowThere) {
  const std::uint32_t seed = SeedOfHit(7, false);
  for (const Sound sound : {Sound::kEffects, Sound::kBgm}) {
    SCOPED_TRACE(Name(sound));
    const ShowRun run{sound, kNormal, ModelForcedHit(seed), 50000};
    ExpectSameLog(ExpectedLog(run), Runner().Show(seed, run, {"bgm.res=50000"}));
  }
}

}  // namespace
}  // namespace zumbolo
