#include "tests/support/sim_run.h"

#include <random>
#include <sstream>
#include <stdexcept>

#include "tools/sim/simulation.h"

namespace zumbolo::testing {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

long long TimeOf(const std::string& line) { return std::stoll(line.substr(0, line.find(' '))); }

}  // namespace

std::vector<std::string> RunSim(const std::vector<std::string>& args) {
  std::string error;
  const auto options = sim::ParseOptions(args, error);
  if (!options) throw std::invalid_argument(error);
  return RunSim(*options);
}

std::vector<std::string> RunSim(const sim::Options& options) {
  std::ostringstream log;
  {
    sim::Simulation simulation(options, log);
    simulation.Run();
  }
  return Lines(log.str());
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
  for (const std::string& line : lines) out.push_back(line.substr(line.find(' ') + 1));
  return out;
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

}  // namespace zumbolo::testing
