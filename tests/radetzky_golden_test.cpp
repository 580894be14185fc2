// Golden-log tests of the Radetzky March show: the hit, the 19-beat lead-in in each sound choice
// and the six passes of the show (304 beats), beat by beat, expanded from tables written in the
// shape of the show's own script; the beats that do nothing after the last pass; the end of the
// show when "rad.res" ends, the balloon and the restart three seconds later; mini mode; the
// arrow keys during the show; and the beat spacing as a compact table of its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <sstream>
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
using testing::RestartLines;
using testing::SeedOfHit;
using testing::ShowEndedLines;
using testing::SimRuns;
using testing::SongSettings;
using testing::Split;

// ---------------------------------------------------------------------------------------------
// Window positions and the show's window codes

struct Stage {
  int home_left = 1030;  // work area 1280 x 770
  int home_top = 652;
  bool mini = false;

  int Value(const std::string& name) const {
    const int half = mini ? 2 : 1;
    if (name == "HomeLeft") return home_left;
    if (name == "HomeTop") return home_top;
    if (name == "HomeTop + 2") return home_top + 2;  // the same in mini mode
    if (name == "PosTopHigh") return home_top - 12 / half;
    if (name == "PosTopLow") return home_top - 6 / half;
    if (name == "PosLeftMid") return home_left - 16 / half;
    if (name == "PosRightMid") return home_left + 16 / half;
    if (name == "PosLeftFar") return home_left - 32 / half;
    if (name == "PosRightFar") return home_left + 32 / half;
    throw std::invalid_argument("unknown position " + name);
  }
};

struct WindowCode {
  const char* code;
  const char* left;
  const char* top;
};

const WindowCode kWindowCodes[] = {
    // code   left            top
    {"H", "HomeLeft", "HomeTop"},
    {"U", "HomeLeft", "PosTopHigh"},
    {"L", "HomeLeft", "PosTopLow"},
    {"D", "HomeLeft", "HomeTop + 2"},
    {"LM", "PosLeftMid", "HomeTop"},
    {"RM", "PosRightMid", "HomeTop"},
    {"LF", "PosLeftFar", "HomeTop"},
    {"RF", "PosRightFar", "HomeTop"},
    {"LMU", "PosLeftMid", "PosTopHigh"},
    {"RMU", "PosRightMid", "PosTopHigh"},
};

const WindowCode& CodeNamed(const std::string& code) {
  for (const WindowCode& entry : kWindowCodes)
    if (code == entry.code) return entry;
  throw std::invalid_argument("unknown window code " + code);
}

// ---------------------------------------------------------------------------------------------
// The notation of the tables below. An entry is a list of items separated by ";":
//   –                    nothing
//   a number p           ShowPose(p)
//   sparkle              the overlay
//   X (a window code)    MoveWindowTo(left of X, top of X)
//   t:X / l:X            only the top / only the left, to that of X
//   t:L/U                the top to PosTopLow when RepeatCount = 1, else to PosTopHigh
//   interval N           the beat clock's interval
//   load FILE, play, halt  the sound requests, with what the player does for them
//   form2 show, foreground

const std::string kNothing = "–";

// The sound requests: the request code, then what the player does for it.
const std::map<std::string, std::vector<std::string>> kSoundRequests = {
    {"load eye.res", {"dance 2", "player stop", "player empty", "player render eye.res", "player seek 0"}},
    {"load rad.res", {"dance 11", "player stop", "player empty", "player render rad.res", "player seek 0"}},
    {"play", {"dance 0", "player play"}},
    {"halt", {"dance 9", "player stop", "player empty"}},  // the background music was playing
};

