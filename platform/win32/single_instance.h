#pragma once
// One instance at a time: the named mutex "zumboloMutex", held for as long as the program runs.

#include <optional>

#include "platform/win32/handles.h"

namespace zumbolo::win32 {

// The mutex, now held by this process; nullopt when another instance holds it. A mutex left
// abandoned by an instance that died counts as free. Should the mutex not be available at all,
// the program runs without the guard (an empty HeldMutex).
std::optional<HeldMutex> TakeInstanceMutex();

}  // namespace zumbolo::win32
