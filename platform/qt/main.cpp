// zumbolo: the Linux desktop program. The engine's TForm1 with its ports on Qt Widgets (the
// window, the pop-ups, the tray, the menu, the boxes, the timers) and GStreamer (the music).

#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QMetaObject>
#include <QSessionManager>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/ini_file.h"
#include "app/tform1.h"
#include "platform/common/embedded_resources.h"
#include "platform/common/threaded_beat_timer.h"
#include "platform/qt/app_folders.h"
#include "platform/qt/command_line.h"
#include "platform/qt/full_screen_watcher.h"
#include "platform/qt/gst/gst_media_graph.h"
#include "platform/qt/message_boxes.h"
#include "platform/qt/qt_poster.h"
#include "platform/qt/qt_shell.h"
#include "platform/qt/qt_stage.h"
#include "platform/qt/qt_ui_timer.h"
#include "platform/qt/screen_changes.h"
#include "platform/qt/single_instance.h"
#include "platform/qt/termination_signals.h"
#include "platform/common/trace_file.h"

namespace zumbolo {
namespace {

using Clock = std::chrono::steady_clock;

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) {
    icon.addFile(QStringLiteral(":/icons/zumbolo-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

std::string AudioSink() {
  const char* sink = std::getenv("ZUMBOLO_AUDIO_SINK");
  return sink && *sink ? sink : "autoaudiosink";
}

std::uint32_t SeedFromClock() {
  const auto ticks = static_cast<std::uint64_t>(
      std::chrono::system_clock::now().time_since_epoch().count());
  return static_cast<std::uint32_t>(ticks ^ (ticks >> 32));
}

// The beat log of $ZUMBOLO_BEAT_LOG, for bench/linux_desktop_bench.py: one line per event, each
// time in microseconds of the monotonic clock (CLOCK_MONOTONIC, Python's time.monotonic()):
//   main <t>                                 main() was entered
//   painted <t>                              the main window's first paint, figures and all
//   beat <n> <due> <posted> <taken> <late>   beat n of the clock's current run reached the
//                                            user-interface thread; late is 1 for a lost beat
// Lines are written as they happen, so that the log can be read while the program runs.
class BeatLog {
 public:
  explicit BeatLog(const char* path) : file_(std::fopen(path, "w")) {
    if (file_) std::setvbuf(file_, nullptr, _IOLBF, 4096);
  }
  ~BeatLog() {
    if (file_) std::fclose(file_);
  }
  BeatLog(const BeatLog&) = delete;
  BeatLog& operator=(const BeatLog&) = delete;

  bool is_open() const { return file_ != nullptr; }
  void Moment(const char* what, Clock::time_point at) { std::fprintf(file_, "%s %lld\n", what, Micros(at)); }
  void Beat(const ThreadedBeatTimer::BeatTimes& times) {
    std::fprintf(file_, "beat %llu %lld %lld %lld %d\n", static_cast<unsigned long long>(times.beat),
                 Micros(times.due), Micros(times.posted), Micros(times.taken), times.late ? 1 : 0);
  }

 private:
  static long long Micros(Clock::time_point at) {
    return std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
  }

  std::FILE* file_;
};

std::vector<std::string> ProgramArguments() {
  std::vector<std::string> args;
  const QStringList all = QCoreApplication::arguments();  // without the options Qt took
  for (qsizetype i = 1; i < all.size(); ++i) args.push_back(all[i].toStdString());
  return args;
}

int Run(QApplication& app, Clock::time_point started, const AppFolders& folders) {
  Trace trace;
  std::unique_ptr<TraceFile> trace_file;
  if (const char* path = std::getenv("ZUMBOLO_TRACE"); path && *path) {
    trace_file = std::make_unique<TraceFile>(path, started);
    if (trace_file->is_open()) {
      trace.SetSink([file = trace_file.get()](std::string_view line) { file->Write(line); });
    } else {
      std::fprintf(stderr, "zumbolo: cannot write the trace file %s\n", path);
    }
  }

  std::unique_ptr<BeatLog> beat_log;
  if (const char* path = std::getenv("ZUMBOLO_BEAT_LOG"); path && *path) {
    beat_log = std::make_unique<BeatLog>(path);
    if (beat_log->is_open()) {
      beat_log->Moment("main", started);
    } else {
      std::fprintf(stderr, "zumbolo: cannot write the beat log %s\n", path);
      beat_log.reset();
    }
  }

  QtPoster poster;
  QtStage stage;
  QtShell shell(stage.main_window());
  GstMediaGraph graph(poster, AudioSink());
  ThreadedBeatTimer beat_timer(poster);
  if (beat_log) {
    beat_timer.SetObserver([log = beat_log.get()](const ThreadedBeatTimer::BeatTimes& times) { log->Beat(times); });
  }
  QtUiTimer after_show_timer;
  TForm1 form(TForm1::Ports{
      .stage = stage,
      .graph = graph,
      .beat_timer = beat_timer,
      .after_show_timer = after_show_timer,
      .shell = shell,
      .resources = EmbeddedResources(),
      .open_profile = [](const std::filesystem::path& path) { return std::make_unique<IniProfileStore>(path); },
      .trace = trace,
  });
  shell.Attach(form);

  // Every close request closes the main window: the engine's close handling runs once, then the
  // event loop ends.
  const auto close = [&form, &shell] {
    if (!form.Closed()) form.FormCloseQuery();
    shell.Quit();
  };
  FigureWindow& window = stage.main_window();
  window.SetHandlers({
      .key = [&form](int shortcut) {
        if (!form.Closed()) form.KeyPressed(shortcut);
      },
      .left_press = [&form] {
        if (!form.Closed()) form.FormClick();
      },
      .right_press = [&form, &window] {
        // With a tray the menu belongs to the tray icon; without one, to the figures.
        if (QtShell::TrayAvailable()) return;
        QMetaObject::invokeMethod(&window, [&form] {
          if (!form.Closed()) form.TrayCallback(kRightButtonDown);
        }, Qt::QueuedConnection);
      },
      .close_request = close,
      .first_paint = [log = beat_log.get()] {
        if (log) log->Moment("painted", Clock::now());
      },
  });
  TerminationSignals termination(close);
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&form, &shell](QSessionManager& session) {
    session.allowsInteraction();  // the tally box waits for the user
    if (!form.Closed()) form.FormCloseQuery();
    session.release();
    shell.Quit();
  });
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&form] {
    if (!form.Closed()) form.FormCloseQuery();
  });

