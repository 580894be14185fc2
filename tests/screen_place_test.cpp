// The resting place and the screens, in the simulator: the home of a new start is the primary
// screen's work area's bottom right, wherever that work area begins; a stored place that no
// screen's work area shows is given up for it, at start-up and when the screens change; a stored
// place that still shows somewhere is kept.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/live_run.h"
#include "tests/support/sim_run.h"

namespace zumbolo {
namespace {

using testing::At;
using testing::LiveRun;
using testing::Saved;
using testing::ScratchDir;
using testing::WriteText;
using Lines = std::vector<std::string>;

// The lines of start-up from its start to the colour set's first pose, the placements among them.
Lines Placements(const Lines& start) {
  Lines out;
  for (const std::string& line : start) {
    if (line.rfind("left ", 0) == 0 || line.rfind("top ", 0) == 0 || line == "offscreen") out.push_back(line);
  }
  return out;
}

TEST(ScreenPlace, TheHomeAndAStoredPlaceOnTheScreensAtStartUp) {
  struct Case {
    const char* name;
    Lines sim;             // --work-area and --screen options
    const char* settings;  // zumbolo.ini, or nullptr
    Lines placed;          // left, top and offscreen lines of start-up
    int home_left, home_top;
  };
  const Case cases[] = {
      // The home: 250 from the work area's right edge, 118 from its bottom.
      {"panel at the bottom", {"--work-area", "1280x770"}, nullptr, {"left 1030", "top 652"}, 1030, 652},
      {"panel on the left", {"--work-area", "1232x800+48+0"}, nullptr, {"left 1030", "top 682"}, 1030, 682},
      {"panel at the top", {"--work-area", "1280x770+0+30"}, nullptr, {"left 1030", "top 682"}, 1030, 682},
      {"primary on the right of a second screen", {"--work-area", "1920x1040+1280+0", "--screen", "1280x1024+0+0"},
       nullptr, {"left 2950", "top 922"}, 2950, 922},
      // A place from a monitor since unplugged.
      {"stored place beyond every screen", {"--work-area", "1280x770"}, "[form]\r\nleft=2500\r\ntop=300\r\n",
       {"left 1030", "top 652", "left 2500", "top 300", "offscreen", "left 1030", "top 652"}, 1030, 652},
      {"stored place below every screen", {"--work-area", "1280x770"}, "[form]\r\nleft=100\r\ntop=770\r\n",
       {"left 1030", "top 652", "left 100", "top 770", "offscreen", "left 1030", "top 652"}, 1030, 652},
      // A window that still shows on some screen keeps its place, even partly off it.
      {"stored place on the second screen", {"--work-area", "1280x770", "--screen", "1280x1024+1280+0"},
       "[form]\r\nleft=2500\r\ntop=300\r\n", {"left 1030", "top 652", "left 2500", "top 300"}, 2500, 300},
      {"stored place partly on the screen", {"--work-area", "1280x770"}, "[form]\r\nleft=1279\r\ntop=769\r\n",
       {"left 1030", "top 652", "left 1279", "top 769"}, 1279, 769},
      {"stored place at the screen's edge", {"--work-area", "1280x770"}, "[form]\r\nleft=1280\r\ntop=0\r\n",
       {"left 1030", "top 652", "left 1280", "top 0", "offscreen", "left 1030", "top 652"}, 1030, 652},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    if (c.settings) WriteText(dir.path() / "zumbolo.ini", c.settings);
    Lines args = {"--dir", dir.str(), "--seed", "1", "--until", "2000"};
    args.insert(args.end(), c.sim.begin(), c.sim.end());
    {
      LiveRun run(args);
      EXPECT_EQ(Placements(At(run.Log(), 0)), c.placed);
      EXPECT_EQ(run.form().pos.HomeLeft, c.home_left);
      EXPECT_EQ(run.form().pos.HomeTop, c.home_top);
      EXPECT_EQ(run.form().pos.PosRightFar, c.home_left + 32);
      EXPECT_EQ(run.form().pos.PosTopHigh, c.home_top - 12);
      // The celebration ball is placed from the home.
      EXPECT_EQ(run.sim().stage().popups[0].place.x, c.home_left + 30);
      EXPECT_EQ(run.sim().stage().popups[0].place.y, c.home_top - 230);
      run.RunTo(2000);
    }
    EXPECT_EQ(Saved(dir, "form", "left"), std::to_string(c.home_left));
    EXPECT_EQ(Saved(dir, "form", "top"), std::to_string(c.home_top));
  }
}

TEST(ScreenPlace, WhenTheScreenOfTheFiguresGoesTheyComeHome) {
  ScratchDir dir;
  WriteText(dir.path() / "zumbolo.ini", "[form]\r\nleft=2500\r\ntop=300\r\n");
  LiveRun run({"--dir", dir.str(), "--seed", "1", "--until", "600000", "--work-area", "1280x770", "--screen",
               "1280x1024+1280+0"});
  run.RunTo(1000);
  // The other screen changes its work area: the figures still show there and stay.
  run.sim().shell().SetScreens({1280, 770}, {{1280, 1000, 1280, 24}});
  run.form().ScreensChanged();
  EXPECT_EQ(run.form().pos.HomeLeft, 2500);
  // It goes: the figures and their pop-ups come to the home on the primary screen.
  run.sim().shell().SetScreens({1280, 740, 0, 30}, {});
  const std::size_t before = run.Log().size();
  run.form().ScreensChanged();
  const Lines log = run.Log();
  EXPECT_EQ(testing::WithoutTimes(Lines(log.begin() + static_cast<std::ptrdiff_t>(before), log.end())),
            (Lines{"offscreen", "left 1030", "top 652"}));
  EXPECT_EQ(run.sim().stage().main.x, 1030);
  EXPECT_EQ(run.sim().stage().main.y, 652);
  EXPECT_EQ(run.sim().stage().popups[1].place.x, 1030 + 30);
  EXPECT_EQ(run.sim().stage().popups[1].place.y, 652 - 75);
  EXPECT_EQ(run.form().pos.PosLeftFar, 1030 - 32);
  EXPECT_EQ(run.form().pos.PosTopLow, 652 - 6);
  // The spin goes on from there.
  run.RunTo(3000);
  EXPECT_EQ(run.sim().stage().main.x, 1030);
}

}  // namespace
}  // namespace zumbolo