std::vector<std::string> ItemLines(const std::string& item, const Stage& stage, int repeat_count) {
  if (item.empty() || item == kNothing) return {};
  if (std::isdigit(static_cast<unsigned char>(item[0]))) {
    if (item.find_first_not_of("0123456789") != std::string::npos)
      throw std::invalid_argument("bad pose " + item);
    return {"pose " + item};
  }
  if (item == "sparkle") return {"overlay"};
  if (item == "form2 show" || item == "foreground") return {item};
  if (item.rfind("interval ", 0) == 0) return {item};
  if (const auto request = kSoundRequests.find(item); request != kSoundRequests.end()) return request->second;
  if (item == "t:L/U") return {"top " + std::to_string(stage.Value(repeat_count == 1 ? "PosTopLow" : "PosTopHigh"))};
  if (item.rfind("t:", 0) == 0) return {"top " + std::to_string(stage.Value(CodeNamed(item.substr(2)).top))};
  if (item.rfind("l:", 0) == 0) return {"left " + std::to_string(stage.Value(CodeNamed(item.substr(2)).left))};
  const WindowCode& code = CodeNamed(item);
  return {"moveto " + std::to_string(stage.Value(code.left)) + " " + std::to_string(stage.Value(code.top))};
}

// ---------------------------------------------------------------------------------------------
// The lead-in (dsLeadIn = 2): 16 calls with beat 8, one per sub-step, then beats 9, 10 and 11.

enum Sound { kEffects = 0, kBgm = 1, kSilent = 2 };  // koka=0 効果音あり, 1 ＢＧＭ, 2 なし

struct SubStepRow {
  int sub_step;
  const char* action[3];  // 効果音あり, ＢＧＭ, なし
};

const SubStepRow kSubSteps[] = {
    // sub-step  効果音あり                    ＢＧＭ                         なし
    {0, {"t:H; load eye.res", "t:H", "t:H"}},
    {1, {"–", "–", "–"}},
    {2, {"sparkle; play", "sparkle; halt", "sparkle"}},
    {3, {"–", "–", "–"}},
    {4, {"–", "–", "–"}},
    {5, {"load rad.res", "load rad.res", "load rad.res"}},
    {6, {"interval 810", "interval 810", "interval 810"}},
    {7, {"interval 577", "interval 577", "interval 577"}},
    {8, {"–", "–", "–"}},
    {9, {"1; play; interval 578", "1; play; interval 580", "1; play; interval 580"}},
    {10, {"0; t:L", "0; t:L", "0; t:L"}},
    {11, {"1; t:H", "1; t:H", "1; t:H"}},
    {12, {"–", "–", "–"}},
    {13, {"t:L", "t:L", "t:L"}},
    {14, {"5; t:H", "5; t:H", "5; t:H"}},
    {15, {"1", "1", "1"}},  // ends the loop: the next call is beat 9
};

struct LeadInBeat {
  int beat;
  const char* action;
};

const LeadInBeat kLeadInBeats[] = {
    {9, "6"},
    {10, "1"},
    {11, "0; L; interval 577"},  // and dsShow
};

// ---------------------------------------------------------------------------------------------
// The show (dsShow = 3): the i-th value of each column belongs to the i-th beat of the row.

struct ShowRow {
  int first_beat, last_beat;
  int repeat_count;  // kAny, or the RepeatCount for which this row holds
  const char* poses;
  const char* window;
};
constexpr int kAny = -1;
constexpr int kNot2 = -2;  // RepeatCount ≠ 2

