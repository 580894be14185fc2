#include "app/ini_file.h"

#include <atomic>
#include <charconv>
#include <cstddef>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>
#include <utility>

namespace zumbolo {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// A caller's name or value must not break the file into extra lines: anything from the first
// line break on is dropped.
std::string_view UpToLineBreak(std::string_view s) {
  return s.substr(0, s.find_first_of("\r\n"));
}

// The name of a section header line, or nullopt when the line is not a header.
std::optional<std::string_view> HeaderName(std::string_view line) {
  const std::size_t open = line.find_first_not_of(" \t");
  if (open == std::string_view::npos || line[open] != '[') return std::nullopt;
  const std::size_t close = line.rfind(']');
  if (close == std::string_view::npos || close < open) return std::nullopt;
  return Trim(line.substr(open + 1, close - open - 1));
}

struct KeyLine {
  std::string_view key;    // trimmed, may be empty
  std::string_view value;  // trimmed, quotes still on
};

// The key and value of a line inside a section, or nullopt when the line is not a key line
// (no '=', or a ';' comment). Header lines must have been sorted out before.
std::optional<KeyLine> SplitKeyLine(std::string_view line) {
  const std::string_view trimmed = Trim(line);
  if (!trimmed.empty() && trimmed.front() == ';') return std::nullopt;
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyLine{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::filesystem::path TemporaryPathFor(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  std::mt19937_64 generator((static_cast<std::uint64_t>(device()) << 32) ^ device() ^
                            counter.fetch_add(1));
  std::ostringstream suffix;
  suffix << '.' << std::hex << generator() << ".tmp";
  std::filesystem::path name(".");
  name += target.filename().native();
  name += suffix.str();
  return target.parent_path() / name;
}

}  // namespace

IniFile IniFile::Parse(std::string_view bytes) {
  IniFile file;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      file.lines_.emplace_back(bytes.substr(start));
      break;
    }
    file.lines_.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
    if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
  }
  return file;
}

IniFile IniFile::Load(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return IniFile();
  std::ostringstream contents;
  contents << in.rdbuf();
  if (in.bad()) return IniFile();
  return Parse(contents.str());
}

std::optional<std::size_t> IniFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const std::optional<std::string_view> name = HeaderName(lines_[i]);
    if (name && NamesEqual(*name, section)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const {
  section = Trim(section);
  key = Trim(key);
  if (key.empty()) return std::nullopt;
  const std::optional<std::size_t> header = FindSection(section);
  if (!header) return std::nullopt;
  for (std::size_t i = *header + 1; i < lines_.size() && !HeaderName(lines_[i]); ++i) {
    const std::optional<KeyLine> entry = SplitKeyLine(lines_[i]);
    if (entry && NamesEqual(entry->key, key)) return std::string(Unquote(entry->value));
  }
  return std::nullopt;
}

void IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(UpToLineBreak(section));
  key = Trim(UpToLineBreak(key));
  value = UpToLineBreak(value);
  // An empty key could never be read back; writing one would only pile up junk lines.
  if (key.empty()) return;

  const std::optional<std::size_t> header = FindSection(section);
  if (!header) {
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::string(key) + "=" + std::string(value));
    return;
  }
  std::size_t insert_after = *header;
  for (std::size_t i = *header + 1; i < lines_.size() && !HeaderName(lines_[i]); ++i) {
    const std::optional<KeyLine> entry = SplitKeyLine(lines_[i]);
    if (!entry) continue;
    if (NamesEqual(entry->key, key)) {
      lines_[i] = std::string(entry->key) + "=" + std::string(value);
      return;
    }
    insert_after = i;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_after + 1),
                std::string(key) + "=" + std::string(value));
}

std::string IniFile::Serialize() const {
  std::size_t size = 0;
  for (const std::string& line : lines_) size += line.size() + 2;
  std::string out;
  out.reserve(size);
  for (const std::string& line : lines_) {
    out += line;
    out += "\r\n";
  }
  return out;
}

bool IniFile::Save(const std::filesystem::path& path) const {
  const std::string contents = Serialize();
  const std::filesystem::path temporary = TemporaryPathFor(path);
  std::error_code ignored;

  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      std::filesystem::remove(temporary, ignored);
      return false;
    }
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.close();
    if (out.fail()) {
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }

  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::filesystem::remove(temporary, ignored);
    return false;
  }
  return true;
}

IniProfileStore::IniProfileStore(std::filesystem::path path)
    : path_(std::move(path)), file_(IniFile::Load(path_)) {}

std::optional<std::string> IniProfileStore::Read(std::string_view section, std::string_view key) {
  return file_.Read(section, key);
}

void IniProfileStore::Write(std::string_view section, std::string_view key,
                            std::string_view value) {
  file_.Write(section, key, value);
}

bool IniProfileStore::Flush() { return file_.Save(path_); }

std::optional<std::int32_t> ParseDecimalInt32(std::string_view text) {
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  // from_chars takes a '-' but no '+'; the digits alone are all that is left to check.
  const char* first = (text.front() == '-') ? text.data() : digits.data();
  const char* last = text.data() + text.size();
  std::int32_t value = 0;
  const std::from_chars_result result = std::from_chars(first, last, value);
  if (result.ec != std::errc() || result.ptr != last) return std::nullopt;
  return value;
}

}  // namespace zumbolo
