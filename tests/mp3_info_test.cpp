#include "sound/mp3_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace zumbolo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes ReadTrack(const std::string& name) {
  return ReadFile(std::string(ZUMBOLO_SOURCE_DIR) + "/assets/tracks/" + name + ".mp3");
}

std::uint32_t BigEndian32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | std::uint32_t{b[at + 3]};
}

// A frame header from its fields as they sit in the four bytes.
struct HeaderBits {
  int version = 3;        // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  int layer = 1;          // 1 Layer III, 2 Layer II, 3 Layer I
  int bitrate_index = 9;  // 128 kbit/s for MPEG-1 Layer III
  int rate_index = 0;     // 44 100 Hz for MPEG-1
  int padding = 0;
  int mode = 1;  // joint stereo
  bool crc = false;
};

void AppendFrame(Bytes& out, const HeaderBits& h, std::size_t length) {
  const std::size_t start = out.size();
  out.push_back(0xFF);
  out.push_back(static_cast<std::uint8_t>(0xE0 | (h.version << 3) | (h.layer << 1) | (h.crc ? 0 : 1)));
  out.push_back(static_cast<std::uint8_t>((h.bitrate_index << 4) | (h.rate_index << 2) | (h.padding << 1)));
  out.push_back(static_cast<std::uint8_t>(h.mode << 6));
  out.resize(start + length, 0);
}

// A header frame: `tag` ("Xing" or "Info") at `offset` into a frame of `length` bytes, with the
// frames flag and `frames` when frames >= 0.
void AppendTagFrame(Bytes& out, const HeaderBits& h, std::size_t length, std::size_t offset,
                    const char* tag, std::int64_t frames) {
  const std::size_t start = out.size();
  AppendFrame(out, h, length);
  std::uint8_t* p = out.data() + start + offset;
  std::copy(tag, tag + 4, p);
  p[7] = frames >= 0 ? 0x01 : 0x00;
  if (frames >= 0) {
    p[8] = static_cast<std::uint8_t>(frames >> 24);
    p[9] = static_cast<std::uint8_t>(frames >> 16);
    p[10] = static_cast<std::uint8_t>(frames >> 8);
    p[11] = static_cast<std::uint8_t>(frames);
  }
}

// What any result must look like, whatever the input.
void ExpectSane(const std::optional<Mp3Info>& info, std::size_t size) {
  if (!info) return;
  EXPECT_GE(info->layer, 1);
  EXPECT_LE(info->layer, 3);
  static const int kRates[] = {44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000};
  EXPECT_NE(std::find(std::begin(kRates), std::end(kRates), info->sample_rate), std::end(kRates));
  EXPECT_GE(info->channel_mode, 0);
  EXPECT_LE(info->channel_mode, 3);
  EXPECT_GE(info->bitrate_kbps, 8);
  EXPECT_LE(info->bitrate_kbps, 448);
  EXPECT_GE(info->audio_frames, 0);
  // No frame is shorter than 24 bytes (MPEG-2 Layer III, 8 kbit/s, 24 000 Hz).
  EXPECT_LE(static_cast<std::size_t>(info->audio_frames) * 24, size);
  EXPECT_LE(info->id3v2_size, size);
  EXPECT_TRUE(std::isfinite(info->duration_seconds()));
  EXPECT_GE(info->duration_seconds(), 0.0);
}

// ---------------------------------------------------------------------------------------------
// The committed tracks: an ID3v2 tag (title, artist "Zumbolo!"), the Info frame, the audio.

struct TrackRow {
  const char* name;
  std::int64_t frames;
  int kbps;
};

const TrackRow kTracks[] = {
    {"kokab", 86, 128}, {"eye", 90, 192},  {"bgm", 4695, 128},   {"tell", 8021, 128},
    {"fun", 2804, 128}, {"rad", 7022, 128}, {"spring", 5705, 128},
};

class TrackTest : public ::testing::TestWithParam<TrackRow> {};

