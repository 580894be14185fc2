#pragma once
// One instance per user: an exclusive lock on zumbolo-<uid>.lock in $XDG_RUNTIME_DIR (else /tmp),
// held for the life of the process. The kernel drops it when the process ends, however it ends,
// so a crashed instance never blocks the next start.

namespace zumbolo {

enum class InstanceLock {
  kTaken,          // this process is the one instance
  kHeldElsewhere,  // another instance runs
  kUnavailable,    // no lock file could be opened: run without one
};

InstanceLock TakeInstanceLock();

}  // namespace zumbolo
