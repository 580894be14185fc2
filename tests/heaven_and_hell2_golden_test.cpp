// Golden-log tests of the Heaven and Hell ver. 2 show (mode 1, track "bgm.res"): the hit, the
// 44-beat lead-in in each sound choice, the show script over beats 11 to 185 danced in four passes
// with their entry and exit beats, expanded beat by beat from tables written in the script's own
// notation, the beat interval over the whole show, the fixed hops D and U18 in mini mode, the
// figures standing still after beat 185, and the end of the show when the track ends, with the
// restart three seconds later.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/sim_run.h"

namespace zumbolo {
namespace {

using testing::During;
using testing::RunSim;
using testing::ScratchDir;

// ---------------------------------------------------------------------------------------------
// The random draws of a forced hit ("/v"), from a model of the program's generator: a 32-bit
// LCG (state := state * 134775813 + 1), a draw below n being the high half of state * n. The hit
// draws its pose from {1, 4, 7, 10}, then below 5: a 4 puts figure 3 out of line.

struct ForcedHit {
  int pose = 0;
  bool odd_third = false;
};

ForcedHit ModelForcedHit(std::uint32_t seed) {
  std::uint32_t state = seed;
  auto below = [&state](int n) {
    state = state * 134775813u + 1u;
    return static_cast<int>((static_cast<std::uint64_t>(state) * static_cast<std::uint64_t>(n)) >> 32);
  };
  constexpr std::array<int, 4> kResultPoses = {1, 4, 7, 10};
  ForcedHit hit;
  hit.pose = kResultPoses[below(4)];
  hit.odd_third = below(5) == 4;
  return hit;
}

// The first seed whose forced hit has the given pose and odd-third draw.
std::uint32_t SeedOfHit(int pose, bool odd_third) {
  for (std::uint32_t seed = 1; seed < 1000000; ++seed) {
    const ForcedHit hit = ModelForcedHit(seed);
    if (hit.pose == pose && hit.odd_third == odd_third) return seed;
  }
  ADD_FAILURE() << "no seed for pose " << pose;
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Text helpers for the tables

const std::string kDash = "–";   // no drawing, no move
const std::string kRange = "–";  // 12–19

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(separator, from);
    parts.push_back(Trim(text.substr(from, at == std::string::npos ? std::string::npos : at - from)));
    if (at == std::string::npos) return parts;
    from = at + separator.size();
  }
}

// "12–19" or "82".
std::pair<int, int> BeatRange(const std::string& beats) {
  const std::size_t dash = beats.find(kRange);
  if (dash == std::string::npos) return {std::stoi(beats), std::stoi(beats)};
  return {std::stoi(beats.substr(0, dash)), std::stoi(beats.substr(dash + kRange.size()))};
}

// A condition on RepeatCount as the script writes it: "" (always), "RC 3", "RC not 0",
// "RC 0 or 3".
bool Holds(const std::string& when, int repeat_count) {
  if (when.empty()) return true;
  if (when.rfind("RC ", 0) != 0) throw std::invalid_argument("unknown condition " + when);
  std::string values = when.substr(3);
  const bool negated = values.rfind("not ", 0) == 0;
  if (negated) values = values.substr(4);
  bool listed = false;
  for (const std::string& value : Split(values, " or ")) listed = listed || std::stoi(value) == repeat_count;
  return listed != negated;
}

// ---------------------------------------------------------------------------------------------
// Window positions

struct Stage {
  int home_left = 1030;  // work area 1280 x 770: width − 250
  int home_top = 652;    // height − 118
  bool mini = false;

  int PosTopHigh() const { return home_top - (mini ? 6 : 12); }
  int PosTopLow() const { return home_top - (mini ? 3 : 6); }
  int PosLeftMid() const { return home_left - (mini ? 8 : 16); }
  int PosRightMid() const { return home_left + (mini ? 8 : 16); }
  int PosLeftFar() const { return home_left - (mini ? 16 : 32); }
  int PosRightFar() const { return home_left + (mini ? 16 : 32); }

