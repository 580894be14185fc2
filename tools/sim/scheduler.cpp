#include "tools/sim/scheduler.h"

#include <tuple>

namespace zumbolo::sim {

bool Scheduler::Later::operator()(const Event& a, const Event& b) const {
  return std::tie(a.at, a.due, a.lane, a.seq) > std::tie(b.at, b.due, b.lane, b.seq);
}

void Scheduler::Ui(Ticks at, Lane lane, std::function<void()> run) {
  queue_.push({at, at, static_cast<int>(lane), seq_++, true, std::move(run)});
}

void Scheduler::Clock(Ticks at, std::function<void()> run) {
  // The clock's thread acts at its moment; among events of that moment it goes with the beats.
  queue_.push({at, at, static_cast<int>(Lane::Beat), seq_++, false, std::move(run)});
}

void Scheduler::Stall(Ticks from, Ticks length) {
  if (length > 0) stalls_.emplace_back(from, from + length);
}

Ticks Scheduler::FreeAt(Ticks t) const {
  Ticks free = t;
  for (bool moved = true; moved;) {
    moved = false;
    for (const auto& [from, to] : stalls_) {
      if (from <= free && free < to) {
        free = to;
        moved = true;
      }
    }
  }
  return free;
}

bool Scheduler::RunNext(Ticks limit) {
  while (!queue_.empty() && queue_.top().at <= limit) {
    Event event = queue_.top();
    queue_.pop();
    if (event.ui) {
      const Ticks free = FreeAt(event.at);
      if (free != event.at) {
        event.at = free;  // keeps its place among the others by when it fell due
        queue_.push(std::move(event));
        continue;
      }
    }
    now_ = event.at;
    event.run();
    return true;
  }
  return false;
}

void Scheduler::Clear() {
  queue_ = {};
}

}  // namespace zumbolo::sim
