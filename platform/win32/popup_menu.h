#pragma once
// PopupMenu1 on screen: a Win32 popup menu built from the engine's menu model (captions, radio
// groups, checks, hidden items, the shortcut column) and tracked at a point of the screen.

#include <windows.h>

#include <optional>

#include "app/actions.h"
#include "app/popup_menu.h"
#include "ports/shell.h"

namespace zumbolo::win32 {

// Shows the menu with its top-left corner at `at` and returns the item chosen, if any. `owner`
// must be in the foreground for the menu to close when the user clicks elsewhere.
std::optional<Item> TrackMenu(const TPopupMenu& model, const TActionList& actions, HWND owner, ScreenPoint at);

}  // namespace zumbolo::win32