const ShowRow kShowScript[] = {
    // beats      poses                             window
    {12, 19, kAny, "5, 1, 6, 1, 5, 1, 6, 1", "H, –, –, –, –, –, –, –"},
    {20, 26, kAny, "5, 1, 6, 1, 0, 5, 9", "t:H, t:L, t:H, t:L, t:H, t:U, t:H"},
    {27, 35, kAny, "6, 5, 3, 8, 2, 6, 8, 3, 1", "LMU, LM, l:LF, l:LM, H, RM, RF, RM, H"},
    {36, 43, kAny, "3, 1, 8, 1, 0, 5, 6, 1", "–, U, H, U, t:H, –, –, t:U"},
    {44, 51, kAny, "5, 3, 5, 1, 6, 8, 6, 1", "t:H, LM, l:LF, t:L, t:H, l:LM, l:H, t:L"},
    {52, 59, kAny, "8, 1, 3, 1, 6, 11, 5, 1", "D, H, D, H, RM, –, –, H"},
    {60, 67, kAny, "8, 1, 3, 1, 8, 0, 3, 2", "D, H, D, H, RM, H, LM, U"},
    {68, 75, kAny, "0, 1, 2, 1, 5, –, 0, 1", "t:H, t:U, t:H, t:U, t:D, –, t:H, t:L"},
    {76, 83, kAny, "6, 2, 6, 2, 1, 0, 2, 1", "t:H, –, –, –, t:L, t:H, –, –"},
    {84, 91, kAny, "3, 1, 8, 1, 2, 1, 0, 2", "D, H, D, H, t:H, L, H, –"},
    {92, 97, kAny, "4, 3, 8, 7, 1, 2", "t:L/U, t:H, t:L/U, t:H, t:L/U, t:H"},
    {98, 107, kAny, "6, 9, 3, 2, 5, 11, 8, 0, 1, 2",
     "t:L/U, t:H, t:L/U, t:H, t:L/U, t:H, t:L/U, t:H, t:L/U, t:H"},
    {108, 114, kNot2, "1, 0, 1, 2, 1, 0, 1", "LMU, LF, LMU, H, RMU, RF, RMU"},
    {108, 114, 2, "3, 4, 8, 7, 1, 5, 6", "–, t:U, t:H, t:U, t:H, –, –"},
    {115, 115, kAny, "2", "H"},
    {116, 119, kAny, "1, 0, 5, –", "t:H, t:U, t:H, t:D"},
};

// What the "Also" column adds: for one beat and RepeatCount, another pose or another move in
// place of the row's, and what follows the pose and the move. The jumps are the passes' business
// (below); beat 73 does nothing at all, as its row says.
struct Also {
  int beat;
  int repeat_count;     // kAny or the RepeatCount of the pass
  const char* pose;     // nullptr: the row's
  const char* window;   // nullptr: the row's
  const char* after;
};

const Also kAlso[] = {
    // beat  RepeatCount  pose      window   after
    {12, kAny, nullptr, nullptr, "form2 show; foreground"},
    {85, 4, nullptr, "t:U", ""},
    {87, 4, nullptr, "t:U", ""},
    {89, 4, nullptr, "t:U", ""},
    {91, 4, nullptr, nullptr, "interval 617"},
    {92, 4, nullptr, nullptr, "5"},
    {93, 4, nullptr, nullptr, "9"},
    {94, 4, nullptr, nullptr, "6"},
    {95, 4, nullptr, nullptr, "0"},  // and on to 116
    {103, 3, "1", nullptr, ""},
    {115, 2, nullptr, nullptr, "t:D"},  // the new RepeatCount is 3: back to 12
};

// The six passes, each a run of beat ranges.
struct Pass {
  int number;
  int repeat_count;
  std::vector<std::pair<int, int>> beats;
};

const Pass kPasses[] = {
    // pass  RepeatCount  beats danced
    {1, 0, {{12, 75}}},
    {2, 0, {{12, 51}, {76, 115}}},
    {3, 1, {{84, 115}}},
    {4, 2, {{84, 115}}},
    {5, 3, {{12, 51}, {76, 115}}},
    {6, 4, {{84, 95}, {116, 119}}},
};

// ---------------------------------------------------------------------------------------------
// Expanding the tables into beats

struct Beat {
  int number = 0;
  int state = 0;             // the dance state the log shows
  std::string action;        // items in the notation above
  int repeat_count = 0;
  int pass = 0;              // 0 outside the show's passes
};

bool RowHolds(const ShowRow& row, int beat, int repeat_count) {
  if (beat < row.first_beat || beat > row.last_beat) return false;
  if (row.repeat_count == kAny) return true;
  if (row.repeat_count == kNot2) return repeat_count != 2;
  return row.repeat_count == repeat_count;
}

