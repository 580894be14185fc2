#pragma once
// The trace file of %ZUMBOLO_TRACE%: the engine's trace lines, each as "<ms since start> <line>"
// in UTF-8, written and flushed one by one so that a test can follow the program as it runs.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string_view>

namespace zumbolo::win32 {

class TraceFile {
 public:
  // Opens (and empties) `path`; `start` is the moment the program started.
  TraceFile(const std::filesystem::path& path, std::chrono::steady_clock::time_point start);
  ~TraceFile();
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  bool is_open() const { return file_ != nullptr; }
  void Write(std::string_view line);

 private:
  std::FILE* file_ = nullptr;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
};

}  // namespace zumbolo::win32
