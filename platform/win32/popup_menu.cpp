#include "platform/win32/popup_menu.h"

#include <map>
#include <string>

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace zumbolo::win32 {

namespace {

// Menu command ids are the item numbers plus one: 0 means nothing was chosen.
UINT CommandOf(Item item) { return static_cast<UINT>(item) + 1; }

std::wstring CaptionOf(const MenuItem& item, const TPopupMenu& model, const TActionList& actions) {
  std::wstring caption = Widen(item.caption);
  const std::string shortcut = ShortCutToText(model.ShortCut(item.id, actions));
  if (!shortcut.empty()) caption += L'\t' + Widen(shortcut);  // the shortcut column
  return caption;
}

void Append(HMENU into, const MenuItem& item, const TPopupMenu& model, const TActionList& actions,
            HMENU submenu) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  std::wstring caption;
  if (item.kind == MenuItem::Separator) {
    info.fMask = MIIM_FTYPE;
    info.fType = MFT_SEPARATOR;
  } else {
    caption = CaptionOf(item, model, actions);
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE;
    info.fType = item.kind == MenuItem::Radio ? MFT_RADIOCHECK : MFT_STRING;
    info.fState = item.checked ? MFS_CHECKED : MFS_UNCHECKED;
    info.wID = CommandOf(item.id);
    info.dwTypeData = caption.data();
    if (submenu) {
      info.fMask |= MIIM_SUBMENU;
      info.hSubMenu = submenu;
    }
  }
  InsertMenuItemW(into, GetMenuItemCount(into), TRUE, &info);
}

}  // namespace

std::optional<Item> TrackMenu(const TPopupMenu& model, const TActionList& actions, HWND owner, ScreenPoint at) {
  UniqueMenu menu(CreatePopupMenu());
  if (!menu) return std::nullopt;
  // The submenus belong to the item that holds them once it is in; until then, to this map.
  std::map<Item, UniqueMenu> unplaced;
  std::map<Item, HMENU> submenus;
  for (const MenuItem& item : model.items()) {
    if (item.kind == MenuItem::Submenu) {
      UniqueMenu submenu(CreatePopupMenu());
      submenus[item.id] = submenu.get();
      unplaced[item.id] = std::move(submenu);
    }
  }
  for (const MenuItem& item : model.items()) {
    if (!item.visible) continue;
    HMENU into = menu.get();
    if (item.parent) {
      const auto found = submenus.find(*item.parent);
      if (found == submenus.end()) continue;
      into = found->second;
    }
    HMENU submenu = nullptr;
    if (item.kind == MenuItem::Submenu) submenu = unplaced[item.id].release();
    Append(into, item, model, actions, submenu);
  }
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(
      menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x,
      at.y, 0, owner, nullptr));
  if (chosen == 0 || chosen > static_cast<UINT>(kItemCount)) return std::nullopt;
  return static_cast<Item>(chosen - 1);
}

}  // namespace zumbolo::win32
