#pragma once
// The program's one random generator: a 32-bit linear congruential generator (multiplier
// 134775813, increment 1) whose draw below n is the high half of state * n. It is small, fast and
// gives the same sequence for a seed on every platform, so a simulator run can be repeated.

#include <cstdint>

namespace zumbolo {

class Random {
 public:
  void Seed(std::uint32_t seed) { state_ = seed; }
  // A uniform integer 0 .. n - 1; n must be at least 1.
  int Below(int n) {
    state_ = state_ * 134775813u + 1u;
    return static_cast<int>((static_cast<std::uint64_t>(state_) * static_cast<std::uint32_t>(n)) >> 32);
  }

 private:
  std::uint32_t state_ = 0;
};

}  // namespace zumbolo
