#include "platform/win32/trace_file.h"

#include <cwchar>

namespace zumbolo::win32 {

TraceFile::TraceFile(const std::filesystem::path& path, std::chrono::steady_clock::time_point start)
    : file_(_wfopen(path.c_str(), L"wb")), start_(start) {}

TraceFile::~TraceFile() {
  if (file_) std::fclose(file_);
}

void TraceFile::Write(std::string_view line) {
  if (!file_) return;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start_).count();
  const std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(file_, "%lld %.*s\n", static_cast<long long>(ms), static_cast<int>(line.size()), line.data());
  std::fflush(file_);
}

}  // namespace zumbolo::win32
