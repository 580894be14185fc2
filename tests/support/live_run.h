#pragma once
// A run that a test drives step by step, to act at a moment that the program itself brings about
// (a pop-up shown, say) and to look at the program's state afterwards.

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tools/sim/simulation.h"

namespace zumbolo::testing {

class LiveRun {
 public:
  // Starts the program with zumbolo-sim's options and runs what falls due at time 0.
  explicit LiveRun(const std::vector<std::string>& args);

  void RunTo(long long ms);

  // Runs event by event until `done` holds; false when it has not by `limit_ms`.
  bool RunUntil(const std::function<bool()>& done, long long limit_ms);

  // Does what a user would, at this moment, and gives back the lines it wrote.
  std::vector<std::string> Do(const std::string& what);

  // The log so far, a line each (the lines in the log's own words).
  std::vector<std::string> Log() const;

  sim::Simulation& sim() { return *sim_; }
  TForm1& form() { return sim_->form(); }
  bool PopupVisible(Popup popup) { return sim_->stage().popups[sim::SimStage::Index(popup)].visible; }

 private:
  std::ostringstream log_;
  std::unique_ptr<sim::Simulation> sim_;
};

}  // namespace zumbolo::testing