TEST_P(TrackTest, HasTheListedFormatAndFrameCount) {
  const TrackRow row = GetParam();
  const Bytes bytes = ReadTrack(row.name);
  ASSERT_FALSE(bytes.empty()) << row.name;

  const std::optional<Mp3Info> info = ReadMp3Info(bytes);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->version, 1);
  EXPECT_EQ(info->layer, 3);
  EXPECT_EQ(info->sample_rate, 44100);
  EXPECT_EQ(info->channel_mode, 1);
  EXPECT_EQ(info->bitrate_kbps, row.kbps);
  EXPECT_TRUE(info->constant_bitrate);
  EXPECT_TRUE(info->has_info_frame);
  EXPECT_EQ(info->info_frame_count, row.frames);
  EXPECT_EQ(info->audio_frames, row.frames);
  EXPECT_EQ(info->samples_per_frame, 1152);
  EXPECT_GT(info->id3v2_size, 10u);
  EXPECT_NEAR(info->duration_seconds(), row.frames * 1152.0 / 44100.0, 1e-9);
}

// The size of the ID3v2 tag in front: its 10-byte header says the rest in 7-bit bytes.
std::size_t TagSize(const Bytes& bytes) {
  if (bytes.size() < 10 || std::string(bytes.begin(), bytes.begin() + 3) != "ID3") return 0;
  return 10 + ((std::size_t{bytes[6]} << 21) | (std::size_t{bytes[7]} << 14) | (std::size_t{bytes[8]} << 7) |
               std::size_t{bytes[9]});
}

TEST_P(TrackTest, CarriesATitleAndZumboloAsArtist) {
  const TrackRow row = GetParam();
  const Bytes bytes = ReadTrack(row.name);
  const std::size_t tag = TagSize(bytes);
  ASSERT_GT(tag, 10u) << row.name;
  ASSERT_LE(tag, bytes.size());
  const std::string text(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(tag));
  EXPECT_NE(text.find("TIT2"), std::string::npos);
  const std::size_t artist = text.find("TPE1");
  ASSERT_NE(artist, std::string::npos);
  // In Latin-1, or in UTF-16 little-endian after its byte-order mark.
  std::string utf16;
  for (char c : std::string("Zumbolo!")) utf16 += std::string{c, '\0'};
  EXPECT_TRUE(text.find("Zumbolo!", artist) != std::string::npos ||
              text.find("\xFF\xFE" + utf16, artist) != std::string::npos);
}

TEST_P(TrackTest, BytesAgreeWithTheFormatWithoutTheReader) {
  const TrackRow row = GetParam();
  const Bytes whole = ReadTrack(row.name);
  const Bytes bytes(whole.begin() + static_cast<std::ptrdiff_t>(TagSize(whole)), whole.end());
  ASSERT_GT(bytes.size(), 48u);
  // After the tag: MPEG-1 Layer III without CRC, 44 100 Hz, joint stereo.
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFB);
  EXPECT_EQ((bytes[2] >> 2) & 3, 0);
  EXPECT_EQ(bytes[3] >> 6, 1);
  // "Info" after the 4-byte header and 32 bytes of stereo side information; flags, then the count.
  EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "Info");
  EXPECT_EQ(BigEndian32(bytes, 40) & 1, 1u);
  EXPECT_EQ(BigEndian32(bytes, 44), static_cast<std::uint32_t>(row.frames));
  // The header frame and every audio frame are 144 * bit rate / 44 100 bytes, plus padding.
  const std::size_t low = 144 * row.kbps * 1000 / 44100;
  const std::size_t frames = static_cast<std::size_t>(row.frames) + 1;
  EXPECT_GE(bytes.size(), frames * low);
  EXPECT_LE(bytes.size(), frames * (low + 1));
}

INSTANTIATE_TEST_SUITE_P(Tracks, TrackTest, ::testing::ValuesIn(kTracks),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Frame layouts.

struct LayoutCase {
  const char* label;
  HeaderBits bits;
  std::size_t length;  // bytes a frame
  int version;
  int layer;
  int sample_rate;
  int kbps;
  int samples;
};

class FrameLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(FrameLayoutTest, WalksAStreamOfSuchFrames) {
  const LayoutCase c = GetParam();
  Bytes stream;
  for (int i = 0; i < 7; ++i) AppendFrame(stream, c.bits, c.length);

  const std::optional<Mp3Info> info = ReadMp3Info(stream);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->audio_frames, 7);
  EXPECT_EQ(info->layer, c.layer);
  if (c.version != 0) {
    EXPECT_EQ(info->version, c.version);
  }
  EXPECT_EQ(info->sample_rate, c.sample_rate);
  EXPECT_EQ(info->bitrate_kbps, c.kbps);
  EXPECT_EQ(info->samples_per_frame, c.samples);
  EXPECT_FALSE(info->has_info_frame);
  EXPECT_EQ(info->info_frame_count, -1);
  EXPECT_NEAR(info->duration_seconds(), 7.0 * c.samples / c.sample_rate, 1e-9);
}

