#include "platform/win32/module_resources.h"

#include <windows.h>

#include "platform/win32/text.h"

namespace zumbolo::win32 {

namespace {

std::span<const std::uint8_t> Lookup(const std::wstring& name, const wchar_t* type) {
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC found = FindResourceW(module, name.c_str(), type);
  if (!found) return {};
  const HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return {};
  // A module's resources stay where they are for as long as the module is loaded.
  return {static_cast<const std::uint8_t*>(bytes), SizeofResource(module, found)};
}

}  // namespace

std::span<const std::uint8_t> ModuleResources::Find(std::string_view name) const {
  if (name.empty()) return {};
  const std::wstring wide = Widen(name);
  const std::span<const std::uint8_t> track = Lookup(wide, L"MP3");
  return track.empty() ? Lookup(wide, RT_RCDATA) : track;
}

}  // namespace zumbolo::win32
