// The arrow keys move the resting position, and the positions derived from it, by 10 pixels;
// the main window and both pop-ups follow at once, even in the middle of a show. A move that
// would take the home beyond any screen is not made.

#include "app/tform1.h"

namespace zumbolo {

void TForm1::MoveHome(int dx, int dy) {
  if (!IsWithinPositionLimit(pos.HomeTop + dy)) dy = 0;
  if (!IsWithinPositionLimit(pos.HomeLeft + dx)) dx = 0;
  if (dy != 0) {
    pos.ShiftVertical(dy);
    window.SetTop(pos.HomeTop);
    Form2.SetTop(pos.HomeTop + Form2.OffsetTop(MiniMode));
    Form3.SetTop(pos.HomeTop + Form3.OffsetTop(MiniMode));
  }
  if (dx != 0) {
    pos.ShiftHorizontal(dx);
    window.SetLeft(pos.HomeLeft);
    Form2.SetLeft(pos.HomeLeft + Form2.OffsetLeft(MiniMode));
    Form3.SetLeft(pos.HomeLeft + Form3.OffsetLeft(MiniMode));
  }
}

}  // namespace zumbolo
