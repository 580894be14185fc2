#pragma once
// The script language of the two settings-file probes (profile_probe.exe on Windows' own
// private-profile functions, profile_probe_native on the engine's IniFile):
//
//   write<TAB>FILE<TAB>SECTION<TAB>KEY<TAB>VALUE     a key is written and the file saved
//   read<TAB>FILE<TAB>SECTION<TAB>KEY<TAB>DEFAULT    the key's value, or DEFAULT when it has none
//
// one operation a line, fields separated by single tabs, so that spaces around names and values
// are part of them. In a field, \\ \t \r \n stand for a backslash, a tab, a carriage return and a
// line feed. Empty lines and lines that begin with '#' are skipped. FILE is relative to the
// working folder.
//
// Each operation prints one line, in order: "read " and the value read, escaped as above, or
// "write ok" / "write failed". A line the probe does not understand stops it with status 2.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zumbolo::probe {

struct Operation {
  enum class Kind { kRead, kWrite } kind;
  std::string file, section, key, value;  // value: the value written, or the default of a read
};

inline std::string Unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 1 < field.size()) {
      const char next = field[i + 1];
      const char plain = next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next == '\\' ? '\\' : 0;
      if (plain != 0) {
        out += plain;
        ++i;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

inline std::string Escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out += c;
    }
  }
  return out;
}

// The operations of a script, or nullopt (with the number of the bad line) when a line is not one.
inline std::optional<std::vector<Operation>> ParseScript(std::string_view text, std::size_t* bad_line) {
  std::vector<Operation> operations;
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    std::vector<std::string_view> fields;
    for (;;) {
      const std::size_t tab = line.find('\t');
      fields.push_back(line.substr(0, tab));
      if (tab == std::string_view::npos) break;
      line.remove_prefix(tab + 1);
    }
    if (fields.size() != 5 || (fields[0] != "read" && fields[0] != "write")) {
      if (bad_line) *bad_line = number;
      return std::nullopt;
    }
    operations.push_back({fields[0] == "read" ? Operation::Kind::kRead : Operation::Kind::kWrite,
                          Unescape(fields[1]), Unescape(fields[2]), Unescape(fields[3]),
                          Unescape(fields[4])});
  }
  return operations;
}

}  // namespace zumbolo::probe
