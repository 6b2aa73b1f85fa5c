// The memory a run needs, against the limits of the machine and process.
#include <gtest/gtest.h>

#include "MLP/Quill/RunMemory.h"

namespace {

constexpr std::uint64_t kMB = std::uint64_t{1} << 20;

TEST(RunMemory, RunsThatFitAreNeverRefused) {
  // The L benchmark (100 individuals of 68,362 genes) takes about 150 MB in
  // all: its lower bound stays below, so a 256 MB machine takes it.
  EXPECT_LT(RunMemoryNeed(100, 68362), 60 * kMB);
  EXPECT_TRUE(FitsInMemory(RunMemoryNeed(100, 68362), {256 * kMB, std::nullopt, std::nullopt}));
  EXPECT_TRUE(FitsInMemory(RunMemoryNeed(50, 43), {}));  // no limit at all
  // Two billion individuals of a 2-2-1 network need hundreds of gigabytes,
  // whichever limit is the smallest; a network's most genes cannot overflow.
  const std::uint64_t huge = RunMemoryNeed(2147483647, 9);
  EXPECT_GT(huge, 500 * 1024 * kMB);
  EXPECT_FALSE(FitsInMemory(huge, {64 * 1024 * kMB, std::nullopt, std::nullopt}));
  EXPECT_FALSE(FitsInMemory(huge, {std::nullopt, 1024 * kMB, std::nullopt}));
  EXPECT_FALSE(FitsInMemory(huge, {std::nullopt, std::nullopt, 1024 * kMB}));
  EXPECT_GE(RunMemoryNeed(2147483647, 2147483647), huge);
  // This process has some limit: the machine's memory.
  EXPECT_TRUE(MemoryLimits::OfThisProcess().physical.has_value());
}

}  // namespace
