#include "engine/bitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace zumbolo {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
std::uint32_t Get16(const Bytes& b, std::size_t at) { return b[at] | (b[at + 1] << 8); }
std::uint32_t Get32(const Bytes& b, std::size_t at) { return Get16(b, at) | (Get16(b, at + 2) << 16); }

// A 2 x 2 picture, 24 bits, bottom-up: red, white over blue, green. Rows are 6 bytes of blue,
// green, red triples and two bytes of padding.
const Bytes kBottomUp2x2 = {
    'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,            // file header
    40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,           // size, width, height, planes, bits
    0, 0, 0, 0, 16, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0,  // compression, image size, dpi
    0, 0, 0, 0, 0, 0, 0, 0,                                     // palette
    0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0, 0,                   // bottom row: blue, green
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0,                   // top row: red, white
};

// The same picture stored top row first, which a negative height announces.
Bytes TopDown2x2() {
  Bytes b = kBottomUp2x2;
  Put32(b, 22, static_cast<std::uint32_t>(-2));
  std::copy(kBottomUp2x2.begin() + 62, kBottomUp2x2.begin() + 70, b.begin() + 54);
  std::copy(kBottomUp2x2.begin() + 54, kBottomUp2x2.begin() + 62, b.begin() + 62);
  return b;
}

void ExpectThe2x2(const std::optional<Bitmap>& picture) {
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width, 2);
  EXPECT_EQ(picture->height, 2);
  ASSERT_EQ(picture->pixels().size(), 4u);
  EXPECT_EQ(picture->at(0, 0), 0xFF0000u);
  EXPECT_EQ(picture->at(1, 0), 0xFFFFFFu);
  EXPECT_EQ(picture->at(0, 1), 0x0000FFu);
  EXPECT_EQ(picture->at(1, 1), 0x00FF00u);
}

// A picture whose every pixel differs from its neighbours.
Bitmap Pattern(int width, int height) {
  Bitmap b = Bitmap::Filled(width, height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      b.at(x, y) = static_cast<std::uint32_t>(((x * 37 + 11) & 0xFF) << 16 |
                                              ((y * 53 + 7) & 0xFF) << 8 | ((x + y * 5) & 0xFF));
    }
  }
  return b;
}

// Any picture that comes back must be a consistent one, no larger than the data could hold.
void ExpectSane(const std::optional<Bitmap>& picture, std::size_t size) {
  if (!picture) return;
  EXPECT_GT(picture->width, 0);
  EXPECT_GT(picture->height, 0);
  EXPECT_EQ(picture->pixels().size(),
            static_cast<std::size_t>(picture->width) * static_cast<std::size_t>(picture->height));
  EXPECT_LE(picture->pixels().size() * 3, size);
}

// ---------------------------------------------------------------------------------------------
// Reading.

TEST(DecodeBmp, ReadsBottomUpRowsWithPadding) { ExpectThe2x2(DecodeBmp(kBottomUp2x2)); }

TEST(DecodeBmp, TopDownDecodesLikeBottomUp) {
  ExpectThe2x2(DecodeBmp(TopDown2x2()));
  EXPECT_EQ(DecodeBmp(TopDown2x2()), DecodeBmp(kBottomUp2x2));
}

TEST(DecodeBmp, ReadsThirtyTwoBitPixelsIgnoringTheFourthByte) {
  Bytes b(54 + 16, 0);
  std::copy(kBottomUp2x2.begin(), kBottomUp2x2.begin() + 54, b.begin());
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put16(b, 28, 32);
  Put32(b, 34, 16);
  // Bottom row: blue, green; top row: red, white; no padding at four bytes a pixel.
  const std::uint8_t data[] = {0xFF, 0x00, 0x00, 0x80, 0x00, 0xFF, 0x00, 0xFF,
                               0x00, 0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x00};
  std::copy(std::begin(data), std::end(data), b.begin() + 54);
  ExpectThe2x2(DecodeBmp(b));
}