Beat ShowBeat(int number, int repeat_count, int pass) {
  for (const ShowRow& row : kShowScript) {
    if (!RowHolds(row, number, repeat_count)) continue;
    const auto poses = Split(row.poses, ",");
    const auto window = Split(row.window, ",");
    const std::size_t length = static_cast<std::size_t>(row.last_beat - row.first_beat + 1);
    if (poses.size() != length || window.size() != length)
      throw std::invalid_argument("row " + std::to_string(row.first_beat) + " has the wrong length");
    const std::size_t i = static_cast<std::size_t>(number - row.first_beat);
    std::string pose = poses[i];
    std::string move = window[i];
    std::string after;
    for (const Also& also : kAlso) {
      if (also.beat != number || (also.repeat_count != kAny && also.repeat_count != repeat_count)) continue;
      if (also.pose) pose = also.pose;
      if (also.window) move = also.window;
      after = also.after;
    }
    return {number, 3, pose + "; " + move + "; " + after, repeat_count, pass};
  }
  throw std::invalid_argument("no row for beat " + std::to_string(number));
}

std::vector<Beat> LeadIn(Sound sound) {
  std::vector<Beat> beats;
  for (const SubStepRow& row : kSubSteps) beats.push_back({8, 2, row.action[sound], 0, 0});
  for (const LeadInBeat& row : kLeadInBeats) beats.push_back({row.beat, 2, row.action, 0, 0});
  return beats;
}

std::vector<Beat> ShowPasses() {
  std::vector<Beat> beats;
  for (const Pass& pass : kPasses)
    for (const auto& [first, last] : pass.beats)
      for (int number = first; number <= last; ++number)
        beats.push_back(ShowBeat(number, pass.repeat_count, pass.number));
  return beats;
}

// ---------------------------------------------------------------------------------------------
// The expected log

// Virtual times in microseconds, so that a track's length need not be whole milliseconds.
using Micros = long long;
constexpr Micros kMs = 1000;
std::string At(Micros t, const std::string& what) { return std::to_string(t / kMs) + " " + what; }

// The real length of "rad.res": 7022 audio frames of 1152 samples at 44 100 Hz (183431.836... ms).
constexpr Micros kRadLength = 7022LL * 1152 * 1000000 / 44100;

// With a settings file the spin interval is 405 ms from start-up: beat 7 comes at 2835 ms.
constexpr Micros kHitTime = 7 * 405 * kMs;

// Sub-step 9 starts the track: 6 beats of 405 ms after sub-step 0, one of 810 and one of 577.
constexpr Micros kTrackStart = kHitTime + (7 * 405 + 810 + 577 + 577) * kMs;

struct KeyPress {
  Micros at;
  std::string action;  // aup, adown, aleft, aright
};

struct Expected {
  std::vector<std::string> lines;
  Micros track_end = 0;
  Micros next_spin = 0;  // beat 1 of the spin cycle after the show
};

struct Scenario {
  Sound sound = kEffects;
  Stage stage;
  ForcedHit hit;
  Micros rad_length = kRadLength;
  std::vector<KeyPress> keys;
  std::vector<Micros> eye_end;  // an end of "eye.res" that falls into the lead-in
};

Expected ExpectedLog(const Scenario& scenario) {
  Expected out;
  Stage stage = scenario.stage;
  std::vector<std::pair<Micros, std::string>> timed;
  auto at = [&timed](Micros t, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) timed.emplace_back(t, line);
  };
  const ForcedHit& hit = scenario.hit;

  // The hit.
  at(kHitTime, HitLines(hit, scenario.sound == kEffects, stage.home_top));
  const std::string pose = std::to_string(hit.pose);

  out.track_end = kTrackStart + scenario.rad_length;
  std::vector<Beat> beats = LeadIn(scenario.sound);
  const auto show = ShowPasses();
  beats.insert(beats.end(), show.begin(), show.end());

  auto key = scenario.keys.begin();
  auto press_keys_before = [&](Micros t) {
    for (; key != scenario.keys.end() && key->at < t; ++key)
      at(key->at, {MoveHomeByArrow(key->action, stage.home_left, stage.home_top)});
  };

  Micros t = kHitTime;
  Micros interval = 405 * kMs;
  bool first = true;
  for (std::size_t i = 0;; ++i) {
    t += interval;
    if (t > out.track_end) break;  // a beat at the very moment of the end comes first
    press_keys_before(t);
    // After the last pass the beat numbers go on and nothing is done.
    const Beat beat = i < beats.size() ? beats[i] : Beat{120 + static_cast<int>(i - beats.size()), 3, "", 4, 0};
    at(t, {"beat " + std::to_string(beat.number) + " " + std::to_string(beat.state)});
    if (first && hit.odd_third) at(t, {"figure 3 " + pose});
    first = false;
    for (const std::string& item : Split(beat.action, ";")) {
      const auto lines = ItemLines(item, stage, beat.repeat_count);
      at(t, lines);
      for (const std::string& line : lines)
        if (line.rfind("interval ", 0) == 0) interval = std::stoll(line.substr(9)) * kMs;
    }
  }
  press_keys_before(out.track_end);

  // The end of the track ends the show; three seconds later the balloon goes and the beat restarts.
  at(out.track_end, ShowEndedLines(stage.home_left, stage.home_top));
  const Micros restart = out.track_end + 3000 * kMs;
  at(restart, RestartLines(scenario.sound == kBgm, stage.home_left, stage.home_top));
  out.next_spin = restart + 405 * kMs;
  at(out.next_spin, {"beat 1 0", "pose 2"});

  // Ends of the hit sound, which the lead-in ignores: their notice comes after the beat of that
  // moment.
  for (const Micros end : scenario.eye_end) {
    auto after = std::find_if(timed.begin(), timed.end(), [end](const auto& entry) { return entry.first > end; });
    timed.insert(after, {end, "dance 110"});
  }
  for (const auto& [time, line] : timed) out.lines.push_back(At(time, line));
  return out;
}

