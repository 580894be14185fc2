#pragma once
// PopupMenu1, the tray icon's menu, as a model: its items with their captions, radio groups,
// checks and visibility. The settings live here (the checked items are their only record); the
// desktop programs draw their menus from it.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "app/actions.h"
#include "ports/trace.h"

namespace zumbolo {

enum class Item {
  istart, N14, N15, iheaven, iheaven2, iwill, irad, irad2, ibgm, N3, iran, N2, N1,
  N50011, N30011, N2001, N10011, N5011, N2011, N1011, N511, N9, N10, N12, N13, N8,
  ioption, ifullscreen, ivolume, ivolume100, ivolume75, ivolume50, ivolume25, ivolume0, iautostart,
  N7, Exit1,
};
constexpr int kItemCount = static_cast<int>(Item::Exit1) + 1;

struct MenuItem {
  enum Kind { Command, Submenu, Separator, Radio, Check };
  Item id;
  std::string_view name;     // the component name
  std::string caption;  // an item with an action shows the action's caption
  Kind kind;
  std::optional<Item> parent;   // the submenu it belongs to
  std::optional<ActionId> action;
  int shortcut = 0;  // an item's own shortcut, shown instead of its action's
  bool checked = false;
  bool visible = true;
};

class TPopupMenu {
 public:
  TPopupMenu(Trace& trace, const TActionList& actions);

  const MenuItem& operator[](Item id) const { return items_[static_cast<int>(id)]; }
  const std::array<MenuItem, kItemCount>& items() const { return items_; }
  static std::optional<Item> Find(std::string_view name);

  bool Checked(Item id) const { return (*this)[id].checked; }
  // Checking a radio item unchecks the other items of its group.
  void SetChecked(Item id, bool value);
  void SetVisible(Item id, bool value);
  void SetCaption(Item id, std::string_view caption);
  // The shortcut shown beside the item: its own, else its action's; 0 for none.
  int ShortCut(Item id, const TActionList& actions) const;

 private:
  std::array<MenuItem, kItemCount> items_;
  Trace& trace_;
};

// The sound choice (N9), in its numbering: 0 "効果音あり", 1 "ＢＧＭ", 2 "なし".
constexpr std::array<Item, 3> kSoundItems = {Item::N10, Item::N12, Item::N13};
// The show modes (N15), in menu order: the five songs, then "BGMモード".
constexpr std::array<Item, 6> kModeItems = {Item::iheaven, Item::iheaven2, Item::iwill,
                                            Item::irad,    Item::irad2,    Item::ibgm};
// The volumes (ivolume) with their value in zumbolo.ini: per cent, 0 for "消音".
struct VolumeItem {
  Item item;
  int percent;
};
constexpr std::array<VolumeItem, 5> kVolumeItems = {{{Item::ivolume100, 100}, {Item::ivolume75, 75},
                                                     {Item::ivolume50, 50},   {Item::ivolume25, 25},
                                                     {Item::ivolume0, 0}}};
// The hit chances (N1) with their N of 1 in N.
struct OddsItem {
  Item item;
  int odds;
};
constexpr std::array<OddsItem, 8> kOddsItems = {{{Item::N50011, 500}, {Item::N30011, 300},
                                                 {Item::N2001, 200},  {Item::N10011, 100},
                                                 {Item::N5011, 50},   {Item::N2011, 20},
                                                 {Item::N1011, 10},   {Item::N511, 5}}};

}  // namespace zumbolo
