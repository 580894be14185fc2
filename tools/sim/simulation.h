#pragma once
// One run of the program in virtual time: its real start-up, the user's actions at their
// moments, its beats, tracks and timers, and its real close handling, with every observable step
// written to the stage log.

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "app/tform1.h"
#include "tools/sim/options.h"
#include "tools/sim/scheduler.h"
#include "tools/sim/sim_ports.h"

namespace zumbolo::sim {

// What a user can do, by its --at name; nullptr for a name that means nothing.
std::function<void(TForm1&)> UserAction(const std::string& what);

class Simulation {
 public:
  // The log lines go to `log`. Throws std::runtime_error when the folder cannot be made.
  Simulation(const Options& options, std::ostream& log);
  ~Simulation();
  Simulation(const Simulation&) = delete;
  Simulation& operator=(const Simulation&) = delete;

  // Starts the program and runs it until its main window has closed.
  void Run();
  // Starts the program (once), and runs the events that fall due up to virtual time `t`.
  void Start();
  void RunUntil(Ticks t);

  TForm1& form() { return *form_; }
  SimPlayer& player() { return player_; }
  SimStage& stage() { return stage_; }
  SimShell& shell() { return shell_; }
  Scheduler& scheduler() { return scheduler_; }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  Options options_;
  std::ostream& log_;
  std::filesystem::path dir_;
  bool own_dir_ = false;
  std::error_code dir_error_;  // why --dir could not be made
  Scheduler scheduler_;
  SimBeatTimer beat_timer_{scheduler_};
  SimUiTimer after_show_timer_{scheduler_};
  SimPlayer player_;
  SimShell shell_;
  SimStage stage_;
  Trace trace_;
  std::unique_ptr<TForm1> form_;
  bool started_ = false;
};

}  // namespace zumbolo::sim
