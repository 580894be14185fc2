// Golden-log tests of the spin cycle: the six spin beats and the spin cue, the stop of the reels
// on beat 7 (a miss and its correction of three equal poses), the rest on beat 8, and the drawing
// of a hit. The random draws are predicted by the model of the program's generator in
// tests/support/model_random.h, so that the figures of a miss or a hit can be known before the run.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/support/golden_log.h"
#include "tests/support/model_random.h"
#include "tests/support/sim_run.h"

namespace zumbolo {
namespace {

using testing::At;
using testing::During;
using testing::FirstSeed;
using testing::ForcedHit;
using testing::HitLines;
using testing::kResultPoses;
using testing::ModelForcedHit;
using testing::ModelRandom;
using testing::SimRuns;

// ---------------------------------------------------------------------------------------------
// The first stop of the reels, from the model of the random generator

// The first stop of the reels after start-up, without forced hits: IsHit draws below the odds,
// then a miss draws three entries of the result poses.
struct FirstStop {
  bool hit = false;
  std::array<int, 3> drawn{};  // the three draws of a miss, before the correction
  std::array<int, 3> shown{};  // what the figures show
};

FirstStop ModelFirstStop(std::uint32_t seed, int hit_odds) {
  ModelRandom random(seed);
  FirstStop stop;
  const int r = random.Below(hit_odds);
  stop.hit = (r + 1) % hit_odds == 0;
  if (stop.hit) return stop;
  for (int& pose : stop.drawn) pose = kResultPoses[random.Below(4)];
  stop.shown = stop.drawn;
  if (stop.drawn[0] == stop.drawn[1] && stop.drawn[1] == stop.drawn[2])
    stop.shown[2] = stop.drawn[0] == 1 ? 4 : 1;  // first entry of the table that differs
  return stop;
}

// ---------------------------------------------------------------------------------------------
// Running the simulator

// Long simulated tracks, so that no track comes to its end inside the beats a test looks at.
const std::vector<std::string> kLongTracks = {"--track", "kokab.res=600000", "--track",
                                              "spring.res=600000"};

// One folder for all runs of this file (the track files are written once); each run starts
// with the settings file the test gives, or with none.
class SpinRun {
 public:
  std::vector<std::string> Run(const std::optional<std::string>& settings, std::uint32_t seed,
                               long long until_ms, const std::vector<std::string>& program_args = {}) {
    return runs_.Run(settings, seed, until_ms, kLongTracks, program_args);
  }

