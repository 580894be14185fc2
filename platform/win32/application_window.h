#pragma once
// The application's hidden top-level window "TApplication", titled "Zumbolo!": the owner of
// every other window of the program. It is a tool window, so the program has no taskbar button.
// A request to close it closes the main window.
//
// It also shows the application's error box. An error is shown once the handler it left has
// returned, from the message loop: a box held open inside a beat would hold the beat past its
// hand-over (the clock would count it lost). The boxes come one after another, never nested, and
// the program goes on underneath them.

#include <deque>
#include <string>

#include "platform/win32/window.h"

namespace zumbolo::win32 {

class ApplicationWindow final : public Window {
 public:
  ApplicationWindow();
  // The window that closes for the application, and that owns the error boxes.
  void SetMainWindow(HWND main_window) { main_window_ = main_window; }

  void ReportError(std::string text);
  // Shows the errors not yet shown (after the message loop has ended).
  void ShowPendingErrors();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  HWND main_window_ = nullptr;
  std::deque<std::string> errors_;
  bool showing_ = false;
};

}  // namespace zumbolo::win32