TEST(DecodeBmp, HonoursThePixelOffsetAndALongerInfoHeader) {
  // A 108-byte (version 4) header and a gap before the pixels.
  Bytes b(14 + 108 + 6 + 16, 0);
  std::copy(kBottomUp2x2.begin(), kBottomUp2x2.begin() + 54, b.begin());
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, 14 + 108 + 6);
  Put32(b, 14, 108);
  std::copy(kBottomUp2x2.begin() + 54, kBottomUp2x2.end(), b.begin() + 14 + 108 + 6);
  ExpectThe2x2(DecodeBmp(b));
}

TEST(DecodeBmp, ToleratesAMissingLastRowPadding) {
  Bytes b(kBottomUp2x2.begin(), kBottomUp2x2.end() - 2);
  ExpectThe2x2(DecodeBmp(b));
}

TEST(DecodeBmp, RejectsOtherKindsOfFile) {
  struct Change {
    const char* what;
    std::size_t at;
    int bytes;
    std::uint32_t value;
  };
  const Change changes[] = {
      {"magic", 0, 2, 'B' | ('A' << 8)},
      {"8 bits per pixel", 28, 2, 8},
      {"16 bits per pixel", 28, 2, 16},
      {"1 bit per pixel", 28, 2, 1},
      {"run-length compressed", 30, 4, 1},
      {"bit fields", 30, 4, 3},
      {"no planes", 26, 2, 0},
      {"core header", 14, 4, 12},
      {"header larger than the file", 14, 4, 1000},
      {"zero width", 18, 4, 0},
      {"negative width", 18, 4, static_cast<std::uint32_t>(-2)},
      {"zero height", 22, 4, 0},
      {"absurd width", 18, 4, 0x7FFFFFFF},
      {"absurd height", 22, 4, 0x7FFFFFFF},
      {"absurd top-down height", 22, 4, 0x80000000},
      {"absurd both", 18, 4, 0x10000},
      {"pixels past the end", 10, 4, 71},
      {"pixels inside the header", 10, 4, 20},
      {"pixels far past the end", 10, 4, 0xFFFFFFF0},
  };
  for (const Change& c : changes) {
    Bytes b = kBottomUp2x2;
    if (c.bytes == 2) {
      Put16(b, c.at, c.value);
    } else {
      Put32(b, c.at, c.value);
    }
    if (std::string_view(c.what) == "absurd both") Put32(b, 22, 0x10000);
    EXPECT_FALSE(DecodeBmp(b).has_value()) << c.what;
  }
}

TEST(DecodeBmp, RejectsTruncatedFiles) {
  const Bytes full = EncodeBmp(Pattern(5, 4));
  // Rows are 15 bytes and a byte of padding; everything before the last pixel must be there.
  const std::size_t needed = 54 + 16 * 3 + 15;
  ASSERT_EQ(full.size(), needed + 1);
  for (std::size_t cut = 0; cut < needed; ++cut) {
    const Bytes part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_FALSE(DecodeBmp(part).has_value()) << cut;
  }
}

TEST(DecodeBmp, RandomBytesAreHandled) {
  std::mt19937 random(4242);
  for (int round = 0; round < 500; ++round) {
    Bytes b(random() % 400);
    for (auto& v : b) v = static_cast<std::uint8_t>(random());
    if (b.size() >= 54 && round % 2 == 0) {
      // A plausible header with random sizes, so the size checks are what is tested.
      b[0] = 'B';
      b[1] = 'M';
      Put32(b, 10, 54 + random() % 8);
      Put32(b, 14, 40);
      const int width = static_cast<int>(random() % 200) - 20;
      const int height = static_cast<int>(random() % 200) - 100;
      Put32(b, 18, static_cast<std::uint32_t>(round % 4 == 0 ? width * 100000 : width));
      Put32(b, 22, static_cast<std::uint32_t>(height));
      Put16(b, 26, 1);
      Put16(b, 28, random() % 2 ? 24 : 32);
      Put32(b, 30, 0);
    }
    ExpectSane(DecodeBmp(b), b.size());
  }
}

