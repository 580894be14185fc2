#pragma once
// A pressed key as the actions' shortcuts know it: the virtual-key code in the low byte with
// 0x4000 for Ctrl, 0x2000 for Shift and 0x8000 for Alt.

namespace zumbolo::win32 {

// The key with the modifiers held down now; 0 for a modifier key on its own.
int ShortcutFromVirtualKey(int virtual_key);

}  // namespace zumbolo::win32
