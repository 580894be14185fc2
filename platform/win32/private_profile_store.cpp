#include "platform/win32/private_profile_store.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace zumbolo::win32 {

namespace {

// What a missing key reads as: a default no settings file holds as a value.
constexpr wchar_t kMissing[] = L"\x01missing\x01";

// A system error as the engine words its reasons.
std::error_code ErrorOf(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return std::make_error_code(std::errc::permission_denied);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_WRITE_PROTECT:
      return std::make_error_code(std::errc::read_only_file_system);
    default:
      return std::error_code(static_cast<int>(error), std::system_category());
  }
}

}  // namespace

PrivateProfileStore::PrivateProfileStore(const std::filesystem::path& file) : file_(file.wstring()) {
  const DWORD attributes = GetFileAttributesW(file_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;  // no file yet
    access_ = ProfileAccess::kUnreadable;
    read_error_ = ErrorOf(error);
    return;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    access_ = ProfileAccess::kUnreadable;
    read_error_ = std::make_error_code(std::errc::invalid_argument);
    return;
  }
  const HANDLE handle = CreateFileW(file_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    access_ = ProfileAccess::kUnreadable;
    read_error_ = ErrorOf(GetLastError());
    return;
  }
  const bool plain = GetFileType(handle) == FILE_TYPE_DISK;
  CloseHandle(handle);
  if (!plain) {
    access_ = ProfileAccess::kUnreadable;
    read_error_ = std::make_error_code(std::errc::invalid_argument);
    return;
  }
  access_ = (attributes & FILE_ATTRIBUTE_READONLY) ? ProfileAccess::kReadOnly : ProfileAccess::kReadWrite;
}

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
  // Each write goes to the file at once: none into a file that must be left as it is.
  if (access_ == ProfileAccess::kUnreadable || access_ == ProfileAccess::kReadOnly) return;
  if (!WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                                  file_.c_str()) &&
      !write_error_) {
    write_error_ = ErrorOf(GetLastError());
  }
}

std::error_code PrivateProfileStore::Flush() {
  // All three names empty: the system puts what it has cached for the file onto disk.
  if (access_ == ProfileAccess::kUnreadable) return read_error_;
  if (access_ == ProfileAccess::kReadOnly) return std::make_error_code(std::errc::operation_not_permitted);
  if (!WritePrivateProfileStringW(nullptr, nullptr, nullptr, file_.c_str()) && !write_error_) {
    write_error_ = ErrorOf(GetLastError());
  }
  return write_error_;
}

}  // namespace zumbolo::win32
