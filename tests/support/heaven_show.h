#pragma once
// The golden logs of the two Heaven and Hell shows (modes 0 and 1, track "bgm.res"), expanded
// from tables written in the script's own notation: the lead-in's sub-steps with the actions of
// each sound choice, the show script's rows of poses and window codes with their "also" actions
// and RepeatCount conditions ("RC 3", "RC not 0", "RC 0 or 3"), and the expected log from the hit
// to the first beat of the spin cycle after the show; the runs that give the logs to compare.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/golden_log.h"
#include "tests/support/model_random.h"
#include "tests/support/show_notation.h"
#include "tests/support/sim_run.h"

namespace zumbolo::testing::heaven {

inline const Stage kNormal{1030, 652, false};
inline const Stage kMini{1030, 652, true};

// The sound choice by the menu's words, for traces.
std::string Name(Sound sound);

// "12–19" or "82".
std::pair<int, int> BeatRange(const std::string& beats);

// A condition on RepeatCount as the script writes it: "" (always), "RC 3", "RC not 0",
// "RC 0 or 3".
bool Holds(const std::string& when, int repeat_count);

// One action of a table, in the tables' words, as the log lines it writes: a request code
// (dcPlay, dcLoadHitSound, dcLoadHeavenTrack, dcHaltMusic), "pose n", "interval n", "overlay",
// "top := HomeTop", "top := PosTopHigh", "move X" (a window code), "show Form2",
// "SetForegroundWindow"; – or nothing for none.
std::vector<std::string> ActionLines(const std::string& action, const Stage& stage);

// Actions separated by "; ".
std::vector<std::string> ActionsLines(const std::string& actions, const Stage& stage);

// ---------------------------------------------------------------------------------------------
// The lead-in. Beat 8 runs the sub-steps one a beat; the actions of the sound choice follow those
// that every choice has.

struct SubStepRow {
  const char* sub_steps;  // a list gives one pose per sub-step in the first column
  const char* every_choice;
  const char* effects;  // 効果音あり (N10)
  const char* bgm;      // ＢＧＭ (N12)
  const char* none;     // なし
};

struct ExpectedBeat {
  int number = 0;
  int state = 0;  // DanceState before the routine acts
  std::vector<std::string> lines;
};

// The sub-steps 0 to count − 1 on beat 8, then the beats after the loop (LeadInDone): the closing
// call of beat 8 and beats 9 to 11. The odd third figure falls into line on the first lead-in
// beat, before sub-step 0.
std::vector<ExpectedBeat> LeadInBeats(std::span<const SubStepRow> sub_steps, int sub_step_count,
                                      std::span<const std::pair<int, const char*>> after_loop, Sound sound,
                                      const Stage& stage, const ForcedHit& hit);

// ---------------------------------------------------------------------------------------------
// The show script. A number p is ShowPose(p), a/b/c is ShowPoses with x for a blank figure, – is
// nothing; the window codes are MoveWindowTo. The i-th value of a column belongs to the i-th beat
// of the row.

// What a beat does after its poses and its move.
struct AlsoRow {
  int beat;
  const char* when;
  const char* actions;
};

// The pose and the move of `beat` in a row of the script that covers it.
void AddRowLines(const char* beats, const char* poses, const char* window, int beat, const Stage& stage,
                 std::vector<std::string>& lines);

// The actions of the also rows of `beat` whose condition holds.
void AddAlsoLines(std::span<const AlsoRow> also, int beat, int repeat_count, const Stage& stage,
                  std::vector<std::string>& lines);

// The lines of one beat of the script for the given RepeatCount: the one row that covers it and
// for which `row_holds(row, repeat_count)`, then its also rows.
template <typename Script, typename RowHolds>
std::vector<std::string> ScriptBeatLines(const Script& script, std::span<const AlsoRow> also, int beat,
                                         int repeat_count, const Stage& stage, RowHolds row_holds) {
  std::vector<std::string> lines;
  int rows = 0;
  for (const auto& row : script) {
    const auto [first, last] = BeatRange(row.beats);
    if (beat < first || beat > last || !row_holds(row, repeat_count)) continue;
    ++rows;
    AddRowLines(row.beats, row.poses, row.window, beat, stage, lines);
  }
  if (rows != 1) throw std::invalid_argument("beat " + std::to_string(beat) + " matches " + std::to_string(rows) + " rows");
  AddAlsoLines(also, beat, repeat_count, stage, lines);
  return lines;
}

// A beat of the show as the routine walks through the script.
struct ShowBeat {
  ExpectedBeat beat;
  int repeat_count;
};

// ---------------------------------------------------------------------------------------------
// The expected log

// Durations in ms (from the tracks' frames); the ones that the tests keep out of the way.
constexpr double kBgmTrackMs = 122644.897;
constexpr const char* kEyeTrack = "eye.res=60000";
constexpr const char* kSpringTrack = "spring.res=600000";

// With a settings file the spin interval is 405 ms from start-up, so beat 7 of the first spin
// cycle, a hit with "/v", comes at 2835 ms.
constexpr long long kHitMs = 7 * 405;

struct ShowRun {
  Sound sound = Sound::kEffects;
  Stage stage = kNormal;
  ForcedHit hit;
  double track_ms = kBgmTrackMs;
};

// From the hit on beat 7 to beat 1 of the spin cycle after the show, with `beats` (the lead-in and
// the show) danced one after the other. Every beat comes the interval in force after the one
// before; the track starts with sub-step 9's dcPlay and its end ends the show (dcShowEnded); three
// seconds later Timer1 restarts the beat.
std::vector<std::string> ExpectedShowLog(const ShowRun& run, const std::vector<ExpectedBeat>& beats);

long long NextSpinMs(double track_end_ms);

// ---------------------------------------------------------------------------------------------
// Running the simulator

class ShowRunner {
 public:
  explicit ShowRunner(int mode) : mode_(mode) {}

  // A run in the show's mode with every spin a hit; `tracks` are --track values.
  std::vector<std::string> Run(std::uint32_t seed, Sound sound, bool mini, long long until_ms,
                               std::vector<std::string> tracks = {});

  // The log from the hit to the first beat of the spin cycle after the show.
  std::vector<std::string> Show(std::uint32_t seed, const ShowRun& run, std::vector<std::string> tracks = {});

  // Sub-step 9 starts the song: 7 beats at 405 ms from the hit (sub-steps 0 to 6), then 3 at 706.
  static double StartOfSong() { return kHitMs + 7 * 405 + 3 * 706; }

 private:
  int mode_;
  SimRuns runs_;
};

// The log read back as beats: time, number, state and the lines written at the beat's moment.
std::vector<LoggedBeat> Beats(const std::vector<std::string>& log);

// The beats of the show (DanceState dsShow) up to `last_beat`, cut into runs of consecutive beat
// numbers.
std::vector<std::vector<LoggedBeat>> Runs(const std::vector<LoggedBeat>& beats, int last_beat);

}  // namespace zumbolo::testing::heaven
