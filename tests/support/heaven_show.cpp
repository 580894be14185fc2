#include "tests/support/heaven_show.h"

#include <cmath>
#include <sstream>

namespace zumbolo::testing::heaven {

std::string Name(Sound sound) {
  return sound == Sound::kEffects ? "効果音あり" : sound == Sound::kBgm ? "ＢＧＭ" : "なし";
}

std::pair<int, int> BeatRange(const std::string& beats) {
  const std::size_t dash = beats.find(kDash);
  if (dash == std::string::npos) return {std::stoi(beats), std::stoi(beats)};
  return {std::stoi(beats.substr(0, dash)), std::stoi(beats.substr(dash + kDash.size()))};
}

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

namespace {

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

std::vector<std::string> SubStepLines(std::span<const SubStepRow> sub_steps, int sub_step, Sound sound,
                                      const Stage& stage) {
  for (const SubStepRow& row : sub_steps) {
    const auto steps = Split(row.sub_steps, ", ");
    for (std::size_t i = 0; i < steps.size(); ++i) {
      if (std::stoi(steps[i]) != sub_step) continue;
      std::string common = row.every_choice;
      if (steps.size() > 1) common = "pose " + Split(common.substr(5), ", ").at(i);
      auto lines = ActionsLines(common, stage);
      const char* own = sound == Sound::kEffects ? row.effects : sound == Sound::kBgm ? row.bgm : row.none;
      for (const std::string& line : ActionsLines(own, stage)) lines.push_back(line);
      return lines;
    }
  }
  return {};
}

}  // namespace

std::vector<std::string> ActionLines(const std::string& action, const Stage& stage) {
  if (action.empty() || action == kDash) return {};
  if (action.rfind("dc", 0) == 0) return CueLines(action);
  if (action.rfind("pose ", 0) == 0 || action.rfind("interval ", 0) == 0 || action == "overlay") return {action};
  if (action == "top := HomeTop") return {"top " + std::to_string(stage.home_top)};
  if (action == "top := PosTopHigh") return {"top " + std::to_string(stage.TopHigh())};
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

std::vector<ExpectedBeat> LeadInBeats(std::span<const SubStepRow> sub_steps, int sub_step_count,
                                      std::span<const std::pair<int, const char*>> after_loop, Sound sound,
                                      const Stage& stage, const ForcedHit& hit) {
  std::vector<ExpectedBeat> beats;
  for (int sub_step = 0; sub_step < sub_step_count; ++sub_step)
    beats.push_back({8, 2, SubStepLines(sub_steps, sub_step, sound, stage)});
  for (const auto& [beat, actions] : after_loop) beats.push_back({beat, 2, ActionsLines(actions, stage)});
  if (hit.odd_third) beats.front().lines.insert(beats.front().lines.begin(), "figure 3 " + std::to_string(hit.pose));
  return beats;
}

void AddRowLines(const char* beats, const char* poses, const char* window, int beat, const Stage& stage,
                 std::vector<std::string>& lines) {
  const auto [first, last] = BeatRange(beats);
  const auto pose_column = Split(poses, ", ");
  const auto window_column = Split(window, ", ");
  const std::size_t count = static_cast<std::size_t>(last - first + 1);
  if (pose_column.size() != count || window_column.size() != count)
    throw std::invalid_argument(std::string("row ") + beats + " has the wrong length");
  const std::size_t i = static_cast<std::size_t>(beat - first);
  if (const auto pose = FigureLine(pose_column[i])) lines.push_back(*pose);
  if (window_column[i] != kDash) lines.push_back(stage.MoveTo(window_column[i]));
}

void AddAlsoLines(std::span<const AlsoRow> also, int beat, int repeat_count, const Stage& stage,
                  std::vector<std::string>& lines) {
  for (const AlsoRow& row : also)
    if (row.beat == beat && Holds(row.when, repeat_count))
      for (const std::string& line : ActionsLines(row.actions, stage)) lines.push_back(line);
}

std::vector<std::string> ExpectedShowLog(const ShowRun& run, const std::vector<ExpectedBeat>& beats) {
  const Stage& stage = run.stage;
  std::vector<std::string> log;
  auto add = [&log](long long ms, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) log.push_back(At(ms, line));
  };
  add(kHitMs, HitLines(run.hit, run.sound == Sound::kEffects, stage.home_top));

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
    const ExpectedBeat beat = i < beats.size() ? beats[i] : ExpectedBeat{number + 1, 3, {}};
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
  add(static_cast<long long>(std::floor(track_end)), ShowEndedLines(stage.home_left, stage.home_top));
  add(static_cast<long long>(std::floor(track_end + 3000)),
      RestartLines(run.sound == Sound::kBgm, stage.home_left, stage.home_top));
  // Spinning again.
  add(NextSpinMs(track_end), {"beat 1 0", "pose 2"});
  return log;
}

long long NextSpinMs(double track_end_ms) { return static_cast<long long>(std::floor(track_end_ms + 3405)); }

std::vector<std::string> ShowRunner::Run(std::uint32_t seed, Sound sound, bool mini, long long until_ms,
                                         std::vector<std::string> tracks) {
  // The tracks kept out of the way come first, so that a test's own value wins.
  tracks.insert(tracks.begin(), {kEyeTrack, kSpringTrack});
  std::vector<std::string> program_args;
  if (mini) program_args.push_back("/m");
  program_args.push_back("/v");
  return runs_.Run(SongSettings(mode_, static_cast<int>(sound)), seed, until_ms, TrackArgs(tracks), program_args);
}

std::vector<std::string> ShowRunner::Show(std::uint32_t seed, const ShowRun& run, std::vector<std::string> tracks) {
  const long long next = NextSpinMs(StartOfSong() + run.track_ms);
  return During(Run(seed, run.sound, run.stage.mini, next + 100, std::move(tracks)), kHitMs, next);
}

std::vector<LoggedBeat> Beats(const std::vector<std::string>& log) {
  std::vector<LoggedBeat> beats;
  for (const std::string& line : log) {
    std::istringstream words(WhatOf(line));
    std::string word;
    words >> word;
    if (word == "beat") {
      LoggedBeat beat;
      beat.ms = TimeOf(line);
      words >> beat.number >> beat.state;
      beats.push_back(beat);
    } else if (!beats.empty() && beats.back().ms == TimeOf(line)) {
      beats.back().lines.push_back(WhatOf(line));
    }
  }
  return beats;
}

std::vector<std::vector<LoggedBeat>> Runs(const std::vector<LoggedBeat>& beats, int last_beat) {
  std::vector<std::vector<LoggedBeat>> runs;
  for (const LoggedBeat& beat : beats) {
    if (beat.state != 3 || beat.number > last_beat) continue;
    if (runs.empty() || beat.number != runs.back().back().number + 1) runs.emplace_back();
    runs.back().push_back(beat);
  }
  return runs;
}

}  // namespace zumbolo::testing::heaven
