#include "sound/mp3_info.h"

#include <array>
#include <cstddef>
#include <cstring>

namespace zumbolo {

namespace {

// One decoded four-byte frame header.
struct FrameHeader {
  int version = 0;  // 1, 2, or 25 for MPEG-2.5
  int layer = 0;    // 1, 2 or 3
  bool protected_by_crc = false;
  int bitrate_kbps = 0;
  int sample_rate = 0;
  bool padding = false;
  int channel_mode = 0;
  std::size_t length = 0;  // bytes, header included
  int samples = 0;         // per channel
};

// Kilobits per second by bit rate index; index 0 ("free format") and 15 are not allowed.
constexpr std::array<std::array<int, 16>, 3> kMpeg1Bitrates = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // Layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // Layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},      // Layer III
}};
constexpr std::array<std::array<int, 16>, 3> kMpeg2Bitrates = {{
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},  // Layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layer II
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},       // Layer III
}};
constexpr std::array<int, 3> kMpeg1SampleRates = {44100, 48000, 32000};

// Decodes the four header bytes at `p`; false if they are not a usable frame header.
bool ParseHeader(const std::uint8_t* p, FrameHeader& h) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int version_bits = (p[1] >> 3) & 3;
  const int layer_bits = (p[1] >> 1) & 3;
  const int bitrate_index = p[2] >> 4;
  const int rate_index = (p[2] >> 2) & 3;
  if (version_bits == 1 || layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 ||
      rate_index == 3) {
    return false;
  }

  h = FrameHeader{};
  h.version = version_bits == 3 ? 1 : version_bits == 2 ? 2 : 25;
  h.layer = 4 - layer_bits;
  h.protected_by_crc = (p[1] & 1) == 0;
  h.padding = ((p[2] >> 1) & 1) != 0;
  h.channel_mode = p[3] >> 6;
  const int divisor = h.version == 1 ? 1 : h.version == 2 ? 2 : 4;
  h.sample_rate = kMpeg1SampleRates[rate_index] / divisor;
  h.bitrate_kbps = (h.version == 1 ? kMpeg1Bitrates : kMpeg2Bitrates)[h.layer - 1][bitrate_index];

  const long bits_per_second = h.bitrate_kbps * 1000L;
  if (h.layer == 1) {
    h.samples = 384;
    h.length = static_cast<std::size_t>((12 * bits_per_second / h.sample_rate + h.padding) * 4);
  } else if (h.layer == 2 || h.version == 1) {
    h.samples = 1152;
    h.length = static_cast<std::size_t>(144 * bits_per_second / h.sample_rate + h.padding);
  } else {
    h.samples = 576;
    h.length = static_cast<std::size_t>(72 * bits_per_second / h.sample_rate + h.padding);
  }
  return true;
}

// Frames of one stream share version, layer and sample rate.
bool SameStream(const FrameHeader& a, const FrameHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.sample_rate == b.sample_rate;
}

// Whether a frame starts at `pos` and lies wholly before `end`; its header goes to `h`.
bool FrameAt(std::span<const std::uint8_t> bytes, std::size_t pos, std::size_t end,
             FrameHeader& h) {
  if (pos >= end || end - pos < 4) return false;
  return ParseHeader(bytes.data() + pos, h) && h.length <= end - pos;
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

// Bytes of an ID3v2 tag at the start of `bytes`, 0 if there is none, nullopt if the tag claims
// more bytes than there are.
std::optional<std::size_t> Id3v2Size(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 10 || std::memcmp(bytes.data(), "ID3", 3) != 0) return std::size_t{0};
  const std::uint8_t* p = bytes.data();
  if (p[3] == 0xFF || p[4] == 0xFF) return std::size_t{0};
  for (int i = 6; i < 10; ++i) {
    if (p[i] & 0x80) return std::size_t{0};  // not a syncsafe size, so not a tag
  }
  std::size_t size = (std::size_t{p[6]} << 21) | (std::size_t{p[7]} << 14) |
                     (std::size_t{p[8]} << 7) | std::size_t{p[9]};
  size += 10;                        // the tag header
  if (p[5] & 0x10) size += 10;       // a footer
  if (size > bytes.size()) return std::nullopt;
  return size;
}

// Where a "Xing" or "Info" tag would start in a Layer III frame: after the header, the CRC and
// the side information.
std::size_t XingOffset(const FrameHeader& h) {
  const bool mono = h.channel_mode == 3;
  std::size_t side_info = h.version == 1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  return 4 + (h.protected_by_crc ? 2 : 0) + side_info;
}

}  // namespace

double Mp3Info::duration_seconds() const {
  if (sample_rate <= 0) return 0.0;
  return static_cast<double>(audio_frames) * static_cast<double>(samples_per_frame) /
         static_cast<double>(sample_rate);
}

std::optional<Mp3Info> ReadMp3Info(std::span<const std::uint8_t> bytes) {
  const std::optional<std::size_t> id3v2 = Id3v2Size(bytes);
  if (!id3v2) return std::nullopt;
  const std::size_t begin = *id3v2;
  std::size_t end = bytes.size();
  if (end - begin >= 128 && std::memcmp(bytes.data() + end - 128, "TAG", 3) == 0) end -= 128;

  // The first frame is the first header whose frame is followed by another frame of the same
  // stream, or which ends exactly at the end of the data; a lone 0xFF 0xE? pair in other data is
  // not enough.
  std::size_t pos = begin;
  FrameHeader first;
  bool found = false;
  while (pos < end) {
    if (FrameAt(bytes, pos, end, first)) {
      const std::size_t next_pos = pos + first.length;
      FrameHeader next;
      if (next_pos == end || (FrameAt(bytes, next_pos, end, next) && SameStream(first, next))) {
        found = true;
        break;
      }
    }
    ++pos;
  }
  if (!found) return std::nullopt;

  Mp3Info info;
  info.version = first.version;
  info.layer = first.layer;
  info.sample_rate = first.sample_rate;
  info.channel_mode = first.channel_mode;
  info.samples_per_frame = first.samples;
  info.bitrate_kbps = first.bitrate_kbps;
  info.id3v2_size = begin;

  if (first.layer == 3) {
    const std::size_t offset = XingOffset(first);
    if (offset + 8 <= first.length) {
      const std::uint8_t* tag = bytes.data() + pos + offset;
      if (std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0) {
        info.has_info_frame = true;
        const std::uint32_t flags = BigEndian32(tag + 4);
        if ((flags & 1) && offset + 12 <= first.length) {
          info.info_frame_count = BigEndian32(tag + 8);
        }
      }
    }
  }

  bool first_audio = true;
  if (info.has_info_frame) pos += first.length;
  FrameHeader h;
  while (FrameAt(bytes, pos, end, h) && SameStream(first, h)) {
    if (first_audio) {
      info.bitrate_kbps = h.bitrate_kbps;
      info.channel_mode = h.channel_mode;
      first_audio = false;
    } else if (h.bitrate_kbps != info.bitrate_kbps) {
      info.constant_bitrate = false;
    }
    ++info.audio_frames;
    pos += h.length;
  }
  return info;
}

}  // namespace zumbolo
