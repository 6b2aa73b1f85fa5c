// The program-wide pseudo-random generator.
//
// A 32-bit linear congruential generator: state = state * 22695477 + 1
// (mod 2^32); each draw returns bits 16..30 of the new state, 0..32767.
// The state is 1 until seeded. Every random step of the program is scaled to
// this range (r * (1/32767), r % 1001, ...), so results are reproducible draw
// for draw from a given seed. Not thread-safe: there is one thread.
#pragma once

#include <cstdint>

namespace quill {

// Largest value a draw returns.
inline constexpr int kRandMax = 32767;

// Returns the next draw, 0..kRandMax.
int Rand();

// Restarts the sequence from `seed` (the state becomes `seed`).
void SeedRand(std::uint32_t seed);

// The raw generator state, for tests that save and restore it.
std::uint32_t RandState();
void SetRandState(std::uint32_t state);

}  // namespace quill
