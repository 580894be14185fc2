#pragma once
// The popup menu on Qt, built afresh from the engine's menu model every time it is shown: the
// captions, submenus, separators, radio groups, the check item, what is hidden, and the shortcut
// texts beside the items. The shortcuts are only shown there, not bound: the keys reach the
// engine through the main window.

#include <QMenu>
#include <QPoint>
#include <optional>

#include "app/actions.h"
#include "app/popup_menu.h"

namespace zumbolo {

// Fills the empty `menu` from the model. Every item's action carries the item's number
// (static_cast<int>(Item)) as its data.
void BuildPopupMenu(QMenu& menu, const TPopupMenu& model, const TActionList& actions);

// Shows the menu with its top-left corner at `at` and returns the item chosen, if any, once the
// menu has closed.
std::optional<Item> RunPopupMenu(const TPopupMenu& model, const TActionList& actions, QPoint at);

}  // namespace zumbolo
