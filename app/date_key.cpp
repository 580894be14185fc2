#include "app/date_key.h"

#include <cctype>

namespace zumbolo {

namespace {

std::string Number(int value, int min_digits) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  while (static_cast<int>(digits.size()) < min_digits) digits.insert(digits.begin(), '0');
  return value < 0 ? "-" + digits : digits;
}

}  // namespace

std::string FormatShortDate(const LocalDate& date, std::string_view pattern) {
  if (pattern.empty()) pattern = kFallbackDatePattern;
  std::string text;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '\'' || c == '"') {
      const std::size_t close = pattern.find(c, i + 1);
      const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
      text.append(pattern.substr(i + 1, end - i - 1));
      i = end == pattern.size() ? end : end + 1;
      continue;
    }
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t run = 1;
    while (i + run < pattern.size() &&
           std::tolower(static_cast<unsigned char>(pattern[i + run])) == lower) {
      ++run;
    }
    switch (lower) {
      case 'd': text += Number(date.day, run >= 2 ? 2 : 1); break;
      case 'm': text += Number(date.month, run >= 2 ? 2 : 1); break;
      case 'y': text += run <= 2 ? Number(date.year % 100, 2) : Number(date.year, 4); break;
      default: text.append(pattern.substr(i, run)); break;
    }
    i += run;
  }
  return text;
}

}  // namespace zumbolo