  // The window codes of the show script, each one MoveWindowTo(left, top). The tops of D and
  // U18 are fixed offsets from HomeTop, the same in mini mode.
  std::string MoveTo(const std::string& code) const {
    const std::vector<std::pair<std::string, std::pair<int, int>>> codes = {
        {"H", {home_left, home_top}},
        {"U", {home_left, PosTopHigh()}},
        {"L", {home_left, PosTopLow()}},
        {"U18", {home_left, home_top - 18}},
        {"D", {home_left, home_top + 2}},
        {"LM", {PosLeftMid(), home_top}},
        {"RM", {PosRightMid(), home_top}},
        {"LF", {PosLeftFar(), home_top}},
        {"RF", {PosRightFar(), home_top}},
        {"LMU", {PosLeftMid(), PosTopHigh()}},
        {"RMU", {PosRightMid(), PosTopHigh()}},
        {"LMD", {PosLeftMid(), home_top + 2}},
        {"RMD", {PosRightMid(), home_top + 2}},
    };
    for (const auto& [name, place] : codes)
      if (name == code) return "moveto " + std::to_string(place.first) + " " + std::to_string(place.second);
    throw std::invalid_argument("unknown window code " + code);
  }
};

const Stage kNormal{1030, 652, false};
const Stage kMini{1030, 652, true};

// ---------------------------------------------------------------------------------------------
// The sound choice and what the request codes write to the log

enum class Sound { kEffects = 0, kBgm = 1, kNone = 2 };  // koka=0 効果音あり, 1 ＢＧＭ, 2 なし

std::string Name(Sound sound) {
  return sound == Sound::kEffects ? "効果音あり" : sound == Sound::kBgm ? "ＢＧＭ" : "なし";
}

// LoadTrack: stop; the graph is emptied since the stop succeeds (the player is active); render;
// back to the start.
std::vector<std::string> LoadTrackLines(int code, const std::string& file) {
  return {"dance " + std::to_string(code), "player stop", "player empty", "player render " + file,
          "player seek 0"};
}

std::vector<std::string> CueLines(const std::string& code) {
  if (code == "dcPlay") return {"dance 0", "player play"};
  if (code == "dcLoadHitSound") return LoadTrackLines(2, "eye.res");
  if (code == "dcLoadHeavenTrack") return LoadTrackLines(4, "bgm.res");
  // The background music is playing when the lead-in halts it: stop, then empty the graph.
  if (code == "dcHaltMusic") return {"dance 9", "player stop", "player empty"};
  throw std::invalid_argument("unknown code " + code);
}

// One action of a table, in the tables' words, as the log lines it writes.
std::vector<std::string> ActionLines(const std::string& action, const Stage& stage) {
  if (action.empty() || action == kDash) return {};
  if (action.rfind("dc", 0) == 0) return CueLines(action);
  if (action.rfind("pose ", 0) == 0 || action.rfind("interval ", 0) == 0 || action == "overlay") return {action};
  if (action == "top := HomeTop") return {"top " + std::to_string(stage.home_top)};
  if (action.rfind("move ", 0) == 0) return {stage.MoveTo(action.substr(5))};
  if (action == "show Form2") return {"form2 show"};
  if (action == "SetForegroundWindow") return {"foreground"};
  throw std::invalid_argument("unknown action " + action);
}

std::vector<std::string> ActionsLines(const std::string& actions, const Stage& stage) {
  std::vector<std::string> lines;
  if (actions.empty()) return lines;
  for (const std::string& action : Split(actions, "; "))
    for (const std::string& line : ActionLines(action, stage)) lines.push_back(line);
  return lines;
}

// ---------------------------------------------------------------------------------------------
// The lead-in. Beat 8 runs the sub-steps 0..39, one a beat; the actions of the sound choice
// follow those that every choice has.

struct SubStepRow {
  const char* sub_steps;  // a list gives one pose per sub-step in the first column
  const char* every_choice;
  const char* effects;  // 効果音あり (N10)
  const char* bgm;      // ＢＧＭ (N12)
  const char* none;     // なし
};

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

struct ExpectedBeat {
  int number = 0;
  int state = 0;  // DanceState before the routine acts
  std::vector<std::string> lines;
};

std::vector<std::string> SubStepLines(int sub_step, Sound sound, const Stage& stage) {
  for (const SubStepRow& row : kSubSteps) {
    const auto sub_steps = Split(row.sub_steps, ", ");
    for (std::size_t i = 0; i < sub_steps.size(); ++i) {
      if (std::stoi(sub_steps[i]) != sub_step) continue;
      std::string common = row.every_choice;
      if (sub_steps.size() > 1) common = "pose " + Split(common.substr(5), ", ").at(i);
      auto lines = ActionsLines(common, stage);
      const char* own = sound == Sound::kEffects ? row.effects : sound == Sound::kBgm ? row.bgm : row.none;
      for (const std::string& line : ActionsLines(own, stage)) lines.push_back(line);
      return lines;
    }
  }
  return {};
}

std::vector<ExpectedBeat> LeadInBeats(Sound sound, const Stage& stage, const ForcedHit& hit) {
  std::vector<ExpectedBeat> beats;
  for (int sub_step = 0; sub_step < kSubStepCount; ++sub_step)
    beats.push_back({8, 2, SubStepLines(sub_step, sound, stage)});
  for (const auto& [beat, actions] : kAfterLoop) beats.push_back({beat, 2, ActionsLines(actions, stage)});
  // The odd third figure falls into line on the first lead-in beat, before sub-step 0.
  if (hit.odd_third) beats.front().lines.insert(beats.front().lines.begin(), "figure 3 " + std::to_string(hit.pose));
  return beats;
}

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
struct AlsoRow {
  int beat;
  const char* when;
  const char* actions;
};

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

std::string PoseLine(const std::string& poses) {
  if (poses == kDash) return "";
  const auto figures = Split(poses, "/");
  if (figures.size() == 1) return "pose " + std::to_string(std::stoi(poses));
  if (figures.size() != 3) throw std::invalid_argument("three poses expected: " + poses);
  std::string line = "poses";
  for (const std::string& figure : figures) line += " " + (figure == "x" ? std::string("-1") : figure);
  return line;
}

// The lines of one beat of the script, for the given RepeatCount.
std::vector<std::string> ScriptLines(int beat, int repeat_count, const Stage& stage) {
  std::vector<std::string> lines;
  int rows = 0;
  for (const ShowRow& row : kShowScript) {
    const auto [first, last] = BeatRange(row.beats);
    if (beat < first || beat > last) continue;
    ++rows;
    const auto poses = Split(row.poses, ", ");
    const auto window = Split(row.window, ", ");
    const std::size_t count = static_cast<std::size_t>(last - first + 1);
    if (poses.size() != count || window.size() != count)
      throw std::invalid_argument(std::string("row ") + row.beats + " has the wrong length");
    const std::size_t i = static_cast<std::size_t>(beat - first);
    if (const std::string pose = PoseLine(poses[i]); !pose.empty()) lines.push_back(pose);
    if (window[i] != kDash) lines.push_back(stage.MoveTo(window[i]));
  }
  if (rows != 1) throw std::invalid_argument("beat " + std::to_string(beat) + " matches " + std::to_string(rows) + " rows");
  for (const AlsoRow& also : kAlso)
    if (also.beat == beat && Holds(also.when, repeat_count))
      for (const std::string& line : ActionsLines(also.actions, stage)) lines.push_back(line);
  return lines;
}

// The show as the routine walks through the script: from beat 12 with RepeatCount 0, taking the
// jumps, up to beat 185; the beats after it do nothing.
struct ShowBeat {
  ExpectedBeat beat;
  int repeat_count;
};

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
// The expected log

// Durations in ms (from the tracks' frames); the ones that the tests keep out of the way.
constexpr double kBgmTrackMs = 122644.897;
constexpr const char* kEyeTrack = "eye.res=60000";
constexpr const char* kSpringTrack = "spring.res=600000";

// With a settings file the spin interval is 405 ms from start-up, so beat 7 of the first spin
// cycle, a hit with "/v", comes at 2835 ms.
constexpr long long kHitMs = 7 * 405;

struct ShowRun {
  Sound sound = Sound::kEffects;
  Stage stage = kNormal;
  ForcedHit hit;
  double track_ms = kBgmTrackMs;
};

std::string At(long long ms, const std::string& line) { return std::to_string(ms) + " " + line; }

// From the hit on beat 7 to beat 1 of the spin cycle after the show. Every beat comes the
// interval in force after the one before; the track starts with sub-step 9's dcPlay and its end
// ends the show (dcShowEnded); three seconds later Timer1 restarts the beat.
std::vector<std::string> ExpectedLog(const ShowRun& run) {
  const Stage& stage = run.stage;
  std::vector<std::string> log;
  auto add = [&log](long long ms, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) log.push_back(At(ms, line));
  };
  // The hit: counted, the cue stopped (sound effects only), the hop of 3 pixels, the hit pose.
  std::vector<std::string> hit_lines = {"beat 7 0", "hits 1 1"};
  if (run.sound == Sound::kEffects) hit_lines.push_back("player stop");
  hit_lines.push_back("top " + std::to_string(stage.home_top - 3));
  const std::string p = std::to_string(run.hit.pose);
  hit_lines.push_back(run.hit.odd_third ? "poses " + p + " " + p + " " + (run.hit.pose != 1 ? "1" : "5")
                                        : "pose " + p);
  add(kHitMs, hit_lines);

