#pragma once
// A pop-up picture window (the celebration ball, the speech balloon): frameless, always on top,
// no taskbar entry, never taking the focus; its picture stretched to the window's size, with
// the key colour cut away by a shape mask.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <string>

#include "engine/bitmap.h"

namespace zumbolo {

class PictureWindow final : public QWidget {
 public:
  PictureWindow(std::string title, std::uint32_t key);

  void SetPicture(const Bitmap& picture, int width, int height);
  void SetShown(bool visible);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const QImage& ScaledPicture();

  std::string title_;
  std::uint32_t key_;
  QImage picture_;
  QImage scaled_;
  qreal scaled_dpr_ = 0;
};

}  // namespace zumbolo
