// zumbolo.exe: the Windows program. The engine's TForm1 with its ports on Win32 (the layered
// windows, the tray, the menu, the boxes, the multimedia timer) and DirectShow (the music).

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// <windows.h> defines `far` and `near` as nothing, for 16-bit code; the engine uses them as names.
#undef far
#undef near
#include "app/tform1.h"
#include "platform/win32/application_window.h"
#include "platform/win32/com_apartment.h"
#include "platform/win32/directshow_graph.h"
#include "platform/win32/full_screen_watcher.h"
#include "platform/win32/login_start.h"
#include "platform/win32/message_boxes.h"
#include "platform/win32/module_resources.h"
#include "platform/win32/multimedia_beat_timer.h"
#include "platform/win32/private_profile_store.h"
#include "platform/win32/single_instance.h"
#include "platform/win32/text.h"
#include "platform/common/trace_file.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_stage.h"
#include "platform/win32/window_timer.h"

namespace zumbolo::win32 {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> ProgramArguments() {
  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.push_back(Narrow(__wargv[i]));
  return args;
}

std::filesystem::path ExecutableFolder() { return ThisExecutable().parent_path(); }

std::uint32_t SeedFromClock() {
  const auto ticks = static_cast<std::uint64_t>(
      std::chrono::system_clock::now().time_since_epoch().count());
  return static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}

std::unique_ptr<TraceFile> OpenTrace(Trace& trace, Clock::time_point started) {
  const wchar_t* path = _wgetenv(L"ZUMBOLO_TRACE");
  if (!path || !*path) return nullptr;
  auto file = std::make_unique<TraceFile>(path, started);
  if (!file->is_open()) return nullptr;
  trace.SetSink([sink = file.get()](std::string_view line) { sink->Write(line); });
  return file;
}

int RunMessageLoop() {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

int Run(Clock::time_point started) {
  Trace trace;
  const std::unique_ptr<TraceFile> trace_file = OpenTrace(trace, started);

  ApplicationWindow application;
  Win32Stage stage(application.hwnd());
  MainWindow& window = stage.main_window();
  application.SetMainWindow(window.hwnd());
  Win32Shell shell(application, window.hwnd());
  DirectShowGraph graph(application.hwnd());
  MultimediaBeatTimer beat_timer(application.hwnd());
  WindowTimer after_show_timer(application.hwnd());
  const ModuleResources resources;
  TForm1 form(TForm1::Ports{
      .stage = stage,
      .graph = graph,
      .beat_timer = beat_timer,
      .after_show_timer = after_show_timer,
      .shell = shell,
      .resources = resources,
      .open_profile = [](const std::filesystem::path& path) { return std::make_unique<PrivateProfileStore>(path); },
      .trace = trace,
  });
  shell.Attach(form);
  window.SetHandlers({
      .key = [&form](int shortcut) { return !form.Closed() && form.KeyPressed(shortcut); },
      .click = [&form] {
        if (!form.Closed()) form.FormClick();
      },
      .close_query = [&form] {
        if (!form.Closed()) form.FormCloseQuery();
      },
      .taskbar_created = [&form] {
        if (!form.Closed()) form.TaskbarCreated();
      },
      .screens_changed = [&form] {
        if (!form.Closed()) form.ScreensChanged();
      },
  });

  // zumbolo.ini and the track files lie beside the executable.
  form.Start({.args = ProgramArguments(),
              .exe_dir = ExecutableFolder(),
              .settings_dir = {},
              .random_seed = SeedFromClock()});
  if (!form.Closed()) window.ShowFirstTime();
  const FullScreenWatcher full_screen(application.hwnd(), window.hwnd(), [&form](bool active) {
    if (!form.Closed()) form.FullScreenChanged(active);
  });
  const int exit_code = RunMessageLoop();
  application.ShowPendingErrors();
  return exit_code;
}

}  // namespace
}  // namespace zumbolo::win32

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace zumbolo::win32;
  const auto started = Clock::now();
  const std::optional<HeldMutex> instance = TakeInstanceMutex();
  if (!instance) return 0;  // another instance runs: end at once, silently

  const ComApartment com;
  try {
    return Run(started);
  } catch (const std::exception& error) {
    ShowErrorBox(nullptr, error.what());
  } catch (...) {
    ShowErrorBox(nullptr, "The program could not start.");
  }
  return 1;
}
