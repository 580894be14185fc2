#pragma once
// The simulator's event queue. Events of the user-interface thread wait while that thread is
// stalled and then run in the order in which they fell due; events of the beat clock's own thread
// (the end of a hand-over's time-out) run at their moment regardless. Events of one moment run in
// this order: a beat, the end of a track, the after-show timer, a user's action, the close.

#include <cstdint>
#include <functional>
#include <limits>
#include <queue>
#include <vector>

#include "tools/sim/virtual_time.h"

namespace zumbolo::sim {

enum class Lane : int { Beat = 0, TrackEnd = 1, AfterShow = 2, User = 3, Close = 4 };

class Scheduler {
 public:
  Ticks Now() const { return now_; }

  // An event of the user-interface thread.
  void Ui(Ticks at, Lane lane, std::function<void()> run);
  // An event of the beat clock's thread.
  void Clock(Ticks at, std::function<void()> run);
  // The user-interface thread is busy from `from` for `length`.
  void Stall(Ticks from, Ticks length);

  // Runs the next event if it falls due by `limit`; false when there is none.
  bool RunNext(Ticks limit = std::numeric_limits<Ticks>::max());
  void Clear();

 private:
  struct Event {
    Ticks at;
    Ticks due;
    int lane;
    std::uint64_t seq;
    bool ui;
    std::function<void()> run;
  };
  struct Later {
    bool operator()(const Event& a, const Event& b) const;
  };
  // The moment the user-interface thread is free again, if it is busy at `t`.
  Ticks FreeAt(Ticks t) const;

  std::priority_queue<Event, std::vector<Event>, Later> queue_;
  std::vector<std::pair<Ticks, Ticks>> stalls_;  // [from, to)
  std::uint64_t seq_ = 0;
  Ticks now_ = 0;
};

}  // namespace zumbolo::sim
