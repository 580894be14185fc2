// zumbolo-sim: runs the program in virtual time and writes its stage log.

#include <fstream>
#include <iostream>

#include "tools/sim/simulation.h"

int main(int argc, char** argv) {
  using namespace zumbolo::sim;
  std::string error;
  const auto options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::cerr << "zumbolo-sim: " << error << "\n" << kUsage;
    return 2;
  }
  for (const TimedAction& action : options->actions) {
    if (!UserAction(action.what)) {
      std::cerr << "zumbolo-sim: --at names nothing a user can do: " << action.what << "\n" << kUsage;
      return 2;
    }
  }
  std::ofstream file;
  if (options->log) {
    file.open(*options->log, std::ios::binary | std::ios::trunc);
    if (!file) {
      std::cerr << "zumbolo-sim: cannot write " << options->log->string() << "\n";
      return 1;
    }
  }
  std::ostream& log = options->log ? static_cast<std::ostream&>(file) : std::cout;
  try {
    Simulation simulation(*options, log);
    simulation.Run();
  } catch (const std::exception& failure) {
    std::cerr << "zumbolo-sim: " << failure.what() << "\n";
    return 1;
  }
  log.flush();
  return log ? 0 : 1;
}
