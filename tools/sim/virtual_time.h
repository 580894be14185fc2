#pragma once
// Virtual time, exact: one tick is 1 / 4 410 000 000 s, so that a millisecond (4 410 000), an
// audio sample at 44 100 Hz (100 000) and a media-time unit of 100 ns (441) are all whole numbers.

#include <cstdint>

namespace zumbolo::sim {

using Ticks = std::int64_t;
constexpr Ticks kTicksPerMs = 4'410'000;
constexpr Ticks kTicksPerSample = 100'000;
constexpr Ticks kTicksPerMediaUnit = 441;

constexpr Ticks FromMs(std::int64_t ms) { return ms * kTicksPerMs; }
constexpr std::int64_t WholeMs(Ticks t) { return t >= 0 ? t / kTicksPerMs : -((-t + kTicksPerMs - 1) / kTicksPerMs); }

}  // namespace zumbolo::sim
