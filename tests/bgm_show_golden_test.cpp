// Golden-log tests of the background-music show: the hit, the 19-beat lead-in and the 171-beat
// show, beat by beat, expanded from tables written in the shape of the show's own script, in
// normal and mini mode, on another work area, with the arrow keys pressed during the show, and
// with the sound choices that do or do not silence the music at the hit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/golden_log.h"
#include "tests/support/model_random.h"
#include "tests/support/show_notation.h"
#include "tests/support/sim_run.h"

namespace zumbolo {
namespace {

using testing::During;
using testing::ExpectSameLog;
using testing::ForcedHit;
using testing::HitLines;
using testing::ModelForcedHit;
using testing::MoveHomeByArrow;
using testing::SeedOfHit;
using testing::SimRuns;
using testing::Trim;

// ---------------------------------------------------------------------------------------------
// Window positions

struct Stage {
  int home_left = 0;
  int home_top = 0;
  bool mini = false;

  static Stage OnWorkArea(int width, int height, bool mini) { return {width - 250, height - 118, mini}; }

  // A place named as in the script: H (home), TH, LM, RM, LF, RF, or H followed by a fixed
  // offset such as H-36 (fixed offsets are the same in mini mode).
  int Resolve(const std::string& name, bool horizontal) const {
    const int home = horizontal ? home_left : home_top;
    if (name == "H") return home;
    if (name == "TH" && !horizontal) return home_top - (mini ? 6 : 12);
    if (name == "LM" && horizontal) return home_left - (mini ? 8 : 16);
    if (name == "RM" && horizontal) return home_left + (mini ? 8 : 16);
    if (name == "LF" && horizontal) return home_left - (mini ? 16 : 32);
    if (name == "RF" && horizontal) return home_left + (mini ? 16 : 32);
    if (name.size() > 2 && name[0] == 'H' && (name[1] == '-' || name[1] == '+'))
      return home + std::stoi(name.substr(1));
    throw std::invalid_argument("unknown place " + name);
  }
};

// ---------------------------------------------------------------------------------------------
// The script notation
//
// Figures: a number is one pose on all figures, (a,b,c) a pose per figure (-1 blank), "sparkle"
// the overlay, — nothing. Window: "top := X", "left := X", "move to (X, Y)", — nothing. A row of
// several beats lists one value per beat, separated by commas.

const std::string kNothing = "—";

// Splits at the commas outside parentheses.
std::vector<std::string> Items(const std::string& list) {
  std::vector<std::string> items;
  std::string item;
  int depth = 0;
  for (const char c : list) {
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) {
      items.push_back(Trim(item));
      item.clear();
    } else {
      item += c;
    }
  }
  items.push_back(Trim(item));
  return items;
}

std::string FigureLine(const std::string& item) {
  if (item == kNothing) return "";
  if (item == "sparkle") return "overlay";
  if (item.front() == '(') {
    const auto poses = Items(item.substr(1, item.size() - 2));
    if (poses.size() != 3) throw std::invalid_argument("three poses expected: " + item);
    return "poses " + poses[0] + " " + poses[1] + " " + poses[2];
  }
  return "pose " + std::to_string(std::stoi(item));
}

struct WindowColumn {
  std::string kind;                // "top", "left", "moveto" or "" for none
  std::vector<std::string> items;  // one place (or "(X, Y)") per beat
};

WindowColumn ParseWindow(const std::string& column, std::size_t beats) {
  WindowColumn parsed;
  if (column == kNothing) {
    parsed.items.assign(beats, kNothing);
    return parsed;
  }
  for (const auto& [prefix, kind] : std::vector<std::pair<std::string, std::string>>{
           {"top := ", "top"}, {"left := ", "left"}, {"move to ", "moveto"}}) {
    if (column.rfind(prefix, 0) == 0) {
      parsed.kind = kind;
      parsed.items = Items(column.substr(prefix.size()));
    }
  }
  if (parsed.kind.empty()) throw std::invalid_argument("unknown window column " + column);
  return parsed;
}

std::string WindowLine(const std::string& kind, const std::string& item, const Stage& stage) {
  if (item == kNothing || kind.empty()) return "";
  if (kind == "top") return "top " + std::to_string(stage.Resolve(item, false));
  if (kind == "left") return "left " + std::to_string(stage.Resolve(item, true));
  const auto xy = Items(item.substr(1, item.size() - 2));
  return "moveto " + std::to_string(stage.Resolve(xy.at(0), true)) + " " +
         std::to_string(stage.Resolve(xy.at(1), false));
}

// One beat of the routine: the beat number and dance state that the log shows, and what it does,
// still in script notation, so that the positions are resolved at the time the beat comes.
struct Beat {
  int number = 0;
  int state = 0;
  std::string figure;       // one figure item
  std::string window_kind;  // see WindowColumn
  std::string window;       // one window item
  std::vector<std::string> extra;  // lines after the figures and the window, in script notation
};

// ---------------------------------------------------------------------------------------------
// The lead-in (dsLeadIn = 2). The hit has just drawn the hit pose with the window at HomeTop − 3.

struct LeadInRow {
  int beat;
  int first_sub_step, last_sub_step;  // kNoSubStep on the beats after the loop
  const char* figures;
  const char* window;
};
constexpr int kNoSubStep = -1;

const LeadInRow kLeadIn[] = {
    // beat  sub-step  figures        window
    {8, 0, 0, "—", "top := H"},
    {8, 1, 1, "—", "—"},
    {8, 2, 2, "sparkle", "—"},
    {8, 3, 7, "—", "—"},
    {8, 8, 8, "1", "—"},
    {8, 9, 9, "—", "—"},
    {8, 10, 10, "4", "—"},
    {8, 11, 11, "1", "—"},
    {8, 12, 12, "7", "—"},
    {8, 13, 13, "1", "—"},
    {8, 14, 14, "—", "top := H-12"},
    {8, kNoSubStep, kNoSubStep, "—", "top := H-24"},  // after the loop
    {9, kNoSubStep, kNoSubStep, "—", "top := H-36"},
    {10, kNoSubStep, kNoSubStep, "—", "top := H-48"},
    {11, kNoSubStep, kNoSubStep, "(-1,-1,-1)", "move to (H, H)"},
};

// ---------------------------------------------------------------------------------------------
// The show (dsShow = 3): the i-th value of each column belongs to the i-th beat of the row.

struct ShowRow {
  int first_beat, last_beat;
  const char* figures;
  const char* window;
};

const ShowRow kShowScript[] = {
    // beats   figures                                                  window
    {12, 19, "3, 1, 6, 1, 3, 1, 6, 1", "left := LM, H, RM, H, LM, H, RM, H"},
    {20, 27, "5, 11, 6, 1, 6, 9, 3, 1", "top := TH, H, TH, H, TH, H, TH, H"},
    {28, 35, "(5,1,6), (11,1,9), (5,1,6), (1,1,1), (5,1,6), (11,1,9), (5,1,6), (1,1,1)",
     "top := TH, H, TH, H, TH, H, TH, H"},
    {36, 43, "3, 1, 6, 1, 3, 1, 6, 1", "left := LM, H, RM, H, LM, H, RM, H"},
    {44, 51, "3, 5, 6, 1, 6, 8, 3, 1", "left := LM, H-36, LM, H, RM, H+36, RM, H"},
    {52, 59, "1, 0, 1, 2, 1, 0, 1, 2", "top := TH, H, TH, H, TH, H, TH, H"},
    {60, 67, "(5,1,6), (3,1,8), (5,1,6), 1, (5,1,6), (3,1,8), (5,1,6), 1",
     "top := TH, H, TH, H, TH, H, TH, H"},
    {68, 75, "—, —, 1, 2, 1, 0, 1, 2",
     "move to (LM, TH), (LF, H), (LM, TH), (H, H), (RM, TH), (RF, H), (RM, TH), (H, H)"},
    {76, 81, "1, (-1,0,-1), (-1,3,-1), (1,4,-1), (2,6,-1), (0,7,0)", "top := TH, H, TH, H, TH, H"},
    {82, 89, "1, 2, 1, 0, 1, 2, 1, 0", "top := TH, H, TH, H, TH, H, TH, H"},
    {90, 91, "—, —", "top := TH, H"},
};

// The beats that act besides the table above.
//   12        after the pose and the move: show Form2, bring the main window to the front
//   92        first time: back to 13 next, with beat 12's pose and move (no Form2); then: pose 1
//   93, 94    nothing
//   95        hide Form2, show Form3
//   96..101   nothing
//   102       hide Form3, then the reset: pose 1, top := H, left := H; the next beat is beat 1

std::vector<Beat> ShowRowBeats(const ShowRow& row) {
  const auto figures = Items(row.figures);
  const auto window = ParseWindow(row.window, figures.size());
  const std::size_t beats = static_cast<std::size_t>(row.last_beat - row.first_beat + 1);
  if (figures.size() != beats || window.items.size() != beats)
    throw std::invalid_argument("row " + std::to_string(row.first_beat) + " has the wrong length");
  std::vector<Beat> out;
  for (std::size_t i = 0; i < beats; ++i)
    out.push_back({row.first_beat + static_cast<int>(i), 3, figures[i], window.kind, window.items[i], {}});
  return out;
}

std::vector<Beat> ScriptBeats(int from_beat) {
  std::vector<Beat> out;
  for (const ShowRow& row : kShowScript)
    for (Beat beat : ShowRowBeats(row))
      if (beat.number >= from_beat) out.push_back(beat);
  return out;
}

// Every beat from the first lead-in beat to the first beat of the next spin cycle.
std::vector<Beat> WholeShow() {
  std::vector<Beat> beats;
  for (const LeadInRow& row : kLeadIn) {
    const int passes = row.first_sub_step == kNoSubStep ? 1 : row.last_sub_step - row.first_sub_step + 1;
    const auto window = ParseWindow(row.window, 1);
    for (int i = 0; i < passes; ++i) beats.push_back({row.beat, 2, row.figures, window.kind, window.items[0], {}});
  }
  // First pass from 12, with Form2 shown on beat 12.
  auto first = ScriptBeats(12);
  first.front().extra = {"form2 show", "foreground"};
  beats.insert(beats.end(), first.begin(), first.end());
  beats.push_back({92, 3, "3", "left", "LM", {}});  // back to 13 next
  // Second pass from 13.
  const auto second = ScriptBeats(13);
  beats.insert(beats.end(), second.begin(), second.end());
  beats.push_back({92, 3, "1", "", kNothing, {}});
  for (int number = 93; number <= 101; ++number) {
    beats.push_back({number, 3, kNothing, "", kNothing, {}});
    if (number == 95) beats.back().extra = {"form2 hide", "form3 show"};
  }
  beats.push_back({102, 3, kNothing, "", kNothing, {"form3 hide", "pose 1", "top H", "left H"}});
  beats.push_back({1, 0, "2", "", kNothing, {}});  // spinning again
  return beats;
}

// A key pressed during the show, between beats.
struct KeyPress {
  long long at_ms;
  std::string action;  // aup, adown, aleft, aright
};

// The expected log from the hit on beat 7 (at hit_ms) to the first beat of the next spin cycle,
// the beats coming every 405 ms.
std::vector<std::string> ExpectedShowLog(long long hit_ms, Stage stage, const ForcedHit& hit,
                                         bool stops_player, const std::vector<KeyPress>& keys = {}) {
  std::vector<std::string> lines;
  auto at = [&lines](long long ms, const std::string& what) {
    if (!what.empty()) lines.push_back(std::to_string(ms) + " " + what);
  };
  for (const std::string& line : HitLines(hit, stops_player, stage.home_top)) at(hit_ms, line);

  const auto beats = WholeShow();
  auto key = keys.begin();
  for (std::size_t i = 0; i < beats.size(); ++i) {
    const long long ms = hit_ms + 405 * static_cast<long long>(i + 1);
    for (; key != keys.end() && key->at_ms < ms; ++key)
      at(key->at_ms, MoveHomeByArrow(key->action, stage.home_left, stage.home_top));
    const Beat& beat = beats[i];
    at(ms, "beat " + std::to_string(beat.number) + " " + std::to_string(beat.state));
    if (i == 0 && hit.odd_third) at(ms, "figure 3 " + std::to_string(hit.pose));  // falls into line
    at(ms, FigureLine(beat.figure));
    at(ms, WindowLine(beat.window_kind, beat.window, stage));
    for (const std::string& extra : beat.extra) {
      if (extra == "top H") at(ms, WindowLine("top", "H", stage));
      else if (extra == "left H") at(ms, WindowLine("left", "H", stage));
      else at(ms, extra);
    }
  }
  return lines;
}

// The time of the first beat of the spin cycle after the show: 19 lead-in beats, 171 show beats.
long long NextSpinMs(long long hit_ms) { return hit_ms + 405 * (19 + 171 + 1); }

// ---------------------------------------------------------------------------------------------
// Running the simulator

class BgmRun {
 public:
  // A run in "BGMモード" with every spin a hit; the settings file holds "mode"=5 and `more`.
  std::vector<std::string> Run(std::uint32_t seed, const std::vector<std::string>& sim_args,
                               const std::vector<std::string>& program_args,
                               const std::string& more_settings = "",
                               const std::string& spring_ms = "600000") {
    std::vector<std::string> args = {"--track", "spring.res=" + spring_ms};
    args.insert(args.end(), sim_args.begin(), sim_args.end());
    return runs_.Run("[mode]\r\nmode=5\r\n" + more_settings, seed, NextSpinMs(kHitMs) + 100, args, program_args);
  }

