// Golden-log tests of the Funiculì show (mode 3, "fun.res"): the hit and the 23-beat lead-in in
// each sound choice (beat 9 empty, Form2 shown on lead-in beat 11), then the show expanded beat by
// beat from tables written in the shape of the show's own script: the first pass from beat 12 to
// 115, the single loop-back to 84, the second pass with its variant of beats 98 to 105, the
// closing beats 116 to 127, the quiet beats after them, the beat intervals (810, 451, 449, 450,
// 451 ms), the beats that leave the window alone, and the end of the show when the track ends,
// with the restart three seconds later.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/sim_run.h"

namespace zumbolo {
namespace {

using testing::During;
using testing::RunSim;
using testing::ScratchDir;
using testing::WithoutTimes;
using Lines = std::vector<std::string>;

// ---------------------------------------------------------------------------------------------
// The random draws of a forced hit ("/v"), from a model of the program's generator: a 32-bit LCG
// (state := state * 134775813 + 1), a draw below n being the high half of state * n. The hit
// draws its pose from {1, 4, 7, 10}, then one below 5: a 4 puts figure 3 out of line.

struct ForcedHit {
  int pose = 0;
  bool odd_third = false;
  int third = 0;  // what figure 3 shows at the stop
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
  hit.third = !hit.odd_third ? hit.pose : hit.pose != 1 ? 1 : 5;
  return hit;
}

std::uint32_t SeedOfHit(const std::function<bool(const ForcedHit&)>& wanted) {
  for (std::uint32_t seed = 1; seed < 1000000; ++seed)
    if (wanted(ModelForcedHit(seed))) return seed;
  ADD_FAILURE() << "no seed found";
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Window positions on the work area 1280x770 (home 1030, 652), named by the show's window codes.

struct Stage {
  int home_left = 1030;
  int home_top = 652;
  bool mini = false;

  int TopHigh() const { return home_top - (mini ? 6 : 12); }
  int TopLow() const { return home_top - (mini ? 3 : 6); }
  int LeftMid() const { return home_left - (mini ? 8 : 16); }
  int RightMid() const { return home_left + (mini ? 8 : 16); }
  int LeftFar() const { return home_left - (mini ? 16 : 32); }
  int RightFar() const { return home_left + (mini ? 16 : 32); }

  // A window code of the script: one MoveWindowTo.
  std::string MoveTo(const std::string& code) const {
    const std::map<std::string, std::pair<int, int>> places = {
        {"H", {home_left, home_top}},    {"U", {home_left, TopHigh()}},   {"S", {home_left, TopLow()}},
        {"LM", {LeftMid(), home_top}},   {"RM", {RightMid(), home_top}},  {"LF", {LeftFar(), home_top}},
        {"RF", {RightFar(), home_top}},  {"LMU", {LeftMid(), TopHigh()}}, {"RMU", {RightMid(), TopHigh()}}};
    const auto place = places.find(code);
    if (place == places.end()) throw std::invalid_argument("unknown window code " + code);
    return "moveto " + std::to_string(place->second.first) + " " + std::to_string(place->second.second);
  }
};

// ---------------------------------------------------------------------------------------------
// The script notation: lists separated by commas; a pose p is ShowPose, a/b/c is ShowPoses,
// "overlay" the sparkle; a window code is a MoveWindowTo, "top H" the main window's top alone;
// – means nothing on that beat.

const std::string kNone = "–";

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Items(const std::string& list) {
  std::vector<std::string> items;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, ',');) items.push_back(Trim(item));
  return items;
}

std::optional<std::string> FigureLine(const std::string& item) {
  if (item == kNone) return std::nullopt;
  if (item == "overlay") return "overlay";
  if (item.find('/') == std::string::npos) return "pose " + std::to_string(std::stoi(item));
  std::string line = "poses";
  std::stringstream in(item);
  int count = 0;
  for (std::string pose; std::getline(in, pose, '/'); ++count) line += " " + (pose == "x" ? "-1" : pose);
  if (count != 3) throw std::invalid_argument("three poses expected: " + item);
  return line;
}

std::optional<std::string> WindowLine(const std::string& item, const Stage& stage) {
  if (item == kNone) return std::nullopt;
  if (item == "top H") return "top " + std::to_string(stage.home_top);
  return stage.MoveTo(item);
}

// ---------------------------------------------------------------------------------------------
// Sound choices and the player lines of the cues

enum class Sound { kEffects = 0, kBgm = 1, kNone = 2 };  // 効果音あり, ＢＧＭ, なし: "koka"

const char* NameOf(Sound sound) {
  return sound == Sound::kEffects ? "Effects" : sound == Sound::kBgm ? "Bgm" : "None";
}
void PrintTo(Sound sound, std::ostream* os) { *os << NameOf(sound); }

// LoadTrack: the player is active, so its Stop succeeds and the graph is emptied; then the new
// track is rendered and positioned at its start.
Lines LoadTrack(const std::string& file) {
  return {"player stop", "player empty", "player render " + file, "player seek 0"};
}

// The cues of the lead-in, by the words of the table below.
Lines CueLines(const std::string& cue, Sound sound) {
  if (cue == kNone) return {};
  if (cue == "hit sound loaded") {  // code 2, only with 効果音あり
    if (sound != Sound::kEffects) return {};
    Lines lines = {"dance 2"};
    for (const auto& line : LoadTrack("eye.res")) lines.push_back(line);
    return lines;
  }
  if (cue == "hit sound played or music halted") {
    if (sound == Sound::kEffects) return {"dance 0", "player play"};
    // Code 9 with ＢＧＭ: the background music is playing, so it is stopped; then the graph emptied.
    if (sound == Sound::kBgm) return {"dance 9", "player stop", "player empty"};
    return {};
  }
  if (cue == "song loaded") {  // code 10, in every sound choice
    Lines lines = {"dance 10"};
    for (const auto& line : LoadTrack("fun.res")) lines.push_back(line);
    return lines;
  }
  if (cue == "song started") return {"dance 0", "player play"};
  throw std::invalid_argument("unknown cue " + cue);
}

std::optional<std::string> IntervalLine(const std::string& item) {
  if (item == kNone) return std::nullopt;
  return "interval " + Trim(item);
}

// ---------------------------------------------------------------------------------------------
// The lead-in (dsLeadIn = 2). The hit has drawn the hit pose with the window at HomeTop − 3.
// Every call with beat 8 first redraws figure 3 if it was out of line; then, until LeadInDone,
// one sub-step a call (sub-steps not listed do nothing); then one closing call.

struct LeadInRow {
  const char* sub_steps;  // the sub-steps of the row, in order
  const char* figures;    // one per sub-step
  const char* window;     // one per sub-step
  const char* sound;      // a cue for a single sub-step, see CueLines
  const char* interval;   // ms, for a single sub-step
};

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

struct ShowRow {
  int first_beat, last_beat;
  const char* when;  // "", "FirstPass set" or "FirstPass clear"
  const char* poses;
  const char* window;
};

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

struct Beat {
  int number = 0;
  int state = 0;
  Lines lines;
  bool loads_song = false;
  bool starts_song = false;
  int pass = 0;  // 0 in the lead-in and after the closing beats
};

Lines LeadInSubStepLines(int sub_step, Sound sound, const Stage& stage, bool* loads, bool* starts) {
  for (const LeadInRow& row : kSubSteps) {
    const auto steps = Items(row.sub_steps);
    const auto figures = Items(row.figures);
    const auto window = Items(row.window);
    if (steps.size() != figures.size() || steps.size() != window.size())
      throw std::invalid_argument(std::string("row ") + row.sub_steps);
    for (std::size_t i = 0; i < steps.size(); ++i) {
      if (std::stoi(steps[i]) != sub_step) continue;
      Lines lines;
      if (auto line = FigureLine(figures[i])) lines.push_back(*line);
      if (auto line = WindowLine(window[i], stage)) lines.push_back(*line);
      for (const auto& line : CueLines(row.sound, sound)) lines.push_back(line);
      if (auto line = IntervalLine(row.interval)) lines.push_back(*line);
      *loads = std::string(row.sound) == "song loaded";
      *starts = std::string(row.sound) == "song started";
      return lines;
    }
  }
  return {};
}

std::vector<Beat> LeadInBeats(Sound sound, const Stage& stage, const ForcedHit& hit) {
  std::vector<Beat> beats;
  for (int sub_step = 0; sub_step <= kLastSubStep; ++sub_step) {
    Beat beat{8, 2, {}, false, false, 0};
    if (sub_step == 0 && hit.odd_third) beat.lines.push_back("figure 3 " + std::to_string(hit.pose));
    for (const auto& line : LeadInSubStepLines(sub_step, sound, stage, &beat.loads_song, &beat.starts_song))
      beat.lines.push_back(line);
    beats.push_back(beat);
  }
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
  const ShowRow* found = nullptr;
  for (const ShowRow& row : kShowScript) {
    if (number < row.first_beat || number > row.last_beat) continue;
    const std::string when = row.when;
    if (!when.empty() && (when == "FirstPass set") != pass.first_pass) continue;
    if (found) throw std::logic_error("two rows for beat " + std::to_string(number));
    found = &row;
  }
  if (!found) throw std::logic_error("no row for beat " + std::to_string(number));
  const auto poses = Items(found->poses);
  const auto window = Items(found->window);
  const auto beats = static_cast<std::size_t>(found->last_beat - found->first_beat + 1);
  if (poses.size() != beats || window.size() != beats)
    throw std::logic_error("row " + std::to_string(found->first_beat) + " has the wrong length");
  const auto i = static_cast<std::size_t>(number - found->first_beat);
  return {poses[i], window[i]};
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

constexpr long long kHitMs = 7 * 405;      // a settings file sets the spin interval to 405 ms
constexpr double kFunTrackMs = 73247.346;  // the real track, from its frames

struct Case {
  Sound sound = Sound::kEffects;
  Stage stage;
  ForcedHit hit;
  double track_ms = kFunTrackMs;
  std::optional<double> jingle_ms;  // a hit sound short enough to end during the lead-in
};

Lines HitLines(const Case& c) {
  Lines lines = {"beat 7 0", "hits 1 1"};
  if (c.sound == Sound::kEffects) lines.push_back("player stop");
  lines.push_back("top " + std::to_string(c.stage.home_top - 3));
  if (c.hit.odd_third)
    lines.push_back("poses " + std::to_string(c.hit.pose) + " " + std::to_string(c.hit.pose) + " " +
                    std::to_string(c.hit.third));
  else
    lines.push_back("pose " + std::to_string(c.hit.pose));
  return lines;
}

// Code 110 in dsShow: clock off, Form2 hidden, player stopped, Form3 shown, the reset, the
// interval back to 405, Timer1 on.
Lines ShowEndedLines(const Stage& stage) {
  return {"dance 110", "enabled 0", "form2 hide", "player stop", "form3 show", "pose 1",
          "top " + std::to_string(stage.home_top), "left " + std::to_string(stage.home_left),
          "interval 405", "timer1 1"};
}

// Timer1's tick: Form3 hidden, Timer1 off, then the restart with the start track of the sound.
Lines Timer1Lines(Sound sound, const Stage& stage) {
  Lines lines = {"form3 hide", "timer1 0", "enabled 0", "player stop", "player empty"};
  if (sound == Sound::kBgm)
    lines.insert(lines.end(), {"player render spring.res", "player seek 9840000"});
  else
    lines.insert(lines.end(), {"player render kokab.res", "player stop", "player seek 100000"});
  lines.insert(lines.end(), {"caption 停止", "pose 1", "top " + std::to_string(stage.home_top),
                             "left " + std::to_string(stage.home_left)});
  if (sound == Sound::kBgm) lines.push_back("player play");
  lines.insert(lines.end(), {"interval 405", "enabled 1"});
  return lines;
}

struct Timed {
  double at;
  int rank;  // at the same moment: a beat, then the end of a track, then the after-show timer
  Lines lines;
};

struct Expected {
  Lines log;                // with times
  std::vector<Beat> beats;  // the beats danced, lead-in and show
  long long show_ended_ms = 0;
  long long next_spin_ms = 0;
};

std::optional<int> IntervalSet(const Lines& lines) {
  std::optional<int> ms;
  for (const auto& line : lines)
    if (line.rfind("interval ", 0) == 0) ms = std::stoi(line.substr(9));
  return ms;
}

Expected ExpectedRun(const Case& c) {
  std::vector<Beat> beats = LeadInBeats(c.sound, c.stage, c.hit);
  for (const Beat& beat : ShowBeats(c.stage)) beats.push_back(beat);

  std::vector<Timed> events = {{static_cast<double>(kHitMs), 0, HitLines(c)}};
  long long t = kHitMs;
  int interval = 405;
  std::optional<long long> play_ms, load_ms, jingle_play_ms;
  for (std::size_t i = 0;; ++i) {
    if (i == beats.size()) beats.push_back({beats.back().number + 1, 3, {}, false, false, 0});  // quiet beats
    t += interval;
    if (play_ms && static_cast<double>(t) > static_cast<double>(*play_ms) + c.track_ms) {
      beats.resize(i);
      break;
    }
    const Beat& beat = beats[i];
    if (beat.starts_song) play_ms = t;
    if (beat.loads_song) load_ms = t;
    if (!jingle_play_ms && c.sound == Sound::kEffects && beat.state == 2 &&
        std::find(beat.lines.begin(), beat.lines.end(), "dance 0") != beat.lines.end())
      jingle_play_ms = t;
    Lines lines = {"beat " + std::to_string(beat.number) + " " + std::to_string(beat.state)};
    lines.insert(lines.end(), beat.lines.begin(), beat.lines.end());
    events.push_back({static_cast<double>(t), 0, lines});
    if (auto ms = IntervalSet(beat.lines)) interval = *ms;
  }
  if (c.jingle_ms && jingle_play_ms && static_cast<double>(*jingle_play_ms) + *c.jingle_ms < *load_ms)
    events.push_back({static_cast<double>(*jingle_play_ms) + *c.jingle_ms, 1, {"dance 110"}});  // ignored
  const double end = static_cast<double>(*play_ms) + c.track_ms;
  events.push_back({end, 1, ShowEndedLines(c.stage)});
  events.push_back({end + 3000, 2, Timer1Lines(c.sound, c.stage)});
  events.push_back({end + 3405, 0, {"beat 1 0", "pose 2"}});
  std::stable_sort(events.begin(), events.end(), [](const Timed& a, const Timed& b) {
    return a.at != b.at ? a.at < b.at : a.rank < b.rank;
  });

  Expected expected;
  for (const Timed& event : events)
    for (const auto& line : event.lines)
      expected.log.push_back(std::to_string(static_cast<long long>(std::floor(event.at))) + " " + line);
  expected.beats = beats;
  expected.show_ended_ms = static_cast<long long>(std::floor(end));
  expected.next_spin_ms = static_cast<long long>(std::floor(end + 3405));
  return expected;
}

// ---------------------------------------------------------------------------------------------
// Running the simulator

bool IsLogLine(const std::string& line) {
  std::istringstream in(line);
  std::string time, word, argument;
  in >> time >> word >> argument;
  static const std::set<std::string> kWords = {
      "beat",     "pose",    "poses", "figure", "overlay", "moveto", "top",     "left",  "interval",
      "enabled",  "dance",   "timer1", "caption", "check", "visible", "hits", "error", "message",
      "foreground"};
  if (kWords.count(word)) return true;
  if (word == "form2" || word == "form3") return argument == "show" || argument == "hide";
  static const std::set<std::string> kPlayer = {"active", "render", "play", "stop", "empty", "seek"};
  return word == "player" && kPlayer.count(argument);
}

class FuniculiRun {
 public:
  // A run in mode 3 with every spin a hit; the settings file is written afresh before every run
  // (each run writes its own at the close). `tracks` replaces the default simulated durations.
  Lines Run(const Case& c, std::uint32_t seed, long long until_ms,
            const std::map<std::string, std::string>& tracks, const std::vector<std::string>& program_args) {
    std::ofstream(dir_.path() / "zumbolo.ini", std::ios::binary | std::ios::trunc)
        << "[mode]\r\nmode=3\r\n[sound]\r\nkoka=" << static_cast<int>(c.sound) << "\r\n";
    // The spin cue, the background music and the hit sound long enough not to end in the
    // beats looked at, unless a test says otherwise; fun.res keeps its real length.
    std::map<std::string, std::string> durations = {
        {"kokab.res", "600000"}, {"spring.res", "600000"}, {"eye.res", "600000"}};
    for (const auto& [name, ms] : tracks) durations[name] = ms;
    std::vector<std::string> args = {"--dir", dir_.str(), "--seed", std::to_string(seed), "--until",
                                     std::to_string(until_ms)};
    for (const auto& [name, ms] : durations) args.insert(args.end(), {"--track", name + "=" + ms});
    args.push_back("--");
    args.insert(args.end(), program_args.begin(), program_args.end());
    Lines out;
    for (const auto& line : RunSim(args))
      if (IsLogLine(line)) out.push_back(line);
    return out;
  }

 private:
  ScratchDir dir_;
};

FuniculiRun& Runner() {
  static FuniculiRun runner;
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

// The log of a run of the case from its hit to beat 1 of the next spin cycle, with the expected one.
struct Observed {
  Expected expected;
  Lines seen;
};

Observed RunCase(const Case& c, std::uint32_t seed, const std::map<std::string, std::string>& tracks = {},
                 const std::vector<std::string>& program_args = {"/v"}) {
  Observed o{ExpectedRun(c), {}};
  const auto log = Runner().Run(c, seed, o.expected.next_spin_ms + 1000, tracks, program_args);
  o.seen = During(log, kHitMs, o.expected.next_spin_ms);
  return o;
}

std::string FirstDifference(const Lines& expected, const Lines& seen) {
  for (std::size_t i = 0; i < std::max(expected.size(), seen.size()); ++i) {
    const std::string e = i < expected.size() ? expected[i] : "(nothing)";
    const std::string s = i < seen.size() ? seen[i] : "(nothing)";
    if (e != s) return "line " + std::to_string(i) + ": expected \"" + e + "\", seen \"" + s + "\"";
  }
  return "no difference";
}

void ExpectSameLog(const Lines& expected, const Lines& seen) {
  EXPECT_EQ(expected.size(), seen.size());
  EXPECT_TRUE(expected == seen) << FirstDifference(expected, seen);
}

// A beat of the log with the lines written at its moment after it.
struct LoggedBeat {
  long long ms = 0;
  int number = 0;
  int state = 0;
  Lines lines;
};

long long TimeOf(const std::string& line) { return std::stoll(line.substr(0, line.find(' '))); }
std::string WhatOf(const std::string& line) { return line.substr(line.find(' ') + 1); }

std::vector<LoggedBeat> BeatsOf(const Lines& log) {
  std::vector<LoggedBeat> beats;
  bool open = false;
  for (const auto& line : log) {
    const std::string what = WhatOf(line);
    if (what.rfind("beat ", 0) == 0) {
      std::istringstream in(what.substr(5));
      LoggedBeat beat;
      beat.ms = TimeOf(line);
      in >> beat.number >> beat.state;
      beats.push_back(beat);
      open = true;
    } else if (open && TimeOf(line) == beats.back().ms && what.rfind("dance 110", 0) != 0) {
      beats.back().lines.push_back(what);
    } else {
      open = false;
    }
  }
  return beats;
}

// The show's beats (state 3), numbered by pass: a pass begins at beat 12, or at 84 right after a
// beat 115.
struct ShowBeat {
  int pass;
  LoggedBeat beat;
};

std::vector<ShowBeat> ShowBeatsOf(const Lines& log) {
  std::vector<ShowBeat> out;
  int pass = 0;
  int previous = 0;
  for (const LoggedBeat& beat : BeatsOf(log)) {
    if (beat.state != 3) continue;
    if (beat.number == 12 || (beat.number == 84 && previous == 115)) ++pass;
    out.push_back({pass, beat});
    previous = beat.number;
  }
  return out;
}

bool IsMove(const std::string& line) {
  return line.rfind("moveto ", 0) == 0 || line.rfind("top ", 0) == 0 || line.rfind("left ", 0) == 0;
}
bool IsDrawing(const std::string& line) {
  return line.rfind("pose ", 0) == 0 || line.rfind("poses ", 0) == 0 || line.rfind("figure ", 0) == 0 ||
         line == "overlay";
}

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
