#include "routines/routines.h"

namespace zumbolo {

const Routine& RoutineFor(Item mode) {
  switch (mode) {
    case Item::iheaven: return kHeavenAndHell;
    case Item::iheaven2: return kHeavenAndHell2;
    case Item::iwill: return kWilliamTell;
    case Item::irad: return kFuniculi;
    case Item::irad2: return kRadetzky;
    default: return kBgmShow;
  }
}

}  // namespace zumbolo
