#include "tests/support/live_run.h"

#include <cstddef>
#include <stdexcept>

#include "tests/support/sim_run.h"

namespace zumbolo::testing {

LiveRun::LiveRun(const std::vector<std::string>& args) {
  sim_ = std::make_unique<sim::Simulation>(ParsedOptions(args), log_);
  sim_->RunUntil(0);
}

void LiveRun::RunTo(long long ms) { sim_->RunUntil(sim::FromMs(ms)); }

bool LiveRun::RunUntil(const std::function<bool()>& done, long long limit_ms) {
  while (!done()) {
    if (sim_->form().Closed() || !sim_->scheduler().RunNext(sim::FromMs(limit_ms))) return false;
  }
  return true;
}

std::vector<std::string> LiveRun::Do(const std::string& what) {
  const auto act = sim::UserAction(what);
  if (!act) throw std::invalid_argument(what);
  const std::size_t before = Log().size();
  act(sim_->form());
  const std::vector<std::string> log = Log();
  return WithoutTimes(std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(before), log.end()));
}

std::vector<std::string> LiveRun::Log() const { return StageLogLines(log_.str()); }

}  // namespace zumbolo::testing
