#include "sound/track_files.h"

#include <cerrno>
#include <cstdio>
#include <span>
#include <string>

namespace zumbolo {

namespace {

std::error_code LastError() {
  // Whatever the C library left; a failure it gave no reason for is still a failure.
  return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

std::error_code WriteWhole(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  // The part is written beside the track, and only a whole one takes its name.
  std::filesystem::path part = path;
  part += ".part";
  errno = 0;
#if defined(_WIN32)
  std::FILE* out = _wfopen(part.c_str(), L"wb");
#else
  std::FILE* out = std::fopen(part.c_str(), "wb");
#endif
  if (!out) return LastError();
  std::error_code error;
  if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fflush(out) != 0) error = LastError();
  if (std::fclose(out) != 0 && !error) error = LastError();
  if (!error) std::filesystem::rename(part, path, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(part, ignored);
  }
  return error;
}

}  // namespace

std::optional<TrackWriteFailure> WriteTrackFiles(const std::filesystem::path& folder, const Resources& resources) {
  for (const TrackFile& track : kTrackFiles) {
    const std::filesystem::path path = folder / std::string(track.file);
    std::error_code error;
    const bool present = std::filesystem::exists(path, error);
    if (error) return TrackWriteFailure{track.file, error};
    if (present) continue;
    const auto bytes = resources.Find(track.resource);
    if (bytes.empty()) return TrackWriteFailure{track.file, std::make_error_code(std::errc::no_message_available)};
    if (const std::error_code failed = WriteWhole(path, bytes)) return TrackWriteFailure{track.file, failed};
  }
  return std::nullopt;
}

}  // namespace zumbolo
