#include "engine/bitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace zumbolo {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr std::uint32_t kUncompressed = 0;   // BI_RGB

std::uint32_t Little16(const std::uint8_t* p) { return p[0] | (std::uint32_t{p[1]} << 8); }
std::uint32_t Little32(const std::uint8_t* p) {
  return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
std::int32_t LittleSigned32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(Little32(p));
}

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

Bitmap Bitmap::Filled(int width, int height, std::uint32_t colour) {
  Bitmap b;
  if (width <= 0 || height <= 0) return b;
  b.width = width;
  b.height = height;
  b.pixels_ = std::make_shared<std::vector<std::uint32_t>>(
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height), colour);
  return b;
}

bool Bitmap::operator==(const Bitmap& other) const {
  if (width != other.width || height != other.height) return false;
  if (SharesPixelsWith(other)) return true;
  const std::span<const std::uint32_t> mine = pixels();
  const std::span<const std::uint32_t> theirs = other.pixels();
  return std::equal(mine.begin(), mine.end(), theirs.begin(), theirs.end());
}

std::vector<std::uint32_t>& Bitmap::MutablePixels() {
  if (pixels_.use_count() > 1) pixels_ = std::make_shared<std::vector<std::uint32_t>>(*pixels_);
  return *pixels_;
}

Bitmap Bitmap::Crop(int x, int y, int crop_width, int crop_height, std::uint32_t outside) const {
  Bitmap piece = Filled(crop_width, crop_height, outside);
  if (piece.empty()) return piece;
  // The overlap of the piece with this picture, in this picture's coordinates; 64-bit so that
  // far-off corners cannot overflow.
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + crop_width, width);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + crop_height, height);
  for (std::int64_t sy = top; sy < bottom; ++sy) {
    for (std::int64_t sx = left; sx < right; ++sx) {
      piece.at(static_cast<int>(sx - x), static_cast<int>(sy - y)) =
          at(static_cast<int>(sx), static_cast<int>(sy));
    }
  }
  return piece;
}

void Bitmap::DrawTransparent(const Bitmap& picture, std::uint32_t key) {
  const int w = std::min(width, picture.width);
  const int h = std::min(height, picture.height);
  if (w <= 0 || h <= 0) return;
  std::vector<std::uint32_t>& mine = MutablePixels();
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint32_t colour = picture.at(x, y);
      if (colour != key) mine[Index(x, y)] = colour;
    }
  }
}

std::optional<Bitmap> DecodeBmp(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kFileHeaderSize + kInfoHeaderSize) return std::nullopt;
  const std::uint8_t* p = bytes.data();
  if (p[0] != 'B' || p[1] != 'M') return std::nullopt;
  const std::uint32_t pixel_offset = Little32(p + 10);

  // Later versions of the info header only add fields after the first 40 bytes.
  const std::uint8_t* info = p + kFileHeaderSize;
  const std::uint32_t info_size = Little32(info);
  const std::int32_t width = LittleSigned32(info + 4);
  const std::int32_t height_field = LittleSigned32(info + 8);
  const std::uint32_t planes = Little16(info + 12);
  const std::uint32_t bits = Little16(info + 14);
  const std::uint32_t compression = Little32(info + 16);
  if (info_size < kInfoHeaderSize || info_size > bytes.size() - kFileHeaderSize) {
    return std::nullopt;
  }
  if (planes != 1 || (bits != 24 && bits != 32) || compression != kUncompressed) {
    return std::nullopt;
  }
  if (width <= 0 || height_field == 0 || height_field == INT32_MIN) return std::nullopt;
  const bool top_down = height_field < 0;
  const std::int64_t height = top_down ? -std::int64_t{height_field} : height_field;

  const std::uint64_t pixel_bytes = bits / 8;
  const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
  if (pixel_offset < kFileHeaderSize + info_size || pixel_offset > bytes.size()) {
    return std::nullopt;
  }
  // Everything up to the last pixel must be there; the last row's padding may be missing.
  const std::uint64_t needed = stride * static_cast<std::uint64_t>(height - 1) +
                               pixel_bytes * static_cast<std::uint64_t>(width);
  if (needed > bytes.size() - pixel_offset) return std::nullopt;

  Bitmap picture = Bitmap::Filled(width, static_cast<int>(height), kBlack);
  const std::uint8_t* data = p + pixel_offset;
  for (std::int64_t y = 0; y < height; ++y) {
    const std::int64_t stored_row = top_down ? y : height - 1 - y;
    const std::uint8_t* row = data + static_cast<std::uint64_t>(stored_row) * stride;
    for (std::int32_t x = 0; x < width; ++x) {
      const std::uint8_t* px = row + static_cast<std::uint64_t>(x) * pixel_bytes;
      // Blue, green, red (and, in 32-bit files, a fourth byte that is not used).
      picture.at(x, static_cast<int>(y)) =
          (std::uint32_t{px[2]} << 16) | (std::uint32_t{px[1]} << 8) | std::uint32_t{px[0]};
    }
  }
  return picture;
}

std::vector<std::uint8_t> EncodeBmp(const Bitmap& picture) {
  const std::uint32_t width = static_cast<std::uint32_t>(std::max(picture.width, 0));
  const std::uint32_t height = static_cast<std::uint32_t>(std::max(picture.height, 0));
  const std::uint32_t stride = (width * 3 + 3) / 4 * 4;
  const std::uint32_t image_size = stride * height;
  const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;

  std::vector<std::uint8_t> out;
  out.reserve(offset + image_size);
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + image_size);
  Put32(out, 0);  // reserved
  Put32(out, offset);

  Put32(out, kInfoHeaderSize);
  Put32(out, width);
  Put32(out, height);  // positive: bottom row first
  Put16(out, 1);       // planes
  Put16(out, 24);      // bits per pixel
  Put32(out, kUncompressed);
  Put32(out, image_size);
  Put32(out, 2835);  // 72 dots per inch, as pixels per metre
  Put32(out, 2835);
  Put32(out, 0);  // colours in the palette
  Put32(out, 0);  // important colours

  for (std::uint32_t row = 0; row < height; ++row) {
    const int y = static_cast<int>(height - 1 - row);
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::uint32_t colour = picture.at(static_cast<int>(x), y);
      out.push_back(static_cast<std::uint8_t>(colour));
      out.push_back(static_cast<std::uint8_t>(colour >> 8));
      out.push_back(static_cast<std::uint8_t>(colour >> 16));
    }
    for (std::uint32_t pad = width * 3; pad < stride; ++pad) out.push_back(0);
  }
  return out;
}

}  // namespace zumbolo
