#pragma once
// The desktop around the program, on Qt: the work areas of the screens, the date and the
// locale's short date pattern, the tray icon, the popup menu, the start at login, the message
// boxes and the end of the event loop.

#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

#include "platform/qt/tray_watcher.h"
#include "ports/shell.h"

namespace zumbolo {

class TForm1;

class QtShell final : public Shell {
 public:
  // `main_window` owns the dialogs (they are transient for it).
  explicit QtShell(QWidget& main_window);
  // The form whose menu, tray callback and taskbar re-creation this shell serves.
  void Attach(TForm1& form) { form_ = &form; }

  // Whether a tray can show the icon now; without one the figures' right click opens the menu.
  static bool TrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

  WorkArea GetWorkArea() override;
  std::vector<WorkArea> ScreenWorkAreas() override;
  LocalDate Today() override;
  std::string ShortDatePattern() override;

  void AddTrayIcon() override;
  void RemoveTrayIcon() override;
  ScreenPoint CursorPos() override;
  void ShowPopupMenu(ScreenPoint at) override;
  bool StartsAtLogin() override;
  std::string SetStartAtLogin(bool on) override;

  void ShowError(std::string_view text) override;
  void ShowMessage(std::string_view caption, std::string_view text, int left, int top) override;
  void ProcessPendingEvents() override;
  void Quit() override;

 private:
  void TrayActivated(QSystemTrayIcon::ActivationReason reason);

  QWidget& main_;
  TForm1* form_ = nullptr;
  QSystemTrayIcon tray_;
  // Whether Qt had a tray to put the icon into when it was last shown: then Qt itself puts it
  // back when the panel restarts.
  bool tray_installed_ = false;
  TrayWatcher tray_watcher_;
};

}  // namespace zumbolo
