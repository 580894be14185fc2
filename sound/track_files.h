#pragma once
// The seven tracks travel inside the program; the player plays files, so on start-up each one
// that is missing beside the program is written out, and from then on the files are played.

#include <array>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "ports/resources.h"

namespace zumbolo {

struct TrackFile {
  std::string_view resource;  // the name it is carried under
  std::string_view file;      // the file it is written to: the name in lower case + ".res"
};

// In the order they are written.
constexpr std::array<TrackFile, 7> kTrackFiles = {{
    {"KOKAB", "kokab.res"},
    {"BGM", "bgm.res"},
    {"EYE", "eye.res"},
    {"TELL", "tell.res"},
    {"FUN", "fun.res"},
    {"RAD", "rad.res"},
    {"SPRING", "spring.res"},
}};

struct TrackWriteFailure {
  std::string_view file;  // the track it stopped at
  std::error_code error;  // why
};

// Writes each missing track file into `folder`; a file that exists is left as it is, whatever it
// holds. A track is written under another name and renamed when whole, so that no part of one is
// ever taken for the track (after a full disk, or a kill). A track that cannot be written ends
// the writing there: its failure is returned, nothing when every track is there.
std::optional<TrackWriteFailure> WriteTrackFiles(const std::filesystem::path& folder, const Resources& resources);

}  // namespace zumbolo
