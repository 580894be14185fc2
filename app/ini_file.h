#pragma once
// zumbolo.ini in memory, with the semantics of the Windows private-profile functions:
// - section and key names are compared without regard to (ASCII) case;
// - white space around names and values is trimmed, and a value in a matching pair of single or
//   double quotes loses them on reading;
// - the first matching section, and in it the first matching key, wins;
// - a write updates an existing key's line in place, adds a new key after the last entry of its
//   section, and a new section (with its key) at the end of the file;
// - every line the module does not understand (comments, blank lines, junk) is kept as it was;
// - the file is written with CR LF line ends.
// Reading never fails: a file of arbitrary bytes gives whatever entries can be recognised in it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ports/profile_store.h"

namespace zumbolo {

class IniFile {
 public:
  IniFile() = default;
  static IniFile Parse(std::string_view bytes);
  // A missing or unreadable file gives an empty one.
  static IniFile Load(const std::filesystem::path& path);

  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  void Write(std::string_view section, std::string_view key, std::string_view value);

  std::string Serialize() const;
  // Replaces the file as a whole (a new file, then a rename), so a failed save leaves the old
  // file as it was. Returns false on failure.
  bool Save(const std::filesystem::path& path) const;

 private:
  // The index of the header line of the first section called `section`.
  std::optional<std::size_t> FindSection(std::string_view section) const;

  std::vector<std::string> lines_;  // without their line ends
};

// The profile store of the desktop programs on Linux and of the simulator: an IniFile read from
// `path` when opened and written back to it on Flush.
class IniProfileStore : public ProfileStore {
 public:
  explicit IniProfileStore(std::filesystem::path path);
  std::optional<std::string> Read(std::string_view section, std::string_view key) override;
  void Write(std::string_view section, std::string_view key, std::string_view value) override;
  bool Flush() override;

 private:
  std::filesystem::path path_;
  IniFile file_;
};

// A decimal integer: optional sign, then digits, nothing else, within the signed 32-bit range.
std::optional<std::int32_t> ParseDecimalInt32(std::string_view text);

}  // namespace zumbolo