// ---------------------------------------------------------------------------------------------
// Running the simulator

class RadetzkyRun {
 public:
  // A run in "ラデッキー行進曲" mode with every spin a hit, closed 200 ms after the first beat of
  // the spin cycle that follows the show.
  std::vector<std::string> Run(std::uint32_t seed, Sound sound, const Expected& expected,
                               const std::vector<std::string>& sim_args, bool mini = false) {
    std::vector<std::string> program_args;
    if (mini) program_args.push_back("/m");
    program_args.push_back("/v");
    return runs_.Run(SongSettings(4, static_cast<int>(sound)), seed, expected.next_spin / kMs + 200, sim_args,
                     program_args);
  }

 private:
  SimRuns runs_;
};

RadetzkyRun& Runner() {
  static RadetzkyRun runner;
  return runner;
}

// The log from the hit to the first beat of the next spin cycle.
std::vector<std::string> ShowSpan(const std::vector<std::string>& log, const Expected& expected) {
  return During(log, kHitTime / kMs, expected.next_spin / kMs);
}

std::vector<std::string> RunScenario(std::uint32_t seed, const Scenario& scenario, const Expected& expected,
                                     std::vector<std::string> sim_args = {}) {
  if (scenario.rad_length != kRadLength) {
    sim_args.push_back("--track");
    sim_args.push_back("rad.res=" + std::to_string(scenario.rad_length / kMs));
  }
  for (const KeyPress& key : scenario.keys) {
    sim_args.push_back("--at");
    sim_args.push_back(std::to_string(key.at / kMs) + ":" + key.action);
  }
  return Runner().Run(seed, scenario.sound, expected, sim_args, scenario.stage.mini);
}

// Times of the lines with the given text.
std::vector<long long> TimesOf(const std::vector<std::string>& log, const std::string& what) {
  std::vector<long long> times;
  for (const std::string& line : log)
    if (line.substr(line.find(' ') + 1) == what) times.push_back(std::stoll(line));
  return times;
}

// ---------------------------------------------------------------------------------------------
// The tables themselves

TEST(RadetzkyShowTables, PassesTake64_80_32_32_80_16Beats) {
  std::map<int, int> beats_per_pass;
  for (const Beat& beat : ShowPasses()) ++beats_per_pass[beat.pass];
  EXPECT_EQ(beats_per_pass, (std::map<int, int>{{1, 64}, {2, 80}, {3, 32}, {4, 32}, {5, 80}, {6, 16}}));
  EXPECT_EQ(LeadIn(kEffects).size(), 19u);  // 16 calls with beat 8, then 9, 10, 11
}

// ---------------------------------------------------------------------------------------------
// The show beat by beat

