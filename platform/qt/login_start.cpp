#include "platform/qt/login_start.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace zumbolo {

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// The program's path as one argument of Exec: always in double quotes, in which the double
// quote, the backtick, the dollar sign and the backslash take a backslash; then, as for any
// string value, each backslash is doubled. A % is a field code's start and is doubled.
std::string ExecArgument(const std::string& path) {
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$') {
      quoted += "\\\\";
      quoted += c;
    } else if (c == '\\') {
      quoted += "\\\\\\\\";
    } else if (c == '%') {
      quoted += "%%";
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string Reason(const std::error_code& error) { return error.message(); }

}  // namespace

std::filesystem::path AutostartEntryPath() {
  std::filesystem::path config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && std::filesystem::path(xdg).is_absolute()) {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    config = std::filesystem::path(home) / ".config";
  } else {
    config = ".config";
  }
  return config / "autostart" / "zumbolo.desktop";
}

std::string AutostartEntryFor(const std::filesystem::path& executable) {
  const std::string path = executable.string();
  if (path.find_first_of("\r\n") != std::string::npos) return {};
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Zumbolo!\n"
         "Comment=Three little figures that spin like slot-machine reels and dance on a hit\n"
         "Exec=" + ExecArgument(path) + "\n"
         "Icon=zumbolo\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

bool AutostartEntryEnabled(const std::filesystem::path& entry) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(entry, error)) return false;
  std::ifstream in(entry);
  if (!in) return false;
  bool in_entry = false;
  for (std::string line; std::getline(in, line);) {
    const std::string_view text = Trimmed(line);
    if (!text.empty() && text.front() == '[') {
      in_entry = text == "[Desktop Entry]";
      continue;
    }
    if (!in_entry) continue;
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = Trimmed(text.substr(0, eq));
    const std::string_view value = Trimmed(text.substr(eq + 1));
    if (key == "Hidden" && value == "true") return false;
    if (key == "X-GNOME-Autostart-enabled" && value == "false") return false;
  }
  return true;
}

std::string SetAutostartEntry(const std::filesystem::path& entry, const std::filesystem::path& executable, bool on) {
  std::error_code error;
  if (!on) {
    std::filesystem::remove(entry, error);
    if (error) return "ログイン時に起動する設定を消せません: " + entry.string() + ": " + Reason(error);
    return {};
  }
  const std::string text = AutostartEntryFor(executable);
  const std::string cannot_write = "ログイン時に起動する設定を書き込めません: " + entry.string() + ": ";
  if (text.empty()) return cannot_write + "the program's path holds a line break: " + executable.string();
  std::filesystem::create_directories(entry.parent_path(), error);
  if (error) return cannot_write + Reason(error);
  // A new file, then a rename: a failed write leaves no half entry behind.
  std::filesystem::path temporary = entry;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return cannot_write + Reason(std::error_code(errno, std::generic_category()));
    out << text;
    out.close();
    if (out.fail()) {
      std::filesystem::remove(temporary, error);
      return cannot_write + "the file could not be written whole";
    }
  }
  std::filesystem::rename(temporary, entry, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return cannot_write + Reason(error);
  }
  return {};
}

}  // namespace zumbolo
