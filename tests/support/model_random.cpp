#include "tests/support/model_random.h"

#include <gtest/gtest.h>

namespace zumbolo::testing {

ForcedHit DrawForcedHit(ModelRandom& random) {
  ForcedHit hit;
  hit.pose = kResultPoses[static_cast<std::size_t>(random.Below(4))];
  hit.odd_third = random.Below(5) == 4;
  hit.third = !hit.odd_third ? hit.pose : hit.pose != 1 ? 1 : 5;
  return hit;
}

ForcedHit ModelForcedHit(std::uint32_t seed) {
  ModelRandom random(seed);
  return DrawForcedHit(random);
}

std::uint32_t FirstSeed(const std::function<bool(std::uint32_t)>& accepts, std::uint32_t limit) {
  for (std::uint32_t seed = 1; seed < limit; ++seed)
    if (accepts(seed)) return seed;
  ADD_FAILURE() << "no seed found";
  return 0;
}

std::uint32_t FirstSeed(const std::function<bool(ModelRandom)>& fits, std::uint32_t limit) {
  return FirstSeed([&fits](std::uint32_t seed) { return fits(ModelRandom(seed)); }, limit);
}

std::uint32_t SeedOfHit(int pose, bool odd_third) {
  return SeedOfHit([pose, odd_third](const ForcedHit& hit) { return hit.pose == pose && hit.odd_third == odd_third; });
}

std::uint32_t SeedOfHit(const std::function<bool(const ForcedHit&)>& wanted) {
  return FirstSeed([&wanted](std::uint32_t seed) { return wanted(ModelForcedHit(seed)); });
}

Pick RandomPick(ModelRandom& random, int current) {
  Pick pick;
  pick.song = random.Below(5);
  pick.draws = 1;
  while (pick.song == current && pick.draws < 3) {
    pick.song = random.Below(5);
    ++pick.draws;
  }
  return pick;
}

}  // namespace zumbolo::testing