// Lengths: Layer I 4 * (12 * bit rate / rate + padding); Layer II and MPEG-1 Layer III
// 144 * bit rate / rate + padding; MPEG-2 and 2.5 Layer III 72 * bit rate / rate + padding.
const LayoutCase kLayouts[] = {
    {"Mpeg1Layer3", {3, 1, 9, 0, 0, 1, false}, 417, 1, 3, 44100, 128, 1152},
    {"Mpeg1Layer3Padded", {3, 1, 9, 0, 1, 1, false}, 418, 1, 3, 44100, 128, 1152},
    {"Mpeg1Layer3At48k", {3, 1, 14, 1, 0, 0, false}, 960, 1, 3, 48000, 320, 1152},
    {"Mpeg1Layer3Mono32k", {3, 1, 1, 2, 0, 3, false}, 144, 1, 3, 32000, 32, 1152},
    {"Mpeg1Layer2", {3, 2, 10, 1, 0, 0, false}, 576, 1, 2, 48000, 192, 1152},
    {"Mpeg1Layer1", {3, 3, 12, 1, 0, 0, false}, 384, 1, 1, 48000, 384, 384},
    {"Mpeg1Layer1Padded", {3, 3, 1, 0, 1, 0, false}, 4 * (12 * 32000 / 44100 + 1), 1, 1, 44100,
     32, 384},
    {"Mpeg2Layer3", {2, 1, 8, 0, 0, 1, false}, 208, 2, 3, 22050, 64, 576},
    {"Mpeg2Layer2", {2, 2, 8, 1, 0, 1, false}, 384, 2, 2, 24000, 64, 1152},
    {"Mpeg2Layer1Padded", {2, 3, 1, 2, 1, 3, false}, 100, 2, 1, 16000, 32, 384},
    {"Mpeg25Layer3", {0, 1, 4, 2, 0, 3, false}, 288, 0, 3, 8000, 32, 576},
    {"Mpeg25Layer3Padded", {0, 1, 14, 0, 1, 1, true}, 72 * 160000 / 11025 + 1, 0, 3, 11025, 160,
     576},
};

INSTANTIATE_TEST_SUITE_P(Layouts, FrameLayoutTest, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Mp3InfoFrames, PaddedAndUnpaddedFramesMix) {
  Bytes stream;
  HeaderBits bits;
  for (int i = 0; i < 40; ++i) {
    bits.padding = (i % 3 == 0) ? 0 : 1;
    AppendFrame(stream, bits, bits.padding ? 418 : 417);
  }
  const std::optional<Mp3Info> info = ReadMp3Info(stream);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->audio_frames, 40);
  EXPECT_TRUE(info->constant_bitrate);
}

TEST(Mp3InfoFrames, ChangingBitRateIsNotConstant) {
  Bytes stream;
  HeaderBits bits;
  bits.bitrate_index = 9;  // 128
  AppendFrame(stream, bits, 417);
  bits.bitrate_index = 11;  // 192
  AppendFrame(stream, bits, 626);
  bits.bitrate_index = 9;
  AppendFrame(stream, bits, 417);
  const std::optional<Mp3Info> info = ReadMp3Info(stream);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->audio_frames, 3);
  EXPECT_EQ(info->bitrate_kbps, 128);
  EXPECT_FALSE(info->constant_bitrate);
}

TEST(Mp3InfoFrames, GarbageInFrontIsPassedOver) {
  Bytes stream = {0x00, 0x12, 0xFF, 0xFB, 0x90, 0xFF, 0x00, 0x41};
  for (int i = 0; i < 5; ++i) AppendFrame(stream, HeaderBits{}, 417);
  const std::optional<Mp3Info> info = ReadMp3Info(stream);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->audio_frames, 5);
}

