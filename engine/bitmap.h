#pragma once
// Pictures in memory: 32-bit pixels 0x00RRGGBB, rows top to bottom.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace zumbolo {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kRed = 0xFF0000;

// A picture's pixels are shared between its copies until one of them is changed, so that
// handing a pose from the sprite set to a figure and on to the stage copies no pixels.
struct Bitmap {
  int width = 0;
  int height = 0;

  static Bitmap Filled(int width, int height, std::uint32_t colour);
  // width * height pixels, rows top to bottom.
  std::span<const std::uint32_t> pixels() const {
    return pixels_ ? std::span<const std::uint32_t>(*pixels_) : std::span<const std::uint32_t>();
  }
  std::uint32_t at(int x, int y) const { return (*pixels_)[Index(x, y)]; }
  // Writing makes this picture's pixels its own first.
  std::uint32_t& at(int x, int y) { return MutablePixels()[Index(x, y)]; }
  bool empty() const { return !pixels_ || pixels_->empty(); }
  // The same pixels in memory, not just the same colours: a cheap first test of equality.
  bool SharesPixelsWith(const Bitmap& other) const { return pixels_ && pixels_ == other.pixels_; }
  bool operator==(const Bitmap& other) const;

  // The width x height piece whose top-left corner is (x, y); parts outside this picture are
  // filled with `outside`.
  Bitmap Crop(int x, int y, int width, int height, std::uint32_t outside = kWhite) const;
  // Draws `picture` at (0, 0), leaving the pixels where `picture` has the colour `key`.
  void DrawTransparent(const Bitmap& picture, std::uint32_t key);

 private:
  std::size_t Index(int x, int y) const { return static_cast<std::size_t>(y) * width + x; }
  std::vector<std::uint32_t>& MutablePixels();

  std::shared_ptr<std::vector<std::uint32_t>> pixels_;
};

// Reads an uncompressed Windows bitmap file (24 or 32 bits per pixel, bottom-up or top-down).
// Anything else, or damaged data, gives nullopt.
std::optional<Bitmap> DecodeBmp(std::span<const std::uint8_t> bytes);
// Writes a 24-bit bottom-up Windows bitmap file.
std::vector<std::uint8_t> EncodeBmp(const Bitmap& picture);

}  // namespace zumbolo
