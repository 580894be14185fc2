#pragma once
// The main window: three figure boxes side by side in one frameless, always-on-top window with
// no taskbar entry, its white pixels cut away by a shape mask. It paints each box from the last
// picture the box was given, so an expose never loses a figure, and it reports keys, clicks and
// the window manager's close request to whoever listens.

#include <QImage>
#include <QRegion>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/bitmap.h"
#include "platform/qt/figure_shape.h"
#include "platform/qt/server_picture.h"

namespace zumbolo {

class FigureWindow final : public QWidget {
 public:
  struct Handlers {
    std::function<void(int shortcut)> key;  // a key with its Windows key code and modifier bits
    std::function<void()> left_press;
    std::function<void()> right_press;
    std::function<void()> close_request;  // the window manager asks the window to close
    std::function<void()> first_paint;    // the window has been painted for the first time
  };

  FigureWindow();
  void SetHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

  // Each box is `pixels` square; the window is three boxes wide.
  void SetFigureSize(int pixels);
  void ShowFigure(int index, const Bitmap& picture);
  // Shows the window for the first time, its shape already in place, without taking the focus.
  void ShowFirstTime();
  // Hides it, or shows it again as it was, without taking the focus.
  void SetShown(bool shown);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // A picture as the window draws it, kept for as long as it may come back (a spin shows the
  // same few poses again and again), so that each one is converted, scaled and outlined once.
  struct Look {
    Bitmap picture;     // what the engine showed
    QImage image;       // the same as an image
    QImage scaled;      // at scaled_size in device pixels for scaled_dpr; null until needed
    int scaled_size = 0;
    qreal scaled_dpr = 0;
    RowShape shape;     // the non-white pixels at shape_size, in the box's coordinates
    int shape_size = 0;  // 0: no shape made yet
    ServerPicture on_server;  // `scaled` in the X server, and its non-white pixels; none yet
    ServerPicture bitmap_on_server;
    int server_size = 0;
    qreal server_dpr = 0;
    std::uint64_t id = 0;  // never the same for two looks, as an address could be
    std::uint64_t last_used = 0;
  };
  // The window for three looks side by side, kept too: in a spin the three boxes show the same
  // pose, so the same dozen come back again and again. Each part is made when first needed.
  struct WindowShape {
    std::array<std::uint64_t, 3> looks{};  // the boxes' looks, by id
    int size = 0;
    std::optional<QRegion> region;  // when Qt shapes the window
    ServerPicture picture;          // when the server draws it: the three pictures at picture_dpr
    ServerPicture bitmap;           // and their shape
    qreal picture_dpr = 0;
    std::uint64_t last_used = 0;
  };
  struct Box {
    std::shared_ptr<Look> look;  // what the box shows now
    bool changed = true;         // not on screen yet
  };

  std::shared_ptr<Look> LookFor(const Bitmap& picture);
  const RowShape& ShapeOf(Look& look);
  WindowShape& WindowShapeNow();
  const QRegion& RegionFor(WindowShape& shape);
  // The window's picture and shape in the server for `shape`, made now if need be, from the
  // boxes' looks in the server.
  void MakeServerPictures(WindowShape& shape);
  void PutOnServer(int index);
  // Changes are gathered and put on screen once the current handler has returned: the shape
  // once for all three boxes, then the repaint of the boxes that changed.
  void ScheduleApply();
  void Apply();
  void NoteFirstPaint();
  const QImage& ScaledPicture(int index);

  Handlers handlers_;
  int size_ = 64;
  std::array<Box, 3> boxes_;
  std::vector<std::shared_ptr<Look>> looks_;  // the pictures seen lately, the boxes' among them
  std::vector<WindowShape> window_shapes_;  // those seen lately
  std::uint64_t use_clock_ = 0;
  std::uint64_t looks_made_ = 0;
  RowShape composed_;  // memory for putting a window shape together
  QRegion shape_;      // the window's shape now
  bool shape_set_ = false;
  bool apply_scheduled_ = false;
  bool painted_ = false;
  std::unique_ptr<ServerPictures> server_;  // none: Qt paints the window
  bool server_tried_ = false;
  std::uint32_t shown_pixmap_ = 0;  // the background now
};

}  // namespace zumbolo