TEST(Mp3InfoFrames, WalkStopsAtAFrameOfAnotherStream) {
  Bytes stream;
  for (int i = 0; i < 4; ++i) AppendFrame(stream, HeaderBits{}, 417);
  HeaderBits other;
  other.rate_index = 1;  // 48 000 Hz
  for (int i = 0; i < 4; ++i) AppendFrame(stream, other, 384);
  const std::optional<Mp3Info> info = ReadMp3Info(stream);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->audio_frames, 4);
  EXPECT_EQ(info->sample_rate, 44100);
}

// ---------------------------------------------------------------------------------------------
// Header frames.

TEST(Mp3InfoHeaderFrame, XingFrameOfAVariableStreamIsNotAudio) {
  Bytes stream;
  HeaderBits bits;
  bits.mode = 0;
  bits.bitrate_index = 5;  // 64 kbit/s: 208 bytes
  AppendTagFrame(stream, bits, 208, 4 + 32, "Xing", 3);
  bits.bitrate_index = 9;  // 128
  AppendFrame(stream, bits, 417);
  bits.bitrate_index = 10;  // 160
  AppendFrame(stream, bits, 522);
  bits.bitrate_index = 11;  // 192
  AppendFrame(stream, bits, 626);

  const std::optional<Mp3Info> info = ReadMp3Info(stream);
  ASSERT_TRUE(info.has_value());
  EXPECT_TRUE(info->has_info_frame);
  EXPECT_EQ(info->info_frame_count, 3);
  EXPECT_EQ(info->audio_frames, 3);
  EXPECT_EQ(info->bitrate_kbps, 128);  // the first audio frame's, not the header frame's
  EXPECT_FALSE(info->constant_bitrate);
}

struct TagPlacement {
  const char* label;
  HeaderBits bits;
  std::size_t length;
  std::size_t offset;  // header, CRC and side information
};

class TagPlacementTest : public ::testing::TestWithParam<TagPlacement> {};

TEST_P(TagPlacementTest, FoundAfterTheSideInformation) {
  const TagPlacement c = GetParam();
  Bytes stream;
  AppendTagFrame(stream, c.bits, c.length, c.offset, "Info", 5);
  for (int i = 0; i < 5; ++i) AppendFrame(stream, c.bits, c.length);
  const std::optional<Mp3Info> info = ReadMp3Info(stream);
  ASSERT_TRUE(info.has_value());
  EXPECT_TRUE(info->has_info_frame);
  EXPECT_EQ(info->info_frame_count, 5);
  EXPECT_EQ(info->audio_frames, 5);
}

TEST_P(TagPlacementTest, NotFoundElsewhere) {
  const TagPlacement c = GetParam();
  for (std::size_t offset : {c.offset - 4, c.offset + 4}) {
    Bytes stream;
    AppendTagFrame(stream, c.bits, c.length, offset, "Info", 5);
    for (int i = 0; i < 5; ++i) AppendFrame(stream, c.bits, c.length);
    const std::optional<Mp3Info> info = ReadMp3Info(stream);
    ASSERT_TRUE(info.has_value());
    EXPECT_FALSE(info->has_info_frame) << "offset " << offset;
    EXPECT_EQ(info->audio_frames, 6) << "offset " << offset;
  }
}

const TagPlacement kPlacements[] = {
    {"Mpeg1Stereo", {3, 1, 9, 0, 0, 1, false}, 417, 4 + 32},
    {"Mpeg1Mono", {3, 1, 9, 0, 0, 3, false}, 417, 4 + 17},
    {"Mpeg1StereoWithCrc", {3, 1, 9, 0, 0, 0, true}, 417, 4 + 2 + 32},
    {"Mpeg2Stereo", {2, 1, 8, 0, 0, 1, false}, 208, 4 + 17},
    {"Mpeg2Mono", {2, 1, 8, 0, 0, 3, false}, 208, 4 + 9},
};

INSTANTIATE_TEST_SUITE_P(Placements, TagPlacementTest, ::testing::ValuesIn(kPlacements),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Mp3InfoHeaderFrame, WithoutTheFramesFlagTheCountIsUnknown) {
  Bytes stream;
  AppendTagFrame(stream, HeaderBits{}, 417, 36, "Info", -1);
  for (int i = 0; i < 3; ++i) AppendFrame(stream, HeaderBits{}, 417);
  const std::optional<Mp3Info> info = ReadMp3Info(stream);
  ASSERT_TRUE(info.has_value());
  EXPECT_TRUE(info->has_info_frame);
  EXPECT_EQ(info->info_frame_count, -1);
  EXPECT_EQ(info->audio_frames, 3);
}

