#include "common/Random.h"

namespace quill {
namespace {
std::uint32_t g_state = 1;
}  // namespace

int Rand() {
  g_state = g_state * 22695477u + 1u;
  return static_cast<int>((g_state >> 16) & 0x7FFFu);
}

std::int64_t RandBelow(std::int64_t n) {
  return DrawBelow<15>(n, Rand);
}

void SeedRand(std::uint32_t seed) {
  g_state = seed;
}

std::uint32_t RandState() {
  return g_state;
}

void SetRandState(std::uint32_t state) {
  g_state = state;
}

}  // namespace quill
