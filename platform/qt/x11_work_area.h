#pragma once
// The desktop's work area as the window manager publishes it (_NET_WORKAREA of the current
// desktop): the whole desktop without the panels' struts. Qt takes it into a screen's available
// geometry only while there is one screen; with RandR monitors it leaves the panels in.

#include <QRect>
#include <optional>

namespace zumbolo {

// Nothing without X11, or when the window manager publishes no work area.
std::optional<QRect> X11WorkArea();

}  // namespace zumbolo