  std::vector<ExpectedBeat> beats = LeadInBeats(run.sound, stage, run.hit);
  for (const ShowBeat& beat : ShowBeats(stage)) beats.push_back(beat.beat);

  long long ms = kHitMs;
  long long interval = 405;
  double track_start = -1;
  double track_end = 1e18;
  int number = 0;
  bool song_loaded = false;
  for (std::size_t i = 0;; ++i) {
    if (static_cast<double>(ms + interval) > track_end) break;  // a beat at the same moment comes first
    ms += interval;
    // After the script, the later beats do nothing but count.
    ExpectedBeat beat = i < beats.size() ? beats[i] : ExpectedBeat{number + 1, 3, {}};
    number = beat.number;
    add(ms, {"beat " + std::to_string(beat.number) + " " + std::to_string(beat.state)});
    add(ms, beat.lines);
    for (const std::string& line : beat.lines) {
      if (line.rfind("interval ", 0) == 0) interval = std::stoll(line.substr(9));
      if (line == "player render bgm.res") song_loaded = true;
      if (line == "player play" && song_loaded && track_start < 0) {  // the song starts
        track_start = static_cast<double>(ms);
        track_end = track_start + run.track_ms;
      }
    }
  }
  // dcShowEnded: clock off, Form2 hidden, player stopped, Form3 shown, ResetToIdle, the spin
  // tempo, Timer1 on.
  const auto end = static_cast<long long>(std::floor(track_end));
  const std::vector<std::string> reset = {"pose 1", "top " + std::to_string(stage.home_top),
                                          "left " + std::to_string(stage.home_left)};
  add(end, {"dance 110", "enabled 0", "form2 hide", "player stop", "form3 show"});
  add(end, reset);
  add(end, {"interval 405", "timer1 1"});
  // Timer1Timer: Form3 hidden, Timer1 off, RestartBeat: clock off, stop and empty, the start
  // track, caption, ResetToIdle, the background music played again (ＢＧＭ), clock on.
  const auto restart = static_cast<long long>(std::floor(track_end + 3000));
  add(restart, {"form3 hide", "timer1 0", "enabled 0", "player stop", "player empty"});
  if (run.sound == Sound::kBgm) add(restart, {"player render spring.res", "player seek 9840000"});
  else add(restart, {"player render kokab.res", "player stop", "player seek 100000"});
  add(restart, {"caption 停止"});
  add(restart, reset);
  if (run.sound == Sound::kBgm) add(restart, {"player play"});
  add(restart, {"interval 405", "enabled 1"});
  // Spinning again.
  add(static_cast<long long>(std::floor(track_end + 3405)), {"beat 1 0", "pose 2"});
  return log;
}

