#pragma once
// Runs the program in the simulator and hands back its stage log, for the golden-log tests.

#include <filesystem>
#include <string>
#include <vector>

#include "tools/sim/options.h"

namespace zumbolo::testing {

// The log of one run, a line each, with the options a test gives in zumbolo-sim's own words,
// e.g. {"--seed", "7", "--until", "5000", "--", "/v"}.
std::vector<std::string> RunSim(const std::vector<std::string>& args);

// The same for parsed options (a test may set a --dir of its own to look at files afterwards).
std::vector<std::string> RunSim(const sim::Options& options);

// The lines from the first one equal to `from` (inclusive) up to the first later one equal to
// `to` (exclusive); empty when `from` does not occur.
std::vector<std::string> Between(const std::vector<std::string>& log, const std::string& from,
                                 const std::string& to);

// The lines at virtual times from `from_ms` up to `to_ms`, both inclusive.
std::vector<std::string> During(const std::vector<std::string>& log, long long from_ms, long long to_ms);

// Lines without their time stamps.
std::vector<std::string> WithoutTimes(const std::vector<std::string>& lines);

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

}  // namespace zumbolo::testing
