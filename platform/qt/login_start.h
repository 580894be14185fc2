#pragma once
// The start at login on a freedesktop session: a desktop entry in the user's autostart folder,
// $XDG_CONFIG_HOME/autostart/zumbolo.desktop (~/.config/autostart by default), that starts this
// very executable. Nothing is written anywhere else.

#include <filesystem>
#include <string>

namespace zumbolo {

// $XDG_CONFIG_HOME/autostart/zumbolo.desktop, or ~/.config/autostart/zumbolo.desktop when the
// variable is unset, empty or not an absolute path.
std::filesystem::path AutostartEntryPath();

// The entry that starts `executable`; nothing when its name cannot stand in a desktop entry
// (a line break in it).
std::string AutostartEntryFor(const std::filesystem::path& executable);

// Whether the session starts a program from `entry`: the file is there and neither hidden nor
// switched off (Hidden=true, X-GNOME-Autostart-enabled=false).
bool AutostartEntryEnabled(const std::filesystem::path& entry);

// Writes the entry for `executable`, or removes it. Returns what could not be written or
// removed, for the error box; empty when it worked.
std::string SetAutostartEntry(const std::filesystem::path& entry, const std::filesystem::path& executable, bool on);

}  // namespace zumbolo
