#pragma once
// What the program needs to know of an MP3 file: its audio frames and their format.

#include <cstdint>
#include <optional>
#include <span>

namespace zumbolo {

struct Mp3Info {
  int version = 0;          // 1 for MPEG-1
  int layer = 0;            // 3 for Layer III
  int sample_rate = 0;      // Hz
  int channel_mode = 0;     // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  int bitrate_kbps = 0;     // of the first audio frame
  bool constant_bitrate = true;  // every audio frame has the first one's bit rate
  bool has_info_frame = false;   // a LAME/Xing "Info" (or "Xing") header frame comes first
  std::int64_t info_frame_count = -1;  // the frame count the header frame states, -1 if none
  std::int64_t audio_frames = 0;       // frames of audio, not counting the header frame
  std::int64_t samples_per_frame = 1152;
  std::size_t id3v2_size = 0;  // bytes of an ID3v2 tag in front, 0 if none

  // audio_frames * samples_per_frame / sample_rate, in seconds.
  double duration_seconds() const;
};

// Walks the frames of an MP3 file (skipping an ID3v2 tag in front and an ID3v1 tag at the end).
// Data that is not MPEG audio gives nullopt.
std::optional<Mp3Info> ReadMp3Info(std::span<const std::uint8_t> bytes);

}  // namespace zumbolo
