#pragma once
// What the error box says when a file of the program cannot be read or written: which file or
// folder, where, why, and what the program does about it, in the program's language.

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace zumbolo {

// zumbolo.ini is there but could not be read: the program runs with its defaults and leaves the
// file alone.
std::string SettingsUnreadableText(const std::filesystem::path& file, std::error_code why);

// The settings could not be saved at the close.
std::string SettingsNotSavedText(const std::filesystem::path& file, std::error_code why);

// A folder the program keeps its files in could not be made. `settings` and `tracks` say what
// it was to hold.
std::string FolderNotMadeText(const std::filesystem::path& folder, std::error_code why, bool settings, bool tracks);

// A track file could not be written: the program goes on without that sound.
std::string TrackNotWrittenText(std::string_view file, const std::filesystem::path& folder, std::error_code why);

}  // namespace zumbolo
