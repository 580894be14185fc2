// zumbolo-bench: the real program, headless, against the real clock. The main window runs with
// a stage that draws nothing, a media graph that accepts every call, the embedded resources, a
// settings file in a temporary folder, the beat clock's timer thread and the after-show timer on
// an event loop of this thread. It measures how punctually the beats arrive, what spinning costs
// in CPU and memory, and how long the program takes to show its figures.
//
//   zumbolo-bench [--beats N] [--cpu-seconds S]
//
// N beats (200) for the timing figures, then S seconds (60) of spinning for the CPU figure.

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/ini_file.h"
#include "app/tform1.h"
#include "platform/common/embedded_resources.h"
#include "platform/common/event_loop.h"
#include "platform/common/threaded_beat_timer.h"

namespace zumbolo {
namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

// ---- Ports that do nothing ----------------------------------------------------------------------

class NullStage : public Stage {
 public:
  void SetFigureSize(int) override {}
  void ShowFigure(int, const Bitmap&) override {
    if (!first_figure) first_figure = Clock::now();
  }
  void MoveMainWindow(int, int) override {}
  void QueueMainWindowMove(int, int) override {}
  void BringToFront() override {}
  void ShowMainWindow(bool) override {}
  void SetPopupPicture(Popup, const Bitmap&, int, int) override {}
  void MovePopup(Popup, int, int) override {}
  void ShowPopup(Popup popup, bool visible) override {
    if (popup == Popup::Celebration && visible) ++shows;
  }

  std::optional<Clock::time_point> first_figure;
  int shows = 0;
};

// Accepts every call; a track plays for ever.
class NullGraph : public MediaGraph {
 public:
  void Create(MediaEvents&) override { state_ = psStopped; }
  void Release() override { state_ = psUninitialized; }
  void RenderFile(const std::filesystem::path&) override { state_ = psStopped; }
  void Run() override { state_ = psPlaying; }
  bool Stop() override {
    state_ = psStopped;
    return true;
  }
  PlayerState State() override { return state_; }
  void RemoveAll() override { state_ = psStopped; }
  void SetPosition(std::int64_t) override {}
  void SetVolume(long) override {}

 private:
  PlayerState state_ = psUninitialized;
};

class HeadlessShell : public Shell {
 public:
  explicit HeadlessShell(EventLoop& loop) : loop_(loop) {}
  WorkArea GetWorkArea() override { return {1280, 770}; }
  std::vector<WorkArea> ScreenWorkAreas() override { return {GetWorkArea()}; }
  LocalDate Today() override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
  }
  std::string ShortDatePattern() override { return "yyyy/mm/dd"; }
  void AddTrayIcon() override {}
  void RemoveTrayIcon() override {}
  ScreenPoint CursorPos() override { return {}; }
  void ShowPopupMenu(ScreenPoint) override {}
  bool StartsAtLogin() override { return false; }
  std::string SetStartAtLogin(bool) override { return "no session to start with"; }
  void ShowError(std::string_view text) override {
    ++errors;
    std::fprintf(stderr, "zumbolo-bench: error box: %.*s\n", static_cast<int>(text.size()), text.data());
  }
  void ShowMessage(std::string_view, std::string_view, int, int) override {}
  void ProcessPendingEvents() override { loop_.RunUntil(Clock::now()); }
  void Quit() override { loop_.Quit(); }

  int errors = 0;

 private:
  EventLoop& loop_;
};

// ---- Measuring ----------------------------------------------------------------------------------

struct Spread {
  double p50 = 0, p99 = 0, max = 0;  // ms
};

// Nearest-rank percentiles.
Spread SpreadOf(std::vector<double> values) {
  Spread spread;
  if (values.empty()) return spread;
  std::sort(values.begin(), values.end());
  const auto rank = [&values](double q) {
    const auto index = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(index, 1) - 1];
  };
  spread.p50 = rank(0.50);
  spread.p99 = rank(0.99);
  spread.max = values.back();
  return spread;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A "VmRSS:" style line of /proc/self/status, in kB.
long StatusKilobytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0) return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
  }
  return -1;
}

// How long ago the kernel started this process, in ms (to its clock tick, usually 10 ms).
std::optional<double> ProcessAgeMs() {
  std::ifstream stat_file("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(stat_file)), std::istreambuf_iterator<char>());
  const auto close = stat.rfind(')');  // the command name may hold spaces
  if (close == std::string::npos) return std::nullopt;
  // Field 3 (the state) follows the name; field 22 is the start time, in clock ticks since boot.
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  for (int i = 3; i <= 22; ++i) {
    if (!(fields >> field)) return std::nullopt;
  }
  timespec boot{};
  clock_gettime(CLOCK_BOOTTIME, &boot);
  const double started_s = std::strtod(field.c_str(), nullptr) / static_cast<double>(sysconf(_SC_CLK_TCK));
  return (static_cast<double>(boot.tv_sec) + static_cast<double>(boot.tv_nsec) / 1e9 - started_s) * 1000.0;
}

std::optional<long> Number(std::string_view text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
  return value;
}

std::filesystem::path NewFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zumbolo-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

int Run(long beat_count, long cpu_seconds, Clock::time_point main_entered) {
  const std::filesystem::path dir = NewFolder();
  if (dir.empty()) {
    std::fprintf(stderr, "zumbolo-bench: cannot make a temporary folder\n");
    return 1;
  }
  // A settings file, so that the spin runs at TempoNormal (405 ms), with hit odds so long that no
  // hit comes and every beat is a spin beat.
  {
    IniFile ini;
    ini.Write("num", "ritu", "2147483647");
    SaveIniFile(dir / "zumbolo.ini", ini);
  }

  EventLoop loop;
  ThreadedBeatTimer beat_timer(loop);
  EventLoopTimer after_show_timer(loop);
  NullStage stage;
  NullGraph graph;
  HeadlessShell shell(loop);
  Trace trace;  // no sink, as in the desktop programs

  std::vector<ThreadedBeatTimer::BeatTimes> beats;
  beats.reserve(static_cast<std::size_t>(beat_count + cpu_seconds * 3 + 64));
  beat_timer.SetObserver([&beats](const ThreadedBeatTimer::BeatTimes& times) { beats.push_back(times); });

  auto form = std::make_unique<TForm1>(TForm1::Ports{
      .stage = stage,
      .graph = graph,
      .beat_timer = beat_timer,
      .after_show_timer = after_show_timer,
      .shell = shell,
      .resources = EmbeddedResources(),
      .open_profile = [](const std::filesystem::path& path) { return std::make_unique<IniProfileStore>(path); },
      .trace = trace,
  });
  form->Start({.args = {}, .exe_dir = dir, .settings_dir = dir, .random_seed = static_cast<std::uint32_t>(Clock::now().time_since_epoch().count())});
  const std::uint32_t interval = form->MMTimer1.Interval();
  std::printf("zumbolo-bench: spinning at %u ms; %ld beats (about %.0f s), then %ld s of spinning\n",
              interval, beat_count, static_cast<double>(beat_count) * interval / 1000.0, cpu_seconds);
  std::fflush(stdout);

  // ---- The beats -------------------------------------------------------------------------------
  const auto timing_limit = Clock::now() + std::chrono::milliseconds(2 * beat_count * interval + 10000);
  loop.RunUntil([&] { return beats.size() >= static_cast<std::size_t>(beat_count); }, timing_limit);
  const std::size_t timed = std::min(beats.size(), static_cast<std::size_t>(beat_count));
  std::vector<double> jitter, wake, hand_over;
  int late = 0;
  for (std::size_t i = 0; i < timed; ++i) {
    jitter.push_back(Ms(beats[i].taken - beats[i].due).count());
    wake.push_back(Ms(beats[i].posted - beats[i].due).count());
    hand_over.push_back(Ms(beats[i].taken - beats[i].posted).count());
    if (beats[i].late) ++late;
  }

  // ---- Spinning, for the CPU -------------------------------------------------------------------
  const std::size_t beats_before = beats.size();
  const double cpu_before = CpuSeconds();
  const auto wall_before = Clock::now();
  loop.RunUntil(wall_before + std::chrono::seconds(cpu_seconds));
  const double cpu_used = CpuSeconds() - cpu_before;
  const double wall_used = std::chrono::duration<double>(Clock::now() - wall_before).count();
  const std::size_t beats_spinning = beats.size() - beats_before;
  for (std::size_t i = beats_before; i < beats.size(); ++i) {
    if (beats[i].late) ++late;
  }
  const long rss = StatusKilobytes("VmRSS");
  const long hwm = StatusKilobytes("VmHWM");
  const long anonymous = StatusKilobytes("RssAnon");
  const long file_backed = StatusKilobytes("RssFile");

  form->FormCloseQuery();
  form.reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);

  // ---- The table -------------------------------------------------------------------------------
  const Spread j = SpreadOf(jitter), w = SpreadOf(wake), h = SpreadOf(hand_over);
  std::printf("\n| measure | p50 | p99 | max |\n|---|---|---|---|\n");
  std::printf("| beat jitter: TakeBeat start - ideal deadline (%zu beats) | %.3f ms | %.3f ms | %.3f ms |\n",
              timed, j.p50, j.p99, j.max);
  std::printf("| timer thread: hand-over posted - ideal deadline | %.3f ms | %.3f ms | %.3f ms |\n", w.p50,
              w.p99, w.max);
  std::printf("| hand-over latency: posted -> TakeBeat start | %.3f ms | %.3f ms | %.3f ms |\n", h.p50, h.p99,
              h.max);
  std::printf("\n| measure | value |\n|---|---|\n");
  std::printf("| CPU while spinning, user + sys over wall time | %.4f %% of one core (%.3f s CPU in %.1f s, %zu beats) |\n",
              wall_used > 0 ? 100.0 * cpu_used / wall_used : 0.0, cpu_used, wall_used, beats_spinning);
  std::printf("| resident memory after spinning: VmRSS / VmHWM | %.1f MiB / %.1f MiB |\n", rss / 1024.0,
              hwm / 1024.0);
  std::printf("| of VmRSS: RssAnon / RssFile (the program file, its assets included) | %.1f MiB / %.1f MiB |\n",
              anonymous / 1024.0, file_backed / 1024.0);
  const double from_main = stage.first_figure ? Ms(*stage.first_figure - main_entered).count() : -1.0;
  std::printf("| first figures drawn, from main() | %.2f ms |\n", from_main);
  if (const auto age = ProcessAgeMs(); age && stage.first_figure) {
    const double since_start = *age - Ms(Clock::now() - *stage.first_figure).count();
    std::printf("| first figures drawn, from process start (kernel clock tick, 10 ms) | %.0f ms |\n", since_start);
  }
  std::printf("| lost beats / shows / error boxes | %d / %d / %d |\n", late, stage.shows, shell.errors);

  if (timed < static_cast<std::size_t>(beat_count)) {
    std::fprintf(stderr, "zumbolo-bench: only %zu of %ld beats arrived\n", timed, beat_count);
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace zumbolo

int main(int argc, char** argv) {
  const auto main_entered = std::chrono::steady_clock::now();
  long beats = 200;
  long cpu_seconds = 60;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::optional<long> value;
    if ((arg == "--beats" || arg == "--cpu-seconds") && i + 1 < argc) value = zumbolo::Number(argv[++i]);
    if (value && arg == "--beats") {
      beats = *value;
    } else if (value && arg == "--cpu-seconds") {
      cpu_seconds = *value;
    } else {
      std::fprintf(stderr, "usage: zumbolo-bench [--beats N] [--cpu-seconds S]  (N, S at least 1)\n");
      return 2;
    }
  }
  return zumbolo::Run(beats, cpu_seconds, main_entered);
}
