#include "platform/qt/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace zumbolo {

namespace {

int OpenLockFile(const char* folder) {
  if (!folder || !*folder) return -1;
  const std::string path = std::string(folder) + "/zumbolo-" + std::to_string(::getuid()) + ".lock";
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

}  // namespace

InstanceLock TakeInstanceLock() {
  int fd = OpenLockFile(std::getenv("XDG_RUNTIME_DIR"));
  if (fd < 0) fd = OpenLockFile("/tmp");
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
