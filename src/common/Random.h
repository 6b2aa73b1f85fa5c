// The program-wide pseudo-random generator.
//
// A 32-bit linear congruential generator: state = state * 22695477 + 1
// (mod 2^32); each draw returns bits 16..30 of the new state, 0..32767.
// The state is 1 until seeded. Every random step of the program is scaled to
// this range (r * (1/32767), r % 1001, ...) or drawn with RandBelow, so
// results are reproducible draw for draw from a given seed. Not thread-safe:
// there is one thread.
#pragma once

#include <cstdint>

#include "common/Assert.h"

namespace quill {

// Largest value a draw returns.
inline constexpr int kRandMax = 32767;

// Returns the next draw, 0..kRandMax.
int Rand();

// Returns a value in 0..n-1, each of them possible.
// REQUIRES: 1 <= n <= 2^60.
//
// For n up to 32768 it is one draw, Rand() % n: the value random steps have
// always taken, so that a run whose ranges fit the generator repeats its
// series. A wider range joins as few draws as cover it, the first giving the
// highest bits (two draws make a 30-bit number, four at most 60 bits), and
// joins new ones while the number falls in the top partial block, at or above
// the largest multiple of n the bits hold: with even draws every value is
// then exactly as likely as any other. The repeat makes the number of draws
// vary; its chance is below n / 2^30 for two draws and always below one half.
std::int64_t RandBelow(std::int64_t n);

// Restarts the sequence from `seed` (the state becomes `seed`).
void SeedRand(std::uint32_t seed);

// The raw generator state, for tests that save and restore it.
std::uint32_t RandState();
void SetRandState(std::uint32_t state);

// RandBelow's rule for any generator whose draws are `kBits` bits wide
// (`draw()` returns 0..2^kBits - 1), so that tests can check it exhaustively
// on a small one. REQUIRES: 1 <= n <= 2^(kBits * (63 / kBits)).
template <int kBits, typename Draw>
std::int64_t DrawBelow(std::int64_t n, Draw&& draw) {
  static_assert(kBits >= 1 && kBits <= 31);
  constexpr int kWidest = kBits * (63 / kBits);
  QUILL_ASSERT_UNIT(n >= 1 && static_cast<std::uint64_t>(n) <= std::uint64_t{1} << kWidest,
                    "common/Random");
  const auto range = static_cast<std::uint64_t>(n);
  constexpr std::uint64_t kSpan = std::uint64_t{1} << kBits;
  if (range <= kSpan) return static_cast<std::int64_t>(static_cast<std::uint64_t>(draw()) % range);
  int draws = 2;
  std::uint64_t space = kSpan << kBits;
  while (space < range) {
    space <<= kBits;
    ++draws;
  }
  const std::uint64_t limit = space - space % range;
  for (;;) {
    std::uint64_t joined = 0;
    for (int i = 0; i < draws; ++i)
      joined = (joined << kBits) | static_cast<std::uint64_t>(draw());
    if (joined < limit) return static_cast<std::int64_t>(joined % range);
  }
}

}  // namespace quill
