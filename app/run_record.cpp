// The start of a run as its trace records it, so that zumbolo-sim can replay the run: the
// random generator's seed, the command line, the work areas of the screens, the short date
// pattern, the settings file as it was before the program read it, and the length of every track
// file that was already there (the others are written from the program's own tracks, as the
// simulator writes them). Text that may hold spaces or any byte is written escaped: see Escaped().

#include <cstdint>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "app/tform1.h"
#include "sound/mp3_info.h"
#include "sound/track_files.h"

namespace zumbolo {

namespace {

// One word for the trace: the bytes 0x21 to 0x7E stand for themselves, except the backslash and
// the double quote; every other byte is \xHH. Nothing at all is written as "".
std::string Escaped(std::string_view bytes) {
  if (bytes.empty()) return "\"\"";
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F && c != '\\' && c != '"') {
      out += c;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

std::optional<std::string> FileBytes(const std::filesystem::path& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error || !std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
  return bytes;
}

// The track's length as zumbolo-sim --track takes it (ms, six decimals, rounded), or "none" for
// a file the player cannot play.
std::string TrackLength(const std::string& bytes) {
  const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  const std::optional<Mp3Info> info = ReadMp3Info(data);
  if (!info || info->audio_frames <= 0 || info->sample_rate <= 0) return "none";
  // ms = samples * 1000 / rate, its fraction in millionths.
  const std::int64_t rate = info->sample_rate;
  const std::int64_t scaled = info->audio_frames * info->samples_per_frame * 1000;
  const std::int64_t whole = scaled / rate;
  std::int64_t millionths = ((scaled % rate) * 1000000 + rate / 2) / rate;
  std::int64_t ms = whole;
  if (millionths == 1000000) {
    ++ms;
    millionths = 0;
  }
  std::string fraction = std::to_string(millionths);
  return std::to_string(ms) + "." + std::string(6 - fraction.size(), '0') + fraction;
}

}  // namespace

void TForm1::RecordRun(const StartupArgs& args) {
  if (!trace.enabled()) return;
  trace("seed", args.random_seed);
  std::string line;
  for (const std::string& arg : args.args) line += (line.empty() ? "" : " ") + Escaped(arg);
  if (args.args.empty()) {
    trace("args");
  } else {
    trace("args", line);
  }
  const WorkArea work_area = shell.GetWorkArea();
  trace("workarea", work_area.width, work_area.height, work_area.left, work_area.top);
  // The other screens: all of them but the primary, once.
  bool primary_seen = false;
  for (const WorkArea& screen : shell.ScreenWorkAreas()) {
    const bool primary = screen.width == work_area.width && screen.height == work_area.height &&
                         screen.left == work_area.left && screen.top == work_area.top;
    if (primary && !primary_seen) {
      primary_seen = true;
      continue;
    }
    trace("screen", screen.width, screen.height, screen.left, screen.top);
  }
  trace("datepattern", Escaped(shell.ShortDatePattern()));
  const std::filesystem::path settings = args.settings_dir.empty() ? args.exe_dir : args.settings_dir;
  const std::optional<std::string> ini = FileBytes(settings / "zumbolo.ini");
  trace("ini", ini ? Escaped(*ini) : "none");
  for (const TrackFile& track : kTrackFiles) {
    if (const auto bytes = FileBytes(args.exe_dir / std::string(track.file))) {
      trace("track", track.file, TrackLength(*bytes));
    }
  }
}

}  // namespace zumbolo
