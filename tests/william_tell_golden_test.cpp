// Golden-log tests of the William Tell show (mode 2, "tell.res"): the hit and the 50-beat lead-in
// in each sound choice, then the six passes of the show expanded beat by beat from tables written
// in the shape of the show's own script, the beat interval pass by pass, the coda of the sixth
// pass (beats 13 to 79 with their variants, then beat 92 with nothing but pose 2), the quiet beats
// after it, and the end of the show when the track ends, with the restart three seconds later.

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
  int LeftMid() const { return home_left - (mini ? 8 : 16); }
  int RightMid() const { return home_left + (mini ? 8 : 16); }
  int LeftFar() const { return home_left - (mini ? 16 : 32); }
  int RightFar() const { return home_left + (mini ? 16 : 32); }

  // A window code of the script: one MoveWindowTo.
  std::string MoveTo(const std::string& code) const {
    const std::map<std::string, std::pair<int, int>> places = {
        {"H", {home_left, home_top}},  {"U", {home_left, TopHigh()}},   {"LM", {LeftMid(), home_top}},
        {"RM", {RightMid(), home_top}}, {"LF", {LeftFar(), home_top}},  {"RF", {RightFar(), home_top}},
        {"LMU", {LeftMid(), TopHigh()}}, {"RMU", {RightMid(), TopHigh()}}};
    const auto place = places.find(code);
    if (place == places.end()) throw std::invalid_argument("unknown window code " + code);
    return "moveto " + std::to_string(place->second.first) + " " + std::to_string(place->second.second);
  }
};

// ---------------------------------------------------------------------------------------------
// The script notation: lists separated by commas; a pose p is ShowPose, a/b/c is ShowPoses with
// x for a blank figure, "overlay" the sparkle; a window code is a MoveWindowTo, "top H" the main
// window's top alone; – means nothing on that beat.

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
  if (cue == "song loaded") {  // code 5, in every sound choice
    Lines lines = {"dance 5"};
    for (const auto& line : LoadTrack("tell.res")) lines.push_back(line);
    return lines;
  }
  if (cue == "song started") return {"dance 0", "player play"};
  throw std::invalid_argument("unknown cue " + cue);
}

// "401 | 403": the first with 効果音あり, the second otherwise.
std::optional<std::string> IntervalLine(const std::string& item, Sound sound) {
  if (item == kNone) return std::nullopt;
  const auto bar = item.find('|');
  if (bar == std::string::npos) return "interval " + Trim(item);
  return "interval " + Trim(sound == Sound::kEffects ? item.substr(0, bar) : item.substr(bar + 1));
}

// ---------------------------------------------------------------------------------------------
// The lead-in (dsLeadIn = 2). The hit has drawn the hit pose with the window at HomeTop − 3.
// Every call with beat 8 first redraws figure 3 if it was out of line; then, until LeadInDone,
// one sub-step a call (sub-steps not listed do nothing); then one closing call.

struct LeadInRow {
  const char* sub_steps;  // the sub-steps of the row, in order
  const char* figures;    // one per sub-step
  const char* window;     // for a single sub-step
  const char* sound;      // a cue, see CueLines
  const char* interval;   // ms
};

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

struct ShowRow {
  int first_beat, last_beat;
  const char* when;  // "", "FinalPass clear" or "FinalPass set"
  const char* poses;
  const char* window;
};

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

struct Beat {
  int number = 0;
  int state = 0;
  Lines lines;
  bool loads_song = false;
  bool starts_song = false;
  int pass = 0;  // 0 in the lead-in
};

Lines LeadInSubStepLines(int sub_step, Sound sound, const Stage& stage, bool* loads, bool* starts) {
  for (const LeadInRow& row : kSubSteps) {
    const auto steps = Items(row.sub_steps);
    const auto figures = Items(row.figures);
    if (steps.size() != figures.size()) throw std::invalid_argument(std::string("row ") + row.sub_steps);
    for (std::size_t i = 0; i < steps.size(); ++i) {
      if (std::stoi(steps[i]) != sub_step) continue;
      Lines lines;
      if (auto line = FigureLine(figures[i])) lines.push_back(*line);
      if (auto line = WindowLine(row.window, stage)) lines.push_back(*line);
      for (const auto& line : CueLines(row.sound, sound)) lines.push_back(line);
      if (auto line = IntervalLine(row.interval, sound)) lines.push_back(*line);
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
    if (auto line = IntervalLine(row.interval, sound)) beat.lines.push_back(*line);
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
    if (!when.empty() && (when == "FinalPass set") != pass.final_pass) continue;
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

constexpr long long kHitMs = 7 * 405;  // a settings file sets the spin interval to 405 ms
constexpr double kTellTrackMs = 209528.163;  // the real track, from its frames

struct Case {
  Sound sound = Sound::kEffects;
  Stage stage;
  ForcedHit hit;
  double track_ms = kTellTrackMs;
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
  Lines log;               // with times
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
  std::vector<long long> times;
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
    times.push_back(t);
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

class TellRun {
 public:
  // A run in mode 2 with every spin a hit; the settings file is written afresh before every run
  // (each run writes its own at the close). `tracks` replaces the default simulated durations.
  Lines Run(const Case& c, long long until_ms, const std::map<std::string, std::string>& tracks = {},
            const std::vector<std::string>& program_args = {"/v"}) {
    std::ofstream(dir_.path() / "zumbolo.ini", std::ios::binary | std::ios::trunc)
        << "[mode]\r\nmode=2\r\n[sound]\r\nkoka=" << static_cast<int>(c.sound) << "\r\n";
    // The spin cue, the background music and the hit sound long enough not to end in the
    // beats looked at, unless a test says otherwise; tell.res keeps its real length.
    std::map<std::string, std::string> durations = {
        {"kokab.res", "600000"}, {"spring.res", "600000"}, {"eye.res", "600000"}};
    for (const auto& [name, ms] : tracks) durations[name] = ms;
    std::vector<std::string> args = {"--dir", dir_.str(), "--seed", std::to_string(seed_), "--until",
                                     std::to_string(until_ms)};
    for (const auto& [name, ms] : durations) args.insert(args.end(), {"--track", name + "=" + ms});
    args.push_back("--");
    args.insert(args.end(), program_args.begin(), program_args.end());
    Lines out;
    for (const auto& line : RunSim(args))
      if (IsLogLine(line)) out.push_back(line);
    return out;
  }

  void set_seed(std::uint32_t seed) { seed_ = seed; }

 private:
  ScratchDir dir_;
  std::uint32_t seed_ = 1;
};

TellRun& Runner() {
  static TellRun runner;
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

// The log of a run of the case from its hit to beat 1 of the next spin cycle, with the expected one.
struct Observed {
  Expected expected;
  Lines seen;
};

Observed RunCase(const Case& c, std::uint32_t seed, const std::map<std::string, std::string>& tracks = {},
                 const std::vector<std::string>& program_args = {"/v"}) {
  Observed o{ExpectedRun(c), {}};
  Runner().set_seed(seed);
  const auto log = Runner().Run(c, o.expected.next_spin_ms + 1000, tracks, program_args);
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

// The show's beats (state 3) up to the end of the show, numbered by pass: a pass begins at beat
// 12, or at 13 right after a beat 92.
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
    if (beat.number == 12 || (beat.number == 13 && previous == 92)) ++pass;
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
