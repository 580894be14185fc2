// zumbolo-bench-sim: how fast the simulator runs the program in virtual time, and what one beat
// of the engine costs there. The stage log is formatted in full and then thrown away.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <system_error>

#include "app/ini_file.h"
#include "tools/sim/simulation.h"

namespace zumbolo::sim {
namespace {

class DiscardBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// A folder of the benchmark's own, removed with this object.
class Folder {
 public:
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zumbolo-bench-sim-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~Folder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

constexpr std::int64_t kTenMinutesMs = 10 * 60 * 1000;

// Ten minutes of virtual time from a first start (no settings file; the tracks, 12 MB, are
// written once before timing starts and are then found in place). Argument 1 runs with "/v",
// every spin a hit, so that the shows follow one another.
void BM_SimulateTenMinutes(benchmark::State& state) {
  Folder folder;
  if (folder.path().empty()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  DiscardBuffer discard;
  std::ostream log(&discard);
  Options options;
  options.dir = folder.path();
  options.seed = 1;
  options.until = FromMs(kTenMinutesMs);
  if (state.range(0) == 1) options.program_args = {"/v"};
  {
    Simulation warm_up(options, log);  // writes the track files
    warm_up.Start();
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::error_code ignored;
    std::filesystem::remove(folder.path() / "zumbolo.ini", ignored);
    state.ResumeTiming();
    Simulation simulation(options, log);
    simulation.Run();
    benchmark::DoNotOptimize(simulation.form().dance);
  }
  state.counters["virtual_s_per_s"] =
      benchmark::Counter(kTenMinutesMs / 1000.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SimulateTenMinutes)->ArgName("every_hit")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One spin beat of the engine, called directly on the beat clock's sink: the poses drawn, the
// hit draw every eighth beat, each step formatted into the log. No sound, and no hit comes.
void BM_OneSpinBeat(benchmark::State& state) {
  Folder folder;
  if (folder.path().empty()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  IniFile ini;
  ini.Write("num", "ritu", "2147483647");
  ini.Write("sound", "koka", "2");
  SaveIniFile(folder.path() / "zumbolo.ini", ini);
  DiscardBuffer discard;
  std::ostream log(&discard);
  Options options;
  options.dir = folder.path();
  options.seed = 1;
  Simulation simulation(options, log);
  simulation.Start();
  BeatSink& beat = simulation.form().beat_sink();
  for (auto _ : state) beat.TakeBeat();
  benchmark::DoNotOptimize(simulation.form().dance);
}
BENCHMARK(BM_OneSpinBeat)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace zumbolo::sim

BENCHMARK_MAIN();
