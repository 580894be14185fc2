#include "tools/sim/options.h"

#include <algorithm>
#include <charconv>
#include <chrono>

namespace zumbolo::sim {

const char* const kUsage =
    "usage: zumbolo-sim [options] [-- program-arguments...]\n"
    "  --dir DIR            folder of zumbolo.ini and the track files (default: a new temporary folder)\n"
    "  --work-area WxH[+X+Y]  width and height of the primary screen's work area, and where it\n"
    "                       begins (default 1280x770+0+0)\n"
    "  --screen WxH+X+Y     the work area of one more screen (repeatable)\n"
    "  --seed N             seed of the random generator (default: from the clock)\n"
    "  --until MS           virtual time at which the main window is asked to close (default 60000)\n"
    "  --at MS:WHAT         at MS, do what a user would: an action or menu item name, tray-left,\n"
    "                       tray-right, click, key:N, taskbar-created, fullscreen-on (a full-screen\n"
    "                       window becomes active), fullscreen-off (it goes) (repeatable)\n"
    "  --track NAME=MS      simulated duration of a track file (e.g. tell.res=209528)\n"
    "  --stall MS:D         the user-interface thread is busy from MS for D ms (repeatable)\n"
    "  --log FILE           where the log goes (default: standard output)\n"
    "  --clock YYYY-MM-DDTHH:MM:SS  local date and time at virtual time 0 (default: now)\n"
    "  --date-pattern P     the user's short date pattern, which the day keys are written in\n"
    "                       (default: none, so m/d/yy)\n";

namespace {

std::optional<std::int64_t> WholeNumber(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Milliseconds, whole or with up to six decimals, as exact ticks.
std::optional<Ticks> Milliseconds(std::string_view text) {
  const std::size_t dot = text.find('.');
  const auto whole = WholeNumber(text.substr(0, dot));
  if (!whole || *whole < 0 || *whole > 1'000'000'000'000LL) return std::nullopt;
  Ticks ticks = FromMs(*whole);
  if (dot != std::string_view::npos) {
    const std::string_view fraction = text.substr(dot + 1);
    if (fraction.empty() || fraction.size() > 6) return std::nullopt;
    Ticks scale = kTicksPerMs;
    for (char c : fraction) {
      if (c < '0' || c > '9') return std::nullopt;
      scale /= 10;
      ticks += (c - '0') * scale;
    }
  }
  return ticks;
}

// WxH, or WxH+X+Y with a - for a negative coordinate (WxH-X+Y); with `place_required` only the
// second.
std::optional<WorkArea> ScreenArea(std::string_view text, bool place_required) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  const std::size_t sign = text.find_first_of("+-", x + 1);
  const auto w = WholeNumber(text.substr(0, x));
  const auto h = WholeNumber(text.substr(x + 1, sign == std::string_view::npos ? std::string_view::npos : sign - x - 1));
  if (!w || !h || *w <= 0 || *h <= 0 || *w > 100000 || *h > 100000) return std::nullopt;
  WorkArea area{static_cast<int>(*w), static_cast<int>(*h)};
  if (sign == std::string_view::npos) {
    if (place_required) return std::nullopt;
    return area;
  }
  const std::size_t second = text.find_first_of("+-", sign + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const auto left = WholeNumber(text.substr(sign + 1, second - sign - 1));
  const auto top = WholeNumber(text.substr(second + 1));
  if (!left || !top || *left > 100000 || *top > 100000) return std::nullopt;
  area.left = static_cast<int>(text[sign] == '-' ? -*left : *left);
  area.top = static_cast<int>(text[second] == '-' ? -*top : *top);
  return area;
}

std::optional<std::int64_t> ClockTime(std::string_view text) {
  // YYYY-MM-DDTHH:MM:SS
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  const auto y = WholeNumber(text.substr(0, 4)), mo = WholeNumber(text.substr(5, 2)),
             d = WholeNumber(text.substr(8, 2)), h = WholeNumber(text.substr(11, 2)),
             mi = WholeNumber(text.substr(14, 2)), s = WholeNumber(text.substr(17, 2));
  if (!y || !mo || !d || !h || !mi || !s || *h > 23 || *mi > 59 || *s > 59) return std::nullopt;
  using namespace std::chrono;
  const year_month_day date{year(static_cast<int>(*y)), month(static_cast<unsigned>(*mo)),
                            day(static_cast<unsigned>(*d))};
  if (!date.ok()) return std::nullopt;
  return sys_days(date).time_since_epoch().count() * 86400 + *h * 3600 + *mi * 60 + *s;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--") {
      options.program_args.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (i + 1 >= args.size()) {
      error = option.rfind("--", 0) == 0 ? option + " needs a value" : "unknown argument " + option;
      return std::nullopt;
    }
    const std::string value = args[++i];
    const auto bad = [&] {
      error = "bad value for " + option + ": " + value;
      return std::nullopt;
    };
    if (option == "--dir") {
      options.dir = value;
    } else if (option == "--work-area") {
      const auto area = ScreenArea(value, false);
      if (!area) return bad();
      options.work_area = *area;
    } else if (option == "--screen") {
      const auto area = ScreenArea(value, true);
      if (!area) return bad();
      options.screens.push_back(*area);
    } else if (option == "--seed") {
      const auto seed = WholeNumber(value);
      if (!seed || *seed < 0 || *seed > 0xFFFFFFFFLL) return bad();
      options.seed = static_cast<std::uint32_t>(*seed);
    } else if (option == "--until") {
      const auto until = Milliseconds(value);
      if (!until) return bad();
      options.until = *until;
    } else if (option == "--at") {
      const std::size_t colon = value.find(':');
      const auto at = colon == std::string::npos ? std::nullopt : Milliseconds(std::string_view(value).substr(0, colon));
      if (!at || colon + 1 >= value.size()) return bad();
      options.actions.push_back({*at, value.substr(colon + 1)});
    } else if (option == "--track") {
      const std::size_t equals = value.find('=');
      const auto length = equals == std::string::npos ? std::nullopt : Milliseconds(std::string_view(value).substr(equals + 1));
      if (!length || equals == 0) return bad();
      options.tracks[value.substr(0, equals)] = *length;
    } else if (option == "--stall") {
      const std::size_t colon = value.find(':');
      const auto from = colon == std::string::npos ? std::nullopt : Milliseconds(std::string_view(value).substr(0, colon));
      const auto length = colon == std::string::npos ? std::nullopt : Milliseconds(std::string_view(value).substr(colon + 1));
      if (!from || !length) return bad();
      options.stalls.push_back({*from, *length});
    } else if (option == "--log") {
      options.log = value;
    } else if (option == "--clock") {
      const auto clock = ClockTime(value);
      if (!clock) return bad();
      options.clock = *clock;
    } else if (option == "--date-pattern") {
      options.date_pattern = value;
    } else {
      error = "unknown option " + option;
      return std::nullopt;
    }
  }
  std::stable_sort(options.actions.begin(), options.actions.end(),
                   [](const TimedAction& a, const TimedAction& b) { return a.at < b.at; });
  return options;
}

}  // namespace zumbolo::sim
