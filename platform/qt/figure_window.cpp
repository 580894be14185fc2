#include "platform/qt/figure_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "platform/qt/key_codes.h"
#include "platform/qt/picture_conversion.h"
#include "platform/qt/x11_window_hints.h"

namespace zumbolo {

namespace {

// How many pictures the window keeps: the poses of one colour set and then some.
constexpr std::size_t kKeptLooks = 32;
// How many window shapes it keeps: one for each pose of a spin, and those of a show's moves.
constexpr std::size_t kKeptWindowShapes = 24;

}  // namespace

FigureWindow::FigureWindow()
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool) {
  setWindowTitle(QStringLiteral("Zumbolo!"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  // Every pixel is painted from the boxes' pictures: no background to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::StrongFocus);
  const std::shared_ptr<Look> blank = LookFor(Bitmap::Filled(64, 64, kWhite));
  for (Box& box : boxes_) box.look = blank;
  setFixedSize(3 * size_, size_);
}

std::shared_ptr<FigureWindow::Look> FigureWindow::LookFor(const Bitmap& picture) {
  ++use_clock_;
  // A pose comes back as the very pixels it came with before; only a new picture (a pose with
  // the sparkle over it) needs its colours compared.
  const auto same_pixels = [&](const std::shared_ptr<Look>& look) {
    return look->picture.SharesPixelsWith(picture);
  };
  const auto same_colours = [&](const std::shared_ptr<Look>& look) {
    return look->picture == picture;
  };
  auto found = std::find_if(looks_.begin(), looks_.end(), same_pixels);
  if (found == looks_.end()) found = std::find_if(looks_.begin(), looks_.end(), same_colours);
  if (found != looks_.end()) {
    (*found)->last_used = use_clock_;
    return *found;
  }
  if (looks_.size() >= kKeptLooks) {
    // The one unused the longest goes, unless a box still shows it.
    auto oldest = looks_.end();
    for (auto it = looks_.begin(); it != looks_.end(); ++it) {
      if (it->use_count() > 1) continue;
      if (oldest == looks_.end() || (*it)->last_used < (*oldest)->last_used) oldest = it;
    }
    if (oldest != looks_.end()) looks_.erase(oldest);
  }
  auto look = std::make_shared<Look>();
  look->picture = picture;
  look->image = ToQImage(picture);
  look->id = ++looks_made_;
  look->last_used = use_clock_;
  looks_.push_back(look);
  return look;
}

const RowShape& FigureWindow::ShapeOf(Look& look) {
  if (look.shape_size != size_) {
    const QImage at_size = ScaledForScreen(look.image, size_, size_, 1.0);
    look.shape = RowsOf(OpaqueRegion(at_size, kWhite), size_);
    look.shape_size = size_;
  }
  return look.shape;
}

FigureWindow::WindowShape& FigureWindow::WindowShapeNow() {
  ++use_clock_;
  const std::array<std::uint64_t, 3> looks{boxes_[0].look->id, boxes_[1].look->id,
                                           boxes_[2].look->id};
  for (WindowShape& shape : window_shapes_) {
    if (shape.looks == looks && shape.size == size_) {
      shape.last_used = use_clock_;
      return shape;
    }
  }
  if (window_shapes_.size() >= kKeptWindowShapes) {
    window_shapes_.erase(std::min_element(
        window_shapes_.begin(), window_shapes_.end(),
        [](const WindowShape& a, const WindowShape& b) { return a.last_used < b.last_used; }));
  }
  WindowShape& shape = window_shapes_.emplace_back();
  shape.looks = looks;
  shape.size = size_;
  shape.last_used = use_clock_;
  return shape;
}

const QRegion& FigureWindow::RegionFor(WindowShape& shape) {
  if (!shape.region) {
    SideBySide({&ShapeOf(*boxes_[0].look), &ShapeOf(*boxes_[1].look), &ShapeOf(*boxes_[2].look)},
               size_, composed_);
    QRegion region = RegionOf(composed_);
    if (region.isEmpty()) region = NothingVisible();
    shape.region = std::move(region);
  }
  return *shape.region;
}

void FigureWindow::MakeServerPictures(WindowShape& shape) {
  const qreal dpr = devicePixelRatioF();
  if (shape.picture && shape.picture_dpr == dpr) return;
  for (int i = 0; i < 3; ++i) PutOnServer(i);
  const std::array<const Look*, 3> looks{boxes_[0].look.get(), boxes_[1].look.get(), boxes_[2].look.get()};
  const int box = looks[0]->scaled.width();
  const int height = looks[0]->scaled.height();
  shape.picture = server_->SideBySide({&looks[0]->on_server, &looks[1]->on_server, &looks[2]->on_server}, box, height);
  shape.bitmap = server_->ShapesSideBySide(
      {&looks[0]->bitmap_on_server, &looks[1]->bitmap_on_server, &looks[2]->bitmap_on_server}, box, height);
  shape.picture_dpr = dpr;
}

void FigureWindow::PutOnServer(int index) {
  const QImage& scaled = ScaledPicture(index);
  Look& look = *boxes_[index].look;
  if (look.on_server && look.server_size == size_ && look.server_dpr == look.scaled_dpr) return;
  look.on_server = server_->Upload(scaled);
  look.bitmap_on_server = server_->UploadShape(scaled, kWhite);
  look.server_size = size_;
  look.server_dpr = look.scaled_dpr;
}

void FigureWindow::SetFigureSize(int pixels) {
  if (pixels < 1 || pixels == size_) return;
  size_ = pixels;
  setFixedSize(3 * size_, size_);
  for (Box& box : boxes_) box.changed = true;
  ScheduleApply();
}

void FigureWindow::ShowFigure(int index, const Bitmap& picture) {
  if (index < 0 || index > 2 || picture.empty()) return;
  Box& box = boxes_[index];
  if (picture == box.look->picture) return;
  box.look = LookFor(picture);
  box.changed = true;
  ScheduleApply();
}

void FigureWindow::ShowFirstTime() {
  Apply();
  SkipTaskbarAndPager(*this);
  RenameClientLeader(*this, "zumbolo group leader");
  show();
  // The server draws the figures from the background as it maps the window.
  if (server_) NoteFirstPaint();
}

void FigureWindow::SetShown(bool shown) {
  if (!shown) return hide();
  if (isVisible()) return;
  SkipTaskbarAndPager(*this);  // before mapping: the window manager dropped it at the withdrawal
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
  std::array<bool, 3> changed{};
  for (int i = 0; i < 3; ++i) changed[i] = std::exchange(boxes_[i].changed, false);
  if (changed == std::array<bool, 3>{} && shape_set_) return;
  winId();  // the native window, made now if the window has not been shown yet
  if (!server_tried_) {
    server_tried_ = true;
    server_ = ServerPictures::For(*this);
    if (server_) server_->StopExposeEvents();
  }
  WindowShape& now = WindowShapeNow();
  if (server_) {
    MakeServerPictures(now);
    if (!shape_set_ || now.picture.pixmap() != shown_pixmap_) {
      shown_pixmap_ = now.picture.pixmap();
      server_->Show(now.picture, now.bitmap);
    }
    shape_set_ = true;
    if (isVisible()) NoteFirstPaint();
    return;
  }
  const QRegion& region = RegionFor(now);
  if (!shape_set_ || region != shape_) {
    shape_ = region;
    shape_set_ = true;
    // The shape goes to the native window, not to the widget: X cuts the white away on screen
    // and for the pointer all the same, while Qt, not knowing of it, paints and flushes each box
    // as one rectangle instead of the shape's hundred or so.
    windowHandle()->setMask(shape_);
  }
  // Only the boxes that show something new are painted again, now rather than at the next turn
  // of the event loop: Apply already runs after the engine's changes.
  QRegion boxes;
  for (int i = 0; i < 3; ++i) {
    if (changed[i]) boxes += QRect(i * size_, 0, size_, size_);
  }
  if (isVisible()) {
    repaint(boxes);
  } else {
    update(boxes);
  }
}

void FigureWindow::NoteFirstPaint() {
  if (painted_) return;
  painted_ = true;
  if (handlers_.first_paint) handlers_.first_paint();
}

const QImage& FigureWindow::ScaledPicture(int index) {
  const qreal dpr = devicePixelRatioF();
  Look& look = *boxes_[index].look;
  if (look.scaled.isNull() || look.scaled_size != size_ || look.scaled_dpr != dpr) {
    look.scaled = ScaledForScreen(look.image, size_, size_, dpr);
    look.scaled_size = size_;
    look.scaled_dpr = dpr;
  }
  return look.scaled;
}

void FigureWindow::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    for (int i = 0; i < 3; ++i) {
      const QRect target(i * size_, 0, size_, size_);
      if (event->region().intersects(target)) painter.drawImage(target.topLeft(), ScaledPicture(i));
    }
  }
  NoteFirstPaint();
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
