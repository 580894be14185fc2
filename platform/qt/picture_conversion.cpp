#include "platform/qt/picture_conversion.h"

#include <QBitmap>
#include <algorithm>
#include <cmath>

namespace zumbolo {

QImage ToQImage(const Bitmap& picture) {
  QImage image(picture.width, picture.height, QImage::Format_RGB32);
  for (int y = 0; y < picture.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    const std::uint32_t* source = picture.pixels().data() + static_cast<std::size_t>(y) * picture.width;
    for (int x = 0; x < picture.width; ++x) line[x] = 0xFF000000u | source[x];
  }
  return image;
}

QImage ScaledForScreen(const QImage& image, int width, int height, qreal dpr) {
  const int device_width = std::max(1, static_cast<int>(std::lround(width * dpr)));
  const int device_height = std::max(1, static_cast<int>(std::lround(height * dpr)));
  QImage scaled = image.size() == QSize(device_width, device_height)
                      ? image
                      : image.scaled(device_width, device_height, Qt::IgnoreAspectRatio,
                                     Qt::FastTransformation);
  scaled.setDevicePixelRatio(dpr);
  return scaled;
}

QRegion OpaqueRegion(const QImage& image, std::uint32_t key) {
  // Qt::MaskInColor leaves the key colour out of the mask.
  const QImage mask = image.createMaskFromColor(0xFF000000u | key, Qt::MaskInColor);
  return QRegion(QBitmap::fromImage(mask));
}

QRegion NothingVisible() { return QRegion(-1, -1, 1, 1); }

}  // namespace zumbolo
