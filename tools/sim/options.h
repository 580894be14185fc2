#pragma once
// The command line of zumbolo-sim.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ports/shell.h"
#include "tools/sim/virtual_time.h"

namespace zumbolo::sim {

struct TimedAction {
  Ticks at;
  std::string what;  // an action's or a menu item's name, tray-left, tray-right, click, key:N,
                     // taskbar-created, fullscreen-on, fullscreen-off
};

struct Stall {
  Ticks from;
  Ticks length;
};

struct Options {
  std::optional<std::filesystem::path> dir;  // none: a new temporary folder, removed at exit
  WorkArea work_area{1280, 770};      // the primary screen's
  std::vector<WorkArea> screens;      // the other screens' work areas
  std::optional<std::uint32_t> seed;  // none: from the clock
  Ticks until = FromMs(60000);
  std::vector<TimedAction> actions;
  std::map<std::string, Ticks> tracks;  // simulated durations by file name
  std::vector<Stall> stalls;
  std::optional<std::filesystem::path> log;  // none: standard output
  std::optional<std::int64_t> clock;  // local time at virtual 0, seconds since 1970; none: now
  std::string date_pattern;  // the short date pattern of the day keys; empty: m/d/yy
  std::vector<std::string> program_args;
};

// Reads the options; on a mistake, returns nullopt and says what was wrong in `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

extern const char* const kUsage;

}  // namespace zumbolo::sim
