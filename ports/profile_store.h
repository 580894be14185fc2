#pragma once
// The settings file, read and written key by key with the semantics of the Windows
// private-profile functions.

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace zumbolo {

// What a store found when it was opened.
enum class ProfileAccess {
  kNoFile,      // there is no settings file yet: nothing to read; Flush creates it
  kReadWrite,   // read, and it may be written
  kReadOnly,    // read; the user has made it read-only, so Flush leaves it as it is
  kUnreadable,  // it is there but could not be read (no permission, not a plain file): Flush never
                // writes it, so that nothing in it is lost
};

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  virtual ProfileAccess Access() const = 0;
  // Why the file could not be read when Access() is kUnreadable; std::errc::invalid_argument for
  // a settings file that is no plain file (a folder, a pipe, a device).
  virtual std::error_code ReadError() const = 0;
  // The value of `key` in `section`, trimmed and unquoted; nullopt when either is missing.
  virtual std::optional<std::string> Read(std::string_view section, std::string_view key) = 0;
  virtual void Write(std::string_view section, std::string_view key, std::string_view value) = 0;
  // Puts everything written onto disk. Empty on success; otherwise why nothing was saved (the old
  // file is then unchanged), also when Access() said it must not be written.
  virtual std::error_code Flush() = 0;
};

}  // namespace zumbolo