 private:
  SimRuns runs_;
};

SpinRun& Runner() {
  static SpinRun runner;
  return runner;
}

// ---------------------------------------------------------------------------------------------
// The spin cycle in beats

// Beat:                                   1  2  3  4  5  6
constexpr std::array<int, 6> kSpinPoses = {2, 0, 5, 1, 6, 1};

// The replay of the spin sound: the cue, then stop, seek to 10 ms and run.
const std::vector<std::string> kSpinCue = {"dance 1", "player stop", "player seek 100000",
                                           "player play"};

// The lines of one spin cycle that ends in a miss, and beat 1 of the next, with beat k at
// first_ms + (k - 1) * interval.
std::vector<std::string> ExpectedMissCycle(long long first_ms, int interval, bool spin_cue,
                                           const std::array<int, 3>& miss) {
  std::vector<std::string> lines;
  auto beat = [&](int k) { return first_ms + (k - 1) * static_cast<long long>(interval); };
  for (int k = 1; k <= 6; ++k) {
    lines.push_back(At(beat(k), "beat " + std::to_string(k) + " 0"));
    lines.push_back(At(beat(k), "pose " + std::to_string(kSpinPoses[k - 1])));
    if (k == 3 && spin_cue)
      for (const auto& cue : kSpinCue) lines.push_back(At(beat(k), cue));
  }
  lines.push_back(At(beat(7), "beat 7 0"));
  for (int figure = 1; figure <= 3; ++figure)
    lines.push_back(At(beat(7), "figure " + std::to_string(figure) + " " +
                                    std::to_string(miss[figure - 1])));
  lines.push_back(At(beat(8), "beat 8 1"));  // the rest: the result stays
  lines.push_back(At(beat(9), "beat 1 0"));
  lines.push_back(At(beat(9), "pose 2"));
  return lines;
}

std::uint32_t SeedOfPlainMiss(int hit_odds) {
  return FirstSeed([&](std::uint32_t seed) {
    const auto stop = ModelFirstStop(seed, hit_odds);
    return !stop.hit && stop.drawn == stop.shown;
  });
}

TEST(SpinCycleGolden, WithoutSettingsFileBeatsEvery451msThroughSpinPosesMissAndRest) {
  const std::uint32_t seed = SeedOfPlainMiss(100);
  const auto stop = ModelFirstStop(seed, 100);
  const auto log = Runner().Run(std::nullopt, seed, 9 * 451 + 100);

  // Nothing beats before the clock's first period; the interval is never assigned.
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& l) { return l.find(" interval ") != std::string::npos; }),
            0);
  const auto before_first_beat = During(log, 0, 450);
  EXPECT_TRUE(std::none_of(before_first_beat.begin(), before_first_beat.end(),
                           [](const std::string& l) { return l.find(" beat ") != std::string::npos; }));
  EXPECT_EQ(During(log, 1, 9 * 451), ExpectedMissCycle(451, 451, true, stop.shown)) << "seed " << seed;
}

TEST(SpinCycleGolden, SettingsFileSetsTheSpinIntervalTo405BeforeTheClockStarts) {
  const std::uint32_t seed = SeedOfPlainMiss(100);
  const auto stop = ModelFirstStop(seed, 100);
  const auto log = Runner().Run("[num]\r\nritu=100\r\n", seed, 9 * 405 + 100);

  const auto interval = std::find(log.begin(), log.end(), "0 interval 405");
  const auto enabled = std::find(log.begin(), log.end(), "0 enabled 1");
  ASSERT_NE(interval, log.end());
  ASSERT_NE(enabled, log.end());
  EXPECT_LT(interval, enabled);
  EXPECT_EQ(During(log, 1, 9 * 405), ExpectedMissCycle(405, 405, true, stop.shown)) << "seed " << seed;
}

// The spin sound is cued on beat 3 only with "効果音あり" as the sound and outside "BGMモード".
struct CueCase {
  const char* name;
  const char* settings;
  bool spin_cue;
};

class SpinCueGolden : public ::testing::TestWithParam<CueCase> {};

TEST_P(SpinCueGolden, Beat3CuesTheSpinSoundOnlyWithSoundEffectsOutsideBgmMode) {
  const std::uint32_t seed = SeedOfPlainMiss(100);
  const auto stop = ModelFirstStop(seed, 100);
  const auto log = Runner().Run(std::string(GetParam().settings), seed, 9 * 405 + 100);
  EXPECT_EQ(During(log, 1, 9 * 405), ExpectedMissCycle(405, 405, GetParam().spin_cue, stop.shown));
}

