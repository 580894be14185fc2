#include "tests/support/script_show.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace zumbolo::testing::script {

namespace {

// LoadTrack: the player is active, so its Stop succeeds and the graph is emptied; then the new
// track is rendered and positioned at its start.
Lines LoadTrack(const std::string& file) {
  return {"player stop", "player empty", "player render " + file, "player seek 0"};
}

struct Timed {
  double at;
  int rank;  // at the same moment: a beat, then the end of a track, then the after-show timer
  Lines lines;
};

std::optional<int> IntervalSet(const Lines& lines) {
  std::optional<int> ms;
  for (const auto& line : lines)
    if (line.rfind("interval ", 0) == 0) ms = std::stoi(line.substr(9));
  return ms;
}

}  // namespace

Lines CueLines(const std::string& cue, Sound sound, const SongTrack& track) {
  if (cue == kDash) return {};
  if (cue == "hit sound loaded") {
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
  if (cue == "song loaded") {
    Lines lines = {"dance " + std::to_string(track.load_code)};
    for (const auto& line : LoadTrack(track.file)) lines.push_back(line);
    return lines;
  }
  if (cue == "song started") return {"dance 0", "player play"};
  throw std::invalid_argument("unknown cue " + cue);
}

std::optional<std::string> IntervalLine(const std::string& item, Sound sound) {
  if (item == kDash) return std::nullopt;
  const auto bar = item.find('|');
  if (bar == std::string::npos) return "interval " + Trim(item);
  return "interval " + Trim(sound == Sound::kEffects ? item.substr(0, bar) : item.substr(bar + 1));
}

std::vector<Beat> SubStepBeats(std::span<const LeadInRow> rows, int last_sub_step, bool window_per_sub_step,
                               const SongTrack& track, Sound sound, const Stage& stage, const ForcedHit& hit) {
  auto sub_step_lines = [&](int sub_step, Beat& beat) {
    for (const LeadInRow& row : rows) {
      const auto steps = Split(row.sub_steps, ",");
      const auto figures = Split(row.figures, ",");
      const auto window = window_per_sub_step ? Split(row.window, ",") : Lines{};
      if (steps.size() != figures.size() || (window_per_sub_step && steps.size() != window.size()))
        throw std::invalid_argument(std::string("row ") + row.sub_steps);
      for (std::size_t i = 0; i < steps.size(); ++i) {
        if (std::stoi(steps[i]) != sub_step) continue;
        if (auto line = FigureLine(figures[i])) beat.lines.push_back(*line);
        if (auto line = WindowLine(window_per_sub_step ? window[i] : std::string(row.window), stage))
          beat.lines.push_back(*line);
        for (const auto& line : CueLines(row.sound, sound, track)) beat.lines.push_back(line);
        if (auto line = IntervalLine(row.interval, sound)) beat.lines.push_back(*line);
        beat.loads_song = std::string(row.sound) == "song loaded";
        beat.starts_song = std::string(row.sound) == "song started";
        return;
      }
    }
  };
  std::vector<Beat> beats;
  for (int sub_step = 0; sub_step <= last_sub_step; ++sub_step) {
    Beat beat{8, 2, {}, false, false, 0};
    if (sub_step == 0 && hit.odd_third) beat.lines.push_back("figure 3 " + std::to_string(hit.pose));
    sub_step_lines(sub_step, beat);
    beats.push_back(beat);
  }
  return beats;
}

std::pair<std::string, std::string> ScriptRowEntry(std::span<const ShowRow> script, int number,
                                                   const std::function<bool(const std::string& when)>& holds) {
  const ShowRow* found = nullptr;
  for (const ShowRow& row : script) {
    if (number < row.first_beat || number > row.last_beat) continue;
    const std::string when = row.when;
    if (!when.empty() && !holds(when)) continue;
    if (found) throw std::logic_error("two rows for beat " + std::to_string(number));
    found = &row;
  }
  if (!found) throw std::logic_error("no row for beat " + std::to_string(number));
  const auto poses = Split(found->poses, ",");
  const auto window = Split(found->window, ",");
  const auto beats = static_cast<std::size_t>(found->last_beat - found->first_beat + 1);
  if (poses.size() != beats || window.size() != beats)
    throw std::logic_error("row " + std::to_string(found->first_beat) + " has the wrong length");
  const auto i = static_cast<std::size_t>(number - found->first_beat);
  return {poses[i], window[i]};
}

Expected ExpectedSongRun(const SongCase& c, std::vector<Beat> beats) {
  std::vector<Timed> events = {{static_cast<double>(kHitMs), 0, HitLines(c.hit, c.sound == Sound::kEffects, c.stage.home_top)}};
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
  events.push_back({end, 1, ShowEndedLines(c.stage.home_left, c.stage.home_top)});
  events.push_back({end + 3000, 2, RestartLines(c.sound == Sound::kBgm, c.stage.home_left, c.stage.home_top)});
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

Lines SongRunner::Run(const SongCase& c, std::uint32_t seed, long long until_ms,
                      const std::map<std::string, std::string>& tracks, const std::vector<std::string>& program_args) {
  std::map<std::string, std::string> durations = {
      {"kokab.res", "600000"}, {"spring.res", "600000"}, {"eye.res", "600000"}};
  for (const auto& [name, ms] : tracks) durations[name] = ms;
  Lines track_values;
  for (const auto& [name, ms] : durations) track_values.push_back(name + "=" + ms);
  return runs_.Run(SongSettings(mode_, static_cast<int>(c.sound)), seed, until_ms, TrackArgs(track_values),
                   program_args);
}

Observed SongRunner::Observe(Expected expected, const SongCase& c, std::uint32_t seed,
                             const std::map<std::string, std::string>& tracks,
                             const std::vector<std::string>& program_args) {
  Observed o{std::move(expected), {}};
  const auto log = Run(c, seed, o.expected.next_spin_ms + 1000, tracks, program_args);
  o.seen = During(log, kHitMs, o.expected.next_spin_ms);
  return o;
}

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

std::vector<ShowBeat> PassBeatsOf(const Lines& log, int loop_from, int loop_to) {
  std::vector<ShowBeat> out;
  int pass = 0;
  int previous = 0;
  for (const LoggedBeat& beat : BeatsOf(log)) {
    if (beat.state != 3) continue;
    if (beat.number == 12 || (beat.number == loop_to && previous == loop_from)) ++pass;
    out.push_back({pass, beat});
    previous = beat.number;
  }
  return out;
}

}  // namespace zumbolo::testing::script
