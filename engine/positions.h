#pragma once
// The resting position of the main window and the places the shows move it to.

namespace zumbolo {

// No screen reaches this far: a coordinate beyond it (a damaged or hand-edited settings file) is
// not a position, and the window is never moved past it, so that no position arithmetic can
// overflow.
inline constexpr int kPositionLimit = 1'000'000;
inline constexpr bool IsWithinPositionLimit(int value) {
  return value >= -kPositionLimit && value <= kPositionLimit;
}

struct Positions {
  int HomeLeft = 0;
  int HomeTop = 0;
  int PosTopHigh = 0;   // top of a hop
  int PosTopLow = 0;    // top of a small hop
  int PosLeftMid = 0;   // sway left
  int PosRightMid = 0;  // sway right
  int PosLeftFar = 0;   // slide far left
  int PosRightFar = 0;  // slide far right

  // The offsets are halved in mini mode.
  void RecomputeHorizontal(bool mini) {
    const int mid = mini ? 8 : 16, far = mini ? 16 : 32;
    PosLeftMid = HomeLeft - mid;
    PosRightMid = HomeLeft + mid;
    PosLeftFar = HomeLeft - far;
    PosRightFar = HomeLeft + far;
  }
  void RecomputeVertical(bool mini) {
    PosTopHigh = HomeTop - (mini ? 6 : 12);
    PosTopLow = HomeTop - (mini ? 3 : 6);
  }
  void ShiftHorizontal(int by) {
    HomeLeft += by;
    PosLeftMid += by;
    PosRightMid += by;
    PosLeftFar += by;
    PosRightFar += by;
  }
  void ShiftVertical(int by) {
    HomeTop += by;
    PosTopHigh += by;
    PosTopLow += by;
  }
};

}  // namespace zumbolo
