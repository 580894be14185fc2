#include "platform/qt/figure_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>

#include "platform/qt/key_codes.h"
#include "platform/qt/picture_conversion.h"
#include "platform/qt/x11_window_hints.h"

namespace zumbolo {

FigureWindow::FigureWindow()
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool) {
  setWindowTitle(QStringLiteral("Zumbolo!"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  // Every pixel is painted from the boxes' pictures: no background to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::StrongFocus);
  for (Box& box : boxes_) {
    box.given = Bitmap::Filled(64, 64, kWhite);
    box.picture = ToQImage(box.given);
  }
  setFixedSize(3 * size_, size_);
}

void FigureWindow::SetFigureSize(int pixels) {
  if (pixels < 1 || pixels == size_) return;
  size_ = pixels;
  setFixedSize(3 * size_, size_);
  for (Box& box : boxes_) {
    box.scaled = QImage();
    box.shape_stale = true;
  }
  ScheduleApply();
}

void FigureWindow::ShowFigure(int index, const Bitmap& picture) {
  if (index < 0 || index > 2 || picture.empty()) return;
  Box& box = boxes_[index];
  if (picture == box.given) return;
  box.given = picture;
  box.picture = ToQImage(picture);
  box.scaled = QImage();
  box.shape_stale = true;
  ScheduleApply();
}

void FigureWindow::ShowFirstTime() {
  Apply();
  SkipTaskbarAndPager(*this);
  RenameClientLeader(*this, "zumbolo group leader");
  show();
}

void FigureWindow::ScheduleApply() {
  if (apply_scheduled_) return;
  apply_scheduled_ = true;
  // Queued events come before the repaint, which Qt posts with a low priority.
  QMetaObject::invokeMethod(this, [this] { Apply(); }, Qt::QueuedConnection);
}

void FigureWindow::Apply() {
  apply_scheduled_ = false;
  bool changed = false;
  for (int i = 0; i < 3; ++i) {
    Box& box = boxes_[i];
    if (!box.shape_stale) continue;
    box.shape_stale = false;
    changed = true;
    const QImage logical = ScaledForScreen(box.picture, size_, size_, 1.0);
    box.shape = OpaqueRegion(logical, kWhite).translated(i * size_, 0);
  }
  if (!changed && shape_set_) return;
  QRegion shape = boxes_[0].shape.united(boxes_[1].shape).united(boxes_[2].shape);
  if (shape.isEmpty()) shape = NothingVisible();
  if (!shape_set_ || shape != shape_) {
    shape_ = shape;
    shape_set_ = true;
    setMask(shape_);
  }
  update();
}

const QImage& FigureWindow::ScaledPicture(int index) {
  const qreal dpr = devicePixelRatioF();
  if (dpr != scaled_dpr_) {
    for (Box& box : boxes_) box.scaled = QImage();
    scaled_dpr_ = dpr;
  }
  Box& box = boxes_[index];
  if (box.scaled.isNull()) box.scaled = ScaledForScreen(box.picture, size_, size_, dpr);
  return box.scaled;
}

void FigureWindow::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  for (int i = 0; i < 3; ++i) {
    const QRect target(i * size_, 0, size_, size_);
    if (event->region().intersects(target)) painter.drawImage(target.topLeft(), ScaledPicture(i));
  }
}

void FigureWindow::keyPressEvent(QKeyEvent* event) {
  const int shortcut = ShortcutFromQtKey(event->key(), event->modifiers());
  if (shortcut != 0 && handlers_.key) {
    handlers_.key(shortcut);
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void FigureWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && handlers_.left_press) {
    handlers_.left_press();
  } else if (event->button() == Qt::RightButton && handlers_.right_press) {
    handlers_.right_press();
  }
  event->accept();
}

void FigureWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  // The first press of a double click has already counted as a click; the second is no click.
  event->accept();
}

void FigureWindow::closeEvent(QCloseEvent* event) {
  if (handlers_.close_request) handlers_.close_request();
  event->accept();
}

}  // namespace zumbolo
