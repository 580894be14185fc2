#pragma once
// What the golden-log tests of the shows share: the sound choice, the comparison of a whole
// expected log with the one seen, the lines of the hit, of the end of a show and of the restart
// after it, the arrow keys' moves of the home, and the log read back as beats.

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/model_random.h"
#include "tests/support/sim_run.h"

namespace zumbolo::testing {

enum class Sound { kEffects = 0, kBgm = 1, kNone = 2 };  // koka=0 効果音あり, 1 ＢＧＭ, 2 なし

// "Effects", "Bgm" or "None", for test names.
const char* NameOf(Sound sound);
void PrintTo(Sound sound, std::ostream* os);

// Where two logs first differ, for a readable failure.
std::string FirstDifference(const std::vector<std::string>& expected, const std::vector<std::string>& seen);

// The same lines in the same order, with the first difference when not.
void ExpectSameLog(const std::vector<std::string>& expected, const std::vector<std::string>& seen);

// The hit on beat 7: counted first, the player stopped (with sound effects), the hop of 3 pixels
// above HomeTop, then the hit pose (figure 3 out of line once in five).
std::vector<std::string> HitLines(const ForcedHit& hit, bool stops_player, int home_top);

// Code 110 in dsShow (the end of the song): clock off, Form2 hidden, player stopped, Form3 shown,
// ResetToIdle, the spin interval, Timer1 on.
std::vector<std::string> ShowEndedLines(int home_left, int home_top);

// Timer1's tick three seconds later: Form3 hidden, Timer1 off, then RestartBeat: clock off, stop
// and empty, the start track of the sound choice, caption, ResetToIdle, the background music
// played again (ＢＧＭ), the spin interval, clock on.
std::vector<std::string> RestartLines(bool bgm, int home_left, int home_top);

// An arrow key's action (aup, adown, aleft, aright) moves the home 10 pixels that way; the line
// the program writes for it.
std::string MoveHomeByArrow(const std::string& action, int& home_left, int& home_top);

// A line that moves the window (moveto, top, left), or that draws the figures (pose, poses,
// figure, overlay); without its time.
bool IsMove(const std::string& line);
bool IsDrawing(const std::string& line);

// A beat of the log with the lines written at its moment after it.
struct LoggedBeat {
  long long ms = 0;
  int number = 0;
  int state = 0;
  std::vector<std::string> lines;
};

}  // namespace zumbolo::testing
