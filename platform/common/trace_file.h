#pragma once
// The trace file that $ZUMBOLO_TRACE names: the engine's trace lines, each as
// "<ms since start> <line>" in UTF-8, written and flushed one by one so that a test can follow
// the program as it runs. Its first line is "clock YYYY-MM-DDTHH:MM:SS", the local time when it
// was opened.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string_view>

namespace zumbolo {

class TraceFile {
 public:
  // Opens (and empties) `path`; `start` is the moment the program started.
  TraceFile(const std::filesystem::path& path, std::chrono::steady_clock::time_point start);
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  bool is_open() const { return file_.is_open(); }
  void Write(std::string_view line);

 private:
  std::ofstream file_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
};

}  // namespace zumbolo
