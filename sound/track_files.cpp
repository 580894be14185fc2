#include "sound/track_files.h"

#include <fstream>
#include <system_error>

namespace zumbolo {

namespace {

bool WriteWhole(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      out.close();
      if (out) return true;
    }
  }
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  return false;
}

}  // namespace

bool WriteTrackFiles(const std::filesystem::path& folder, const Resources& resources) {
  for (const TrackFile& track : kTrackFiles) {
    const std::filesystem::path path = folder / std::string(track.file);
    std::error_code error;
    const bool present = std::filesystem::exists(path, error);
    if (error) return false;
    if (present) continue;
    const auto bytes = resources.Find(track.resource);
    if (bytes.empty() || !WriteWhole(path, bytes)) return false;
  }
  return true;
}

}  // namespace zumbolo