struct SoundCase {
  Sound sound;
  const char* name;
};
const SoundCase kSoundCases[] = {{kEffects, "効果音あり"}, {kBgm, "ＢＧＭ"}, {kSilent, "なし"}};

TEST(RadetzkyShowGolden, LeadInAndSixPassesBeatByBeatThenSpinningAgainInEachSoundChoice) {
  for (const SoundCase& sound : kSoundCases) {
    for (const std::uint32_t seed : {SeedOfHit(1, false), SeedOfHit(10, false)}) {
      SCOPED_TRACE(std::string(sound.name) + ", seed " + std::to_string(seed));
      Scenario scenario;
      scenario.sound = sound.sound;
      scenario.hit = ModelForcedHit(seed);
      const Expected expected = ExpectedLog(scenario);
      ExpectSameLog(expected.lines, ShowSpan(RunScenario(seed, scenario, expected), expected));
    }
  }
}

TEST(RadetzkyShowGolden, OddThirdFallsIntoLineBeforeSubStep0) {
  for (const std::uint32_t seed : {SeedOfHit(1, true), SeedOfHit(7, true)}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Scenario scenario;
    scenario.hit = ModelForcedHit(seed);
    const Expected expected = ExpectedLog(scenario);
    ExpectSameLog(expected.lines, ShowSpan(RunScenario(seed, scenario, expected), expected));
  }
}

TEST(RadetzkyShowGolden, MiniModeHalvesThePosMovesButNotHomeTopPlus2) {
  const std::uint32_t seed = SeedOfHit(4, false);
  Scenario scenario;
  scenario.stage.mini = true;
  scenario.hit = ModelForcedHit(seed);
  const Expected expected = ExpectedLog(scenario);
  const auto seen = ShowSpan(RunScenario(seed, scenario, expected), expected);
  ExpectSameLog(expected.lines, seen);
  // D keeps its 2 pixels: beats 52, 54, 60 and 62 of pass 1, 84 and 86 of passes 2 to 6.
  EXPECT_EQ(TimesOf(seen, "moveto 1030 654").size(), 4u + 5u * 2u);
  // LMU is (HomeLeft - 8, HomeTop - 6): beat 27 of passes 1, 2 and 5, beats 108 and 110 of
  // passes 2, 3 and 5.
  EXPECT_EQ(TimesOf(seen, "moveto 1022 646").size(), 3u + 3u * 2u);
}

TEST(RadetzkyShowGolden, ArrowKeysDuringTheShowShiftEveryLaterMove) {
  // Between beats: in the lead-in, in pass 1 before the slides of beat 27, in pass 2, in pass 4
  // before the t:U hops of its variant, and in pass 6.
  Scenario base;
  base.hit = ModelForcedHit(1);
  const Micros t11 = kTrackStart + 9 * 578 * kMs;  // lead-in beat 11 with sound effects
  auto show_beat = [t11](int index) { return t11 + index * 577 * kMs + 100 * kMs; };
  for (const bool mini : {false, true}) {
    SCOPED_TRACE(mini ? "mini mode" : "normal");
    Scenario scenario = base;
    scenario.stage.mini = mini;
    scenario.keys = {{kHitTime + 3 * 405 * kMs + 100 * kMs, "adown"},
                     {show_beat(10), "aleft"},
                     {show_beat(10) + 30 * kMs, "aup"},
                     {show_beat(100), "aright"},
                     {show_beat(100) + 10 * kMs, "aright"},
                     {show_beat(176) + 50 * kMs, "aup"},
                     {show_beat(290), "aleft"}};
    const Expected expected = ExpectedLog(scenario);
    ExpectSameLog(expected.lines, ShowSpan(RunScenario(1, scenario, expected), expected));
  }
}

TEST(RadetzkyShowGolden, TrackEndingInPass2EndsTheShowThere) {
  // 60 s of track from sub-step 9 (7634 ms): the end falls in pass 2, on show beat 94.
  Scenario scenario;
  scenario.hit = ModelForcedHit(3);
  scenario.rad_length = 60000 * kMs;
  const Expected expected = ExpectedLog(scenario);
  const auto seen = ShowSpan(RunScenario(3, scenario, expected), expected);
  ExpectSameLog(expected.lines, seen);
  EXPECT_EQ(TimesOf(seen, "dance 110"), std::vector<long long>{67634});
  EXPECT_EQ(TimesOf(seen, "beat 1 0"), std::vector<long long>{71039});
}

