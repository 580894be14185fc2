// The resting place and the screens: a window at rest that no screen's work area shows any more
// (its monitor unplugged, a hand-edited settings file) goes to the home of a new start, at
// start-up and whenever the screens change. A window that still shows somewhere keeps its place.

#include "app/tform1.h"

namespace zumbolo {

bool TForm1::HomeOnSomeScreen() {
  const std::vector<WorkArea> areas = shell.ScreenWorkAreas();
  if (areas.empty()) return true;  // nothing is known of the screens: nothing to mend
  const long long size = MiniMode ? 32 : kFigurePixels;
  // In 64 bits: a stored place may be anywhere in the range of the settings file's numbers.
  const long long left = pos.HomeLeft, top = pos.HomeTop, right = left + 3 * size, bottom = top + size;
  for (const WorkArea& area : areas) {
    const long long area_right = static_cast<long long>(area.left) + area.width;
    const long long area_bottom = static_cast<long long>(area.top) + area.height;
    if (left < area_right && area.left < right && top < area_bottom && area.top < bottom) return true;
  }
  return false;
}

void TForm1::BringHomeOnScreen(const WorkArea& area) {
  trace("offscreen");
  pos.HomeLeft = area.left + area.width - 250;
  pos.HomeTop = area.top + area.height - 118;
  pos.RecomputeHorizontal(MiniMode);
  pos.RecomputeVertical(MiniMode);
  window.SetLeft(pos.HomeLeft);
  window.SetTop(pos.HomeTop);
  Form2.SetLeft(pos.HomeLeft + Form2.OffsetLeft(MiniMode));
  Form2.SetTop(pos.HomeTop + Form2.OffsetTop(MiniMode));
  Form3.SetLeft(pos.HomeLeft + Form3.OffsetLeft(MiniMode));
  Form3.SetTop(pos.HomeTop + Form3.OffsetTop(MiniMode));
}

void TForm1::ScreensChanged() {
  if (closed_ || HomeOnSomeScreen()) return;
  BringHomeOnScreen(shell.GetWorkArea());
}

}  // namespace zumbolo