  form.Start({.args = ProgramArguments(),
              .exe_dir = folders.tracks,
              .settings_dir = folders.settings,
              .random_seed = SeedFromClock(),
              .exe_dir_error = folders.tracks_error,
              .settings_dir_error = folders.settings_error});
  if (!form.Closed()) window.ShowFirstTime();

  // The desktop from now on: full-screen windows over the figures, and the screens' layout.
  FullScreenWatcher full_screen(window, [&form](bool active) {
    if (!form.Closed()) form.FullScreenChanged(active);
  });
  OnScreenChanges(window, [&form, &full_screen] {
    if (!form.Closed()) form.ScreensChanged();
    full_screen.Recheck();
  });
  return app.exec();
}

}  // namespace
}  // namespace zumbolo

int main(int argc, char** argv) {
  using namespace zumbolo;
  const auto started = Clock::now();
  // "--help" and "--version" are answered without a display, and while another instance runs.
  switch (ReadCommandLineRequest(std::vector<std::string>(argv + (argc > 0), argv + argc))) {
    case CommandLineRequest::kHelp:
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    case CommandLineRequest::kVersion:
      std::fputs(VersionText(ZUMBOLO_VERSION).c_str(), stdout);
      return 0;
    case CommandLineRequest::kRun:
      break;
  }
#ifdef __GLIBC__
  // Every track's streaming threads come and go, and glibc gives new threads arenas of their own
  // (up to eight a core), each keeping the pages that its threads freed: the resident memory
  // crept up by about 20 KB a show, 1 MB an hour. With one arena for all threads it stays level
  // (6 KB a show); the threads allocate little, so sharing its lock costs nothing to speak of.
  mallopt(M_ARENA_MAX, 1);
#endif

  // Placing windows at exact screen positions and shaping them needs X11 (XWayland on a Wayland
  // desktop), unless the user asks for another platform.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  // What Qt paints (the pop-ups, and the figures where the X server cannot keep them) is small.
  // Sent over the X connection it costs nothing worth saving, while through shared memory each
  // repaint must first wait for the X server to have read the last one: a round trip, and a
  // wake-up of two threads.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  QApplication::setApplicationName(QStringLiteral("zumbolo"));
  QApplication app(argc, argv);
  QGuiApplication::setApplicationDisplayName(QStringLiteral("Zumbolo!"));
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.zumbolo.Zumbolo"));
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(ProgramIcon());

  // The folders first: a folder that cannot be made is the engine's to tell, and the lock lives
  // in the settings folder when there is no runtime folder.
  const AppFolders folders = PrepareAppFolders(QCoreApplication::applicationDirPath().toStdString());
  if (TakeInstanceLock(folders.settings) == InstanceLock::kHeldElsewhere) return 0;

  try {
    return Run(app, started, folders);
  } catch (const std::exception& error) {
    ShowErrorBox(nullptr, QStringLiteral("Zumbolo!"), QString::fromUtf8(error.what()));
  } catch (...) {
    ShowErrorBox(nullptr, QStringLiteral("Zumbolo!"), QStringLiteral("Zumbolo! を始められませんでした。"));
  }
  return 1;
}
