#pragma once
// A model of the program's random generator, written here on its own so that a test can know the
// draws of a run before it starts: a 32-bit LCG (state := state * 134775813 + 1 mod 2^32), a draw
// below n being the high half of the 64-bit product state * n. On it: the forced hit, the random
// song pick and the searches for a seed whose draws a test wants.

#include <array>
#include <cstdint>
#include <functional>

namespace zumbolo::testing {

class ModelRandom {
 public:
  explicit ModelRandom(std::uint32_t seed) : state_(seed) {}

  int Below(int n) {
    state_ = state_ * 134775813u + 1u;
    return static_cast<int>((static_cast<std::uint64_t>(state_) * static_cast<std::uint64_t>(n)) >> 32);
  }

 private:
  std::uint32_t state_;
};

// The standing poses that the reels stop on, in table order.
constexpr std::array<int, 4> kResultPoses = {1, 4, 7, 10};

// A forced hit (every spin a hit, "/v"): the hit pose drawn from the result poses, then a draw
// below 5 of which a 4 puts figure 3 out of line.
struct ForcedHit {
  int pose = 0;
  bool odd_third = false;
  int third = 0;  // what figure 3 shows at the stop
};

// The draws of a forced hit from the generator as it stands.
ForcedHit DrawForcedHit(ModelRandom& random);

// The forced hit of the first stop of a run with this seed.
ForcedHit ModelForcedHit(std::uint32_t seed);

// The first seed from 1 up that `accepts` (below `limit`); a failure and 0 when there is none.
std::uint32_t FirstSeed(const std::function<bool(std::uint32_t)>& accepts, std::uint32_t limit = 1000000);

// The first seed from 1 up whose generator, fresh from the seed, `fits`.
std::uint32_t FirstSeed(const std::function<bool(ModelRandom)>& fits, std::uint32_t limit = 1000000);

// The first seed whose forced hit has the given pose and odd-third draw.
std::uint32_t SeedOfHit(int pose, bool odd_third);

// The first seed whose forced hit is `wanted`.
std::uint32_t SeedOfHit(const std::function<bool(const ForcedHit&)>& wanted);

// The random song pick: a draw below 5; equal to the current song, a second; equal again, a
// third, kept whatever it is.
struct Pick {
  int song = 0;
  int draws = 0;
};

Pick RandomPick(ModelRandom& random, int current);

}  // namespace zumbolo::testing
