#include "tests/support/sim_run.h"

#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

#include "app/ini_file.h"
#include "tools/sim/simulation.h"

namespace zumbolo::testing {

sim::Options ParsedOptions(const std::vector<std::string>& args) {
  std::string error;
  const auto options = sim::ParseOptions(args, error);
  if (!options) throw std::invalid_argument(error);
  return *options;
}

std::vector<std::string> RunSim(const std::vector<std::string>& args) { return RunSim(ParsedOptions(args)); }

std::vector<std::string> RunSim(const sim::Options& options) {
  std::ostringstream log;
  {
    sim::Simulation simulation(options, log);
    simulation.Run();
  }
  return StageLogLines(log.str());
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> StageLogLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::string& line : SplitLines(text)) {
    if (IsLogLine(line)) lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> Between(const std::vector<std::string>& log, const std::string& from,
                                 const std::string& to) {
  std::vector<std::string> out;
  bool inside = false;
  for (const std::string& line : log) {
    if (!inside && line == from) inside = true;
    else if (inside && line == to) break;
    if (inside) out.push_back(line);
  }
  return out;
}

std::vector<std::string> During(const std::vector<std::string>& log, long long from_ms, long long to_ms) {
  std::vector<std::string> out;
  for (const std::string& line : log) {
    const long long t = TimeOf(line);
    if (t >= from_ms && t <= to_ms) out.push_back(line);
  }
  return out;
}

std::vector<std::string> WithoutTimes(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) out.push_back(WhatOf(line));
  return out;
}

std::vector<std::string> At(const std::vector<std::string>& log, long long ms) {
  return WithoutTimes(During(log, ms, ms));
}

std::string At(long long ms, const std::string& what) { return std::to_string(ms) + " " + what; }

std::vector<std::string> FirstAfter(const std::vector<std::string>& log, long long ms, std::size_t n) {
  std::vector<std::string> out;
  for (const std::string& line : log) {
    if (TimeOf(line) > ms && out.size() < n) out.push_back(line);
  }
  return out;
}

long long TimeOf(const std::string& line) { return std::stoll(line.substr(0, line.find(' '))); }
std::string WhatOf(const std::string& line) { return line.substr(line.find(' ') + 1); }

bool Contains(const std::vector<std::string>& lines, const std::string& wanted) {
  for (const std::string& line : lines) {
    if (line == wanted) return true;
  }
  return false;
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

bool IsLogLine(const std::string& line) {
  std::istringstream in(line);
  std::string time, word, argument;
  in >> time >> word >> argument;
  static const std::set<std::string> kWords = {
      "beat",     "pose",    "poses", "figure", "overlay", "moveto", "top",     "left",  "interval",
      "enabled",  "dance",   "timer1", "caption", "check", "visible", "hits", "error", "message",
      "foreground", "fullscreen", "step-aside", "come-back", "offscreen"};
  if (kWords.count(word)) return true;
  if (word == "form1" || word == "form2" || word == "form3") return argument == "show" || argument == "hide";
  static const std::set<std::string> kPlayer = {"active", "render", "play", "stop", "empty", "seek", "volume"};
  return word == "player" && kPlayer.count(argument);
}

std::vector<std::string> ErrorLines(const std::vector<std::string>& log) {
  std::vector<std::string> errors;
  for (const std::string& line : log) {
    if (WhatOf(line).starts_with("error ")) errors.push_back(line);
  }
  return errors;
}

bool InJapanese(std::string text, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    for (std::size_t at; !name.empty() && (at = text.find(name)) != std::string::npos;) text.erase(at, name.size());
  }
  for (const char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return false;
  }
  return true;
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ScratchDir::ScratchDir() {
  std::random_device entropy;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    auto candidate = std::filesystem::temp_directory_path() / ("zumbolo-test-" + std::to_string(entropy()));
    if (std::filesystem::create_directory(candidate)) path_ = candidate;
  }
  if (path_.empty()) throw std::runtime_error("no scratch folder");
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::optional<std::string> Saved(const ScratchDir& dir, const char* section, const char* key) {
  return LoadIniFile(dir.path() / "zumbolo.ini").file.Read(section, key);
}

std::string SongSettings(int mode, int koka) {
  return "[mode]\r\nmode=" + std::to_string(mode) + "\r\n[sound]\r\nkoka=" + std::to_string(koka) + "\r\n";
}

std::vector<std::string> TrackArgs(const std::vector<std::string>& tracks) {
  std::vector<std::string> args;
  for (const std::string& track : tracks) args.insert(args.end(), {"--track", track});
  return args;
}

std::vector<std::string> SimRuns::RunAll(const std::optional<std::string>& settings, std::uint32_t seed,
                                         long long until_ms, const std::vector<std::string>& sim_args,
                                         const std::vector<std::string>& program_args) {
  const auto ini = dir_.path() / "zumbolo.ini";
  std::filesystem::remove(ini);
  if (settings) WriteText(ini, *settings);
  std::vector<std::string> args = {"--dir", dir_.str(), "--seed", std::to_string(seed), "--until",
                                   std::to_string(until_ms)};
  args.insert(args.end(), sim_args.begin(), sim_args.end());
  if (!program_args.empty()) {
    args.push_back("--");
    args.insert(args.end(), program_args.begin(), program_args.end());
  }
  return RunSim(args);
}

std::vector<std::string> SimRuns::Run(const std::optional<std::string>& settings, std::uint32_t seed,
                                      long long until_ms, const std::vector<std::string>& sim_args,
                                      const std::vector<std::string>& program_args) {
  std::vector<std::string> out;
  for (const std::string& line : RunAll(settings, seed, until_ms, sim_args, program_args))
    if (IsLogLine(line)) out.push_back(line);
  return out;
}

}  // namespace zumbolo::testing
