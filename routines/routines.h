#pragma once
// The beat routines of the six show modes.

#include "app/popup_menu.h"
#include "engine/routine.h"

namespace zumbolo {

extern const Routine kBgmShow;        // "BGMモード": the clock's handler from the window description
extern const Routine kWilliamTell;    // "ウィリアムテル", to tell.res
extern const Routine kHeavenAndHell;  // "天国と地獄", to bgm.res
extern const Routine kHeavenAndHell2; // "天国と地獄 ver.2", to bgm.res
extern const Routine kFuniculi;       // "フニクリ・フニクラ", to fun.res
extern const Routine kRadetzky;       // "ラデッキー行進曲", to rad.res

// The routine of a mode item (one of kModeItems).
const Routine& RoutineFor(Item mode);

}  // namespace zumbolo