long long NextSpinMs(double track_end_ms) { return static_cast<long long>(std::floor(track_end_ms + 3405)); }

// ---------------------------------------------------------------------------------------------
// Running the simulator

bool IsLogLine(const std::string& line) {
  std::istringstream in(line);
  std::string time, word, argument;
  in >> time >> word >> argument;
  static const std::set<std::string> kWords = {
      "beat",     "pose",    "poses", "figure", "overlay", "moveto", "top",     "left",    "interval",
      "enabled",  "dance",   "timer1", "caption", "check",  "visible", "hits",  "error",   "message",
      "foreground"};
  if (kWords.count(word)) return true;
  if (word == "form2" || word == "form3") return argument == "show" || argument == "hide";
  static const std::set<std::string> kPlayer = {"active", "render", "play", "stop", "empty", "seek"};
  return word == "player" && kPlayer.count(argument);
}

class Heaven2Run {
 public:
  // A run in "天国と地獄 ver.2" with every spin a hit; `tracks` are --track values.
  std::vector<std::string> Run(std::uint32_t seed, Sound sound, bool mini, long long until_ms,
                               std::vector<std::string> tracks = {}) {
    std::ofstream(dir_.path() / "zumbolo.ini", std::ios::binary | std::ios::trunc)
        << "[mode]\r\nmode=1\r\n[sound]\r\nkoka=" << static_cast<int>(sound) << "\r\n";
    // The tracks kept out of the way come first, so that a test's own value wins.
    tracks.insert(tracks.begin(), {kEyeTrack, kSpringTrack});
    std::vector<std::string> args = {"--dir", dir_.str(), "--seed", std::to_string(seed), "--until",
                                     std::to_string(until_ms)};
    for (const std::string& track : tracks) {
      args.push_back("--track");
      args.push_back(track);
    }
    args.push_back("--");
    if (mini) args.push_back("/m");
    args.push_back("/v");
    std::vector<std::string> out;
    for (const auto& line : RunSim(args))
      if (IsLogLine(line)) out.push_back(line);
    return out;
  }