TEST(RadetzkyShowGolden, HitSoundEndingInTheLeadInIsIgnored) {
  // "eye.res" of 0.5 s, played on sub-step 2 (4050 ms), ends in the lead-in.
  Scenario scenario;
  scenario.hit = ModelForcedHit(5);
  scenario.eye_end = {4550 * kMs};
  const Expected expected = ExpectedLog(scenario);
  ExpectSameLog(expected.lines, ShowSpan(RunScenario(5, scenario, expected, {"--track", "eye.res=500"}), expected));
}

// ---------------------------------------------------------------------------------------------
// Compact checks of single features, written apart from the expansion

class RadetzkyFullShow : public ::testing::Test {
 protected:
  static std::vector<std::string> ShowOf(Sound sound) {
    static std::map<Sound, std::vector<std::string>> logs;
    auto& log = logs[sound];
    if (log.empty()) {
      Scenario scenario;
      scenario.sound = sound;
      scenario.hit = ModelForcedHit(1);
      const Expected expected = ExpectedLog(scenario);
      log = ShowSpan(RunScenario(1, scenario, expected), expected);
    }
    return log;
  }
};

// Run-length table of the spacing between consecutive beats, from the hit to the last beat before
// the end of the track.
std::vector<std::pair<long long, int>> BeatSpacing(const std::vector<std::string>& log) {
  std::vector<long long> times;
  for (const std::string& line : log) {
    std::istringstream in(line);
    long long t = 0;
    std::string word, number, state;
    in >> t >> word >> number >> state;
    if (word == "beat" && state != "0") times.push_back(t);
    if (word == "dance" && number == "110" && !times.empty()) break;
  }
  std::vector<std::pair<long long, int>> runs;
  long long previous = 7 * 405;  // the hit
  for (const long long t : times) {
    if (runs.empty() || runs.back().first != t - previous) runs.push_back({t - previous, 0});
    ++runs.back().second;
    previous = t;
  }
  return runs;
}

TEST_F(RadetzkyFullShow, BeatSpacingIs577UntilBeat91OfPass6And617After) {
  // Sub-steps 0..6 come 405 ms apart (the spin tempo), 7 after 810 ms, 8 and 9 after 577 ms;
  // sub-step 9 sets 578 ms (580 without sound effects) up to lead-in beat 11, which sets 577 ms.
  // 577 ms holds for the 64 + 80 + 32 + 32 + 80 beats of passes 1..5 and the first 8 of pass 6
  // (84..91): 296 beats; beat 91 sets 617 ms for the 8 beats to 119 and the beats 120..123 that
  // come before the track ends.
  const std::vector<std::pair<long long, int>> with_effects = {{405, 7}, {810, 1}, {577, 2}, {578, 9},
                                                               {577, 296}, {617, 12}};
  const std::vector<std::pair<long long, int>> without = {{405, 7}, {810, 1}, {577, 2}, {580, 9},
                                                          {577, 296}, {617, 12}};
  EXPECT_EQ(BeatSpacing(ShowOf(kEffects)), with_effects);
  EXPECT_EQ(BeatSpacing(ShowOf(kBgm)), without);
  EXPECT_EQ(BeatSpacing(ShowOf(kSilent)), without);
}

TEST_F(RadetzkyFullShow, IntervalIsSetTo617OnBeat91OfPass6Only) {
  const auto log = ShowOf(kEffects);
  // Beat 91 of pass 6 is show beat 296 after lead-in beat 11 (12836 ms).
  EXPECT_EQ(TimesOf(log, "interval 617"), std::vector<long long>{12836 + 296 * 577});
  const auto beat91 = TimesOf(log, "beat 91 3");
  ASSERT_EQ(beat91.size(), 5u);  // passes 2 to 6
  EXPECT_EQ(beat91.back(), 12836 + 296 * 577);
}

