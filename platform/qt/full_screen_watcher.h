#pragma once
// Senses, on X11, whether the active window is a full-screen window over the figures: the root
// window's _NET_ACTIVE_WINDOW names the active window, whose _NET_WM_STATE holds
// _NET_WM_STATE_FULLSCREEN while it fills its monitor. Both are followed by their property-change
// events (and the active window's moves, by its configure events), never polled. A window
// manager without _NET_ACTIVE_WINDOW never reports a full-screen window. Without X11 nothing is
// watched.

#include <QAbstractNativeEventFilter>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

namespace zumbolo {

class FullScreenWatcher final : public QAbstractNativeEventFilter {
 public:
  // `figures` is the main window; `changed` runs on the user-interface thread with each new
  // answer, the first one included.
  FullScreenWatcher(QWidget& figures, std::function<void(bool full_screen)> changed);
  ~FullScreenWatcher() override;
  FullScreenWatcher(const FullScreenWatcher&) = delete;
  FullScreenWatcher& operator=(const FullScreenWatcher&) = delete;

  // Looks again soon, e.g. when the screens have changed.
  void Recheck();

  bool nativeEventFilter(const QByteArray& event_type, void* message, qintptr* result) override;

 private:
  void Check();
  std::uint32_t ActiveWindow();
  void Follow(std::uint32_t window);
  bool IsFullScreen(std::uint32_t window);
  bool CoversTheFigures(std::uint32_t window);
  bool IsOurs(std::uint32_t window) const;

  QWidget& figures_;
  std::function<void(bool)> changed_;
  bool installed_ = false;
  bool check_pending_ = false;
  std::uint32_t root_ = 0;
  std::uint32_t active_atom_ = 0;
  std::uint32_t state_atom_ = 0;
  std::uint32_t fullscreen_atom_ = 0;
  std::uint32_t followed_ = 0;  // the active window whose changes we hear of
  std::uint32_t own_base_ = 0, own_mask_ = 0;  // the X ids of our own windows
  std::optional<bool> reported_;
};

}  // namespace zumbolo