  // The log from the hit to the first beat of the spin cycle after the show.
  std::vector<std::string> Show(std::uint32_t seed, const ShowRun& run, std::vector<std::string> tracks = {}) {
    const long long next = NextSpinMs(StartOfSong() + run.track_ms);
    return During(Run(seed, run.sound, run.stage.mini, next + 100, std::move(tracks)), kHitMs, next);
  }

  // Sub-step 9 starts the song: 7 beats at 405 ms from the hit (sub-steps 0 to 6), then 3 at 706.
  static double StartOfSong() { return kHitMs + 7 * 405 + 3 * 706; }

 private:
  ScratchDir dir_;
};

Heaven2Run& Runner() {
  static Heaven2Run runner;
  return runner;
}

std::string FirstDifference(const std::vector<std::string>& expected, const std::vector<std::string>& seen) {
  for (std::size_t i = 0; i < std::max(expected.size(), seen.size()); ++i) {
    const std::string e = i < expected.size() ? expected[i] : "(nothing)";
    const std::string s = i < seen.size() ? seen[i] : "(nothing)";
    if (e != s) return "line " + std::to_string(i) + ": expected \"" + e + "\", seen \"" + s + "\"";
  }
  return "no difference";
}

void ExpectSameLog(const std::vector<std::string>& expected, const std::vector<std::string>& seen) {
  EXPECT_EQ(expected.size(), seen.size());
  EXPECT_TRUE(expected == seen) << FirstDifference(expected, seen);
}

