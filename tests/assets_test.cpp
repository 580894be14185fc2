#include "engine/bitmap.h"
#include "platform/common/embedded_resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zumbolo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAsset(const std::string& relative) {
  std::ifstream in(std::string(ZUMBOLO_SOURCE_DIR) + "/assets/" + relative, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Asset {
  const char* name;
  const char* file;
};

const Asset kAssets[] = {
    {"KOKAB", "tracks/kokab.mp3"},
    {"EYE", "tracks/eye.mp3"},
    {"BGM", "tracks/bgm.mp3"},
    {"TELL", "tracks/tell.mp3"},
    {"FUN", "tracks/fun.mp3"},
    {"RAD", "tracks/rad.mp3"},
    {"SPRING", "tracks/spring.mp3"},
    {"POSES0", "pictures/poses0.bmp"},
    {"POSES1", "pictures/poses1.bmp"},
    {"POSES2", "pictures/poses2.bmp"},
    {"SPARKLE", "pictures/sparkle.bmp"},
    {"CELEBRATION", "pictures/celebration.bmp"},
    {"BALLOON", "pictures/balloon.bmp"},
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Alternating case, starting with lower: "kOkAb".
std::string Mixed(std::string s) {
  for (std::size_t i = 0; i < s.size(); i += 2) {
    s[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
  }
  return s;
}

// ---------------------------------------------------------------------------------------------
// Embedding.

class EmbeddedAssetTest : public ::testing::TestWithParam<Asset> {};

TEST_P(EmbeddedAssetTest, HoldsExactlyTheCommittedFileUnderAnyCase) {
  const Asset asset = GetParam();
  const Bytes file = ReadAsset(asset.file);
  ASSERT_FALSE(file.empty()) << asset.file;
  for (const std::string& name : {std::string(asset.name), Lower(asset.name), Mixed(asset.name)}) {
    const std::span<const std::uint8_t> found = EmbeddedResources().Find(name);
    ASSERT_EQ(found.size(), file.size()) << name;
    EXPECT_TRUE(std::equal(found.begin(), found.end(), file.begin())) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(AllAssets, EmbeddedAssetTest, ::testing::ValuesIn(kAssets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EmbeddedResources, UnknownNamesGiveNothing) {
  const Resources& resources = EmbeddedResources();
  for (const char* name : {"", "KOKA", "KOKABX", "kokab.mp3", "tracks/kokab.mp3", "POSES3",
                           "POSES", "SPARKLES", " BGM", "BGM ", "BALLOONS", "NONE"}) {
    EXPECT_TRUE(resources.Find(name).empty()) << '"' << name << '"';
  }
  // A name with a stray NUL is not the name without it.
  EXPECT_TRUE(resources.Find(std::string_view("EYE\0", 4)).empty());
}

TEST(EmbeddedResources, IsOneInstance) {
  EXPECT_EQ(&EmbeddedResources(), &EmbeddedResources());
}

// ---------------------------------------------------------------------------------------------
// The placeholder pictures.

std::optional<Bitmap> Picture(const char* name) {
  return DecodeBmp(EmbeddedResources().Find(name));
}

int Channel(std::uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

bool NearWhite(std::uint32_t p) {
  return Channel(p, 16) >= 224 && Channel(p, 8) >= 224 && Channel(p, 0) >= 224;
}
bool NearBlack(std::uint32_t p) {
  return Channel(p, 16) <= 31 && Channel(p, 8) <= 31 && Channel(p, 0) <= 31;
}
bool NearRed(std::uint32_t p) {
  return Channel(p, 16) >= 224 && Channel(p, 8) <= 31 && Channel(p, 0) <= 31;
}

struct PictureRow {
  const char* name;
  int width;
  int height;
  std::uint32_t key;
  bool (*near_key)(std::uint32_t);
};

const PictureRow kPictures[] = {
    {"POSES0", 768, 64, kWhite, NearWhite},    {"POSES1", 768, 64, kWhite, NearWhite},
    {"POSES2", 768, 64, kWhite, NearWhite},    {"SPARKLE", 64, 64, kWhite, NearWhite},
    {"CELEBRATION", 136, 201, kBlack, NearBlack}, {"BALLOON", 131, 72, kRed, NearRed},
};

class PictureTest : public ::testing::TestWithParam<PictureRow> {};

TEST_P(PictureTest, HasItsSizeAndAKeyedBackground) {
  const PictureRow row = GetParam();
  const std::optional<Bitmap> picture = Picture(row.name);
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width, row.width);
  EXPECT_EQ(picture->height, row.height);
  const int right = picture->width - 1;
  const int bottom = picture->height - 1;
  EXPECT_EQ(picture->at(0, 0), row.key);
  EXPECT_EQ(picture->at(right, 0), row.key);
  EXPECT_EQ(picture->at(0, bottom), row.key);
  EXPECT_EQ(picture->at(right, bottom), row.key);
}

TEST_P(PictureTest, DrawingStaysClearOfTheKey) {
  const PictureRow row = GetParam();
  const std::optional<Bitmap> picture = Picture(row.name);
  ASSERT_TRUE(picture.has_value());
  int drawn = 0;
  int near_key = 0;
  for (std::uint32_t p : picture->pixels()) {
    if (p == row.key) continue;
    ++drawn;
    if (row.near_key(p)) ++near_key;
  }
  EXPECT_GT(drawn, 0);
  EXPECT_EQ(near_key, 0);
}

INSTANTIATE_TEST_SUITE_P(Placeholders, PictureTest, ::testing::ValuesIn(kPictures),
                         [](const auto& info) { return std::string(info.param.name); });

constexpr int kCell = 64;

Bitmap Pose(const Bitmap& sheet, int index) { return sheet.Crop(index * kCell, 0, kCell, kCell); }

class PoseSheetTest : public ::testing::TestWithParam<const char*> {};

TEST_P(PoseSheetTest, EveryCellHoldsAFigure) {
  const std::optional<Bitmap> sheet = Picture(GetParam());
  ASSERT_TRUE(sheet.has_value());
  for (int i = 0; i < 12; ++i) {
    const Bitmap pose = Pose(*sheet, i);
    const auto drawn = std::count_if(pose.pixels().begin(), pose.pixels().end(),
                                     [](std::uint32_t p) { return p != kWhite; });
    // A little figure, not a stray dot, and not a filled cell either.
    EXPECT_GT(drawn, 300) << "pose " << i;
    EXPECT_LT(drawn, kCell * kCell / 2) << "pose " << i;
    // Nothing touches the cell's sides, so neighbouring poses never run into each other.
    for (int k = 0; k < kCell; ++k) {
      EXPECT_EQ(pose.at(0, k), kWhite) << "pose " << i;
      EXPECT_EQ(pose.at(kCell - 1, k), kWhite) << "pose " << i;
    }
  }
}

TEST_P(PoseSheetTest, StepsStandingAndFacingsDiffer) {
  const std::optional<Bitmap> sheet = Picture(GetParam());
  ASSERT_TRUE(sheet.has_value());
  for (int a = 0; a < 12; ++a) {
    for (int b = a + 1; b < 12; ++b) {
      EXPECT_NE(Pose(*sheet, a), Pose(*sheet, b)) << "poses " << a << " and " << b;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sheets, PoseSheetTest, ::testing::Values("POSES0", "POSES1", "POSES2"));

TEST(PoseSheets, ColourSetsDiffer) {
  const std::optional<Bitmap> set0 = Picture("POSES0");
  const std::optional<Bitmap> set1 = Picture("POSES1");
  const std::optional<Bitmap> set2 = Picture("POSES2");
  ASSERT_TRUE(set0 && set1 && set2);
  EXPECT_NE(*set0, *set1);
  EXPECT_NE(*set0, *set2);
  EXPECT_NE(*set1, *set2);
}

}  // namespace
}  // namespace zumbolo
