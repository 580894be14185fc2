#include "app/actions.h"

namespace zumbolo {

namespace {

constexpr std::array<Action, kActionCount> kActions = {{
    {ActionId::aup, "aup", "aup", 38},
    {ActionId::adown, "adown", "adown", 40},
    {ActionId::aleft, "aleft", "aleft", 37},
    {ActionId::aright, "aright", "aright", 39},
    {ActionId::achar, "achar", "キャラ色変更", kCtrl | (kKeyF1 + 10)},
    {ActionId::astart, "astart", "開始", 32},
    {ActionId::asetwil, "asetwil", "ウィリアムテル", kCtrl | (kKeyF1 + 8)},
    {ActionId::asetheaven, "asetheaven", "天国と地獄", kCtrl | (kKeyF1 + 9)},
    {ActionId::avictory, "avictory", "avictory", 'V'},
    {ActionId::asetrad, "asetrad", "フニクリ・フニクラ", kCtrl | (kKeyF1 + 7)},
    {ActionId::asetbgm, "asetbgm", "BGMモード", kCtrl | (kKeyF1 + 6)},
    {ActionId::aradecky, "aradecky", "ラデッキー行進曲", kCtrl | (kKeyF1 + 6)},
    {ActionId::asetran, "asetran", "ランダム", kCtrl | (kKeyF1 + 4)},
    {ActionId::asetheaven2, "asetheaven2", "天国と地獄 ver.2", kCtrl | (kKeyF1 + 3)},
}};

}  // namespace

TActionList::TActionList(Trace& trace) : actions_(kActions), trace_(trace) {}

std::optional<ActionId> TActionList::Find(std::string_view name) {
  for (const Action& action : kActions) {
    if (action.name == name) return action.id;
  }
  return std::nullopt;
}

std::optional<ActionId> TActionList::ForShortCut(int shortcut) const {
  if (shortcut == 0) return std::nullopt;
  for (const Action& action : actions_) {
    if (action.shortcut == shortcut) return action.id;
  }
  return std::nullopt;
}

void TActionList::SetChecked(ActionId id, bool value) {
  Action& action = actions_[static_cast<int>(id)];
  trace_("check", action.name, value);
  action.checked = value;
}

std::string ShortCutToText(int shortcut) {
  if (shortcut == 0) return {};
  std::string text;
  if (shortcut & kShift) text += "Shift+";
  if (shortcut & kCtrl) text += "Ctrl+";
  if (shortcut & kAlt) text += "Alt+";
  const int key = shortcut & 0xFF;
  switch (key) {
    case 32: return text + "Space";
    case 37: return text + "Left";
    case 38: return text + "Up";
    case 39: return text + "Right";
    case 40: return text + "Down";
    default: break;
  }
  if (key >= kKeyF1 && key < kKeyF1 + 24) return text + "F" + std::to_string(key - kKeyF1 + 1);
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return text + static_cast<char>(key);
  return text + "#" + std::to_string(key);
}

}  // namespace zumbolo