// The log read back as beats: time, number, state and the lines written at the beat's moment.
struct LoggedBeat {
  long long ms = 0;
  int number = 0;
  int state = 0;
  std::vector<std::string> lines;
};

long long TimeOf(const std::string& line) { return std::stoll(line.substr(0, line.find(' '))); }
std::string WordsOf(const std::string& line) { return line.substr(line.find(' ') + 1); }

// The lines written at one moment, without their times.
std::vector<std::string> WithoutTimesAt(const std::vector<std::string>& log, long long ms) {
  return testing::WithoutTimes(During(log, ms, ms));
}

std::vector<LoggedBeat> Beats(const std::vector<std::string>& log) {
  std::vector<LoggedBeat> beats;
  for (const std::string& line : log) {
    std::istringstream words(WordsOf(line));
    std::string word;
    words >> word;
    if (word == "beat") {
      LoggedBeat beat;
      beat.ms = TimeOf(line);
      words >> beat.number >> beat.state;
      beats.push_back(beat);
    } else if (!beats.empty() && beats.back().ms == TimeOf(line)) {
      beats.back().lines.push_back(WordsOf(line));
    }
  }
  return beats;
}

// The beats of the show script (DanceState dsShow, beats up to 185), cut into runs of
// consecutive beat numbers.
std::vector<std::vector<LoggedBeat>> Runs(const std::vector<LoggedBeat>& beats) {
  std::vector<std::vector<LoggedBeat>> runs;
  for (const LoggedBeat& beat : beats) {
    if (beat.state != 3 || beat.number > kLastScriptBeat) continue;
    if (runs.empty() || beat.number != runs.back().back().number + 1) runs.emplace_back();
    runs.back().push_back(beat);
  }
  return runs;
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
                                     [](const std::string& l) { return WordsOf(l) == "beat 12 3"; });
    ASSERT_NE(beat12, expected.end());
    const long long beat11_ms = TimeOf(*(beat12 - 1));
    const auto seen = During(Runner().Run(seed, sound, false, 25000), kHitMs, beat11_ms);
    ExpectSameLog(std::vector<std::string>(expected.begin(), beat12), seen);
    // Beat 11 brings the window home, ends the lead-in and sets the show's tempo.
    EXPECT_EQ(WithoutTimesAt(seen, beat11_ms),
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
    EXPECT_EQ(WithoutTimesAt(log, sub_step5),
              (std::vector<std::string>{"beat 8 2", "dance 4", "player stop", "player empty",
                                        "player render bgm.res", "player seek 0"}));
    EXPECT_EQ(WithoutTimesAt(log, sub_step9),
              (std::vector<std::string>{"beat 8 2", "dance 0", "player play",
                                        sound == Sound::kEffects ? "interval 349" : "interval 351"}));
    // Nothing else is rendered or played between the hit and the show but the jingle (sound
    // effects only: loaded on sub-step 0, played on sub-step 2).
    std::vector<std::string> renders_and_plays;
    for (const std::string& line : During(log, kHitMs, 25000))
      if (WordsOf(line).rfind("player render", 0) == 0 || WordsOf(line) == "player play")
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
    EXPECT_EQ(WithoutTimesAt(log, kHitMs).back(),
              "poses " + std::to_string(hit.pose) + " " + std::to_string(hit.pose) + " " + (hit.pose == 1 ? "5" : "1"));
    EXPECT_EQ(WithoutTimesAt(log, kHitMs + 405),
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
                           [&](const std::string& l) { return WordsOf(l) == std::string(move); }),
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
  const auto at_end = WithoutTimesAt(log, static_cast<long long>(end));
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
