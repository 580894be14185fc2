#pragma once
// The bytes the program carries inside itself: the seven tracks ("KOKAB", "EYE", "BGM", "TELL",
// "FUN", "RAD", "SPRING") and its pictures ("POSES0", "POSES1", "POSES2": the twelve poses of
// colour set 0, 1, 2 side by side; "SPARKLE"; "CELEBRATION"; "BALLOON").

#include <cstdint>
#include <span>
#include <string_view>

namespace zumbolo {

class Resources {
 public:
  virtual ~Resources() = default;
  // Names are matched without regard to case; an empty span when there is no such resource.
  virtual std::span<const std::uint8_t> Find(std::string_view name) const = 0;
};

}  // namespace zumbolo