TEST_F(RadetzkyFullShow, Form2AtTheStartOfPasses1_2And5) {
  for (const Sound sound : {kEffects, kSilent}) {
    const auto log = ShowOf(sound);
    const long long t11 = sound == kEffects ? 12836 : 12854;
    // Show beats 1, 65 and 209: beat 12 of passes 1, 2 and 5.
    const std::vector<long long> starts = {t11 + 577, t11 + 65 * 577, t11 + 209 * 577};
    EXPECT_EQ(TimesOf(log, "beat 12 3"), starts);
    EXPECT_EQ(TimesOf(log, "form2 show"), starts);
    EXPECT_EQ(TimesOf(log, "foreground"), starts);
  }
}

TEST_F(RadetzkyFullShow, TrackIsLoadedOnSubStep5AndStartedOnSubStep9InEverySoundChoice) {
  for (const SoundCase& sound : kSoundCases) {
    SCOPED_TRACE(sound.name);
    const auto log = ShowOf(sound.sound);
    EXPECT_EQ(TimesOf(log, "player render rad.res"), std::vector<long long>{5265});  // sub-step 5
    EXPECT_EQ(TimesOf(log, "dance 11"), std::vector<long long>{5265});
    const auto plays = TimesOf(log, "player play");
    EXPECT_NE(std::find(plays.begin(), plays.end(), 7634), plays.end());  // sub-step 9
    const auto eye = TimesOf(log, "player render eye.res");
    EXPECT_EQ(eye.size(), sound.sound == kEffects ? 1u : 0u);
  }
}

TEST_F(RadetzkyFullShow, AfterBeat119OnlyBeatLinesUntilTheTrackEndsInPose5AtHomeTopPlus2) {
  const auto log = ShowOf(kEffects);
  const auto last = std::find(log.begin(), log.end(), "188564 beat 119 3");
  ASSERT_NE(last, log.end());
  // Beat 119 keeps pose 5 of beat 118 and lowers the window to HomeTop + 2.
  EXPECT_EQ(*(last + 1), "188564 top 654");
  EXPECT_EQ(*(last - 1), "187947 top 652");
  EXPECT_EQ(*(last - 2), "187947 pose 5");
  const std::vector<std::string> after = {"189181 beat 120 3", "189798 beat 121 3", "190415 beat 122 3",
                                          "191032 beat 123 3", "191065 dance 110"};
  const auto index = static_cast<std::size_t>(last - log.begin()) + 2;
  EXPECT_EQ(std::vector<std::string>(log.begin() + static_cast<long>(std::min(index, log.size())),
                                     log.begin() + static_cast<long>(std::min(index + after.size(), log.size()))),
            after);
  // Where the window was before the end: the last left and moveto lines leave it at HomeLeft.
  std::string last_left;
  for (auto line = log.begin(); line != last + 2; ++line) {
    std::istringstream in(*line);
    std::string t, word, x;
    in >> t >> word >> x;
    if (word == "left" || word == "moveto") last_left = x;
  }
  EXPECT_EQ(last_left, "1030");
}

TEST_F(RadetzkyFullShow, TrackEndShowsTheBalloonAndRestartsThreeSecondsLater) {
  // The track starts on sub-step 9 (7634 ms) and lasts 183431.836 ms.
  const std::vector<std::string> end = {
      "191065 dance 110", "191065 enabled 0",  "191065 form2 hide", "191065 player stop",
      "191065 form3 show", "191065 pose 1",    "191065 top 652",    "191065 left 1030",
      "191065 interval 405", "191065 timer1 1", "194065 form3 hide", "194065 timer1 0",
      "194065 enabled 0",  "194065 player stop", "194065 player empty", "194065 player render kokab.res",
      "194065 player stop", "194065 player seek 100000", "194065 caption 停止", "194065 pose 1",
      "194065 top 652",    "194065 left 1030",  "194065 interval 405", "194065 enabled 1",
      "194470 beat 1 0",   "194470 pose 2"};
  const auto log = ShowOf(kEffects);
  const auto from = std::find(log.begin(), log.end(), end.front());
  ASSERT_NE(from, log.end());
  EXPECT_EQ(std::vector<std::string>(from, log.end()), end);
}

}  // namespace
}  // namespace zumbolo
