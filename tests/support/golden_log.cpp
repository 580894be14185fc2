#include "tests/support/golden_log.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zumbolo::testing {

const char* NameOf(Sound sound) {
  return sound == Sound::kEffects ? "Effects" : sound == Sound::kBgm ? "Bgm" : "None";
}

void PrintTo(Sound sound, std::ostream* os) { *os << NameOf(sound); }

std::string FirstDifference(const std::vector<std::string>& expected, const std::vector<std::string>& seen) {
  for (std::size_t i = 0; i < std::max(expected.size(), seen.size()); ++i) {
    const std::string e = i < expected.size() ? expected[i] : "(nothing)";
    const std::string s = i < seen.size() ? seen[i] : "(nothing)";
    if (e != s) return "line " + std::to_string(i) + ": expected \"" + e + "\", seen \"" + s + "\"";
  }
  return "no difference";
}

void ExpectSameLog(const std::vector<std::string>& expected, const std::vector<std::string>& seen) {
  EXPECT_EQ(expected.size(), seen.size());
  EXPECT_TRUE(expected == seen) << FirstDifference(expected, seen);
}

std::vector<std::string> HitLines(const ForcedHit& hit, bool stops_player, int home_top) {
  std::vector<std::string> lines = {"beat 7 0", "hits 1 1"};
  if (stops_player) lines.push_back("player stop");
  lines.push_back("top " + std::to_string(home_top - 3));
  if (hit.odd_third)
    lines.push_back("poses " + std::to_string(hit.pose) + " " + std::to_string(hit.pose) + " " +
                    std::to_string(hit.third));
  else
    lines.push_back("pose " + std::to_string(hit.pose));
  return lines;
}

std::vector<std::string> ShowEndedLines(int home_left, int home_top) {
  return {"dance 110", "enabled 0", "form2 hide", "player stop", "form3 show", "pose 1",
          "top " + std::to_string(home_top), "left " + std::to_string(home_left),
          "interval 405", "timer1 1"};
}

std::vector<std::string> RestartLines(bool bgm, int home_left, int home_top) {
  std::vector<std::string> lines = {"form3 hide", "timer1 0", "enabled 0", "player stop", "player empty"};
  if (bgm)
    lines.insert(lines.end(), {"player render spring.res", "player seek 9840000"});
  else
    lines.insert(lines.end(), {"player render kokab.res", "player stop", "player seek 100000"});
  lines.insert(lines.end(), {"caption 停止", "pose 1", "top " + std::to_string(home_top),
                             "left " + std::to_string(home_left)});
  if (bgm) lines.push_back("player play");
  lines.insert(lines.end(), {"interval 405", "enabled 1"});
  return lines;
}

std::string MoveHomeByArrow(const std::string& action, int& home_left, int& home_top) {
  if (action == "aup" || action == "adown") {
    home_top += action == "aup" ? -10 : 10;
    return "top " + std::to_string(home_top);
  }
  home_left += action == "aleft" ? -10 : 10;
  return "left " + std::to_string(home_left);
}

bool IsMove(const std::string& line) {
  return line.rfind("moveto ", 0) == 0 || line.rfind("top ", 0) == 0 || line.rfind("left ", 0) == 0;
}

bool IsDrawing(const std::string& line) {
  return line.rfind("pose ", 0) == 0 || line.rfind("poses ", 0) == 0 || line.rfind("figure ", 0) == 0 ||
         line == "overlay";
}

}  // namespace zumbolo::testing
