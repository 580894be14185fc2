#include "tests/support/file_rights.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <system_error>
#include <utility>

namespace zumbolo::testing {

namespace {

constexpr unsigned kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

// Sets the two rights in this thread's effective set (as far as it is permitted to have them);
// true when they were there before.
bool SetOverrides(bool on) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  const bool had = (data[0].effective & kOverrides) != 0;
  if (on) {
    data[0].effective |= data[0].permitted & kOverrides;
  } else {
    data[0].effective &= ~kOverrides;
  }
  syscall(SYS_capset, &header, data);
  return had;
}

}  // namespace

OwnRightsOnly::OwnRightsOnly() : dropped_(SetOverrides(false)) {}

OwnRightsOnly::~OwnRightsOnly() {
  if (dropped_) SetOverrides(true);
}

ModeFor::ModeFor(std::filesystem::path path, std::filesystem::perms mode)
    : path_(std::move(path)), before_(std::filesystem::status(path_).permissions()) {
  std::filesystem::permissions(path_, mode);
}

ModeFor::~ModeFor() {
  std::error_code ignored;
  std::filesystem::permissions(path_, before_, ignored);
}

FifoWatchdog::FifoWatchdog(std::filesystem::path fifo, std::chrono::milliseconds patience)
    : thread_([this, fifo = std::move(fifo), patience] {
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, patience, [this] { return dismissed_; })) return;
        bit_ = true;
        // Again and again: the reader may come to its open() only after the first try.
        do {
          const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
          if (fd >= 0) ::close(fd);
        } while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return dismissed_; }));
      }) {}

FifoWatchdog::~FifoWatchdog() { Dismiss(); }

void FifoWatchdog::Dismiss() {
  {
    std::lock_guard lock(mutex_);
    dismissed_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

}  // namespace zumbolo::testing
