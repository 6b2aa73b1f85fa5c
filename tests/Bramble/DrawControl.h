// Test helpers that steer the program-wide generator.
#pragma once

#include <cstdint>

#include "common/Random.h"

namespace bramble_test {

// Multiplicative inverse of the generator's multiplier modulo 2^32 (Newton's
// iteration doubles the number of correct low bits each round).
constexpr std::uint32_t InverseMultiplier() {
  std::uint32_t a = 22695477u;
  std::uint32_t x = a;
  for (int i = 0; i < 5; ++i)
    x *= 2u - a * x;
  return x;
}

// Sets the generator so that its next draw returns `r` (0..32767).
inline void ForceNextDraw(int r) {
  const std::uint32_t next = static_cast<std::uint32_t>(r) << 16;
  quill::SetRandState((next - 1u) * InverseMultiplier());
}

// Number of draws taken since the state was `from` (searches up to `limit`).
inline int DrawsSince(std::uint32_t from, int limit = 1000000) {
  std::uint32_t state = from;
  const std::uint32_t now = quill::RandState();
  for (int n = 0; n <= limit; ++n) {
    if (state == now) return n;
    state = state * 22695477u + 1u;
  }
  return -1;
}

}  // namespace bramble_test
