#pragma once
// Where the program keeps zumbolo.ini and its track files:
// - $ZUMBOLO_HOME, when set, for both;
// - else the executable's folder, when it is writable and not a "bin" folder (a portable copy in
//   a folder of its own, the build folder);
// - else zumbolo.ini in $XDG_CONFIG_HOME/zumbolo and the tracks in $XDG_DATA_HOME/zumbolo
//   (~/.config/zumbolo and ~/.local/share/zumbolo by default).

#include <filesystem>
#include <system_error>

namespace zumbolo {

struct AppFolders {
  std::filesystem::path tracks;
  std::filesystem::path settings;
  // Why a folder could not be made (empty: it is there). The program tells the user and goes on.
  std::error_code tracks_error;
  std::error_code settings_error;
};

// Chooses the folders and makes them.
AppFolders PrepareAppFolders(const std::filesystem::path& exe_dir);

}  // namespace zumbolo
