#pragma once
// The key of a day in the "date" section of zumbolo.ini: the date in the user's short date format.

#include <string>
#include <string_view>

#include "ports/shell.h"

namespace zumbolo {

constexpr std::string_view kFallbackDatePattern = "m/d/yy";

// `pattern` knows d and dd (day), m and mm (month), yy and yyyy (year), in either case, and text
// in single or double quotes; every other character stands for itself. An empty pattern is
// "m/d/yy".
std::string FormatShortDate(const LocalDate& date, std::string_view pattern);

}  // namespace zumbolo
