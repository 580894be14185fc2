// The options of the menu's "オプション" in the simulator: their round trip through zumbolo.ini
// (the section "option" after the others; a missing or broken value reads as the default), the
// volume that applies at once to the playing track, and the start at login with its error box.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/live_run.h"
#include "tests/support/sim_run.h"

namespace zumbolo {
namespace {

using testing::At;
using testing::LiveRun;
using testing::ReadText;
using testing::Saved;
using testing::ScratchDir;
using testing::WhatOf;
using testing::WriteText;
using Lines = std::vector<std::string>;

// The volume in hundredths of a decibel as the desktop's volume controls read a percentage: the
// amplitude goes with the cube of the fraction, 60 * log10(percent / 100) dB; 消音 is the
// player's silence, -10000.
long ExpectedLevel(int percent) {
  if (percent == 0) return -10000;
  return std::lround(6000.0 * std::log10(percent / 100.0));
}

Lines Sections(const std::string& text) {
  Lines sections;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') sections.push_back(line);
  }
  return sections;
}

Lines RunIn(const ScratchDir& dir, const Lines& more = {}) {
  Lines args = {"--dir", dir.str(), "--seed", "1", "--until", "3000"};
  args.insert(args.end(), more.begin(), more.end());
  return testing::RunSim(args);
}

TEST(OptionSettings, TheOptionsGoRoundThroughTheSettingsFileAfterTheOtherSections) {
  struct Case {
    int fullscreen;
    int volume;
  };
  for (const Case c : {Case{0, 25}, Case{1, 0}, Case{0, 75}, Case{1, 50}, Case{1, 100}}) {
    SCOPED_TRACE(std::to_string(c.fullscreen) + " " + std::to_string(c.volume));
    ScratchDir dir;
    WriteText(dir.path() / "zumbolo.ini", "[color]\r\nredchar=1\r\n[option]\r\nfullscreen=" +
                                              std::to_string(c.fullscreen) + "\r\nvolume=" +
                                              std::to_string(c.volume) + "\r\n");
    {
      LiveRun run({"--dir", dir.str(), "--seed", "1", "--until", "3000"});
      const TForm1& form = run.form();
      EXPECT_EQ(form.Checked(Item::ifullscreen), c.fullscreen == 1);
      EXPECT_EQ(form.VolumePercent(), c.volume);
      // The player starts at the chosen volume.
      EXPECT_EQ(run.sim().player().Volume(), ExpectedLevel(c.volume));
      const Lines start = At(run.Log(), 0);
      const bool set = std::find(start.begin(), start.end(), "player volume " + std::to_string(ExpectedLevel(c.volume))) !=
                       start.end();
      EXPECT_EQ(set, c.volume != 100) << "a new graph plays at full volume: only another is set";
      run.RunTo(3000);
    }
    EXPECT_EQ(Saved(dir, "option", "fullscreen"), std::to_string(c.fullscreen));
    EXPECT_EQ(Saved(dir, "option", "volume"), std::to_string(c.volume));
  }

  // A file from before the options: the defaults, and the section written after the others.
  ScratchDir old;
  WriteText(old.path() / "zumbolo.ini", "[num]\r\nritu=50\r\n[form]\r\nleft=100\r\ntop=200\r\n[color]\r\nredchar=2\r\n");
  const Lines log = RunIn(old);
  for (const std::string& line : At(log, 0)) {
    EXPECT_EQ(line.find("ivolume"), std::string::npos) << line;
    EXPECT_EQ(line.find("ifullscreen"), std::string::npos) << line;
    EXPECT_EQ(line.find("player volume"), std::string::npos) << line;
  }
  const std::string text = ReadText(old.path() / "zumbolo.ini");
  EXPECT_EQ(Sections(text), (Lines{"[num]", "[form]", "[color]", "[date]", "[sound]", "[mode]", "[option]"})) << text;
  EXPECT_EQ(Saved(old, "option", "fullscreen"), "1");
  EXPECT_EQ(Saved(old, "option", "volume"), "100");
}

TEST(OptionSettings, ABrokenOptionReadsAsItsDefault) {
  for (const char* broken : {"fullscreen=2\r\nvolume=33", "fullscreen=-1\r\nvolume=-25", "fullscreen=yes\r\nvolume=50%",
                             "fullscreen=\r\nvolume=", "fullscreen=99999999999\r\nvolume=1e2"}) {
    SCOPED_TRACE(broken);
    ScratchDir dir;
    WriteText(dir.path() / "zumbolo.ini", std::string("[option]\r\n") + broken + "\r\n");
    {
      LiveRun run({"--dir", dir.str(), "--seed", "1", "--until", "3000"});
      EXPECT_TRUE(run.form().Checked(Item::ifullscreen));
      EXPECT_TRUE(run.form().Checked(Item::ivolume100));
      EXPECT_EQ(run.sim().player().Volume(), 0);
      run.RunTo(3000);
    }
    EXPECT_EQ(Saved(dir, "option", "fullscreen"), "1");
    EXPECT_EQ(Saved(dir, "option", "volume"), "100");
  }
}

TEST(OptionSettings, TheVolumeAppliesAtOnceToThePlayingTrackAndMutedTheShowRunsToItsEnd) {
  // Forced hits with the Funiculì song of 20 s: it plays from 8385 and the show ends with it.
  LiveRun run({"--seed", "3", "--until", "600000", "--track", "fun.res=20000", "--", "/v"});
  run.RunTo(9000);
  ASSERT_TRUE(run.sim().player().Running());
  ASSERT_EQ(run.sim().player().Loaded(), "fun.res");
  for (const auto& [item, percent] : std::vector<std::pair<std::string, int>>{
           {"ivolume75", 75}, {"ivolume50", 50}, {"ivolume25", 25}, {"ivolume0", 0}}) {
    SCOPED_TRACE(item);
    // Only the volume: the song neither stops nor starts again.
    EXPECT_EQ(run.Do(item), (Lines{"check " + item + " 1", "player volume " + std::to_string(ExpectedLevel(percent))}));
    EXPECT_EQ(run.sim().player().Volume(), ExpectedLevel(percent));
    EXPECT_TRUE(run.sim().player().Running());
  }
  // Muted, the show goes on to the end of its song.
  ASSERT_TRUE(run.RunUntil([&] { return run.form().Form3.Visible(); }, 40000));
  bool ended_with_song = false;
  for (const std::string& line : run.Log()) {
    if (WhatOf(line) == "dance 110") ended_with_song = testing::TimeOf(line) == 28385;
  }
  EXPECT_TRUE(ended_with_song);
  EXPECT_EQ(run.Do("ivolume100"), (Lines{"check ivolume100 1", "player volume 0"}));
}

TEST(OptionSettings, StartAtLoginFollowsTheSessionAndAFailureIsShown) {
  LiveRun run({"--seed", "1", "--until", "600000"});
  run.RunTo(1000);
  EXPECT_EQ(run.Do("iautostart"), (Lines{"check iautostart 1"}));
  EXPECT_TRUE(run.sim().shell().starts_at_login);
  EXPECT_EQ(run.Do("iautostart"), (Lines{"check iautostart 0"}));
  EXPECT_FALSE(run.sim().shell().starts_at_login);
  // What cannot be written is said in the error box; the check stays as the session is.
  run.sim().shell().login_start_unwritable = true;
  EXPECT_EQ(run.Do("iautostart"), (Lines{"check iautostart 0", "error cannot write the autostart entry"}));
  EXPECT_FALSE(run.sim().shell().starts_at_login);
}

}  // namespace
}  // namespace zumbolo