INSTANTIATE_TEST_SUITE_P(
    SoundAndMode, SpinCueGolden,
    ::testing::Values(CueCase{"EffectsKoka0", "[sound]\r\nkoka=0\r\n", true},
                      CueCase{"BgmKoka1", "[sound]\r\nkoka=1\r\n", false},
                      CueCase{"NoneKoka2", "[sound]\r\nkoka=2\r\n", false},
                      CueCase{"EffectsInBgmMode", "[sound]\r\nkoka=0\r\n[mode]\r\nmode=5\r\n", false},
                      CueCase{"EffectsInHeavenAndHellMode", "[mode]\r\nmode=0\r\n", true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The miss

// The three figure lines of the first beat 7 (at 7 × 451 ms without a settings file).
std::vector<std::string> FiguresOfFirstStop(const std::vector<std::string>& log) {
  std::vector<std::string> out;
  for (const auto& line : During(log, 7 * 451, 7 * 451))
    if (line.find(" figure ") != std::string::npos) out.push_back(line);
  return out;
}

std::vector<std::string> FigureLines(long long ms, const std::array<int, 3>& poses) {
  return {At(ms, "figure 1 " + std::to_string(poses[0])), At(ms, "figure 2 " + std::to_string(poses[1])),
          At(ms, "figure 3 " + std::to_string(poses[2]))};
}

TEST(MissGolden, FiguresFollowTheRandomDrawsAndAreNeverAllEqual) {
  int misses = 0;
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    const auto stop = ModelFirstStop(seed, 100);
    if (stop.hit) continue;
    ++misses;
    const auto figures = FiguresOfFirstStop(Runner().Run(std::nullopt, seed, 7 * 451 + 10));
    EXPECT_EQ(figures, FigureLines(7 * 451, stop.shown)) << "seed " << seed;
    std::set<std::string> poses;
    for (const auto& line : figures) {
      const std::string pose = line.substr(line.rfind(' ') + 1);
      EXPECT_TRUE(pose == "1" || pose == "4" || pose == "7" || pose == "10") << line;
      poses.insert(pose);
    }
    EXPECT_GT(poses.size(), 1u) << "three equal poses at a miss, seed " << seed;
  }
  EXPECT_GT(misses, 50);
}

TEST(MissGolden, ThreeDrawsOf7Show771AndThreeDrawsOf1Show114) {
  struct Case {
    int drawn;
    std::array<int, 3> shown;
  };
  for (const Case c : {Case{7, {7, 7, 1}}, Case{1, {1, 1, 4}}, Case{4, {4, 4, 1}}, Case{10, {10, 10, 1}}}) {
    const std::uint32_t seed = FirstSeed([&](std::uint32_t s) {
      const auto stop = ModelFirstStop(s, 100);
      return !stop.hit && stop.drawn == std::array<int, 3>{c.drawn, c.drawn, c.drawn};
    });
    const auto figures = FiguresOfFirstStop(Runner().Run(std::nullopt, seed, 7 * 451 + 10));
    EXPECT_EQ(figures, FigureLines(7 * 451, c.shown)) << "three draws of " << c.drawn << ", seed " << seed;
  }
}

// ---------------------------------------------------------------------------------------------
// The hit ("/v": every spin a hit; without a settings file beat 7 comes at 7 × 451 ms)

// The lines of the hit on beat 7: counted first, the player stopped with sound effects, the hop
// of 3 pixels above the home top 652, then the hit pose (figure 3 out of line once in five).
std::vector<std::string> ExpectedHitBeat(long long ms, const ForcedHit& hit, bool stops_player,
                                         int home_top) {
  std::vector<std::string> lines;
  for (const std::string& line : HitLines(hit, stops_player, home_top)) lines.push_back(At(ms, line));
  return lines;
}

// The lines of the first lead-in beat 8 up to the first line the routine's sub-step draws.
std::vector<std::string> FirstLeadInBeatOpening(const std::vector<std::string>& log, long long ms) {
  auto beat = During(log, ms, ms);
  if (beat.size() > 2) beat.resize(2);
  return beat;
}

struct HitCase {
  const char* name;
  std::function<bool(const ForcedHit&)> wanted;
};

class HitGolden : public ::testing::TestWithParam<HitCase> {};

TEST_P(HitGolden, HitBeatDrawsCountedHopAndPoseThenFigure3FallsIntoLine) {
  const std::uint32_t seed = FirstSeed([this](std::uint32_t s) { return GetParam().wanted(ModelForcedHit(s)); });
  const ForcedHit hit = ModelForcedHit(seed);
  const auto log = Runner().Run(std::nullopt, seed, 8 * 451 + 10, {"/v"});

  EXPECT_EQ(During(log, 7 * 451, 7 * 451), ExpectedHitBeat(7 * 451, hit, true, 652)) << "seed " << seed;

  const auto opening = FirstLeadInBeatOpening(log, 8 * 451);
  ASSERT_FALSE(opening.empty());
  EXPECT_EQ(opening[0], At(8 * 451, "beat 8 2"));
  if (hit.odd_third) {
    ASSERT_EQ(opening.size(), 2u);
    EXPECT_EQ(opening[1], At(8 * 451, "figure 3 " + std::to_string(hit.pose))) << "seed " << seed;
  }
  for (const auto& line : During(log, 8 * 451, 8 * 451)) {
    if (line.find(" figure ") == std::string::npos) continue;
    EXPECT_TRUE(hit.odd_third && line == At(8 * 451, "figure 3 " + std::to_string(hit.pose)))
        << "unexpected figure line on the first lead-in beat: " << line << ", seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Draws, HitGolden,
    ::testing::Values(
        HitCase{"AllThreeAlike", [](const ForcedHit& h) { return !h.odd_third; }},
        HitCase{"AllThreeAlikeOnPose1", [](const ForcedHit& h) { return !h.odd_third && h.pose == 1; }},
        HitCase{"OddThirdIs1ForPose4", [](const ForcedHit& h) { return h.odd_third && h.pose == 4; }},
        HitCase{"OddThirdIs1ForPose10", [](const ForcedHit& h) { return h.odd_third && h.pose == 10; }},
        HitCase{"OddThirdIs5ForPose1", [](const ForcedHit& h) { return h.odd_third && h.pose == 1; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HitGoldenPlayer, HitStopsThePlayerOnlyWithSoundEffects) {
  const std::uint32_t seed = 1;
  const ForcedHit hit = ModelForcedHit(seed);
  struct Case {
    const char* settings;
    bool stops_player;
  };
  for (const Case c : {Case{"[sound]\r\nkoka=0\r\n", true}, Case{"[sound]\r\nkoka=1\r\n", false},
                       Case{"[sound]\r\nkoka=2\r\n", false}}) {
    const auto log = Runner().Run(std::string(c.settings), seed, 7 * 405 + 10, {"/v"});
    EXPECT_EQ(During(log, 7 * 405, 7 * 405), ExpectedHitBeat(7 * 405, hit, c.stops_player, 652))
        << c.settings;
  }
}

TEST(HitGoldenPlayer, MiniModeHopIsStill3Pixels) {
  const std::uint32_t seed = 1;
  const auto log = Runner().Run(std::nullopt, seed, 7 * 451 + 10, {"/m", "/v"});
  EXPECT_EQ(During(log, 7 * 451, 7 * 451), ExpectedHitBeat(7 * 451, ModelForcedHit(seed), true, 652));
}

TEST(HitGoldenPlayer, HitOnTheOddsAloneIsDrawnLikeAForcedOne) {
  // With 1 in 5, a seed whose first draw below 5 is 4 hits on the first stop; the next two
  // draws are the hit pose and the odd-third draw.
  const std::uint32_t seed = FirstSeed([](std::uint32_t s) { return ModelRandom(s).Below(5) == 4; });
  ModelRandom random(seed);
  random.Below(5);
  ForcedHit hit;
  hit.pose = kResultPoses[random.Below(4)];
  hit.odd_third = random.Below(5) == 4;
  hit.third = !hit.odd_third ? hit.pose : hit.pose != 1 ? 1 : 5;
  const auto log = Runner().Run("[num]\r\nritu=5\r\n", seed, 7 * 405 + 10);
  EXPECT_EQ(During(log, 7 * 405, 7 * 405), ExpectedHitBeat(7 * 405, hit, true, 652)) << "seed " << seed;
}

}  // namespace
}  // namespace zumbolo
