// The tray icon's callback, and its return when the taskbar has been re-created.

#include "app/tform1.h"

namespace zumbolo {

void TForm1::TrayCallback(int mouse_message) {
  switch (mouse_message) {
    case kLeftButtonDown:
      trace("user", "tray-left");
      RunAction(ActionId::astart);
      break;
    case kRightButtonDown: {
      trace("user", "tray-right");
      const ScreenPoint at = shell.CursorPos();
      Foreground();
      ShowStartAtLogin();
      shell.ShowPopupMenu(at);
      break;
    }
    default:
      break;  // moves, button ups, double clicks, the middle button
  }
}

void TForm1::TaskbarCreated() {
  trace("user", "taskbar-created");
  shell.AddTrayIcon();
}

}  // namespace zumbolo
