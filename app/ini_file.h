#pragma once
// zumbolo.ini in memory, with the semantics of the Windows private-profile functions:
// - section and key names are compared without regard to (ASCII) case;
// - white space around names and values is trimmed, and a value in a matching pair of single or
//   double quotes loses them on reading;
// - the first matching section, and in it the first matching key, wins;
// - a write updates an existing key's line in place, adds a new key after the last entry of its
//   section, and a new section (with its key) at the end of the file;
// - every line the module does not touch (comments, blank lines, junk) keeps its bytes and its
//   line end; a new line takes the line end of the line before it (CR LF in a new file);
// - a UTF-8 byte-order mark is skipped on reading and kept on writing; a file that begins with
//   the UTF-16 byte-order mark is read as UTF-16 and written back so (names and values come and go
//   in UTF-8).
// Reading never fails: a file of arbitrary bytes gives whatever entries can be recognised in it,
// and a file that is only read is written back byte for byte. The file is held as one buffer, so
// that it takes little more memory than its size, however many lines it has.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "app/text_encoding.h"
#include "ports/profile_store.h"

namespace zumbolo {

class IniFile {
 public:
  IniFile() = default;
  static IniFile Parse(std::string bytes);

  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  void Write(std::string_view section, std::string_view key, std::string_view value);

  // The bytes of the file, in its own encoding.
  std::string Serialize() const;
  // The same, handed to `sink` in pieces; false as soon as the sink refuses one.
  bool SerializeTo(const std::function<bool(std::string_view)>& sink) const;

 private:
  struct Line {
    std::size_t begin = 0;  // where its text starts
    std::size_t end = 0;    // where its text ends: its line end (if any) starts here
    std::size_t next = 0;   // where the next line starts
  };
  Line LineAt(std::size_t begin) const;
  std::string_view TextOf(const Line& line) const;
  std::string_view LineEndOf(const Line& line) const;
  // The header line of the first section called `section`.
  std::optional<Line> FindSection(std::string_view section) const;
  // The first line end of the file, or CR LF when it has none.
  std::string_view FileLineEnd() const;
  // Ends the last line with a line end when it has none, and returns the line end of the last line.
  std::string EndLastLine();

  std::string text_;  // without the byte-order mark; UTF-8 for a UTF-16 file
  TextEncoding encoding_ = TextEncoding::kBytes;
  std::string odd_byte_;
};

// What was found where the settings file should be.
struct IniFileOnDisk {
  IniFile file;
  ProfileAccess access = ProfileAccess::kNoFile;
  std::error_code error;  // why it could not be read (kUnreadable)
};

// Reads the settings file at `path`. Only a plain file is opened (through symbolic links): a
// folder, a pipe or a device is kUnreadable, with std::errc::invalid_argument.
IniFileOnDisk LoadIniFile(const std::filesystem::path& path);

// Replaces the file at `path` as a whole: a new file beside it (beside the file a symbolic link
// leads to, which stays the link it was), flushed to disk, renamed onto the old one, and the
// folder flushed; a power loss or a kill leaves the old file or the new one, and a failed save
// the old one as it was. The new file keeps the old one's permissions. New files that saves
// killed half-way left in that folder are removed first. Empty on success, else why it failed.
std::error_code SaveIniFile(const std::filesystem::path& path, const IniFile& file);

// The profile store of the desktop program on Linux and of the simulator: the file read when
// opened and written back on Flush, unless it could not be read or is read-only.
class IniProfileStore : public ProfileStore {
 public:
  explicit IniProfileStore(std::filesystem::path path);
  ProfileAccess Access() const override { return access_; }
  std::error_code ReadError() const override { return read_error_; }
  std::optional<std::string> Read(std::string_view section, std::string_view key) override;
  void Write(std::string_view section, std::string_view key, std::string_view value) override;
  std::error_code Flush() override;

 private:
  std::filesystem::path path_;
  IniFile file_;
  ProfileAccess access_;
  std::error_code read_error_;
};

// A decimal integer: optional sign, then digits, nothing else, within the signed 32-bit range.
std::optional<std::int32_t> ParseDecimalInt32(std::string_view text);

}  // namespace zumbolo
