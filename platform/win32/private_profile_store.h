#pragma once
// zumbolo.ini through the system's own private-profile functions (GetPrivateProfileStringW and
// WritePrivateProfileStringW), key by key, as the program has always kept it.

#include <filesystem>
#include <string>

#include "ports/profile_store.h"

namespace zumbolo::win32 {

class PrivateProfileStore final : public ProfileStore {
 public:
  explicit PrivateProfileStore(const std::filesystem::path& file);

  ProfileAccess Access() const override { return access_; }
  std::error_code ReadError() const override { return {}; }
  std::optional<std::string> Read(std::string_view section, std::string_view key) override;
  void Write(std::string_view section, std::string_view key, std::string_view value) override;
  std::error_code Flush() override;

 private:
  std::wstring file_;
  ProfileAccess access_;
  std::error_code write_error_;
};

}  // namespace zumbolo::win32
