#pragma once
// zumbolo.ini through the system's own private-profile functions (GetPrivateProfileStringW and
// WritePrivateProfileStringW), key by key, as the program has always kept it. Those functions take
// a file they cannot open for a missing one; the store looks first, so that the engine never has
// such a file overwritten, and leaves a read-only file alone.

#include <filesystem>
#include <string>

#include "ports/profile_store.h"

namespace zumbolo::win32 {

class PrivateProfileStore final : public ProfileStore {
 public:
  explicit PrivateProfileStore(const std::filesystem::path& file);

  ProfileAccess Access() const override { return access_; }
  std::error_code ReadError() const override { return read_error_; }
  std::optional<std::string> Read(std::string_view section, std::string_view key) override;
  void Write(std::string_view section, std::string_view key, std::string_view value) override;
  std::error_code Flush() override;

 private:
  std::wstring file_;
  ProfileAccess access_ = ProfileAccess::kNoFile;
  std::error_code read_error_;
  std::error_code write_error_;
};

}  // namespace zumbolo::win32