  // With a settings file the spin interval is 405 ms from start-up, so beat 7 comes at 2835 ms.
  static constexpr long long kHitMs = 7 * 405;

 private:
  SimRuns runs_;
};

BgmRun& Runner() {
  static BgmRun runner;
  return runner;
}

constexpr long long kHitMs = BgmRun::kHitMs;

std::vector<std::string> ShowSpan(const std::vector<std::string>& log) {
  return During(log, kHitMs, NextSpinMs(kHitMs));
}

// ---------------------------------------------------------------------------------------------
// The tables themselves

TEST(BgmShowTables, LeadInTakes19BeatsAndShowTakes171) {
  const auto beats = WholeShow();
  const auto show_begins = std::find_if(beats.begin(), beats.end(), [](const Beat& b) { return b.state == 3; });
  EXPECT_EQ(show_begins - beats.begin(), 19);
  EXPECT_EQ(beats.end() - 1 - show_begins, 171);  // the last entry is beat 1 of the next cycle
  EXPECT_EQ(std::count_if(beats.begin(), beats.end(), [](const Beat& b) { return b.number == 92; }), 2);
}

// ---------------------------------------------------------------------------------------------
// The show beat by beat

TEST(BgmShowGolden, LeadInAndShowBeatByBeatThenSpinningAgain) {
  for (const std::uint32_t seed : {SeedOfHit(1, false), SeedOfHit(7, false), SeedOfHit(10, false)}) {
    const ForcedHit hit = ModelForcedHit(seed);
    const auto log = Runner().Run(seed, {}, {"/v"});
    SCOPED_TRACE("seed " + std::to_string(seed));
    ExpectSameLog(ExpectedShowLog(kHitMs, Stage::OnWorkArea(1280, 770, false), hit, true), ShowSpan(log));
  }
}

TEST(BgmShowGolden, OddThirdAtTheHitFallsIntoLineOnTheFirstLeadInBeat) {
  for (const std::uint32_t seed : {SeedOfHit(4, true), SeedOfHit(1, true)}) {
    const auto log = Runner().Run(seed, {}, {"/v"});
    SCOPED_TRACE("seed " + std::to_string(seed));
    ExpectSameLog(ExpectedShowLog(kHitMs, Stage::OnWorkArea(1280, 770, false), ModelForcedHit(seed), true),
                  ShowSpan(log));
  }
}

TEST(BgmShowGolden, MiniModeHalvesThePositionsButNotTheFixedOffsets) {
  const std::uint32_t seed = 1;
  const auto log = Runner().Run(seed, {}, {"/m", "/v"});
  ExpectSameLog(ExpectedShowLog(kHitMs, Stage::OnWorkArea(1280, 770, true), ModelForcedHit(seed), true),
                ShowSpan(log));
}

TEST(BgmShowGolden, OtherWorkAreaMovesEveryPosition) {
  const std::uint32_t seed = 1;
  for (const auto& [width, height] : std::vector<std::pair<int, int>>{{1600, 900}, {1024, 600}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    for (const bool mini : {false, true}) {
      std::vector<std::string> program_args = {"/v"};
      if (mini) program_args.insert(program_args.begin(), "/m");
      const auto log = Runner().Run(
          seed, {"--work-area", std::to_string(width) + "x" + std::to_string(height)}, program_args);
      ExpectSameLog(ExpectedShowLog(kHitMs, Stage::OnWorkArea(width, height, mini), ModelForcedHit(seed), true),
                    ShowSpan(log));
    }
  }
}

TEST(BgmShowGolden, ArrowKeysDuringTheShowShiftTheLaterBeats) {
  // Between beats: in the lead-in, before the hops of beat 20, before the far slides of 44 and
  // 68, and in the second pass.
  auto between = [](int beat_index) { return kHitMs + 405LL * beat_index + 200; };
  const std::vector<KeyPress> keys = {
      {between(5), "adown"},  {between(27), "aup"},   {between(27) + 50, "aup"},
      {between(50), "aleft"}, {between(74), "aright"}, {between(74) + 10, "aright"},
      {between(130), "aleft"}, {between(140), "aup"}};
  std::vector<std::string> at_args;
  for (const KeyPress& key : keys) {
    at_args.push_back("--at");
    at_args.push_back(std::to_string(key.at_ms) + ":" + key.action);
  }
  for (const bool mini : {false, true}) {
    SCOPED_TRACE(mini ? "mini mode" : "normal");
    std::vector<std::string> program_args = {"/v"};
    if (mini) program_args.insert(program_args.begin(), "/m");
    const auto log = Runner().Run(1, at_args, program_args);
    ExpectSameLog(ExpectedShowLog(kHitMs, Stage::OnWorkArea(1280, 770, mini), ModelForcedHit(1), true, keys),
                  ShowSpan(log));
  }
}

// ---------------------------------------------------------------------------------------------
// The music around the show

bool IsPlayerStart(const std::string& line) {
  return line.find(" player play") != std::string::npos || line.find(" dance ") != std::string::npos ||
         line.find(" player render") != std::string::npos;
}

TEST(BgmShowMusic, SoundEffectsSilenceTheMusicAtTheHitAndTheShowNeverRestartsIt) {
  // Even with a short loop, which would be rewound and played again at its end were it running.
  const auto log = Runner().Run(1, {}, {"/v"}, "[sound]\r\nkoka=0\r\n", "20000");
  const auto hit = During(log, kHitMs, kHitMs);
  EXPECT_NE(std::find(hit.begin(), hit.end(), std::to_string(kHitMs) + " player stop"), hit.end());
  const auto show = During(log, kHitMs, NextSpinMs(kHitMs));
  for (const auto& line : show) EXPECT_FALSE(IsPlayerStart(line)) << line;
  ExpectSameLog(ExpectedShowLog(kHitMs, Stage::OnWorkArea(1280, 770, false), ModelForcedHit(1), true), show);
}

TEST(BgmShowMusic, BgmSoundKeepsTheMusicLoopingThroughTheShow) {
  // "ＢＧＭ": the hit does not stop the player. The loop of 20 s runs from 0.984 s, so it ends
  // every 19.016 s and is rewound to its loop start and played again, the show going on.
  const auto log = Runner().Run(1, {}, {"/v"}, "[sound]\r\nkoka=1\r\n", "20000");
  auto expected = ExpectedShowLog(kHitMs, Stage::OnWorkArea(1280, 770, false), ModelForcedHit(1), false);
  for (const long long end_ms : {19016LL, 38032LL, 57048LL, 76064LL}) {
    const auto after = std::find_if(expected.begin(), expected.end(),
                                    [&](const std::string& l) { return std::stoll(l) > end_ms; });
    expected.insert(after, {std::to_string(end_ms) + " player seek 9840000",
                            std::to_string(end_ms) + " player play"});
  }
  ExpectSameLog(expected, ShowSpan(log));
}

TEST(BgmShowMusic, NoSoundKeepsTheMusicPlaying) {
  const auto log = Runner().Run(1, {}, {"/v"}, "[sound]\r\nkoka=2\r\n");
  ExpectSameLog(ExpectedShowLog(kHitMs, Stage::OnWorkArea(1280, 770, false), ModelForcedHit(1), false),
                ShowSpan(log));
}

}  // namespace
}  // namespace zumbolo
