// Golden-log tests of the Heaven and Hell show (mode 0, track "bgm.res"): the hit, the 44-beat
// lead-in in each sound choice, the show script danced in four passes with their variants,
// expanded beat by beat from tables written in the script's own notation, the beat interval over
// the whole show, the still figures after the last pass, and the end of the show when the track
// ends, with the restart three seconds later.

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
  int PosLeftMid() const { return home_left - (mini ? 8 : 16); }
  int PosRightMid() const { return home_left + (mini ? 8 : 16); }
  int PosLeftFar() const { return home_left - (mini ? 16 : 32); }
  int PosRightFar() const { return home_left + (mini ? 16 : 32); }

  // The window codes of the show script, each one MoveWindowTo(left, top).
  std::string MoveTo(const std::string& code) const {
    const std::vector<std::pair<std::string, std::pair<int, int>>> codes = {
        {"H", {home_left, home_top}},       {"U", {home_left, PosTopHigh()}},
        {"LM", {PosLeftMid(), home_top}},   {"RM", {PosRightMid(), home_top}},
        {"LF", {PosLeftFar(), home_top}},   {"RF", {PosRightFar(), home_top}},
        {"LMU", {PosLeftMid(), PosTopHigh()}}, {"RMU", {PosRightMid(), PosTopHigh()}},
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
  if (action == "top := PosTopHigh") return {"top " + std::to_string(stage.PosTopHigh())};
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
struct AlsoRow {
  int beat;
  const char* when;
  const char* actions;
};

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
    if (beat < first || beat > last || !Holds(row.when, repeat_count)) continue;
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

// The show as the routine walks through the script: from beat 12 with RepeatCount 0 and
// RepeatPending set (lead-in beat 10). Beat 87 in pass 1 goes back to 12; beat 92 goes back to 17
// after pass 2, to 16 after pass 3, and after pass 4 only draws pose 2: the script is over.
struct ShowBeat {
  ExpectedBeat beat;
  int repeat_count;
};

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

class HeavenRun {
 public:
  // A run in "天国と地獄" with every spin a hit; `tracks` are --track values.
  std::vector<std::string> Run(std::uint32_t seed, Sound sound, bool mini, long long until_ms,
                               std::vector<std::string> tracks = {}) {
    std::ofstream(dir_.path() / "zumbolo.ini", std::ios::binary | std::ios::trunc)
        << "[mode]\r\nmode=0\r\n[sound]\r\nkoka=" << static_cast<int>(sound) << "\r\n";
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

HeavenRun& Runner() {
  static HeavenRun runner;
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

// The beats of the show (DanceState dsShow), cut into runs of consecutive beat numbers.
std::vector<std::vector<LoggedBeat>> Runs(const std::vector<LoggedBeat>& beats) {
  std::vector<std::vector<LoggedBeat>> runs;
  for (const LoggedBeat& beat : beats) {
    if (beat.state != 3) continue;
    if (runs.empty() || beat.number != runs.back().back().number + 1) runs.emplace_back();
    runs.back().push_back(beat);
  }
  return runs;
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
                                     [](const std::string& l) { return WordsOf(l) == "beat 12 3"; });
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
    EXPECT_EQ(WithoutTimesAt(log, sub_step5),
              (std::vector<std::string>{"beat 8 2", "dance 4", "player stop", "player empty",
                                        "player render bgm.res", "player seek 0"}));
    EXPECT_EQ(WithoutTimesAt(log, sub_step9),
              (std::vector<std::string>{"beat 8 2", "dance 0", "player play",
                                        sound == Sound::kEffects ? "interval 350" : "interval 352"}));
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

TEST(HeavenAndHellLeadIn, OddThirdFigureFallsIntoLineOnTheFirstLeadInBeat) {
  for (const std::uint32_t seed : {SeedOfHit(1, true), SeedOfHit(10, true)}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const ForcedHit hit = ModelForcedHit(seed);
    ASSERT_TRUE(hit.odd_third);
    const auto log = Runner().Run(seed, Sound::kEffects, false, 25000);
    EXPECT_EQ(WithoutTimesAt(log, kHitMs).back(),
              "poses " + std::to_string(hit.pose) + " " + std::to_string(hit.pose) + " " + (hit.pose == 1 ? "5" : "1"));
    EXPECT_EQ(WithoutTimesAt(log, kHitMs + 405),
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
    EXPECT_NE(std::find_if(seen.begin(), seen.end(), [&](const std::string& l) { return WordsOf(l) == std::string(move); }),
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
  const auto at_end = WithoutTimesAt(log, static_cast<long long>(end));
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
