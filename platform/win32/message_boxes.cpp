#include "platform/win32/message_boxes.h"

#include <cwchar>

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace zumbolo::win32 {

namespace {

// Where the next message box of this thread goes; the CBT hook moves it there as it is activated.
struct Placement {
  int left = -1;
  int top = -1;
  bool pending = false;
};
thread_local Placement next_box;

bool IsDialogBox(HWND window) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  return std::wcscmp(name, L"#32770") == 0;
}

LRESULT CALLBACK PlaceOnActivation(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE && next_box.pending) {
    const HWND box = reinterpret_cast<HWND>(wparam);
    if (IsDialogBox(box)) {
      next_box.pending = false;
      RECT placed{};
      GetWindowRect(box, &placed);
      const int x = next_box.left >= 0 ? next_box.left : placed.left;
      const int y = next_box.top >= 0 ? next_box.top : placed.top;
      SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

void ShowErrorBox(HWND owner, std::string_view text) {
  MessageBoxW(owner, Widen(text).c_str(), L"Zumbolo!", MB_OK | MB_ICONSTOP);
}

void ShowPlacedMessage(HWND owner, std::string_view caption, std::string_view text, int left, int top) {
  UniqueHook hook;
  if (left >= 0 || top >= 0) {
    next_box = {left, top, true};
    hook.reset(SetWindowsHookExW(WH_CBT, &PlaceOnActivation, nullptr, GetCurrentThreadId()));
  }
  MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), MB_OK);
  next_box.pending = false;
}

}  // namespace zumbolo::win32
