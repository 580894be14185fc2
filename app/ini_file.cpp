#include "app/ini_file.h"

#include <charconv>
#include <cstddef>
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

}  // namespace

IniFile IniFile::Parse(std::string bytes) {
  DecodedText decoded = DecodeText(std::move(bytes));
  IniFile file;
  file.text_ = std::move(decoded.text);
  file.encoding_ = decoded.encoding;
  file.odd_byte_ = std::move(decoded.odd_byte);
  return file;
}

IniFile::Line IniFile::LineAt(std::size_t begin) const {
  Line line{begin, text_.find_first_of("\r\n", begin), 0};
  if (line.end == std::string::npos) {
    line.end = line.next = text_.size();
  } else {
    line.next = line.end + 1;
    if (text_[line.end] == '\r' && line.next < text_.size() && text_[line.next] == '\n') ++line.next;
  }
  return line;
}

std::string_view IniFile::TextOf(const Line& line) const {
  return std::string_view(text_).substr(line.begin, line.end - line.begin);
}

std::string_view IniFile::LineEndOf(const Line& line) const {
  return std::string_view(text_).substr(line.end, line.next - line.end);
}

std::optional<IniFile::Line> IniFile::FindSection(std::string_view section) const {
  for (std::size_t at = 0; at < text_.size();) {
    const Line line = LineAt(at);
    const std::optional<std::string_view> name = HeaderName(TextOf(line));
    if (name && NamesEqual(*name, section)) return line;
    at = line.next;
  }
  return std::nullopt;
}

std::string_view IniFile::FileLineEnd() const {
  const std::size_t first = text_.find_first_of("\r\n");
  if (first == std::string::npos) return "\r\n";
  return LineEndOf(Line{first, first, LineAt(first).next});
}

std::string IniFile::EndLastLine() {
  if (text_.empty()) return "\r\n";
  if (text_.back() != '\r' && text_.back() != '\n') text_ += FileLineEnd();
  return text_.ends_with("\r\n") ? "\r\n" : std::string(1, text_.back());
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const {
  section = Trim(section);
  key = Trim(key);
  if (key.empty()) return std::nullopt;
  const std::optional<Line> header = FindSection(section);
  if (!header) return std::nullopt;
  for (std::size_t at = header->next; at < text_.size();) {
    const Line line = LineAt(at);
    const std::string_view text = TextOf(line);
    if (HeaderName(text)) break;
    const std::optional<KeyLine> entry = SplitKeyLine(text);
    if (entry && NamesEqual(entry->key, key)) return std::string(Unquote(entry->value));
    at = line.next;
  }
  return std::nullopt;
}

void IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(UpToLineBreak(section));
  key = Trim(UpToLineBreak(key));
  value = UpToLineBreak(value);
  // An empty key could never be read back; writing one would only pile up junk lines.
  if (key.empty()) return;

  const std::optional<Line> header = FindSection(section);
  if (!header) {
    const std::string line_end = EndLastLine();
    text_.append("[").append(section).append("]").append(line_end);
    text_.append(key).append("=").append(value).append(line_end);
    return;
  }
  Line insert_after = *header;
  for (std::size_t at = header->next; at < text_.size();) {
    const Line line = LineAt(at);
    const std::string_view text = TextOf(line);
    if (HeaderName(text)) break;
    if (const std::optional<KeyLine> entry = SplitKeyLine(text)) {
      if (NamesEqual(entry->key, key)) {
        const std::string replacement = std::string(entry->key) + "=" + std::string(value);
        text_.replace(line.begin, line.end - line.begin, replacement);
        return;
      }
      insert_after = line;
    }
    at = line.next;
  }
  std::string line_end(LineEndOf(insert_after));
  std::string inserted = std::string(key) + "=" + std::string(value);
  if (line_end.empty()) {
    // The last line of the file, without a line end of its own.
    line_end = FileLineEnd();
    inserted = line_end + inserted + line_end;
  } else {
    inserted += line_end;
  }
  text_.insert(insert_after.next, inserted);
}

std::string IniFile::Serialize() const {
  std::string out;
  SerializeTo([&out](std::string_view piece) {
    out += piece;
    return true;
  });
  return out;
}

bool IniFile::SerializeTo(const std::function<bool(std::string_view)>& sink) const {
  return EncodeText(text_, encoding_, odd_byte_, sink);
}

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
