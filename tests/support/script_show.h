#pragma once
// The golden logs of the song shows whose tables have a column for each kind of action (William
// Tell, Funiculì): the lead-in's sub-steps (figures, window, sound cue, interval), the show
// script's rows of poses and window codes with a condition on a pass flag, and the expected log
// from the hit to the first beat of the spin cycle after the show; the runs that give the logs to
// compare, and the log read back as beats and passes.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/golden_log.h"
#include "tests/support/model_random.h"
#include "tests/support/show_notation.h"
#include "tests/support/sim_run.h"

namespace zumbolo::testing::script {

using Lines = std::vector<std::string>;

// The song's track as the lead-in loads it: the request code and the file.
struct SongTrack {
  int load_code;
  const char* file;
};

// The cues of the lead-in, in the tables' words: "hit sound loaded" (code 2, only with
// 効果音あり), "hit sound played or music halted", "song loaded" (the song's code, in every sound
// choice), "song started"; – for none.
Lines CueLines(const std::string& cue, Sound sound, const SongTrack& track);

// An interval entry: "406", or "401 | 403" for the first with 効果音あり and the second otherwise;
// none for –.
std::optional<std::string> IntervalLine(const std::string& item, Sound sound);

// ---------------------------------------------------------------------------------------------
// The lead-in (dsLeadIn = 2). The hit has drawn the hit pose with the window at HomeTop − 3.
// Every call with beat 8 first redraws figure 3 if it was out of line; then, until LeadInDone,
// one sub-step a call (sub-steps not listed do nothing); then one closing call.

struct LeadInRow {
  const char* sub_steps;  // the sub-steps of the row, in order
  const char* figures;    // one per sub-step
  const char* window;     // one per sub-step, or one for the whole row (see SubStepBeats)
  const char* sound;      // a cue for a single sub-step, see CueLines
  const char* interval;   // ms, for a single sub-step
};

struct Beat {
  int number = 0;
  int state = 0;
  Lines lines;
  bool loads_song = false;
  bool starts_song = false;
  int pass = 0;  // 0 outside the passes of the show
};

// The calls with beat 8 for the sub-steps 0 to `last_sub_step`. With `window_per_sub_step` the
// window column lists one entry per sub-step, else one entry for the row.
std::vector<Beat> SubStepBeats(std::span<const LeadInRow> rows, int last_sub_step, bool window_per_sub_step,
                               const SongTrack& track, Sound sound, const Stage& stage, const ForcedHit& hit);

// ---------------------------------------------------------------------------------------------
// The show (dsShow = 3). The i-th value of each column belongs to the i-th beat of the row; a row
// with a condition applies only in the passes for which it holds.

struct ShowRow {
  int first_beat, last_beat;
  const char* when;  // "" or a condition on a pass flag
  const char* poses;
  const char* window;
};

// The poses and the window entry of a beat: of the one row that covers it and whose condition is
// empty or `holds`.
std::pair<std::string, std::string> ScriptRowEntry(std::span<const ShowRow> script, int number,
                                                   const std::function<bool(const std::string& when)>& holds);

// ---------------------------------------------------------------------------------------------
// The expected log from the hit on beat 7 to beat 1 of the spin cycle after the show

constexpr long long kHitMs = 7 * 405;  // a settings file sets the spin interval to 405 ms

struct SongCase {
  Sound sound = Sound::kEffects;
  Stage stage;
  ForcedHit hit;
  double track_ms = 0;
  std::optional<double> jingle_ms;  // a hit sound short enough to end during the lead-in
};

struct Expected {
  Lines log;                // with times
  std::vector<Beat> beats;  // the beats danced, lead-in and show
  long long show_ended_ms = 0;
  long long next_spin_ms = 0;
};

// The case with `beats` (the lead-in and the show) danced one after the other, each the interval
// in force after the one before, and quiet beats after them until the track ends.
Expected ExpectedSongRun(const SongCase& c, std::vector<Beat> beats);

// ---------------------------------------------------------------------------------------------
// Running the simulator

// The log of a run of the case from its hit to beat 1 of the next spin cycle, with the expected one.
struct Observed {
  Expected expected;
  Lines seen;
};

class SongRunner {
 public:
  explicit SongRunner(int mode) : mode_(mode) {}

  // A run in the song's mode with every spin a hit. The spin cue, the background music and the
  // hit sound are long enough not to end in the beats looked at, unless `tracks` says otherwise;
  // the song keeps its real length.
  Lines Run(const SongCase& c, std::uint32_t seed, long long until_ms,
            const std::map<std::string, std::string>& tracks, const std::vector<std::string>& program_args);

  // The expected log of the case and the one seen from its hit to beat 1 of the next spin cycle.
  Observed Observe(Expected expected, const SongCase& c, std::uint32_t seed,
                   const std::map<std::string, std::string>& tracks, const std::vector<std::string>& program_args);

 private:
  int mode_;
  SimRuns runs_;
};

// ---------------------------------------------------------------------------------------------
// The log read back

// The beats of the log, each with the lines written at its moment after it.
std::vector<LoggedBeat> BeatsOf(const Lines& log);

// A show beat (state 3) with the number of its pass.
struct ShowBeat {
  int pass;
  LoggedBeat beat;
};

// The show's beats, numbered by pass: a pass begins at beat 12, or at `loop_to` right after a
// beat `loop_from`.
std::vector<ShowBeat> PassBeatsOf(const Lines& log, int loop_from, int loop_to);

}  // namespace zumbolo::testing::script
