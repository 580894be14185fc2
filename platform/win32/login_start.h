#pragma once
// The start at login on Windows: the value "Zumbolo!" under
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run, naming this very executable.
// Nothing is written anywhere else.

#include <filesystem>
#include <string>

namespace zumbolo::win32 {

// The path of this very executable.
std::filesystem::path ThisExecutable();

// Whether the Run value is there (and names a program).
bool RunValueSet();

// Writes the Run value for `executable`, or removes it. Returns what could not be written or
// removed, for the error box; empty when it worked.
std::string SetRunValue(const std::filesystem::path& executable, bool on);

}  // namespace zumbolo::win32
