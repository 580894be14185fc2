#include "platform/win32/dib.h"

#include <algorithm>
#include <cstring>

namespace zumbolo::win32 {

Bitmap ScaledNearest(const Bitmap& picture, int width, int height) {
  if (picture.width == width && picture.height == height) return picture;
  Bitmap scaled = Bitmap::Filled(width, height, kWhite);
  if (picture.empty()) return scaled;
  for (int y = 0; y < height; ++y) {
    const int source_y = std::min(picture.height - 1, y * picture.height / height);
    for (int x = 0; x < width; ++x) {
      scaled.at(x, y) = picture.at(std::min(picture.width - 1, x * picture.width / width), source_y);
    }
  }
  return scaled;
}

UniqueBitmap ToDib(const Bitmap& picture) {
  if (picture.empty()) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // top-down, as the engine keeps its rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || !bits) return {};
  // 0x00RRGGBB in memory is blue, green, red, 0: the layout of a 32-bit DIB.
  std::memcpy(bits, picture.pixels().data(), picture.pixels().size() * sizeof(std::uint32_t));
  return dib;
}

}  // namespace zumbolo::win32
