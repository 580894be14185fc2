#pragma once
// Files and folders that the test process cannot read or write, also when it runs as the
// superuser, and a watchdog for calls that may block.

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace zumbolo::testing {

// Takes the file permissions at their word for this thread: while it lives, the superuser's
// rights to read and write any file (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH) are dropped from the
// thread's effective set, and given back at its end. Without them (an ordinary user) it does
// nothing.
class OwnRightsOnly {
 public:
  OwnRightsOnly();
  ~OwnRightsOnly();
  OwnRightsOnly(const OwnRightsOnly&) = delete;
  OwnRightsOnly& operator=(const OwnRightsOnly&) = delete;

 private:
  bool dropped_ = false;
};

// Gives `path` the permission bits `mode` for as long as it lives, then puts back the ones it had.
class ModeFor {
 public:
  ModeFor(std::filesystem::path path, std::filesystem::perms mode);
  ~ModeFor();
  ModeFor(const ModeFor&) = delete;
  ModeFor& operator=(const ModeFor&) = delete;

 private:
  std::filesystem::path path_;
  std::filesystem::perms before_;
};

// Opens the FIFO `fifo` for writing (and closes it again) after `patience`, and every 100 ms
// after that, until dismissed: a reader that blocks in its open() then gets the end of the file,
// and the test goes on to see that it had to.
class FifoWatchdog {
 public:
  FifoWatchdog(std::filesystem::path fifo, std::chrono::milliseconds patience);
  ~FifoWatchdog();  // dismisses it
  FifoWatchdog(const FifoWatchdog&) = delete;
  FifoWatchdog& operator=(const FifoWatchdog&) = delete;

  void Dismiss();
  bool Bit() const { return bit_; }  // it had to open the FIFO: someone was blocked on it

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool dismissed_ = false;
  bool bit_ = false;
  std::thread thread_;
};

}  // namespace zumbolo::testing
