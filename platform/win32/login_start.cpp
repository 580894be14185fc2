#include "platform/win32/login_start.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace zumbolo::win32 {

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValueName[] = L"Zumbolo!";
constexpr char kValueText[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run の値 \"Zumbolo!\"";

std::string SystemText(LSTATUS status) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length ? std::wstring(text, length) : L"error " + std::to_wstring(status);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  return Narrow(message);
}

}  // namespace

std::filesystem::path ThisExecutable() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.assign(name.size() * 2, L'\0');
  }
}

bool RunValueSet() {
  DWORD type = 0;
  DWORD bytes = 0;
  const LSTATUS status =
      RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                   &type, nullptr, &bytes);
  return status == ERROR_SUCCESS && bytes > sizeof(wchar_t);  // more than the terminating NUL
}

std::string SetRunValue(const std::filesystem::path& executable, bool on) {
  if (!on) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key);
    if (status == ERROR_FILE_NOT_FOUND) return {};  // no Run key: no value either
    if (status == ERROR_SUCCESS) {
      status = RegDeleteValueW(key, kValueName);
      RegCloseKey(key);
    }
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return {};
    return std::string("ログイン時に起動する設定を消せません: ") + kValueText + ": " + SystemText(status);
  }
  // Quoted, as a path with spaces must be.
  const std::wstring command = L"\"" + executable.wstring() + L"\"";
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                   nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  if (status == ERROR_SUCCESS) return {};
  return std::string("ログイン時に起動する設定を書き込めません: ") + kValueText + ": " + SystemText(status);
}

}  // namespace zumbolo::win32
