#pragma once
// ActionList1: the main window's commands with their captions and shortcut keys. A shortcut is a
// key code in the low byte with modifier bits: 0x4000 Ctrl, 0x2000 Shift, 0x8000 Alt.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "ports/trace.h"

namespace zumbolo {

// In list order: a pressed key runs the first action whose shortcut matches.
enum class ActionId {
  aup, adown, aleft, aright, achar, astart, asetwil, asetheaven, avictory, asetrad, asetbgm,
  aradecky, asetran, asetheaven2,
};
constexpr int kActionCount = static_cast<int>(ActionId::asetheaven2) + 1;

constexpr int kCtrl = 0x4000;
constexpr int kShift = 0x2000;
constexpr int kAlt = 0x8000;
constexpr int kKeyF1 = 0x70;

struct Action {
  ActionId id;
  std::string_view name;
  std::string_view caption;
  int shortcut;
  bool checked = false;
};

class TActionList {
 public:
  explicit TActionList(Trace& trace);

  const Action& operator[](ActionId id) const { return actions_[static_cast<int>(id)]; }
  const std::array<Action, kActionCount>& actions() const { return actions_; }
  static std::optional<ActionId> Find(std::string_view name);
  // The first action in list order with this shortcut.
  std::optional<ActionId> ForShortCut(int shortcut) const;

  bool Checked(ActionId id) const { return (*this)[id].checked; }
  void SetChecked(ActionId id, bool value);

 private:
  std::array<Action, kActionCount> actions_;
  Trace& trace_;
};

// "Ctrl+F9", "Space", "Up", "V"...; empty for 0.
std::string ShortCutToText(int shortcut);

}  // namespace zumbolo
