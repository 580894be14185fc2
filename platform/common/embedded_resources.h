#pragma once
// The tracks and pictures built into the program (see assets/CMakeLists.txt).

#include "ports/resources.h"

namespace zumbolo {

// The one instance; it lives as long as the program.
const Resources& EmbeddedResources();

}  // namespace zumbolo