TEST(DecodeBmp, DamagedHeadersAreHandled) {
  const Bytes good = EncodeBmp(Pattern(7, 5));
  std::mt19937 random(99);
  for (int round = 0; round < 500; ++round) {
    Bytes b = good;
    for (int k = 0; k < 3; ++k) b[random() % 54] = static_cast<std::uint8_t>(random());
    b.resize(b.size() - random() % 40);
    ExpectSane(DecodeBmp(b), b.size());
  }
}

// ---------------------------------------------------------------------------------------------
// Writing.

TEST(EncodeBmp, WritesABottomUpTwentyFourBitFile) {
  const Bitmap picture = Pattern(5, 3);
  const Bytes b = EncodeBmp(picture);
  // 5 pixels of 3 bytes, padded to 16 bytes a row.
  ASSERT_EQ(b.size(), 54u + 16 * 3);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Get32(b, 2), b.size());
  EXPECT_EQ(Get32(b, 10), 54u);
  EXPECT_EQ(Get32(b, 14), 40u);
  EXPECT_EQ(Get32(b, 18), 5u);
  EXPECT_EQ(Get32(b, 22), 3u);  // positive: bottom-up
  EXPECT_EQ(Get16(b, 26), 1u);
  EXPECT_EQ(Get16(b, 28), 24u);
  EXPECT_EQ(Get32(b, 30), 0u);
  // The first row stored is the bottom one, blue first.
  const std::uint32_t bottom_left = picture.at(0, 2);
  EXPECT_EQ(b[54], bottom_left & 0xFF);
  EXPECT_EQ(b[55], (bottom_left >> 8) & 0xFF);
  EXPECT_EQ(b[56], (bottom_left >> 16) & 0xFF);
  const std::uint32_t top_right = picture.at(4, 0);
  EXPECT_EQ(b[54 + 32 + 12], top_right & 0xFF);
  EXPECT_EQ(b[54 + 32 + 14], (top_right >> 16) & 0xFF);
  EXPECT_EQ(b[54 + 15], 0);  // padding
}

TEST(EncodeBmp, RoundTripsThroughDecodeBmp) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{3, 7}, std::pair{4, 1},
                      std::pair{5, 3}, std::pair{64, 64}, std::pair{131, 72}}) {
    const Bitmap picture = Pattern(w, h);
    const std::optional<Bitmap> back = DecodeBmp(EncodeBmp(picture));
    ASSERT_TRUE(back.has_value()) << w << "x" << h;
    EXPECT_EQ(*back, picture) << w << "x" << h;
  }
}

TEST(EncodeBmp, RewritingTheExampleGivesTheSameBytesOfPixels) {
  const std::optional<Bitmap> picture = DecodeBmp(kBottomUp2x2);
  ASSERT_TRUE(picture.has_value());
  const Bytes b = EncodeBmp(*picture);
  ASSERT_EQ(b.size(), kBottomUp2x2.size());
  EXPECT_TRUE(std::equal(b.begin() + 54, b.end(), kBottomUp2x2.begin() + 54));
}

// ---------------------------------------------------------------------------------------------
// Helpers.

TEST(Bitmap, FilledHasTheSizeAndColour) {
  const Bitmap b = Bitmap::Filled(3, 2, 0x123456);
  EXPECT_EQ(b.width, 3);
  EXPECT_EQ(b.height, 2);
  ASSERT_EQ(b.pixels().size(), 6u);
  for (std::uint32_t p : b.pixels()) EXPECT_EQ(p, 0x123456u);
  EXPECT_FALSE(b.empty());
  EXPECT_TRUE(Bitmap::Filled(0, 5, kWhite).empty());
  EXPECT_TRUE(Bitmap::Filled(4, 0, kWhite).empty());
  EXPECT_TRUE(Bitmap::Filled(-1, 3, kWhite).empty());
}

TEST(Bitmap, CropInside) {
  const Bitmap picture = Pattern(6, 5);
  const Bitmap piece = picture.Crop(2, 1, 3, 2);
  ASSERT_EQ(piece.width, 3);
  ASSERT_EQ(piece.height, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(piece.at(x, y), picture.at(x + 2, y + 1));
  }
  EXPECT_EQ(picture.Crop(0, 0, 6, 5), picture);
}

