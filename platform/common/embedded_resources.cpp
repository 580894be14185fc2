#include "platform/common/embedded_resources.h"

#include <array>
#include <cstddef>
#include <cstdint>

// Begin and end of each file, from the assembler source that assets/CMakeLists.txt generates.
#define ZUMBOLO_DECLARE_ASSET(stem)                              \
  extern "C" const std::uint8_t zumbolo_asset_##stem##_begin[]; \
  extern "C" const std::uint8_t zumbolo_asset_##stem##_end[];

ZUMBOLO_DECLARE_ASSET(track_kokab)
ZUMBOLO_DECLARE_ASSET(track_eye)
ZUMBOLO_DECLARE_ASSET(track_bgm)
ZUMBOLO_DECLARE_ASSET(track_tell)
ZUMBOLO_DECLARE_ASSET(track_fun)
ZUMBOLO_DECLARE_ASSET(track_rad)
ZUMBOLO_DECLARE_ASSET(track_spring)
ZUMBOLO_DECLARE_ASSET(picture_poses0)
ZUMBOLO_DECLARE_ASSET(picture_poses1)
ZUMBOLO_DECLARE_ASSET(picture_poses2)
ZUMBOLO_DECLARE_ASSET(picture_sparkle)
ZUMBOLO_DECLARE_ASSET(picture_celebration)
ZUMBOLO_DECLARE_ASSET(picture_balloon)

#undef ZUMBOLO_DECLARE_ASSET

namespace zumbolo {

namespace {

struct Entry {
  std::string_view name;  // upper case
  const std::uint8_t* begin;
  const std::uint8_t* end;
};

#define ZUMBOLO_ASSET(name, stem) \
  Entry { name, zumbolo_asset_##stem##_begin, zumbolo_asset_##stem##_end }

constexpr std::array<Entry, 13> kEntries = {{
    ZUMBOLO_ASSET("KOKAB", track_kokab),
    ZUMBOLO_ASSET("EYE", track_eye),
    ZUMBOLO_ASSET("BGM", track_bgm),
    ZUMBOLO_ASSET("TELL", track_tell),
    ZUMBOLO_ASSET("FUN", track_fun),
    ZUMBOLO_ASSET("RAD", track_rad),
    ZUMBOLO_ASSET("SPRING", track_spring),
    ZUMBOLO_ASSET("POSES0", picture_poses0),
    ZUMBOLO_ASSET("POSES1", picture_poses1),
    ZUMBOLO_ASSET("POSES2", picture_poses2),
    ZUMBOLO_ASSET("SPARKLE", picture_sparkle),
    ZUMBOLO_ASSET("CELEBRATION", picture_celebration),
    ZUMBOLO_ASSET("BALLOON", picture_balloon),
}};

#undef ZUMBOLO_ASSET

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view upper, std::string_view name) {
  if (upper.size() != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (Upper(name[i]) != upper[i]) return false;
  }
  return true;
}

class Embedded final : public Resources {
 public:
  std::span<const std::uint8_t> Find(std::string_view name) const override {
    for (const Entry& e : kEntries) {
      if (SameName(e.name, name)) {
        return {e.begin, static_cast<std::size_t>(e.end - e.begin)};
      }
    }
    return {};
  }
};

}  // namespace

const Resources& EmbeddedResources() {
  static const Embedded resources;
  return resources;
}

}  // namespace zumbolo
