#pragma once
// The program's two kinds of message box: the error box, and the plain box with one OK button
// that the tally uses, placed at a given corner.

#include <windows.h>

#include <string_view>

namespace zumbolo::win32 {

// A box with the stop icon, titled "Zumbolo!"; returns when the user has confirmed.
void ShowErrorBox(HWND owner, std::string_view text);
// A box with no icon and one OK button whose top-left corner is (left, top); a coordinate below 0
// keeps the system's placement on that axis (centred).
void ShowPlacedMessage(HWND owner, std::string_view caption, std::string_view text, int left, int top);

}  // namespace zumbolo::win32