TEST(Bitmap, CropFillsWhatLiesOutside) {
  const Bitmap picture = Pattern(4, 4);
  const Bitmap piece = picture.Crop(-1, 2, 3, 4, 0xABCDEF);
  ASSERT_EQ(piece.width, 3);
  ASSERT_EQ(piece.height, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 3; ++x) {
      const bool inside = x >= 1 && y < 2;
      EXPECT_EQ(piece.at(x, y), inside ? picture.at(x - 1, y + 2) : 0xABCDEFu) << x << "," << y;
    }
  }
  // Entirely outside, and with the default colour.
  EXPECT_EQ(picture.Crop(10, -20, 2, 2), Bitmap::Filled(2, 2, kWhite));
  EXPECT_EQ(picture.Crop(-2, -2, 2, 2), Bitmap::Filled(2, 2, kWhite));
  // Far away, where careless sums would overflow.
  EXPECT_EQ(picture.Crop(2147483000, 2147483000, 2, 2), Bitmap::Filled(2, 2, kWhite));
  EXPECT_EQ(picture.Crop(-2147483000, 0, 2, 2, kBlack), Bitmap::Filled(2, 2, kBlack));
}

TEST(Bitmap, DrawTransparentSkipsTheKeyAndClips) {
  Bitmap canvas = Bitmap::Filled(3, 3, 0x111111);
  Bitmap picture = Bitmap::Filled(2, 4, 0x222222);
  picture.at(1, 0) = kWhite;
  picture.at(0, 3) = 0x333333;  // below the canvas
  canvas.DrawTransparent(picture, kWhite);
  const std::uint32_t expected[3][3] = {
      {0x222222, 0x111111, 0x111111},
      {0x222222, 0x222222, 0x111111},
      {0x222222, 0x222222, 0x111111},
  };
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(canvas.at(x, y), expected[y][x]) << x << "," << y;
  }

  // A picture wider than the canvas is cut at its right edge.
  Bitmap narrow = Bitmap::Filled(1, 2, 0x111111);
  Bitmap wide = Bitmap::Filled(5, 1, 0x444444);
  narrow.DrawTransparent(wide, kRed);
  EXPECT_EQ(narrow.at(0, 0), 0x444444u);
  EXPECT_EQ(narrow.at(0, 1), 0x111111u);
}

TEST(Bitmap, ACopyIsChangedWithoutTheOriginal) {
  const Bitmap original = Bitmap::Filled(2, 2, 0x111111);
  Bitmap written = original;
  written.at(1, 1) = 0x222222;
  Bitmap drawn_over = original;
  drawn_over.DrawTransparent(Bitmap::Filled(1, 1, 0x333333), kWhite);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) EXPECT_EQ(original.at(x, y), 0x111111u) << x << "," << y;
  }
  EXPECT_EQ(written.at(1, 1), 0x222222u);
  EXPECT_EQ(written.at(0, 0), 0x111111u);
  EXPECT_EQ(drawn_over.at(0, 0), 0x333333u);
  EXPECT_EQ(drawn_over.at(1, 0), 0x111111u);
}

TEST(Bitmap, EqualityComparesSizesAndColours) {
  EXPECT_EQ(Bitmap::Filled(2, 3, 0x123456), Bitmap::Filled(2, 3, 0x123456));
  EXPECT_NE(Bitmap::Filled(2, 3, 0x123456), Bitmap::Filled(3, 2, 0x123456));
  EXPECT_NE(Bitmap::Filled(2, 3, 0x123456), Bitmap::Filled(2, 3, 0x123457));
  Bitmap changed = Bitmap::Filled(2, 3, 0x123456);
  const Bitmap before = changed;
  EXPECT_EQ(changed, before);
  changed.at(1, 2) = 0;
  EXPECT_NE(changed, before);
  EXPECT_EQ(Bitmap(), Bitmap::Filled(0, 0, kWhite));
}

}  // namespace
}  // namespace zumbolo
