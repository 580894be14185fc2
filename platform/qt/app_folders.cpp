#include "platform/qt/app_folders.h"

#include <unistd.h>

#include <QStandardPaths>
#include <cstdlib>

namespace zumbolo {

namespace {

std::filesystem::path Standard(QStandardPaths::StandardLocation location) {
  return std::filesystem::path(QStandardPaths::writableLocation(location).toStdString()) / "zumbolo";
}

// A program in a "bin" folder is installed (/usr/bin, /usr/local/bin, ~/.local/bin): its folder
// is shared with other programs, and writable to root, whose files there no package manager
// would know of.
bool IsInstalled(const std::filesystem::path& exe_dir) {
  const std::filesystem::path dir = exe_dir.has_filename() ? exe_dir : exe_dir.parent_path();
  return dir.filename() == "bin";
}

}  // namespace

AppFolders PrepareAppFolders(const std::filesystem::path& exe_dir) {
  AppFolders folders;
  const char* home = std::getenv("ZUMBOLO_HOME");
  if (home && *home) {
    std::error_code ignored;  // without a working folder, the path stays as it was given
    folders.tracks = folders.settings = std::filesystem::absolute(home, ignored);
    if (folders.tracks.empty()) folders.tracks = folders.settings = home;
  } else if (!exe_dir.empty() && !IsInstalled(exe_dir) && ::access(exe_dir.c_str(), W_OK) == 0) {
    folders.tracks = folders.settings = exe_dir;
  } else {
    // Qt follows the XDG variables and their defaults.
    folders.settings = Standard(QStandardPaths::GenericConfigLocation);
    folders.tracks = Standard(QStandardPaths::GenericDataLocation);
  }
  std::filesystem::create_directories(folders.settings, folders.settings_error);
  std::filesystem::create_directories(folders.tracks, folders.tracks_error);
  return folders;
}

}  // namespace zumbolo
