#include "app/popup_menu.h"

namespace zumbolo {

namespace {

using K = MenuItem::Kind;
using A = ActionId;

// The menu as the window description gives it, in order; an item with an action takes the
// action's caption.
std::array<MenuItem, kItemCount> MenuResource() {
  return {{
      {Item::istart, "istart", "", K::Command, std::nullopt, A::astart},
      {Item::N14, "N14", "-", K::Separator, std::nullopt, std::nullopt},
      {Item::N15, "N15", "モード", K::Submenu, std::nullopt, std::nullopt},
      {Item::iheaven, "iheaven", "", K::Radio, Item::N15, A::asetheaven},
      {Item::iheaven2, "iheaven2", "", K::Radio, Item::N15, A::asetheaven2},
      {Item::iwill, "iwill", "", K::Radio, Item::N15, A::asetwil},
      {Item::irad, "irad", "", K::Radio, Item::N15, A::asetrad, 0, true},
      {Item::irad2, "irad2", "", K::Radio, Item::N15, A::aradecky},
      {Item::ibgm, "ibgm", "", K::Radio, Item::N15, A::asetbgm, kCtrl | (kKeyF1 + 5)},
      {Item::N3, "N3", "-", K::Separator, std::nullopt, std::nullopt},
      {Item::iran, "iran", "", K::Check, std::nullopt, A::asetran},
      {Item::N2, "N2", "-", K::Separator, std::nullopt, std::nullopt},
      {Item::N1, "N1", "確率", K::Submenu, std::nullopt, std::nullopt},
      {Item::N50011, "N50011", "500分の1", K::Radio, Item::N1, std::nullopt},
      {Item::N30011, "N30011", "300分の1", K::Radio, Item::N1, std::nullopt},
      {Item::N2001, "N2001", "200分の1", K::Radio, Item::N1, std::nullopt},
      {Item::N10011, "N10011", "100分の1（デフォルト）", K::Radio, Item::N1, std::nullopt, 0, true},
      {Item::N5011, "N5011", "50分の1", K::Radio, Item::N1, std::nullopt},
      {Item::N2011, "N2011", "20分の1", K::Radio, Item::N1, std::nullopt},
      {Item::N1011, "N1011", "10分の1", K::Radio, Item::N1, std::nullopt},
      {Item::N511, "N511", "5分の1", K::Radio, Item::N1, std::nullopt},
      {Item::N9, "N9", "効果音", K::Submenu, std::nullopt, std::nullopt},
      {Item::N10, "N10", "効果音あり", K::Radio, Item::N9, std::nullopt, 0, true},
      {Item::N12, "N12", "ＢＧＭ", K::Radio, Item::N9, std::nullopt},
      {Item::N13, "N13", "なし", K::Radio, Item::N9, std::nullopt},
      {Item::N8, "N8", "", K::Command, std::nullopt, A::achar},
      {Item::ioption, "ioption", "オプション", K::Submenu, std::nullopt, std::nullopt},
      {Item::ifullscreen, "ifullscreen", "全画面のときは隠れる", K::Check, Item::ioption, std::nullopt, 0, true},
      {Item::ivolume, "ivolume", "音量", K::Submenu, Item::ioption, std::nullopt},
      {Item::ivolume100, "ivolume100", "100%", K::Radio, Item::ivolume, std::nullopt, 0, true},
      {Item::ivolume75, "ivolume75", "75%", K::Radio, Item::ivolume, std::nullopt},
      {Item::ivolume50, "ivolume50", "50%", K::Radio, Item::ivolume, std::nullopt},
      {Item::ivolume25, "ivolume25", "25%", K::Radio, Item::ivolume, std::nullopt},
      {Item::ivolume0, "ivolume0", "消音", K::Radio, Item::ivolume, std::nullopt},
      {Item::iautostart, "iautostart", "ログイン時に起動", K::Check, Item::ioption, std::nullopt},
      {Item::N7, "N7", "-", K::Separator, std::nullopt, std::nullopt},
      {Item::Exit1, "Exit1", "終了(&X)", K::Command, std::nullopt, std::nullopt},
  }};
}

}  // namespace

TPopupMenu::TPopupMenu(Trace& trace, const TActionList& actions)
    : items_(MenuResource()), trace_(trace) {
  for (MenuItem& item : items_) {
    if (item.action) item.caption = actions[*item.action].caption;
  }
}

std::optional<Item> TPopupMenu::Find(std::string_view name) {
  static const std::array<MenuItem, kItemCount> names = MenuResource();
  for (const MenuItem& item : names) {
    if (item.name == name) return item.id;
  }
  return std::nullopt;
}

void TPopupMenu::SetChecked(Item id, bool value) {
  MenuItem& item = items_[static_cast<int>(id)];
  trace_("check", item.name, value);
  if (value && item.kind == K::Radio) {
    for (MenuItem& sibling : items_) {
      if (sibling.kind == K::Radio && sibling.parent == item.parent) sibling.checked = false;
    }
  }
  item.checked = value;
}

void TPopupMenu::SetVisible(Item id, bool value) {
  MenuItem& item = items_[static_cast<int>(id)];
  trace_("visible", item.name, value);
  item.visible = value;
}

void TPopupMenu::SetCaption(Item id, std::string_view caption) {
  trace_("caption", caption);
  items_[static_cast<int>(id)].caption = caption;
}

int TPopupMenu::ShortCut(Item id, const TActionList& actions) const {
  const MenuItem& item = (*this)[id];
  if (item.shortcut != 0) return item.shortcut;
  return item.action ? actions[*item.action].shortcut : 0;
}

}  // namespace zumbolo
