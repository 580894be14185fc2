#pragma once
// A show mode's beat routine, as data: the lead-in's sub-step script, the lead-in beats that
// follow it and the show script. Each row says what one beat (or sub-step) does: the figures
// drawn, the window moved, and anything else, in that order. Rows that share a key are variants;
// the first whose condition holds is the one danced.

#include <span>

namespace zumbolo {

class TForm1;

// The left of a window move.
enum class X { Home, LeftMid, RightMid, LeftFar, RightFar, HomeMinus36, HomePlus36 };
// The top of a window move.
enum class Y { Home, TopHigh, TopLow, HomePlus2, HomeMinus12, HomeMinus18, HomeMinus24, HomeMinus36, HomeMinus48 };

struct Draw {
  enum Kind { None, Pose, Poses, Overlay };
  Kind kind = None;
  int a = 0, b = 0, c = 0;
};
constexpr Draw Keep{};
constexpr Draw Pose(int p) { return {Draw::Pose, p, 0, 0}; }
constexpr Draw Poses(int a, int b, int c) { return {Draw::Poses, a, b, c}; }
constexpr Draw Sparkle{Draw::Overlay};

struct Move {
  enum Kind { None, To, Top, Left };  // To is the queued MoveWindowTo; Top and Left set one property
  Kind kind = None;
  X x = X::Home;
  Y y = Y::Home;
};
constexpr Move Stay{};
constexpr Move MoveTo(X x, Y y) { return {Move::To, x, y}; }
constexpr Move Top(Y y) { return {Move::Top, X::Home, y}; }
constexpr Move Left(X x) { return {Move::Left, x, Y::Home}; }

// The window codes of the show scripts.
namespace spot {
constexpr Move H = MoveTo(X::Home, Y::Home);
constexpr Move U = MoveTo(X::Home, Y::TopHigh);
constexpr Move L = MoveTo(X::Home, Y::TopLow);  // also written S
constexpr Move D = MoveTo(X::Home, Y::HomePlus2);
constexpr Move U18 = MoveTo(X::Home, Y::HomeMinus18);
constexpr Move LM = MoveTo(X::LeftMid, Y::Home);
constexpr Move RM = MoveTo(X::RightMid, Y::Home);
constexpr Move LF = MoveTo(X::LeftFar, Y::Home);
constexpr Move RF = MoveTo(X::RightFar, Y::Home);
constexpr Move LMU = MoveTo(X::LeftMid, Y::TopHigh);
constexpr Move RMU = MoveTo(X::RightMid, Y::TopHigh);
constexpr Move LMD = MoveTo(X::LeftMid, Y::HomePlus2);
constexpr Move RMD = MoveTo(X::RightMid, Y::HomePlus2);
}  // namespace spot

using StepAction = void (*)(TForm1&);
using StepCondition = bool (*)(const TForm1&);

struct Step {
  int key;            // the beat number, or the sub-step number in a sub-step script
  Draw draw = Keep;
  Move move = Stay;
  StepAction also = nullptr;   // runs after the drawing and the move
  StepCondition when = nullptr;  // this variant is danced only when it holds
  bool move_first = false;   // the move comes before the drawing
};

struct Routine {
  const char* name;
  std::span<const Step> sub_steps;  // beat 8 of the lead-in, keyed by SubStep
  // The beat-8 call once LeadInDone is set; nullptr for a lead-in whose last sub-step ends the
  // loop by itself (it then never looks at LeadInDone).
  const Step* after_loop;
  std::span<const Step> lead_in;  // lead-in beats 9, 10 and 11
  std::span<const Step> show;     // the show, keyed by BeatCount
};

// The first row of `script` with this key whose condition holds, or nullptr.
const Step* FindStep(std::span<const Step> script, int key, const TForm1& form);

}  // namespace zumbolo
