// The tray icon's callback, and its return when the taskbar has been re-created.

#include "app/tform1.h"

namespace zumbolo {

void TForm1::TrayCallback(int mouse_message) {
  switch (mouse_message) {
    case kLeftButtonDown:
      Execute(ActionId::astart);
      break;
    case kRightButtonDown: {
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

void TForm1::TaskbarCreated() { shell.AddTrayIcon(); }

}  // namespace zumbolo
