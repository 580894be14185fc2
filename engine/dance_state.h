#pragma once
// The dance state that every beat routine shares.

#include <cstdint>
#include <limits>

namespace zumbolo {

enum : std::int32_t { dsSpin = 0, dsMissWait = 1, dsLeadIn = 2, dsShow = 3 };

struct Dance {
  std::int32_t BeatCount = 0;    // beat number within the current phase
  std::int32_t DanceState = dsSpin;
  std::int32_t SubStep = 0;      // position in a lead-in's sub-step script
  std::int32_t RepeatCount = 0;  // loops of a show script
  std::int32_t HitPose = 0;      // the standing pose of the hit
  bool OddThird = false;         // at the hit, figure 3 was drawn out of line
  bool LeadInDone = false;       // the lead-in's sub-step loop is over
  bool FirstPass = false;        // song flags
  bool RepeatPending = false;
  bool FinalPass = false;
  std::int32_t RunHits = 0;    // hits since start
  std::int32_t TodayHits = 0;  // hits today, stored per day in zumbolo.ini
};

// Counters step around their 32-bit range rather than overflow.
inline std::int32_t Stepped(std::int32_t value, std::int32_t by) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(by));
}
// A hit count stops at the top of its range.
inline std::int32_t CountedUp(std::int32_t value) {
  return value == std::numeric_limits<std::int32_t>::max() ? value : value + 1;
}

}  // namespace zumbolo
