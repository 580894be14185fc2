#pragma once
// Hears when a system tray appears on the X11 display (a panel started or restarted): the new
// tray announces itself with a "MANAGER" client message on the root window.

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>

namespace zumbolo {

class TrayWatcher final : public QAbstractNativeEventFilter {
 public:
  // `appeared` runs on the user-interface thread after Qt itself has seen the new tray. Without
  // X11 nothing is watched.
  explicit TrayWatcher(std::function<void()> appeared);
  ~TrayWatcher() override;
  TrayWatcher(const TrayWatcher&) = delete;
  TrayWatcher& operator=(const TrayWatcher&) = delete;

  bool nativeEventFilter(const QByteArray& event_type, void* message, qintptr* result) override;

 private:
  bool IsTraySelection(std::uint32_t atom);

  std::function<void()> appeared_;
  std::uint32_t manager_atom_ = 0;
  bool installed_ = false;
};

}  // namespace zumbolo
