#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace zumbolo {

namespace {

// A folder of this user's that no one else may write to (`shared_group`: its group may).
bool OnlyMine(const std::filesystem::path& folder, bool shared_group) {
  struct stat info {};
  if (folder.empty() || ::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  const mode_t others = shared_group ? S_IWOTH : (S_IWGRP | S_IWOTH);
  return info.st_uid == ::getuid() && (info.st_mode & others) == 0;
}

// This user's own lock file in `folder`, opened; -1 when there is none to be had.
int OpenLockFile(const std::filesystem::path& folder) {
  const std::filesystem::path path = folder / ("zumbolo-" + std::to_string(::getuid()) + ".lock");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid()) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

InstanceLock TakeInstanceLock(const std::filesystem::path& settings_folder) {
  int fd = -1;
  // The runtime folder is the user's alone (0700); the settings folder may be group-writable
  // where every user has a group of their own.
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && OnlyMine(runtime, false)) {
    fd = OpenLockFile(runtime);
  }
  if (fd < 0 && OnlyMine(settings_folder, true)) fd = OpenLockFile(settings_folder);
  if (fd < 0) return InstanceLock::kUnavailable;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? InstanceLock::kHeldElsewhere : InstanceLock::kUnavailable;
  }
  // The descriptor stays open, and the lock held, until the process ends.
  return InstanceLock::kTaken;
}

}  // namespace zumbolo
