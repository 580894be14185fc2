#include "platform/win32/directshow_error.h"

#include <dshow.h>

#include <cstdio>
#include <cwchar>

#include "platform/win32/text.h"

namespace zumbolo::win32 {

namespace {

constexpr DWORD kMaxTextLength = 255;

std::wstring SystemText(HRESULT result) {
  wchar_t text[kMaxTextLength + 1] = {};
  DWORD length = AMGetErrorTextW(result, text, kMaxTextLength + 1);
  if (length == 0) {
    // DirectShow only knows its own results; the others have the system's message text.
    length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                            static_cast<DWORD>(result), 0, text, kMaxTextLength + 1, nullptr);
  }
  std::wstring trimmed(text, std::wcslen(text));
  while (!trimmed.empty() && (trimmed.back() == L'\r' || trimmed.back() == L'\n' || trimmed.back() == L' ')) {
    trimmed.pop_back();
  }
  return trimmed;
}

}  // namespace

std::string MediaErrorText(HRESULT result) {
  char code[32];
  std::snprintf(code, sizeof code, " ($%lX).", static_cast<unsigned long>(static_cast<DWORD>(result)));
  return Narrow(SystemText(result)) + code;
}

HRESULT Check(HRESULT result) {
  if (FAILED(result)) throw MediaError(MediaErrorText(result), static_cast<long>(result));
  return result;
}

}  // namespace zumbolo::win32
