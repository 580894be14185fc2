#pragma once
// One instance per user: an exclusive lock on zumbolo-<uid>.lock in a folder that only this user
// can write, $XDG_RUNTIME_DIR, else the settings folder. A lock file that is not this user's own
// plain file is never trusted, so that no one else can keep the program from starting. The lock
// is held for the life of the process; the kernel drops it when the process ends, however it
// ends, so a crashed instance never blocks the next start.

#include <filesystem>

namespace zumbolo {

enum class InstanceLock {
  kTaken,          // this process is the one instance
  kHeldElsewhere,  // another instance runs
  kUnavailable,    // no lock file could be had: run without one
};

InstanceLock TakeInstanceLock(const std::filesystem::path& settings_folder);

}  // namespace zumbolo
