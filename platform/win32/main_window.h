#pragma once
// TForm1's window: the three figure boxes, and what the user does to them. Keys reach the
// actions' shortcuts, a click starts or stops the beat, and any request to close (the menu, the
// window's own close, the end of the session) runs the close handling once and ends the program.

#include <functional>

#include "platform/win32/picture_window.h"

namespace zumbolo::win32 {

class MainWindow final : public PictureWindow {
 public:
  struct Handlers {
    std::function<bool(int shortcut)> key;  // true when the key was a shortcut
    std::function<void()> click;
    std::function<void()> close_query;      // the close handling; must tolerate a second call
    std::function<void()> taskbar_created;  // the taskbar (and its tray) was re-created
    std::function<void()> screens_changed;  // the monitors or their work areas changed
  };

  explicit MainWindow(HWND owner);
  void SetHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
  // Shows the window for the first time, active, so that the keys reach it.
  void ShowFirstTime();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  LRESULT OnKeyDown(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnClick();
  LRESULT OnClose();
  LRESULT OnQueryEndSession();
  LRESULT OnEndSession();
  LRESULT OnDestroy();
  LRESULT OnTaskbarCreated();
  LRESULT OnScreensChanged(UINT message, WPARAM wparam, LPARAM lparam);

  Handlers handlers_;
  UINT taskbar_created_;
  bool closing_ = false;
};

}  // namespace zumbolo::win32
