#include "engine/sprite_set.h"

#include <string>

namespace zumbolo {

void SpriteSet::LoadImageLists(const Resources& resources) {
  for (int set = 0; set < 3; ++set) {
    const auto sheet = DecodeBmp(resources.Find("POSES" + std::to_string(set)));
    for (int pose = 0; pose < kPoseCount; ++pose) {
      image_lists_[set][pose] =
          sheet ? sheet->Crop(pose * kFigurePixels, 0, kFigurePixels, kFigurePixels)
                : Bitmap::Filled(kFigurePixels, kFigurePixels, kWhite);
    }
  }
  if (auto sparkle = DecodeBmp(resources.Find("SPARKLE"))) {
    sparkle_ = sparkle->Crop(0, 0, kFigurePixels, kFigurePixels);
  }
}

void SpriteSet::Create() {
  blank_ = Bitmap::Filled(kFigurePixels, kFigurePixels, kWhite);
  transparent_overlay_ = true;
  sparkle_key_ = sparkle_.at(0, sparkle_.height - 1);
  for (int slot = 0; slot < kPoseCount; ++slot) pose_bitmaps_[slot] = blank_;
}

void SpriteSet::LoadPoseSet(int char_color) {
  if (char_color < 0 || char_color > 2) return;
  for (int pose = 0; pose < kPoseCount; ++pose) {
    if (!pose_bitmaps_[pose]) continue;
    Bitmap copy = Bitmap::Filled(kFigurePixels, kFigurePixels, kWhite);
    copy.DrawTransparent(image_lists_[char_color][pose], kWhite);
    *pose_bitmaps_[pose] = std::move(copy);
  }
}

void SpriteSet::Free() {
  for (auto& slot : pose_bitmaps_) slot.reset();
  blank_ = Bitmap{};
}

const Bitmap* SpriteSet::PoseBitmap(int slot) const {
  if (slot < 0 || slot >= kPoseSlots || !pose_bitmaps_[slot]) return nullptr;
  return &*pose_bitmaps_[slot];
}

}  // namespace zumbolo
