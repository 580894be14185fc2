// "--help" and "--version" end the program before it starts, wherever they stand; every other
// argument, the program's own "/m" and "/v" and whatever else, lets it start as before.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/qt/command_line.h"

namespace zumbolo {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, HelpAndVersionAreAnsweredWhereverTheyStand) {
  EXPECT_EQ(ReadCommandLineRequest({"--help"}), CommandLineRequest::kHelp);
  EXPECT_EQ(ReadCommandLineRequest({"--version"}), CommandLineRequest::kVersion);
  EXPECT_EQ(ReadCommandLineRequest({"/m", "/v", "x", "--version"}), CommandLineRequest::kVersion);
  EXPECT_EQ(ReadCommandLineRequest({"--help", "--version"}), CommandLineRequest::kHelp);
  EXPECT_EQ(ReadCommandLineRequest({"--version", "--help"}), CommandLineRequest::kVersion);
}

TEST(CommandLine, EveryOtherArgumentStartsTheProgram) {
  for (const Args& args : {Args{}, Args{"/m"}, Args{"/m", "/v"}, Args{"x", "y", "/v"}, Args{"-h"},
                           Args{"-v"}, Args{"--Help"}, Args{"--version=1"}, Args{"-version"},
                           Args{"help"}, Args{"/?"}, Args{""}}) {
    std::string joined;
    for (const auto& arg : args) joined += " [" + arg + "]";
    EXPECT_EQ(ReadCommandLineRequest(args), CommandLineRequest::kRun) << joined;
  }
}

TEST(CommandLine, TheHelpNamesTheSwitchesAndTheEnvironment) {
  const std::string help = UsageText();
  for (const char* word : {"/m", "/v", "--help", "--version", "ZUMBOLO_HOME", "ZUMBOLO_AUDIO_SINK",
                           "ZUMBOLO_TRACE", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
    EXPECT_NE(help.find(word), std::string::npos) << word;
  }
}

}  // namespace
}  // namespace zumbolo
