#pragma once
// What the X11 window manager and panels are told about our windows beyond what Qt says: no
// taskbar or pager entry, and a title of our own choosing. Without X11 (another Qt platform)
// these do nothing.

#include <QWidget>
#include <string_view>

namespace zumbolo {

// Adds _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER to the window's _NET_WM_STATE.
// Call it before every show(): a window manager drops the property when a window is withdrawn,
// and Qt keeps the states it finds there when it maps the window.
void SkipTaskbarAndPager(QWidget& window);

// Sets WM_NAME and _NET_WM_NAME to exactly `title`: Qt would add the application's display name
// to any title that does not end with it.
void SetExactTitle(QWidget& window, std::string_view title);

// Renames the hidden group leader window that Qt makes for the application (WM_CLIENT_LEADER of
// `window`), which Qt titles with the display name: then the main window is the one window
// titled "Zumbolo!" until a message box opens.
void RenameClientLeader(QWidget& window, std::string_view name);

}  // namespace zumbolo
