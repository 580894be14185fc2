#include "platform/qt/key_codes.h"

#include "app/actions.h"

namespace zumbolo {

namespace {

int VirtualKey(int qt_key) {
  switch (qt_key) {
    case Qt::Key_Space: return 32;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    default: break;
  }
  // Qt numbers the letters and digits as ASCII, the letters in upper case, like Windows.
  if ((qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) || (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9)) {
    return qt_key;
  }
  if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return kKeyF1 + (qt_key - Qt::Key_F1);
  return 0;
}

}  // namespace

int ShortcutFromQtKey(int qt_key, Qt::KeyboardModifiers modifiers) {
  const int key = VirtualKey(qt_key);
  if (key == 0) return 0;
  int shortcut = key;
  if (modifiers & Qt::ControlModifier) shortcut |= kCtrl;
  if (modifiers & Qt::ShiftModifier) shortcut |= kShift;
  if (modifiers & Qt::AltModifier) shortcut |= kAlt;
  return shortcut;
}

}  // namespace zumbolo
