#pragma once
// The seven tracks travel inside the program; the player plays files, so on start-up each one
// that is missing beside the program is written out, and from then on the files are played.

#include <array>
#include <filesystem>
#include <string_view>

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

// Writes each missing track file into `folder`; a file that exists is left as it is, whatever it
// holds. A track that cannot be written ends the writing there (a partly written file is removed
// again, so that a later start writes it whole). Returns false when it stopped early.
bool WriteTrackFiles(const std::filesystem::path& folder, const Resources& resources);

}  // namespace zumbolo
