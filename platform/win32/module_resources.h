#pragma once
// The tracks and pictures carried in the executable's resources: the tracks under the type "MP3",
// the pictures as RCDATA. Resource names are matched without regard to case.

#include "ports/resources.h"

namespace zumbolo::win32 {

class ModuleResources final : public Resources {
 public:
  std::span<const std::uint8_t> Find(std::string_view name) const override;
};

}  // namespace zumbolo::win32
