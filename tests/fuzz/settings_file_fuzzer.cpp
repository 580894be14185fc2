// libFuzzer target: any bytes as zumbolo.ini. The settings file module must never crash, never
// read past its buffer, and keep its promises:
// - a file that is only read is written back byte for byte;
// - after the program's writes at the close, each key reads back what was written, in the file
//   as saved, and every other entry reads as before.
// Built by -DZUMBOLO_FUZZ=ON with clang (the "fuzz" preset); tools/ci/fuzz-settings.sh runs it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "app/ini_file.h"

namespace {

struct Entry {
  std::string_view section, key, value;
};

// What the program writes on exit, in its order (a day's key is a date).
constexpr Entry kProgramWrites[] = {
    {"num", "ritu", "100"},  {"form", "left", "1030"}, {"form", "top", "652"},   {"date", "12/8/26", "3"},
    {"sound", "koka", "0"}, {"mode", "mode", "3"},    {"mode", "random", "0"}, {"color", "redchar", "1"},
};

// Names to look up besides: other keys of the program's sections, and short ones the inputs make
// easily.
constexpr std::string_view kSections[] = {"num", "form", "date", "mode", "a", "A", " b ", ""};
constexpr std::string_view kKeys[] = {"ritu", "left", "12/9/26", "random", "k", "K", " x", "=", ""};

void Broken(const char* promise) {
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

bool Written(std::string_view section, std::string_view key) {
  const auto same = [](std::string_view a, std::string_view b) {
    while (!a.empty() && (a.front() == ' ' || a.front() == '\t')) a.remove_prefix(1);
    while (!a.empty() && (a.back() == ' ' || a.back() == '\t')) a.remove_suffix(1);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
      if (x != b[i]) return false;
    }
    return true;
  };
  for (const Entry& entry : kProgramWrites) {
    if (same(section, entry.section) && same(key, entry.key)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const zumbolo::IniFile file = zumbolo::IniFile::Parse(bytes);
  if (file.Serialize() != bytes) Broken("a file only read is written back byte for byte");

  zumbolo::IniFile written = file;
  for (const Entry& entry : kProgramWrites) written.Write(entry.section, entry.key, entry.value);
  const zumbolo::IniFile saved = zumbolo::IniFile::Parse(written.Serialize());
  for (const Entry& entry : kProgramWrites) {
    if (saved.Read(entry.section, entry.key) != std::optional<std::string>(entry.value)) {
      Broken("a key written reads back what was written");
    }
  }
  for (const std::string_view section : kSections) {
    for (const std::string_view key : kKeys) {
      if (Written(section, key)) continue;
      if (saved.Read(section, key) != file.Read(section, key)) Broken("an entry not written reads as before");
    }
  }
  return 0;
}
