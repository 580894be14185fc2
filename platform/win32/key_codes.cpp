#include "platform/win32/key_codes.h"

#include <windows.h>

#include "app/actions.h"

namespace zumbolo::win32 {

namespace {

bool Held(int virtual_key) { return (GetKeyState(virtual_key) & 0x8000) != 0; }

}  // namespace

int ShortcutFromVirtualKey(int virtual_key) {
  switch (virtual_key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU: return 0;
    default: break;
  }
  int shortcut = virtual_key & 0xFF;
  if (Held(VK_CONTROL)) shortcut |= kCtrl;
  if (Held(VK_SHIFT)) shortcut |= kShift;
  if (Held(VK_MENU)) shortcut |= kAlt;
  return shortcut;
}

}  // namespace zumbolo::win32
