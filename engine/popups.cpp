#include "engine/popups.h"

namespace zumbolo {

void PopupWindow::Create(const Resources& resources, const char* picture, std::uint32_t key,
                         int width, int height, const Positions& at, bool mini) {
  const auto decoded = DecodeBmp(resources.Find(picture));
  stage_.SetPopupPicture(which_, decoded ? *decoded : Bitmap::Filled(width, height, key), width,
                         height);
  left_ = at.HomeLeft + OffsetLeft(mini);
  top_ = at.HomeTop + OffsetTop(mini);
  stage_.MovePopup(which_, left_, top_);
}

void PopupWindow::Show() {
  trace_(name_, "show");
  visible_ = true;
  stage_.ShowPopup(which_, true);
}

void PopupWindow::Hide() {
  trace_(name_, "hide");
  visible_ = false;
  stage_.ShowPopup(which_, false);
}

void PopupWindow::SetLeft(int x) {
  left_ = x;
  stage_.MovePopup(which_, left_, top_);
}

void PopupWindow::SetTop(int y) {
  top_ = y;
  stage_.MovePopup(which_, left_, top_);
}

void TForm2::FormCreate(const Resources& resources, const Positions& at, bool mini) {
  Create(resources, "CELEBRATION", kBlack, mini ? 68 : 136, mini ? 100 : 201, at, mini);
}

void TForm3::FormCreate(const Resources& resources, const Positions& at, bool mini) {
  Create(resources, "BALLOON", kRed, mini ? 65 : 131, mini ? 36 : 72, at, mini);
}

}  // namespace zumbolo
