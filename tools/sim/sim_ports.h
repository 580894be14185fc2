#pragma once
// The simulator's side of the ports: a virtual beat clock and after-show timer, a player that
// keeps virtual positions, a scripted shell and a stage that only remembers what it was told.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/bitmap.h"
#include "ports/media_graph.h"
#include "ports/shell.h"
#include "ports/stage.h"
#include "ports/timers.h"
#include "tools/sim/scheduler.h"

namespace zumbolo::sim {

class SimBeatTimer : public BeatTimer {
 public:
  explicit SimBeatTimer(Scheduler& scheduler) : scheduler_(scheduler) {}
  bool Start(std::uint32_t interval_ms, std::uint32_t hand_over_ms, BeatSink& sink) override;
  void Kill() override { ++generation_; }

 private:
  void Arm(Ticks due);

  Scheduler& scheduler_;
  BeatSink* sink_ = nullptr;
  Ticks interval_ = 0;
  Ticks hand_over_ = 0;
  std::uint64_t generation_ = 0;
};

class SimUiTimer : public UiTimer {
 public:
  explicit SimUiTimer(Scheduler& scheduler) : scheduler_(scheduler) {}
  void Start(std::uint32_t ms, std::function<void()> tick) override;
  void Stop() override { ++generation_; }

 private:
  void Arm(Ticks due);

  Scheduler& scheduler_;
  Ticks period_ = 0;
  std::function<void()> tick_;
  std::uint64_t generation_ = 0;
};

// Plays track files in virtual time: a running track ends when its position reaches its duration,
// and stays running at its end until it is stopped, as a media graph does.
class SimPlayer : public MediaGraph {
 public:
  SimPlayer(Scheduler& scheduler, std::map<std::string, Ticks> durations)
      : scheduler_(scheduler), durations_(std::move(durations)) {}

  void Create(MediaEvents& events) override;
  void Release() override;
  void RenderFile(const std::filesystem::path& file) override;
  void Run() override;
  bool Stop() override;
  PlayerState State() override;
  void RemoveAll() override;
  void SetPosition(std::int64_t position) override;
  void SetVolume(long volume) override { volume_ = volume; }

  // For tests: what is loaded, and where it stands.
  std::optional<std::string> Loaded() const;
  Ticks Position() const;
  bool Running() const { return running_; }
  long Volume() const { return volume_; }

 private:
  struct Track {
    std::string name;
    Ticks duration;
  };
  void ScheduleEnd();

  Scheduler& scheduler_;
  std::map<std::string, Ticks> durations_;  // --track overrides, by file name
  MediaEvents* events_ = nullptr;
  std::optional<Track> track_;
  bool running_ = false;
  Ticks position_ = 0;  // at `since_`
  Ticks since_ = 0;
  bool end_delivered_ = false;  // the end of the track at its last position has been reported
  std::uint64_t generation_ = 0;
  long volume_ = kFullVolume;
};

class SimShell : public Shell {
 public:
  // `screens`: the work areas of the other screens, beside the primary's `work_area`.
  SimShell(Scheduler& scheduler, WorkArea work_area, std::vector<WorkArea> screens,
           std::int64_t clock_start_seconds, std::string date_pattern = {})
      : scheduler_(scheduler),
        work_area_(work_area),
        screens_(std::move(screens)),
        clock_start_(clock_start_seconds),
        date_pattern_(std::move(date_pattern)) {}

  WorkArea GetWorkArea() override { return work_area_; }
  std::vector<WorkArea> ScreenWorkAreas() override;
  // For tests: the screens as they are from now on.
  void SetScreens(WorkArea primary, std::vector<WorkArea> others) {
    work_area_ = primary;
    screens_ = std::move(others);
  }
  LocalDate Today() override;
  std::string ShortDatePattern() override { return date_pattern_; }
  void AddTrayIcon() override { ++tray_icons_added; }
  void RemoveTrayIcon() override { ++tray_icons_removed; }
  ScreenPoint CursorPos() override { return {}; }
  void ShowPopupMenu(ScreenPoint) override { ++menus_shown; }
  bool StartsAtLogin() override { return starts_at_login; }
  std::string SetStartAtLogin(bool on) override;
  void ShowError(std::string_view) override {}
  void ShowMessage(std::string_view, std::string_view, int, int) override {}
  void ProcessPendingEvents() override {}
  void Quit() override { quit = true; }

  int tray_icons_added = 0;
  int tray_icons_removed = 0;
  int menus_shown = 0;
  bool quit = false;
  bool starts_at_login = false;
  bool login_start_unwritable = false;  // SetStartAtLogin fails

 private:
  Scheduler& scheduler_;
  WorkArea work_area_;
  std::vector<WorkArea> screens_;
  std::int64_t clock_start_;  // local wall-clock time at virtual 0, seconds since 1970
  std::string date_pattern_;
};

// Remembers the last state of every window, for tests to look at.
class SimStage : public Stage {
 public:
  void SetFigureSize(int pixels) override { figure_size = pixels; }
  void ShowFigure(int index, const Bitmap& picture) override { figures[index] = picture; }
  void MoveMainWindow(int left, int top) override { main = {left, top}; }
  void QueueMainWindowMove(int left, int top) override { main = {left, top}; }
  void BringToFront() override {}
  void ShowMainWindow(bool visible) override { main_visible = visible; }
  void SetPopupPicture(Popup popup, const Bitmap&, int width, int height) override {
    popups[Index(popup)].size = {width, height};
  }
  void MovePopup(Popup popup, int left, int top) override { popups[Index(popup)].place = {left, top}; }
  void ShowPopup(Popup popup, bool visible) override { popups[Index(popup)].visible = visible; }

  struct Point {
    int x = 0, y = 0;
  };
  struct PopupState {
    Point place;
    Point size;
    bool visible = false;
  };
  static int Index(Popup popup) { return popup == Popup::Celebration ? 0 : 1; }

  int figure_size = 0;
  std::array<Bitmap, 3> figures;
  Point main;
  bool main_visible = true;
  std::array<PopupState, 2> popups;
};

}  // namespace zumbolo::sim
