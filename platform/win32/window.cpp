#include "platform/win32/window.h"

#include <exception>
#include <stdexcept>
#include <string>

#include "platform/win32/message_boxes.h"

namespace zumbolo::win32 {

namespace {

void RegisterOnce(const wchar_t* class_name, UINT style, WNDPROC procedure) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, class_name, &existing)) return;
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.style = style;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = ProgramIcon(GetSystemMetrics(SM_CXICON));
  window_class.hIconSm = ProgramIcon(GetSystemMetrics(SM_CXSMICON));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = class_name;
  if (!RegisterClassExW(&window_class)) {
    throw std::runtime_error("The window class could not be registered.");
  }
}

}  // namespace

HICON ProgramIcon(int size) {
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                       size, size, LR_SHARED));
}

Window::~Window() {
  // The derived object is gone: what the window still hears goes to the system's handling.
  if (window_) SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

void Window::Create(const Options& options) {
  RegisterOnce(options.class_name, options.class_style, &Window::Procedure);
  const HWND window =
      CreateWindowExW(options.ex_style, options.class_name, options.title, options.style, 0, 0, 0, 0,
                      options.owner, nullptr, GetModuleHandleW(nullptr), this);
  // The window's first message has already handed its handle to window_.
  if (!window) throw std::runtime_error("A window could not be created.");
}

void Window::CreateHidden(const wchar_t* class_name, HWND owner, const wchar_t* title) {
  Create({.class_name = class_name, .title = title, .owner = owner});
}

LRESULT Window::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  // A close request sent to every window of the program (taskkill, a task manager) must not
  // destroy the hidden ones: only the main window closes, in its own way.
  if (message == WM_CLOSE) return 0;
  return Default(message, wparam, lparam);
}

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* self = static_cast<Window*>(create->lpCreateParams);
    self->window_.reset(window);  // messages sent during creation already find the object
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (self) self->window_.release();  // destroyed already
    return DefWindowProcW(window, message, wparam, lparam);
  }
  if (!self) return DefWindowProcW(window, message, wparam, lparam);
  try {
    return self->HandleMessage(message, wparam, lparam);
  } catch (const std::exception& error) {
    ShowErrorBox(GetAncestor(window, GA_ROOTOWNER), error.what());
  } catch (...) {
    ShowErrorBox(GetAncestor(window, GA_ROOTOWNER), "An unexpected error occurred.");
  }
  return 0;
}

}  // namespace zumbolo::win32
