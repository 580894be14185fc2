#include "platform/common/trace_file.h"

namespace zumbolo {

TraceFile::TraceFile(const std::filesystem::path& path, std::chrono::steady_clock::time_point start)
    : file_(path, std::ios::binary | std::ios::trunc), start_(start) {}

void TraceFile::Write(std::string_view line) {
  if (!file_.is_open()) return;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start_).count();
  const std::lock_guard<std::mutex> lock(mutex_);
  file_ << ms << ' ' << line << '\n';
  file_.flush();
}

}  // namespace zumbolo