TEST(Mp3InfoHeaderFrame, OnlyTheFirstFrameIsAHeaderFrame) {
  Bytes stream;
  for (int i = 0; i < 2; ++i) AppendFrame(stream, HeaderBits{}, 417);
  AppendTagFrame(stream, HeaderBits{}, 417, 36, "Info", 9);
  const std::optional<Mp3Info> info = ReadMp3Info(stream);
  ASSERT_TRUE(info.has_value());
  EXPECT_FALSE(info->has_info_frame);
  EXPECT_EQ(info->audio_frames, 3);
}

// ---------------------------------------------------------------------------------------------
// Tags.

Bytes Id3v2Tag(std::uint32_t size, bool footer) {
  Bytes tag = {'I', 'D', '3', 4, 0, static_cast<std::uint8_t>(footer ? 0x10 : 0x00)};
  tag.push_back(static_cast<std::uint8_t>((size >> 21) & 0x7F));
  tag.push_back(static_cast<std::uint8_t>((size >> 14) & 0x7F));
  tag.push_back(static_cast<std::uint8_t>((size >> 7) & 0x7F));
  tag.push_back(static_cast<std::uint8_t>(size & 0x7F));
  // Tag contents that would pass for MPEG-1 Layer III frames if they were read as audio.
  const std::uint8_t fake_header[4] = {0xFF, 0xFB, 0x90, 0x64};
  for (std::uint32_t i = 0; i < size; ++i) tag.push_back(i % 417 < 4 ? fake_header[i % 417] : 0);
  if (footer) {
    Bytes foot = {'3', 'D', 'I', 4, 0, 0x10, tag[6], tag[7], tag[8], tag[9]};
    tag.insert(tag.end(), foot.begin(), foot.end());
  }
  return tag;
}

TEST(Mp3InfoTags, Id3v2TagInFrontIsSkipped) {
  const Bytes track = ReadTrack("kokab");
  ASSERT_FALSE(track.empty());
  // 16 389 is 0x4005; as a syncsafe number its bytes are 00 01 00 05.
  for (auto [size, footer] : {std::pair{300u, false}, std::pair{16389u, false},
                              std::pair{1000u, true}}) {
    Bytes tagged = Id3v2Tag(size, footer);
    const std::size_t tag_size = tagged.size();
    ASSERT_EQ(tag_size, 10 + size + (footer ? 10 : 0));
    tagged.insert(tagged.end(), track.begin(), track.end());

    const std::optional<Mp3Info> info = ReadMp3Info(tagged);
    ASSERT_TRUE(info.has_value()) << size;
    EXPECT_EQ(info->id3v2_size, tag_size);
    EXPECT_TRUE(info->has_info_frame);
    EXPECT_EQ(info->info_frame_count, 86);
    EXPECT_EQ(info->audio_frames, 86);
  }
}

TEST(Mp3InfoTags, Id3v2TagLongerThanTheFileIsDamage) {
  Bytes tagged = Id3v2Tag(100, false);
  tagged[7] = 0x7F;  // now claims about two megabytes
  for (int i = 0; i < 3; ++i) AppendFrame(tagged, HeaderBits{}, 417);
  EXPECT_FALSE(ReadMp3Info(tagged).has_value());
}

TEST(Mp3InfoTags, Id3v1TagAtTheEndIsSkipped) {
  // A lone frame counts only when it ends exactly where the audio ends, that is, at the tag.
  Bytes stream;
  AppendFrame(stream, HeaderBits{}, 417);
  Bytes tag(128, ' ');
  std::copy_n("TAG", 3, tag.begin());
  stream.insert(stream.end(), tag.begin(), tag.end());
  const std::optional<Mp3Info> info = ReadMp3Info(stream);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->audio_frames, 1);

  Bytes track = ReadTrack("eye");
  ASSERT_FALSE(track.empty());
  track.insert(track.end(), tag.begin(), tag.end());
  const std::optional<Mp3Info> tagged = ReadMp3Info(track);
  ASSERT_TRUE(tagged.has_value());
  EXPECT_EQ(tagged->audio_frames, 90);
}

// ---------------------------------------------------------------------------------------------
// Data that is not (all) MPEG audio.

