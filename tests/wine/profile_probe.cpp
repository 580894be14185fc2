// profile_probe.exe SCRIPT: runs a script of settings-file operations (probe_script.h) through
// Windows' own private-profile functions, GetPrivateProfileStringW and WritePrivateProfileStringW,
// the way zumbolo.exe uses them: each write is followed by the flush call (all three names null).

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "probe_script.h"

namespace {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), length, nullptr,
                      nullptr);
  return narrow;
}

// A bare file name would be looked up in the Windows folder: make it a full path.
std::wstring FullPath(const std::string& file) {
  const std::wstring name = Widen(file);
  wchar_t full[MAX_PATH * 4] = {};
  const DWORD length = GetFullPathNameW(name.c_str(), MAX_PATH * 4, full, nullptr);
  return length == 0 || length >= MAX_PATH * 4 ? name : std::wstring(full, length);
}

std::string Read(const zumbolo::probe::Operation& op) {
  const std::wstring file = FullPath(op.file), section = Widen(op.section), key = Widen(op.key),
                     fallback = Widen(op.value);
  std::wstring value(64, L'\0');
  for (;;) {
    const DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback.c_str(), value.data(),
                                                  static_cast<DWORD>(value.size()), file.c_str());
    if (length + 1 < value.size()) {
      value.resize(length);
      return Narrow(value);
    }
    value.assign(value.size() * 2, L'\0');  // the value may have been cut short
  }
}

bool Write(const zumbolo::probe::Operation& op) {
  const std::wstring file = FullPath(op.file);
  const BOOL written = WritePrivateProfileStringW(Widen(op.section).c_str(), Widen(op.key).c_str(),
                                                  Widen(op.value).c_str(), file.c_str());
  // The flush answers FALSE under Wine whatever happens; its answer is not the write's.
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
  return written != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: profile_probe SCRIPT\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fputs("profile_probe: cannot read the script\n", stderr);
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::size_t bad_line = 0;
  const auto operations = zumbolo::probe::ParseScript(text.str(), &bad_line);
  if (!operations) {
    std::fprintf(stderr, "profile_probe: line %zu is no operation\n", bad_line);
    return 2;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // one LF a line, as on Linux
  for (const auto& op : *operations) {
    const std::string line = op.kind == zumbolo::probe::Operation::Kind::kRead
                                 ? "read " + zumbolo::probe::Escape(Read(op))
                                 : std::string(Write(op) ? "write ok" : "write failed");
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
  return 0;
}
