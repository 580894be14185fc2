#pragma once
// The pictures of the figures: three colour sets of twelve poses (the image lists), the pose
// bitmaps that hold the current set, the blank picture and the sparkle overlay.

#include <array>
#include <optional>

#include "engine/bitmap.h"
#include "ports/resources.h"

namespace zumbolo {

constexpr int kPoseCount = 12;
constexpr int kPoseSlots = 24;  // slots 12..23 stay empty
constexpr int kFigurePixels = 64;
constexpr std::array<int, 4> ResultPoses = {1, 4, 7, 10};  // the standing poses

class SpriteSet {
 public:
  // The image lists of the main window: the poses of colour set 0, 1 and 2, from the program's
  // pictures ("POSES0".."POSES2", twelve 64 x 64 cells side by side) and the sparkle ("SPARKLE").
  // A missing or unreadable picture leaves that set blank (white).
  void LoadImageLists(const Resources& resources);

  // Makes BlankBitmap and the twelve pose bitmaps, all white; the sparkle draws transparently
  // from now on, keyed on its bottom-left pixel.
  void Create();
  // Copies the poses of colour set `char_color` into the pose bitmaps; any other value copies
  // nothing and the bitmaps keep what they hold.
  void LoadPoseSet(int char_color);
  void Free();

  // The pose bitmap in `slot`, or nullptr for an empty slot or one outside 0..23.
  const Bitmap* PoseBitmap(int slot) const;
  const Bitmap& BlankBitmap() const { return blank_; }
  const Bitmap& Overlay() const { return sparkle_; }
  std::uint32_t OverlayKey() const { return sparkle_key_; }
  bool transparent_overlay() const { return transparent_overlay_; }

 private:
  std::array<std::array<Bitmap, kPoseCount>, 3> image_lists_;  // by colour set
  std::array<std::optional<Bitmap>, kPoseSlots> pose_bitmaps_;
  Bitmap blank_;
  Bitmap sparkle_ = Bitmap::Filled(kFigurePixels, kFigurePixels, kWhite);
  std::uint32_t sparkle_key_ = kWhite;
  bool transparent_overlay_ = false;
};

}  // namespace zumbolo
