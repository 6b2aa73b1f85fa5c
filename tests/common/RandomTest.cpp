#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/Random.h"

namespace {

TEST(RandBelow, RangesWithinTheSpanTakeOneDrawRandModN) {
  for (std::int64_t n = 1; n <= 32768; ++n) {
    const auto seed = static_cast<std::uint32_t>(n) * 2654435761u;
    quill::SeedRand(seed);
    const std::int64_t old_value = quill::Rand() % n;
    quill::SeedRand(seed);
    ASSERT_EQ(quill::RandBelow(n), old_value) << "n " << n;
    ASSERT_EQ(quill::RandState(), seed * 22695477u + 1u) << "n " << n;
  }
}

TEST(RandBelow, EveryValueEquallyLikelyOverEveryDrawSequence) {
  // With 3-bit draws n from 9 to 64 joins two draws, up to 512 three. Each
  // sequence of that many draws is tried once, followed by zeros: those that
  // give a value give every value of 0..n-1 equally often; the others (8^draws
  // mod n of them, the top partial block) draw as many zeros again.
  for (std::int64_t n = 9; n <= 512; ++n) {
    const int draws = n <= 64 ? 2 : 3;
    const std::int64_t sequences = std::int64_t{1} << (3 * draws);
    std::vector<std::int64_t> count(static_cast<std::size_t>(n), 0);
    std::int64_t repeated = 0;
    for (std::int64_t s = 0; s < sequences; ++s) {
      int taken = 0;
      const std::int64_t value = quill::DrawBelow<3>(n, [&] {
        const int shift = 3 * (draws - 1 - taken++);
        return shift >= 0 ? static_cast<int>(s >> shift) & 7 : 0;
      });
      ASSERT_TRUE(value >= 0 && value < n);
      ASSERT_TRUE(taken == draws || (taken == 2 * draws && value == 0)) << "n " << n;
      if (taken == draws) ++count[static_cast<std::size_t>(value)];
      repeated += taken != draws;
    }
    for (std::int64_t c : count)
      ASSERT_EQ(c, sequences / n) << "n " << n;
    EXPECT_EQ(repeated, sequences % n) << "n " << n;
  }
}

TEST(RandBelow, WideRangesReachEveryValueEvenly) {
  // Sixteen draws per value: every value is met (Rand() % n never passed
  // 32767), and the chi-square statistic lies within six standard deviations
  // of its mean.
  for (std::int64_t n : {32769, 68362, 100000}) {
    quill::SeedRand(static_cast<std::uint32_t>(n));
    std::vector<int> count(static_cast<std::size_t>(n), 0);
    for (std::int64_t i = 0; i < 16 * n; ++i)
      ++count[static_cast<std::size_t>(quill::RandBelow(n))];
    double chi_square = 0.0;
    for (int c : count) {
      ASSERT_GT(c, 0) << "n " << n;
      chi_square += (c - 16.0) * (c - 16.0) / 16.0;
    }
    EXPECT_NEAR(chi_square, n - 1, 6.0 * std::sqrt(2.0 * (n - 1))) << "n " << n;
  }
}

}  // namespace
