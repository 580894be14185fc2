#pragma once
// What the command line asks of the Linux program before anything starts. "--help" and
// "--version" are answered at once and the program ends without starting; every other argument
// ("/m", "/v", anything else) is the engine's, which ignores what it does not know.

#include <string>
#include <string_view>
#include <vector>

namespace zumbolo {

enum class CommandLineRequest {
  kRun,      // start the program
  kHelp,     // print UsageText() and end
  kVersion,  // print VersionText() and end
};

// `args` are the arguments without the program's name. The first "--help" or "--version" among
// them decides, wherever it stands; only the exact words count.
CommandLineRequest ReadCommandLineRequest(const std::vector<std::string>& args);

std::string UsageText();
std::string VersionText(std::string_view version);

}  // namespace zumbolo
