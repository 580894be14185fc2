#pragma once
// Pictures in memory: 32-bit pixels 0x00RRGGBB, rows top to bottom.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zumbolo {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kRed = 0xFF0000;

struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // width * height

  static Bitmap Filled(int width, int height, std::uint32_t colour);
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  std::uint32_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  bool empty() const { return pixels.empty(); }
  bool operator==(const Bitmap&) const = default;

  // The width x height piece whose top-left corner is (x, y); parts outside this picture are
  // filled with `outside`.
  Bitmap Crop(int x, int y, int width, int height, std::uint32_t outside = kWhite) const;
  // Draws `picture` at (0, 0), leaving the pixels where `picture` has the colour `key`.
  void DrawTransparent(const Bitmap& picture, std::uint32_t key);
};

// Reads an uncompressed Windows bitmap file (24 or 32 bits per pixel, bottom-up or top-down).
// Anything else, or damaged data, gives nullopt.
std::optional<Bitmap> DecodeBmp(std::span<const std::uint8_t> bytes);
// Writes a 24-bit bottom-up Windows bitmap file.
std::vector<std::uint8_t> EncodeBmp(const Bitmap& picture);

}  // namespace zumbolo
