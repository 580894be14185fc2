#pragma once
// Keys as the engine's shortcuts know them: the Windows virtual-key number in the low byte
// (Space 32, Left 37, Up 38, Right 39, Down 40, '0'-'9', 'A'-'Z', F1 = 0x70 ... F24 = 0x87) and
// the modifier bits 0x4000 Ctrl, 0x2000 Shift, 0x8000 Alt.

#include <Qt>

namespace zumbolo {

// The shortcut value of a Qt key with its modifiers; 0 for a key that no shortcut can name.
int ShortcutFromQtKey(int qt_key, Qt::KeyboardModifiers modifiers);

}  // namespace zumbolo