TEST(Mp3InfoDamage, NonAudioGivesNothing) {
  EXPECT_FALSE(ReadMp3Info({}).has_value());
  const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'm', 'p', '3'};
  EXPECT_FALSE(ReadMp3Info(text).has_value());
  EXPECT_FALSE(ReadMp3Info(Bytes(4096, 0x00)).has_value());
  EXPECT_FALSE(ReadMp3Info(Bytes(4096, 0xFF)).has_value());
  const Bytes header_only = {0xFF, 0xFB, 0x90, 0x64};
  EXPECT_FALSE(ReadMp3Info(header_only).has_value());
  // Reserved version, reserved layer, bit rate index 15, free format, rate index 3.
  // Whatever length such a frame were taken to have, it is never one.
  for (HeaderBits bad : {HeaderBits{1, 1, 9, 0}, HeaderBits{3, 0, 9, 0}, HeaderBits{3, 1, 15, 0},
                         HeaderBits{3, 1, 0, 0}, HeaderBits{3, 1, 9, 3}}) {
    for (std::size_t length = 4; length <= 1500; ++length) {
      Bytes stream;
      for (int i = 0; i < 2; ++i) AppendFrame(stream, bad, length);
      ASSERT_FALSE(ReadMp3Info(stream).has_value()) << length;
    }
  }
  // An ID3v2 tag and nothing after it.
  EXPECT_FALSE(ReadMp3Info(Id3v2Tag(64, false)).has_value());
}

TEST(Mp3InfoDamage, TruncatedTrackCountsOnlyWholeFrames) {
  const Bytes track = ReadTrack("kokab");
  ASSERT_GT(track.size(), 2000u);
  // One byte short: the last of the 86 audio frames is incomplete.
  const std::optional<Mp3Info> short_by_one =
      ReadMp3Info(std::span(track).first(track.size() - 1));
  ASSERT_TRUE(short_by_one.has_value());
  EXPECT_EQ(short_by_one->audio_frames, 85);
  EXPECT_EQ(short_by_one->info_frame_count, 86);  // what the header frame says is unchanged

  for (std::size_t cut = 0; cut < track.size(); cut += 97) {
    const std::span<const std::uint8_t> part = std::span(track).first(cut);
    const std::optional<Mp3Info> info = ReadMp3Info(part);
    ExpectSane(info, cut);
    if (!info) continue;
    // Frames are 417 or 418 bytes; the first is the header frame.
    EXPECT_LE(info->audio_frames, static_cast<std::int64_t>(cut / 417) - 1) << cut;
    EXPECT_GE(info->audio_frames, static_cast<std::int64_t>(cut / 418) - 2) << cut;
  }
}

TEST(Mp3InfoDamage, RandomBytesAreHandled) {
  std::mt19937 random(12345);
  for (int round = 0; round < 400; ++round) {
    Bytes bytes(random() % 6000);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    // Now and then, plant likely-looking headers to get further into the walk.
    if (round % 2 == 1) {
      for (int k = 0; k < 30 && bytes.size() >= 4; ++k) {
        const std::size_t at = random() % (bytes.size() - 3);
        bytes[at] = 0xFF;
        bytes[at + 1] = static_cast<std::uint8_t>(0xE0 | (random() & 0x1F));
      }
    }
    if (round % 5 == 0 && bytes.size() >= 10) std::copy_n("ID3", 3, bytes.begin());
    ExpectSane(ReadMp3Info(bytes), bytes.size());
  }
}

TEST(Mp3InfoDamage, DamagedTrackIsHandled) {
  const Bytes track = ReadTrack("eye");
  ASSERT_FALSE(track.empty());
  std::mt19937 random(777);
  for (int round = 0; round < 200; ++round) {
    Bytes damaged = track;
    const int hits = 1 + static_cast<int>(random() % 20);
    for (int k = 0; k < hits; ++k) {
      // Mostly near the start, where the header frame and the first headers are.
      const std::size_t at = (round % 2 ? random() % 700 : random() % damaged.size());
      damaged[at] = static_cast<std::uint8_t>(random());
    }
    damaged.resize(damaged.size() - random() % 1000);
    ExpectSane(ReadMp3Info(damaged), damaged.size());
  }
}

}  // namespace
}  // namespace zumbolo
