#include "platform/win32/single_instance.h"

namespace zumbolo::win32 {

std::optional<HeldMutex> TakeInstanceMutex() {
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"zumboloMutex");
  if (!mutex) return HeldMutex();
  switch (WaitForSingleObject(mutex, 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: return HeldMutex(mutex);
    default:
      CloseHandle(mutex);
      return std::nullopt;
  }
}

}  // namespace zumbolo::win32
