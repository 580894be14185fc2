// The committed pictures and icons: nothing drawn may come near a picture's transparent key,
// the figures are outlined in a dark colour and stand on one baseline, and the icon exists in
// every size the desktop and the Windows build ask for.

#include "engine/bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zumbolo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& relative) {
  std::ifstream in(std::string(ZUMBOLO_SOURCE_DIR) + "/" + relative, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<Bitmap> ReadPicture(const std::string& name) {
  const Bytes bytes = ReadFile("assets/pictures/" + name);
  return DecodeBmp(bytes);
}

int R(std::uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
int G(std::uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
int B(std::uint32_t p) { return static_cast<int>(p & 0xFF); }

// How close counts as too close to each key.
bool NearWhite(std::uint32_t p) { return R(p) >= 224 && G(p) >= 224 && B(p) >= 224; }
bool NearBlack(std::uint32_t p) { return R(p) <= 31 && G(p) <= 31 && B(p) <= 31; }
bool NearRed(std::uint32_t p) { return R(p) >= 200 && G(p) <= 60 && B(p) <= 60; }

struct Piece {
  const char* file;
  int cell;  // for the pose sheets the pose 0..11, else -1 for the whole picture
  std::uint32_t key;
  bool (*near_key)(std::uint32_t);
};

std::string Name(const Piece& piece) {
  std::string name(piece.file);
  name = name.substr(0, name.find('.'));
  if (piece.cell >= 0) name += "_pose" + std::to_string(piece.cell);
  return name;
}

void PrintTo(const Piece& piece, std::ostream* os) { *os << Name(piece); }

std::vector<Piece> AllPieces() {
  std::vector<Piece> pieces;
  for (const char* sheet : {"poses0.bmp", "poses1.bmp", "poses2.bmp"}) {
    for (int pose = 0; pose < 12; ++pose) pieces.push_back({sheet, pose, kWhite, NearWhite});
  }
  pieces.push_back({"sparkle.bmp", -1, kWhite, NearWhite});
  pieces.push_back({"celebration.bmp", -1, kBlack, NearBlack});
  pieces.push_back({"balloon.bmp", -1, kRed, NearRed});
  return pieces;
}

constexpr int kCell = 64;

std::optional<Bitmap> Load(const Piece& piece) {
  std::optional<Bitmap> picture = ReadPicture(piece.file);
  if (picture && piece.cell >= 0) return picture->Crop(piece.cell * kCell, 0, kCell, kCell);
  return picture;
}

class ArtPieceTest : public ::testing::TestWithParam<Piece> {};

TEST_P(ArtPieceTest, EveryDrawnPixelIsFarFromTheKey) {
  const Piece piece = GetParam();
  const std::optional<Bitmap> picture = Load(piece);
  ASSERT_TRUE(picture.has_value()) << piece.file;
  int drawn = 0;
  int near_key = 0;
  for (int y = 0; y < picture->height; ++y) {
    for (int x = 0; x < picture->width; ++x) {
      const std::uint32_t p = picture->at(x, y);
      if (p == piece.key) continue;
      ++drawn;
      if (piece.near_key(p)) {
        if (near_key == 0) ADD_FAILURE() << "first at (" << x << ", " << y << "): " << std::hex << p;
        ++near_key;
      }
    }
  }
  EXPECT_GT(drawn, 0);
  EXPECT_EQ(near_key, 0);
}

INSTANTIATE_TEST_SUITE_P(Art, ArtPieceTest, ::testing::ValuesIn(AllPieces()),
                         [](const auto& info) { return Name(info.param); });

// ---------------------------------------------------------------------------------------------
// The figures.

bool Dark(std::uint32_t p) { return R(p) <= 100 && G(p) <= 100 && B(p) <= 100; }

class ArtFigureTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ArtFigureTest, EveryPixelBesideTheKeyIsDarkOutline) {
  const std::optional<Bitmap> sheet = ReadPicture(GetParam());
  ASSERT_TRUE(sheet.has_value());
  for (int pose = 0; pose < 12; ++pose) {
    const Bitmap cell = sheet->Crop(pose * kCell, 0, kCell, kCell);
    int light_edges = 0;
    for (int y = 0; y < kCell; ++y) {
      for (int x = 0; x < kCell; ++x) {
        const std::uint32_t p = cell.at(x, y);
        if (p == kWhite) continue;
        const bool beside_key = (x > 0 && cell.at(x - 1, y) == kWhite) ||
                                (x < kCell - 1 && cell.at(x + 1, y) == kWhite) ||
                                (y > 0 && cell.at(x, y - 1) == kWhite) ||
                                (y < kCell - 1 && cell.at(x, y + 1) == kWhite);
        if (beside_key && !Dark(p)) ++light_edges;
      }
    }
    EXPECT_EQ(light_edges, 0) << "pose " << pose;
  }
}

struct Extent {
  int top = kCell;
  int bottom = -1;
};

Extent Rows(const Bitmap& cell) {
  Extent e;
  for (int y = 0; y < cell.height; ++y) {
    for (int x = 0; x < cell.width; ++x) {
      if (cell.at(x, y) == kWhite) continue;
      e.top = std::min(e.top, y);
      e.bottom = std::max(e.bottom, y);
    }
  }
  return e;
}

// The spin turns the figures on the spot: whatever the facing or step, the feet stay on one
// line, and the figure is a little girl of 40 to 56 pixels.
TEST_P(ArtFigureTest, FeetShareOneBaselineAndTheHeightFits) {
  const std::optional<Bitmap> sheet = ReadPicture(GetParam());
  ASSERT_TRUE(sheet.has_value());
  const int baseline = Rows(sheet->Crop(1 * kCell, 0, kCell, kCell)).bottom;  // standing, front
  EXPECT_LT(baseline, kCell - 1);
  for (int pose = 0; pose < 12; ++pose) {
    const Extent e = Rows(sheet->Crop(pose * kCell, 0, kCell, kCell));
    EXPECT_EQ(e.bottom, baseline) << "pose " << pose;
    EXPECT_GT(e.top, 0) << "pose " << pose;
    const int height = e.bottom - e.top + 1;
    EXPECT_GE(height, 40) << "pose " << pose;
    EXPECT_LE(height, 56) << "pose " << pose;
  }
}

INSTANTIATE_TEST_SUITE_P(Art, ArtFigureTest,
                         ::testing::Values("poses0.bmp", "poses1.bmp", "poses2.bmp"),
                         [](const auto& info) {
                           std::string name(info.param);
                           return name.substr(0, name.find('.'));
                         });

// ---------------------------------------------------------------------------------------------
// The icon.

std::uint32_t Big32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

class ArtIconTest : public ::testing::TestWithParam<int> {};

TEST_P(ArtIconTest, PngOfItsSizeWithAlpha) {
  const int size = GetParam();
  const Bytes png = ReadFile("assets/icons/zumbolo-" + std::to_string(size) + ".png");
  // Signature, then the IHDR chunk: length 13, type, width, height, depth, colour type.
  ASSERT_GE(png.size(), 8u + 8u + 13u) << "missing or cut short";
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
  EXPECT_EQ(Big32(png, 8), 13u);
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
  EXPECT_EQ(Big32(png, 16), static_cast<std::uint32_t>(size));
  EXPECT_EQ(Big32(png, 20), static_cast<std::uint32_t>(size));
  const int colour_type = png[25];
  EXPECT_TRUE(colour_type == 6 || colour_type == 4) << "colour type " << colour_type
                                                    << " has no alpha channel";
}

INSTANTIATE_TEST_SUITE_P(Art, ArtIconTest, ::testing::ValuesIn(kIconSizes),
                         [](const auto& info) { return "px" + std::to_string(info.param); });

// The Windows icon file: a directory of 16-byte entries after a 6-byte header; a width byte of
// 0 stands for 256.
TEST(ArtIcon, WindowsIconHoldsEverySize) {
  const Bytes ico = ReadFile("assets/icons/zumbolo.ico");
  ASSERT_GE(ico.size(), 6u);
  EXPECT_EQ(ico[0] | (ico[1] << 8), 0);
  EXPECT_EQ(ico[2] | (ico[3] << 8), 1);
  const int count = ico[4] | (ico[5] << 8);
  ASSERT_GE(ico.size(), 6u + 16u * static_cast<std::size_t>(count));
  std::vector<int> sizes;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* entry = ico.data() + 6 + 16 * i;
    EXPECT_EQ(entry[0], entry[1]) << "entry " << i << " is not square";
    sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
  }
  for (int size : kIconSizes) {
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), size), sizes.end()) << size << " px";
  }
}

}  // namespace
}  // namespace zumbolo
