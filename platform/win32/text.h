#pragma once
// The engine speaks UTF-8; Windows' wide-character functions speak UTF-16.

#include <string>
#include <string_view>

namespace zumbolo::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace zumbolo::win32
