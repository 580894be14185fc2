#include "platform/qt/qt_stage.h"

namespace zumbolo {

QtStage::QtStage()
    : celebration_("Zumbolo! celebration", kBlack), balloon_("Zumbolo! balloon", kRed) {}

void QtStage::MoveMainWindow(int left, int top) {
  // Frameless: the frame's top-left corner is the window's own.
  main_.move(left, top);
}

void QtStage::BringToFront() {
  main_.raise();
  main_.activateWindow();
}

void QtStage::SetPopupPicture(Popup popup, const Bitmap& picture, int width, int height) {
  Window(popup).SetPicture(picture, width, height);
}

void QtStage::MovePopup(Popup popup, int left, int top) { Window(popup).move(left, top); }

void QtStage::ShowPopup(Popup popup, bool visible) { Window(popup).SetShown(visible); }

}  // namespace zumbolo
