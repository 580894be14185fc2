#include "tests/support/show_notation.h"

#include <stdexcept>

namespace zumbolo::testing {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(separator, from);
    parts.push_back(Trim(text.substr(from, at == std::string::npos ? std::string::npos : at - from)));
    if (at == std::string::npos) return parts;
    from = at + separator.size();
  }
}

std::pair<int, int> Stage::Place(const std::string& code) const {
  const std::vector<std::pair<std::string, std::pair<int, int>>> codes = {
      {"H", {home_left, home_top}},
      {"U", {home_left, TopHigh()}},
      {"L", {home_left, TopLow()}},
      {"S", {home_left, TopLow()}},
      {"U18", {home_left, home_top - 18}},
      {"D", {home_left, home_top + 2}},
      {"LM", {LeftMid(), home_top}},
      {"RM", {RightMid(), home_top}},
      {"LF", {LeftFar(), home_top}},
      {"RF", {RightFar(), home_top}},
      {"LMU", {LeftMid(), TopHigh()}},
      {"RMU", {RightMid(), TopHigh()}},
      {"LMD", {LeftMid(), home_top + 2}},
      {"RMD", {RightMid(), home_top + 2}},
  };
  for (const auto& [name, place] : codes)
    if (name == code) return place;
  throw std::invalid_argument("unknown window code " + code);
}

std::string Stage::MoveTo(const std::string& code) const {
  const auto [left, top] = Place(code);
  return "moveto " + std::to_string(left) + " " + std::to_string(top);
}

std::optional<std::string> FigureLine(const std::string& item) {
  if (item == kDash) return std::nullopt;
  if (item == "overlay") return "overlay";
  const auto figures = Split(item, "/");
  if (figures.size() == 1) return "pose " + std::to_string(std::stoi(item));
  if (figures.size() != 3) throw std::invalid_argument("three poses expected: " + item);
  std::string line = "poses";
  for (const std::string& figure : figures) line += " " + (figure == "x" ? std::string("-1") : figure);
  return line;
}

std::optional<std::string> WindowLine(const std::string& item, const Stage& stage) {
  if (item == kDash) return std::nullopt;
  if (item == "top H") return "top " + std::to_string(stage.home_top);
  return stage.MoveTo(item);
}

}  // namespace zumbolo::testing
