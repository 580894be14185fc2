#include "platform/qt/picture_window.h"

#include <QPainter>

#include "platform/qt/picture_conversion.h"
#include "platform/qt/x11_window_hints.h"

namespace zumbolo {

PictureWindow::PictureWindow(std::string title, std::uint32_t key)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool |
                           Qt::WindowDoesNotAcceptFocus),
      title_(std::move(title)),
      key_(key) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFixedSize(1, 1);
  SetExactTitle(*this, title_);
}

void PictureWindow::SetPicture(const Bitmap& picture, int width, int height) {
  if (picture.empty() || width < 1 || height < 1) return;
  picture_ = ToQImage(picture);
  scaled_ = QImage();
  setFixedSize(width, height);
  QRegion shape = OpaqueRegion(ScaledForScreen(picture_, width, height, 1.0), key_);
  setMask(shape.isEmpty() ? NothingVisible() : shape);
  update();
}

void PictureWindow::SetShown(bool visible) {
  if (visible) {
    if (isVisible()) return;
    SkipTaskbarAndPager(*this);  // before mapping: the property is the client's only then
    show();
  } else {
    hide();
  }
}

const QImage& PictureWindow::ScaledPicture() {
  const qreal dpr = devicePixelRatioF();
  if (scaled_.isNull() || dpr != scaled_dpr_) {
    scaled_ = ScaledForScreen(picture_, width(), height(), dpr);
    scaled_dpr_ = dpr;
  }
  return scaled_;
}

void PictureWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (picture_.isNull()) {
    painter.fillRect(rect(), QColor::fromRgb(key_));
    return;
  }
  painter.drawImage(QPoint(0, 0), ScaledPicture());
}

}  // namespace zumbolo
