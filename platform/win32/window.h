#pragma once
// A window whose messages go to a C++ object: the class is registered once per process, the
// object is found through the window's user data, and an exception that would leave a handler is
// shown in the error box instead of crossing into the system.

#include <windows.h>

#include "platform/win32/handles.h"

namespace zumbolo::win32 {

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const { return window_.get(); }

 protected:
  struct Options {
    const wchar_t* class_name;
    const wchar_t* title = L"";
    DWORD style = WS_POPUP;
    DWORD ex_style = WS_EX_TOOLWINDOW;
    HWND owner = nullptr;
    UINT class_style = 0;  // used when the class is first registered
  };
  // Creates the window (hidden unless the style says otherwise); throws when it cannot.
  void Create(const Options& options);
  // A window that is never shown and only receives messages.
  void CreateHidden(const wchar_t* class_name, HWND owner, const wchar_t* title = L"");

  // Every message; the default is the system's handling, except that WM_CLOSE does nothing.
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Default(UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(hwnd(), message, wparam, lparam);
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  UniqueWindow window_;
};

// The icon of the executable (resource 1), at the given size; shared, never destroyed.
HICON ProgramIcon(int size);

}  // namespace zumbolo::win32
