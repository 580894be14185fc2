#include "tools/sim/simulation.h"

#include <charconv>
#include <chrono>
#include <ctime>
#include <random>
#include <stdexcept>
#include <system_error>

#include "app/ini_file.h"
#include "platform/common/embedded_resources.h"

namespace zumbolo::sim {

namespace {

std::int64_t LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<std::int64_t>(now) + local.tm_gmtoff;
}

std::filesystem::path NewTemporaryFolder() {
  std::random_device entropy;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto dir = base / ("zumbolo-sim-" + std::to_string(entropy()));
    std::error_code error;
    if (std::filesystem::create_directory(dir, error)) return dir;
  }
  throw std::runtime_error("cannot make a temporary folder in " + base.string());
}

}  // namespace

std::function<void(TForm1&)> UserAction(const std::string& what) {
  if (const auto action = TActionList::Find(what)) return [id = *action](TForm1& f) { f.Execute(id); };
  if (const auto item = TPopupMenu::Find(what)) return [id = *item](TForm1& f) { f.MenuItemClick(id); };
  if (what == "tray-left") return [](TForm1& f) { f.TrayCallback(kLeftButtonDown); };
  if (what == "tray-right") return [](TForm1& f) { f.TrayCallback(kRightButtonDown); };
  if (what == "click") return [](TForm1& f) { f.FormClick(); };
  if (what == "taskbar-created") return [](TForm1& f) { f.TaskbarCreated(); };
  if (what == "fullscreen-on") return [](TForm1& f) { f.FullScreenChanged(true); };
  if (what == "fullscreen-off") return [](TForm1& f) { f.FullScreenChanged(false); };
  if (what.rfind("key:", 0) == 0) {
    int key = 0;
    const char* first = what.data() + 4;
    const char* last = what.data() + what.size();
    const auto [end, error] = std::from_chars(first, last, key);
    if (error == std::errc() && end == last && first != last) return [key](TForm1& f) { f.KeyPressed(key); };
  }
  return nullptr;
}

Simulation::Simulation(const Options& options, std::ostream& log)
    : options_(options),
      log_(log),
      player_(scheduler_, options.tracks),
      shell_(scheduler_, options.work_area, options.screens, options.clock ? *options.clock : LocalNow(),
             options.date_pattern) {
  if (options_.dir) {
    dir_ = *options_.dir;
    // A folder that cannot be made is the program's to tell, as on the desktop.
    std::filesystem::create_directories(dir_, dir_error_);
  } else {
    dir_ = NewTemporaryFolder();
    own_dir_ = true;
  }
  trace_.SetSink([this](std::string_view line) {
    log_ << WholeMs(scheduler_.Now()) << ' ' << line << '\n';
  });
  form_ = std::make_unique<TForm1>(TForm1::Ports{
      .stage = stage_,
      .graph = player_,
      .beat_timer = beat_timer_,
      .after_show_timer = after_show_timer_,
      .shell = shell_,
      .resources = EmbeddedResources(),
      .open_profile = [](const std::filesystem::path& path) { return std::make_unique<IniProfileStore>(path); },
      .trace = trace_,
  });
}

Simulation::~Simulation() {
  form_.reset();
  if (own_dir_) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

void Simulation::Start() {
  if (started_) return;
  started_ = true;
  for (const Stall& stall : options_.stalls) scheduler_.Stall(stall.from, stall.length);
  std::uint32_t seed = options_.seed ? *options_.seed
                                     : static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  form_->Start({.args = options_.program_args,
                .exe_dir = dir_,
                .settings_dir = dir_,
                .random_seed = seed,
                .exe_dir_error = dir_error_,
                .settings_dir_error = dir_error_});
  for (const TimedAction& action : options_.actions) {
    auto act = UserAction(action.what);
    scheduler_.Ui(action.at, Lane::User, [this, act] {
      if (!form_->Closed()) act(*form_);
    });
  }
  scheduler_.Ui(options_.until, Lane::Close, [this] {
    form_->FormCloseQuery();
    shell_.Quit();
  });
}

void Simulation::RunUntil(Ticks t) {
  Start();
  while (!shell_.quit && !form_->Closed()) {
    if (!scheduler_.RunNext(t)) break;
  }
}

void Simulation::Run() {
  Start();
  while (!shell_.quit && !form_->Closed() && scheduler_.RunNext()) {
  }
}

}  // namespace zumbolo::sim
