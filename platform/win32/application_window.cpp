#include "platform/win32/application_window.h"

#include "platform/win32/message_boxes.h"

namespace zumbolo::win32 {

namespace {

constexpr UINT kShowErrors = WM_APP + 2;

}  // namespace

ApplicationWindow::ApplicationWindow() {
  Create({.class_name = L"TApplication", .title = L"Zumbolo!", .style = WS_POPUP, .ex_style = WS_EX_TOOLWINDOW});
}

void ApplicationWindow::ReportError(std::string text) {
  errors_.push_back(std::move(text));
  if (errors_.size() == 1) PostMessageW(hwnd(), kShowErrors, 0, 0);
}

void ApplicationWindow::ShowPendingErrors() {
  // A box's own message loop may bring the request again: the box open now shows the rest after it.
  if (showing_) return;
  showing_ = true;
  while (!errors_.empty()) {
    const std::string text = std::move(errors_.front());
    errors_.pop_front();
    ShowErrorBox(IsWindow(main_window_) ? main_window_ : nullptr, text);
  }
  showing_ = false;
}

LRESULT ApplicationWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kShowErrors:
      ShowPendingErrors();
      return 0;
    case WM_CLOSE:
      if (main_window_) PostMessageW(main_window_, WM_CLOSE, 0, 0);
      return 0;
    default: return Window::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace zumbolo::win32
