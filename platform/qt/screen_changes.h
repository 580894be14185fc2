#pragma once
// Hears when the screens change: one added or removed, another one primary, a screen's size or
// work area changed (a panel moved, a monitor plugged or unplugged).

#include <QObject>
#include <functional>

namespace zumbolo {

// `changed` runs on the user-interface thread once after each burst of changes, half a second
// after its last one, for as long as `context` lives.
void OnScreenChanges(QObject& context, std::function<void()> changed);

}  // namespace zumbolo
