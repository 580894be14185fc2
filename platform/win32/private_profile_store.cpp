#include "platform/win32/private_profile_store.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace zumbolo::win32 {

namespace {

// What a missing key reads as: a default no settings file holds as a value.
constexpr wchar_t kMissing[] = L"\x01missing\x01";

}  // namespace

PrivateProfileStore::PrivateProfileStore(const std::filesystem::path& file)
    : file_(file.wstring()),
      access_(GetFileAttributesW(file_.c_str()) == INVALID_FILE_ATTRIBUTES ? ProfileAccess::kNoFile
                                                                          : ProfileAccess::kReadWrite) {}

std::optional<std::string> PrivateProfileStore::Read(std::string_view section, std::string_view key) {
  const std::wstring wide_section = Widen(section);
  const std::wstring wide_key = Widen(key);
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD length = GetPrivateProfileStringW(wide_section.c_str(), wide_key.c_str(), kMissing,
                                                  value.data(), static_cast<DWORD>(value.size()),
                                                  file_.c_str());
    // A value that fills the buffer to its last character may have been cut short.
    if (length + 1 < value.size()) {
      value.resize(length);
      break;
    }
    value.assign(value.size() * 2, L'\0');
  }
  if (value == kMissing) return std::nullopt;
  return Narrow(value);
}

void PrivateProfileStore::Write(std::string_view section, std::string_view key, std::string_view value) {
  if (!WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                                  file_.c_str()) &&
      !write_error_) {
    write_error_ = std::error_code(static_cast<int>(GetLastError()), std::system_category());
  }
}

std::error_code PrivateProfileStore::Flush() {
  // All three names empty: the system puts what it has cached for the file onto disk.
  if (!WritePrivateProfileStringW(nullptr, nullptr, nullptr, file_.c_str()) && !write_error_) {
    write_error_ = std::error_code(static_cast<int>(GetLastError()), std::system_category());
  }
  return write_error_;
}

}  // namespace zumbolo::win32
