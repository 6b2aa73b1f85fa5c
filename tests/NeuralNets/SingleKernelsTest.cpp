// The single-precision kernels: every implementation the processor runs gives
// the plain kernels' bits, on the block loops and on exp and the sigmoids over
// a dense sweep of all floats; and the plain exp and sigmoid stay within their
// stated distance of the correctly rounded results (tools/single_exp_check
// runs every float).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "NeuralNets/simd/RecallKernels.h"

namespace {

using quill::simd::SingleKernels;

// Every 16381st bit pattern (both signs, every exponent, subnormals,
// infinities and NaNs), and the values around the ends of the clamping.
std::vector<float> Sweep() {
  std::vector<float> v;
  for (std::uint64_t bits = 0; bits < (1ull << 32); bits += 16381)
    v.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
  for (float x : {-104.0f, 89.0f, -103.97f, 88.7228f, 88.72284f, -87.3365f, -0.0f, 0.0f}) {
    v.push_back(x);
    v.push_back(std::nextafter(x, -INFINITY));
    v.push_back(std::nextafter(x, INFINITY));
  }
  return v;
}

constexpr float kGains[] = {1.0f, 0.5f, -2.0f, 0.0f, -0.0f, 3e38f};

// Runs `fn` over the inputs out of place, in place and in short pieces at an
// odd offset (every tail length), and checks the three agree.
template <class Fn>
std::vector<float> RunAllWays(const std::vector<float>& x, Fn fn) {
  std::vector<float> y(x.size());
  fn(x.data(), y.data(), x.size());
  std::vector<float> in_place = x;
  fn(in_place.data(), in_place.data(), x.size());
  EXPECT_EQ(0, std::memcmp(in_place.data(), y.data(), y.size() * sizeof(float)));
  for (std::size_t len = 0; len <= 33; ++len) {
    std::vector<float> part(len + 2, 7.0f);
    fn(x.data() + 1, part.data() + 1, len);
    EXPECT_EQ(part[0], 7.0f);
    EXPECT_EQ(part[len + 1], 7.0f);
    EXPECT_EQ(0, std::memcmp(part.data() + 1, y.data() + 1, len * sizeof(float))) << len;
  }
  return y;
}

std::vector<const SingleKernels*> Implementations() {
  std::vector<const SingleKernels*> all;
  for (const quill::simd::RecallKernels* k : quill::simd::AvailableKernels())
    all.push_back(&k->single);
  return all;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(SingleKernels, FunctionsGiveThePlainBitsOnEveryImplementation) {
  const std::vector<float> x = Sweep();
  auto gained = [](const SingleKernels& k, float g) {
    return [&k, g](const float* in, float* out, std::size_t n) { k.sigmoid_gain(in, g, out, n); };
  };
  const SingleKernels& plain = quill::simd::SinglePortable();
  const std::vector<float> exp = RunAllWays(x, plain.exp);
  const std::vector<float> sigmoid = RunAllWays(x, plain.sigmoid);
  std::vector<std::vector<float>> sigmoid_gain;
  for (float g : kGains)
    sigmoid_gain.push_back(RunAllWays(x, gained(plain, g)));
  for (const SingleKernels* k : Implementations()) {
    EXPECT_TRUE(SameBits(RunAllWays(x, k->exp), exp));
    EXPECT_TRUE(SameBits(RunAllWays(x, k->sigmoid), sigmoid));
    for (std::size_t i = 0; i < std::size(kGains); ++i)
      EXPECT_TRUE(SameBits(RunAllWays(x, gained(*k, kGains[i])), sigmoid_gain[i])) << kGains[i];
  }
}

// How many floats `y` lies from the float nearest `exact` (both of one
// sign or zero).
std::int64_t Steps(float y, long double exact) {
  const float nearest = static_cast<float>(exact);
  return std::abs(static_cast<std::int64_t>(std::bit_cast<std::int32_t>(y)) -
                  std::bit_cast<std::int32_t>(nearest));
}

TEST(SingleKernels, WithinTheirBoundsOfTheCorrectlyRoundedResult) {
  const std::vector<float> x = Sweep();
  const SingleKernels& plain = quill::simd::SinglePortable();
  std::vector<float> exp(x.size()), sigmoid(x.size());
  plain.exp(x.data(), exp.data(), x.size());
  plain.sigmoid(x.data(), sigmoid.data(), x.size());
  std::int64_t worst_exp = 0, worst_sigmoid = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const long double v = x[i];
    if (std::isnan(x[i])) {
      EXPECT_TRUE(std::isnan(exp[i]) && std::isnan(sigmoid[i]));
      continue;
    }
    worst_exp = std::max(worst_exp, Steps(exp[i], std::exp(v)));
    worst_sigmoid = std::max(worst_sigmoid, Steps(sigmoid[i], 1.0L / (1.0L + std::exp(-v))));
  }
  EXPECT_LE(worst_exp, 1);
  EXPECT_LE(worst_sigmoid, 2);
  // The ends are exact.
  const float inf = std::numeric_limits<float>::infinity();
  const float ends[] = {-inf, inf, -0.0f, 1000.0f, -1000.0f};
  float e[5], s[5];
  plain.exp(ends, e, 5);
  plain.sigmoid(ends, s, 5);
  EXPECT_EQ(e[0], 0.0f);
  EXPECT_EQ(e[1], inf);
  EXPECT_EQ(e[2], 1.0f);
  EXPECT_EQ(e[3], inf);
  EXPECT_EQ(e[4], 0.0f);
  EXPECT_EQ(s[0], 0.0f);
  EXPECT_EQ(s[1], 1.0f);
  EXPECT_EQ(s[2], 0.5f);
  EXPECT_EQ(s[3], 1.0f);
  EXPECT_EQ(s[4], 0.0f);
}

// Dense and sparse blocks of every size up to 40 x 40 (odd group tails
// included), summed afresh and added to a row, with weights and outputs that
// include infinities, NaN and -0.
TEST(SingleKernels, BlockLoopsGiveThePlainBitsOnEveryImplementation) {
  using quill::simd::kRowGroup;
  using quill::simd::kSingleLanes;
  std::mt19937 rng(31);
  std::uniform_real_distribution<float> value(-3.0f, 3.0f);
  auto random = [&] {
    const unsigned pick = rng() % 500;
    if (pick == 0) return std::numeric_limits<float>::infinity();
    if (pick == 1) return std::numeric_limits<float>::quiet_NaN();
    if (pick == 2) return -0.0f;
    return value(rng);
  };
  const SingleKernels& plain = quill::simd::SinglePortable();
  for (int round = 0; round < 300; ++round) {
    const int nFrom = static_cast<int>(rng() % 41);
    const int nTo = 1 + static_cast<int>(rng() % 40);
    const bool accumulate = rng() % 2 == 0;
    const std::size_t groups = static_cast<std::size_t>((nTo + kRowGroup - 1) / kRowGroup);
    std::vector<float> w(groups * static_cast<std::size_t>(nFrom) * kRowGroup);
    std::vector<float> o(static_cast<std::size_t>(nFrom) * kSingleLanes);
    std::vector<float> start(static_cast<std::size_t>(nTo) * kSingleLanes);
    for (auto* v : {&w, &o, &start}) {
      for (float& f : *v)
        f = random();
    }
    // Compressed rows: each connection present with probability 1/2.
    std::vector<std::int32_t> row_start{0}, cols;
    std::vector<float> vals;
    for (int t = 0; t < nTo; ++t) {
      for (int f = 0; f < nFrom; ++f) {
        if (rng() % 2 == 0) continue;
        cols.push_back(f);
        vals.push_back(random());
      }
      row_start.push_back(static_cast<std::int32_t>(cols.size()));
    }
    std::vector<float> dense = start, sparse = start;
    plain.dense(w.data(), o.data(), nFrom, nTo, dense.data(), accumulate);
    plain.sparse(row_start.data(), cols.data(), vals.data(), o.data(), nTo, sparse.data(),
                 accumulate);
    for (const SingleKernels* k : Implementations()) {
      SCOPED_TRACE(std::to_string(nFrom) + " x " + std::to_string(nTo));
      std::vector<float> d = start, s = start;
      k->dense(w.data(), o.data(), nFrom, nTo, d.data(), accumulate);
      k->sparse(row_start.data(), cols.data(), vals.data(), o.data(), nTo, s.data(), accumulate);
      for (std::size_t i = 0; i < d.size(); ++i) {
        // Which of two NaNs an operation keeps is not fixed; nothing shown
        // depends on it.
        if (!(std::isnan(d[i]) && std::isnan(dense[i]))) {
          ASSERT_EQ(std::bit_cast<std::uint32_t>(d[i]), std::bit_cast<std::uint32_t>(dense[i]));
        }
        if (!(std::isnan(s[i]) && std::isnan(sparse[i]))) {
          ASSERT_EQ(std::bit_cast<std::uint32_t>(s[i]), std::bit_cast<std::uint32_t>(sparse[i]));
        }
      }
    }
  }
}

}  // namespace
