#include <gtest/gtest.h>

#include "common/Assert.h"
#include "common/Clock.h"
#include "common/Random.h"
#include "common/StrCase.h"

namespace {
constexpr const char* kSourceUnit = "tests/common";

TEST(Random, FirstDrawsFromSeedOne) {
  quill::SeedRand(1);
  // state 1 -> 22695478 -> ... ; bits 16..30 of each new state.
  EXPECT_EQ(quill::Rand(), 346);
  EXPECT_EQ(quill::Rand(), 130);
  EXPECT_EQ(quill::Rand(), 10982);
}

TEST(Random, SameSeedSameSequence) {
  quill::SeedRand(12345);
  int a[5];
  for (int& v : a)
    v = quill::Rand();
  quill::SeedRand(12345);
  for (int v : a)
    EXPECT_EQ(quill::Rand(), v);
  for (int i = 0; i < 10000; ++i) {
    int r = quill::Rand();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, quill::kRandMax);
  }
}

TEST(StrCase, ComparesUpperCasedBytes) {
  EXPECT_EQ(quill::strcasecmp("weightfile", "WEIGHTFILE"), 0);
  EXPECT_EQ(quill::strcasecmp("WeightFile:", "WeightFile"), 1);
  EXPECT_EQ(quill::strcasecmp("a", "B"), -1);
  EXPECT_EQ(quill::strcasecmp("b", "A"), 1);
  EXPECT_EQ(quill::strcasecmp("", ""), 0);
  // Bytes above 0x7F compare as unsigned values.
  EXPECT_EQ(quill::strcasecmp("\xC0", "a"), 1);
  // '_' (0x5F) sorts after the upper-cased letters.
  EXPECT_EQ(quill::strcasecmp("_", "a"), 1);
}

TEST(Clock, ScopedClockInstallsAndRestores) {
  {
    quill::ScopedClock fixed(12345);
    EXPECT_EQ(quill::CurrentTimeSeconds(), 12345);
    {
      quill::ScopedClock inner(7);
      EXPECT_EQ(quill::CurrentTimeSeconds(), 7);
    }
    EXPECT_EQ(quill::CurrentTimeSeconds(), 12345);
  }
  EXPECT_GT(quill::CurrentTimeSeconds(), 1000000000);
}

TEST(AssertDeathTest, PrintsExpressionUnitAndLine) {
  EXPECT_DEATH(QUILL_ASSERT(1 + 1 == 3),
               "Assertion failed: 1 \\+ 1 == 3, file tests/common, line [0-9]+");
}

}  // namespace
