#pragma once
// The desktop around the program: work area, tray icon, popup menu, message boxes, the date.

#include <string>
#include <string_view>
#include <vector>

namespace zumbolo {

// A screen's work area (the screen without its panels and taskbars), in desktop coordinates.
struct WorkArea {
  int width = 0;
  int height = 0;
  int left = 0;
  int top = 0;
};

struct LocalDate {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
};

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;

  virtual WorkArea GetWorkArea() = 0;  // the primary screen's
  // The work areas of all screens now, the primary's among them; empty when none is known.
  virtual std::vector<WorkArea> ScreenWorkAreas() = 0;
  virtual LocalDate Today() = 0;
  // The user's short date pattern (d, dd, m, mm, yy, yyyy and literal separators, any case);
  // empty when the locale supplies none.
  virtual std::string ShortDatePattern() = 0;

  virtual void AddTrayIcon() = 0;  // tip "Zumbolo!"; a failure is not reported
  virtual void RemoveTrayIcon() = 0;
  virtual ScreenPoint CursorPos() = 0;
  // Shows the popup menu with its top-left corner at `at` and returns when it has closed; a chosen
  // item has been run (TForm1::MenuItemClick) by then.
  virtual void ShowPopupMenu(ScreenPoint at) = 0;

  // Whether the session starts this very program at login (the autostart entry, the Run value).
  virtual bool StartsAtLogin() = 0;
  // Makes the session start this program at login, or no longer. Returns what could not be
  // written or removed, for the error box; empty when it worked.
  virtual std::string SetStartAtLogin(bool on) = 0;

  virtual void ShowError(std::string_view text) = 0;  // the application's error box
  // A modal box with one OK button and no icon; a coordinate below 0 keeps the default placement
  // on that axis.
  virtual void ShowMessage(std::string_view caption, std::string_view text, int left, int top) = 0;
  // Lets the user-interface thread handle what is pending, then returns.
  virtual void ProcessPendingEvents() = 0;
  // Ends the program once the current handler has returned (the main window has closed).
  virtual void Quit() = 0;
};

}  // namespace zumbolo
