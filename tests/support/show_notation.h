#pragma once
// The notation of the show tables that the golden-log tests write in the shape of a show's own
// script: lists separated by commas, a pose p (ShowPose) or a/b/c (ShowPoses, x for a blank
// figure), "overlay" for the sparkle, the window codes of MoveWindowTo, and – for nothing.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zumbolo::testing {

// Nothing on that beat; also the dash of a range of beats ("12–19").
inline const std::string kDash = "–";

std::string Trim(const std::string& text);

// The parts between the separators, each trimmed.
std::vector<std::string> Split(const std::string& text, const std::string& separator);

// The window positions on the work area 1280 x 770 (home 1030, 652), named by the window codes.
struct Stage {
  int home_left = 1030;  // width − 250
  int home_top = 652;    // height − 118
  bool mini = false;

  int TopHigh() const { return home_top - (mini ? 6 : 12); }
  int TopLow() const { return home_top - (mini ? 3 : 6); }
  int LeftMid() const { return home_left - (mini ? 8 : 16); }
  int RightMid() const { return home_left + (mini ? 8 : 16); }
  int LeftFar() const { return home_left - (mini ? 16 : 32); }
  int RightFar() const { return home_left + (mini ? 16 : 32); }

  // A window code, as (left, top): H, U, L (also written S), D, U18, LM, RM, LF, RF, LMU, RMU,
  // LMD, RMD. The tops of D and U18 are fixed offsets from HomeTop, the same in mini mode.
  std::pair<int, int> Place(const std::string& code) const;

  // The window code as its MoveWindowTo line.
  std::string MoveTo(const std::string& code) const;
};

// A figures entry as its line: "pose p", "poses a b c" (-1 for x) or "overlay"; none for –.
std::optional<std::string> FigureLine(const std::string& item);

// A window entry as its line: a window code's MoveWindowTo, or "top H" (the top alone, to
// HomeTop); none for –.
std::optional<std::string> WindowLine(const std::string& item, const Stage& stage);

}  // namespace zumbolo::testing
