#pragma once
// Runs the program in the simulator and hands back its stage log, for the golden-log tests; the
// small helpers for reading such a log, and for the settings file and the folder a run uses.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/options.h"

namespace zumbolo::testing {

// zumbolo-sim's options from its own words; throws std::invalid_argument when they are wrong.
sim::Options ParsedOptions(const std::vector<std::string>& args);

// The log of one run, a line each (the lines in the log's own words, see IsLogLine), with the
// options a test gives in zumbolo-sim's own words, e.g. {"--seed", "7", "--until", "5000", "--", "/v"}.
std::vector<std::string> RunSim(const std::vector<std::string>& args);

// The same for parsed options (a test may set a --dir of its own to look at files afterwards).
std::vector<std::string> RunSim(const sim::Options& options);

// A text cut into its lines.
std::vector<std::string> SplitLines(const std::string& text);
// A log's text cut into its lines, keeping those in the log's own words (IsLogLine).
std::vector<std::string> StageLogLines(const std::string& text);

// The lines from the first one equal to `from` (inclusive) up to the first later one equal to
// `to` (exclusive); empty when `from` does not occur.
std::vector<std::string> Between(const std::vector<std::string>& log, const std::string& from,
                                 const std::string& to);

// The lines at virtual times from `from_ms` up to `to_ms`, both inclusive.
std::vector<std::string> During(const std::vector<std::string>& log, long long from_ms, long long to_ms);

// Lines without their time stamps.
std::vector<std::string> WithoutTimes(const std::vector<std::string>& lines);

// The lines written at virtual time `ms`, without their times.
std::vector<std::string> At(const std::vector<std::string>& log, long long ms);

// A log line at virtual time `ms`: the time, then what.
std::string At(long long ms, const std::string& what);

// The first `n` lines written after virtual time `ms`, with their times.
std::vector<std::string> FirstAfter(const std::vector<std::string>& log, long long ms, std::size_t n);

// The time of a log line, and what it says after the time.
long long TimeOf(const std::string& line);
std::string WhatOf(const std::string& line);

bool Contains(const std::vector<std::string>& lines, const std::string& wanted);

// The "error" lines of a log: what the error box showed, and when.
std::vector<std::string> ErrorLines(const std::vector<std::string>& log);

// True when `text` holds no letter of the Latin alphabet once each of `names` (a path, a file
// name) is taken out of it: a text in the program's language, with no library's English in it.
bool InJapanese(std::string text, const std::vector<std::string>& names);

// The parts one after the other.
std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts);

// Only the lines in the log's own words: beat, pose, poses, figure, overlay, moveto, top, left,
// interval, enabled, dance, timer1, caption, check, visible, hits, error, message, foreground, the
// shows and hides of form2 and form3, and the player's active, render, play, stop, empty and seek.
// Any other line is an addition for other readers.
bool IsLogLine(const std::string& line);

// A file's bytes, written whole or read whole (empty when it cannot be read).
void WriteText(const std::filesystem::path& path, const std::string& text);
std::string ReadText(const std::filesystem::path& path);

// A folder of its own under the system's temporary folder, removed with this object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// The value that zumbolo.ini in `dir` holds under `section` and `key`, if any.
std::optional<std::string> Saved(const ScratchDir& dir, const char* section, const char* key);

// The settings file of a song run: its "mode" and its sound choice ("koka").
std::string SongSettings(int mode, int koka);

// A "--track" option for each `name=ms` value, in order (a later one for the same track wins).
std::vector<std::string> TrackArgs(const std::vector<std::string>& tracks);

// One folder for the runs of a test file: each run starts with the settings file it is given,
// written afresh (the run before wrote its own at the close), or with none.
class SimRuns {
 public:
  // The whole log of a run: --dir, --seed and --until first, then `sim_args`, then "--" and the
  // program's command line when it has one.
  std::vector<std::string> RunAll(const std::optional<std::string>& settings, std::uint32_t seed,
                                  long long until_ms, const std::vector<std::string>& sim_args = {},
                                  const std::vector<std::string>& program_args = {});
  // Its lines in the log's own words (IsLogLine).
  std::vector<std::string> Run(const std::optional<std::string>& settings, std::uint32_t seed, long long until_ms,
                               const std::vector<std::string>& sim_args = {},
                               const std::vector<std::string>& program_args = {});
  const ScratchDir& dir() const { return dir_; }

 private:
  ScratchDir dir_;
};

}  // namespace zumbolo::testing
