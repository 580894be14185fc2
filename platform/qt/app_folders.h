#pragma once
// Where the program keeps zumbolo.ini and its track files:
// - $ZUMBOLO_HOME, when set, for both;
// - else the executable's folder, when it is writable and not a "bin" folder (a portable copy in
//   a folder of its own, the build folder);
// - else zumbolo.ini in $XDG_CONFIG_HOME/zumbolo and the tracks in $XDG_DATA_HOME/zumbolo
//   (~/.config/zumbolo and ~/.local/share/zumbolo by default).

#include <filesystem>

namespace zumbolo {

struct AppFolders {
  std::filesystem::path tracks;
  std::filesystem::path settings;
};

// Chooses the folders and makes them. Throws std::filesystem::filesystem_error when one cannot
// be made.
AppFolders PrepareAppFolders(const std::filesystem::path& exe_dir);

}  // namespace zumbolo
