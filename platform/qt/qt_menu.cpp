#include "platform/qt/qt_menu.h"

#include <QAction>
#include <QActionGroup>
#include <map>

namespace zumbolo {

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void BuildPopupMenu(QMenu& menu, const TPopupMenu& model, const TActionList& actions) {
  std::map<Item, QMenu*> submenus;
  std::map<Item, QActionGroup*> radio_groups;  // one per submenu
  for (const MenuItem& item : model.items()) {
    QMenu* into = &menu;
    if (item.parent) {
      const auto found = submenus.find(*item.parent);
      if (found != submenus.end()) into = found->second;
    }
    QAction* action = nullptr;
    switch (item.kind) {
      case MenuItem::Separator:
        action = into->addSeparator();
        break;
      case MenuItem::Submenu: {
        QMenu* submenu = into->addMenu(Text(item.caption));
        submenus[item.id] = submenu;
        action = submenu->menuAction();
        break;
      }
      case MenuItem::Command:
      case MenuItem::Radio:
      case MenuItem::Check: {
        QString text = Text(item.caption);
        const std::string shortcut = ShortCutToText(model.ShortCut(item.id, actions));
        // Text after a tab is drawn as the shortcut column; setShortcut would bind the key too.
        if (!shortcut.empty()) text += QLatin1Char('\t') + Text(shortcut);
        action = into->addAction(text);
        if (item.kind != MenuItem::Command) {
          action->setCheckable(true);
          action->setChecked(item.checked);
        }
        if (item.kind == MenuItem::Radio) {
          const Item group_key = item.parent ? *item.parent : item.id;
          QActionGroup*& group = radio_groups[group_key];
          if (!group) {
            group = new QActionGroup(into);
            group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
          }
          group->addAction(action);
        }
        break;
      }
    }
    action->setData(static_cast<int>(item.id));
    action->setVisible(item.visible);
  }
}

std::optional<Item> RunPopupMenu(const TPopupMenu& model, const TActionList& actions, QPoint at) {
  QMenu menu;
  BuildPopupMenu(menu, model, actions);
  const QAction* chosen = menu.exec(at);
  if (!chosen || chosen->isSeparator() || chosen->menu()) return std::nullopt;
  bool ok = false;
  const int number = chosen->data().toInt(&ok);
  if (!ok || number < 0 || number >= kItemCount) return std::nullopt;
  return static_cast<Item>(number);
}

}  // namespace zumbolo
