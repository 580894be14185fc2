#include "platform/common/trace_file.h"

#include <ctime>
#include <string>

namespace zumbolo {

namespace {

// The local date and time now, as zumbolo-sim --clock takes it: YYYY-MM-DDTHH:MM:SS.
std::string LocalClock() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

}  // namespace

TraceFile::TraceFile(const std::filesystem::path& path, std::chrono::steady_clock::time_point start)
    : file_(path, std::ios::binary | std::ios::trunc), start_(start) {
  Write("clock " + LocalClock());
}

void TraceFile::Write(std::string_view line) {
  if (!file_.is_open()) return;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start_).count();
  const std::lock_guard<std::mutex> lock(mutex_);
  file_ << ms << ' ' << line << '\n';
  file_.flush();
}

}  // namespace zumbolo
