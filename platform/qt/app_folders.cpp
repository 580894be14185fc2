#include "platform/qt/app_folders.h"

#include <unistd.h>

#include <QStandardPaths>
#include <cstdlib>

namespace zumbolo {

namespace {

std::filesystem::path Standard(QStandardPaths::StandardLocation location) {
  return std::filesystem::path(QStandardPaths::writableLocation(location).toStdString()) / "zumbolo";
}

}  // namespace

AppFolders PrepareAppFolders(const std::filesystem::path& exe_dir) {
  AppFolders folders;
  const char* home = std::getenv("ZUMBOLO_HOME");
  if (home && *home) {
    std::error_code ignored;  // without a working folder, the path stays as it was given
    folders.tracks = folders.settings = std::filesystem::absolute(home, ignored);
    if (folders.tracks.empty()) folders.tracks = folders.settings = home;
  } else if (!exe_dir.empty() && ::access(exe_dir.c_str(), W_OK) == 0) {
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
