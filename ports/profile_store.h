#pragma once
// The settings file, read and written key by key with the semantics of the Windows
// private-profile functions.

#include <optional>
#include <string>
#include <string_view>

namespace zumbolo {

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  // The value of `key` in `section`, trimmed and unquoted; nullopt when either is missing.
  virtual std::optional<std::string> Read(std::string_view section, std::string_view key) = 0;
  virtual void Write(std::string_view section, std::string_view key, std::string_view value) = 0;
  // Puts everything written onto disk; false when that failed (the old file is then unchanged).
  virtual bool Flush() = 0;
};

}  // namespace zumbolo
