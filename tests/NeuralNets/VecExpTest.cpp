// The exp kernels against the C library: every kernel the processor can run
// must give the scalar formulas' results bit for bit, and the self-check that
// admits a kernel must turn down one that is wrong anywhere it looks.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "NeuralNets/simd/VecExp.h"
#include "common/Random.h"

namespace {

using quill::simd::ExpKernels;

std::uint64_t Bits(double d) {
  return std::bit_cast<std::uint64_t>(d);
}

double FromBits(std::uint64_t u) {
  return std::bit_cast<double>(u);
}

double RefSigmoid(double x) {
  return x < -500.0 ? 1e-300 : 1.0 / (1.0 + std::exp(-x));
}
double RefSigmoidGain(double x, double g) {
  return 1.0 / (1.0 + std::exp(-(g * x)));
}

std::vector<const ExpKernels*> AvailableKernels() {
  std::vector<const ExpKernels*> v = {&quill::simd::ExpLibm()};
  if (const ExpKernels* k = quill::simd::ExpAvx2()) v.push_back(k);
  if (const ExpKernels* k = quill::simd::ExpAvx512()) v.push_back(k);
  return v;
}

// Special values of both signs, then random inputs over the range the
// activations reach (uniform and log-uniform magnitudes down to subnormals).
std::vector<double> Inputs(std::size_t random_count) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> v = {0.0,
                           0x1p-54,
                           std::nextafter(0x1p-54, 0.0),
                           std::numeric_limits<double>::denorm_min(),
                           1.0,
                           500.0,
                           std::nextafter(500.0, 0.0),
                           std::nextafter(500.0, inf),
                           500.5,
                           std::nextafter(512.0, 0.0),
                           512.0,
                           708.39,
                           709.78,
                           709.79,
                           710.0,
                           720.0,
                           740.0,
                           745.1,
                           745.2,
                           746.0,
                           1e300,
                           std::numeric_limits<double>::max(),
                           inf};
  const std::size_t count = v.size();
  for (std::size_t i = 0; i < count; ++i)
    v.push_back(-v[i]);
  for (std::uint64_t nan : {0x7ff8000000000000ull, 0xfff8000000000000ull, 0x7ff80000deadbeefull,
                            0xfff0000000000123ull}) {
    v.push_back(FromBits(nan));
  }
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> wide(-745.2, 709.8);
  std::uniform_real_distribution<double> usual(-40.0, 40.0);
  std::uniform_real_distribution<double> log2_magnitude(-1074.0, 10.0);
  for (std::size_t i = 0; i < random_count; ++i) {
    switch (i % 3) {
      case 0:
        v.push_back(wide(rng));
        break;
      case 1:
        v.push_back(usual(rng));
        break;
      default: {
        const double m = std::exp2(log2_magnitude(rng));
        v.push_back((rng() & 1) ? -m : m);
      }
    }
  }
  return v;
}

// Expects got[i] and want[i] to be the same bits for every i < n; reports the
// first few inputs x[i] where they are not.
void ExpectSameBits(const double* x, const double* got, const double* want, std::size_t n) {
  if (n == 0 || std::memcmp(got, want, n * sizeof(double)) == 0) return;
  std::size_t bad = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (Bits(got[i]) != Bits(want[i]) && ++bad <= 3) {
      ADD_FAILURE() << "x = " << std::hexfloat << x[i] << ": " << got[i] << ", library " << want[i];
    }
  }
  EXPECT_EQ(bad, 0u);
}

// A kernel function under test, as one callable over (x, y, n).
struct Case {
  std::string name;
  std::function<void(const double*, double*, std::size_t)> run;
  std::function<double(double)> ref;
};

std::vector<Case> Cases(const ExpKernels& k) {
  std::vector<Case> cases = {
      {"exp", k.exp, [](double x) { return std::exp(x); }},
      {"sigmoid", k.sigmoid, RefSigmoid},
  };
  for (double g : {1.0, 0.5, 2.0, -1.0}) {
    cases.push_back(
        {"sigmoid_gain(" + std::to_string(g) + ")",
         [&k, g](const double* x, double* y, std::size_t n) { k.sigmoid_gain(x, g, y, n); },
         [g](double x) { return RefSigmoidGain(x, g); }});
  }
  return cases;
}

TEST(VecExp, EveryKernelMatchesTheLibraryBitForBit) {
  const std::vector<double> in = Inputs(1000000);
  const std::size_t n = in.size();
  const std::vector<const ExpKernels*> kernels = AvailableKernels();
  std::vector<double> expect(n);
  std::vector<double> out(n);
  const std::size_t functions = Cases(*kernels[0]).size();
  for (std::size_t f = 0; f < functions; ++f) {
    const Case reference = Cases(*kernels[0])[f];
    for (std::size_t i = 0; i < n; ++i)
      expect[i] = reference.ref(in[i]);
    for (const ExpKernels* k : kernels) {
      const Case c = Cases(*k)[f];
      SCOPED_TRACE(std::string(k->name) + " " + c.name);
      // Out of place over the whole array, then in place.
      c.run(in.data(), out.data(), n);
      ExpectSameBits(in.data(), out.data(), expect.data(), n);
      out = in;
      c.run(out.data(), out.data(), n);
      ExpectSameBits(in.data(), out.data(), expect.data(), n);

      // Every length up to 33 at every offset into a cache line: each tail
      // is computed, and nothing past either end is written.
      for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t len = 0; len <= 33; ++len) {
          SCOPED_TRACE("offset " + std::to_string(offset) + ", length " + std::to_string(len));
          std::vector<double> y(len + 2, -7.0);
          c.run(in.data() + offset, y.data() + 1, len);
          ASSERT_EQ(y[0], -7.0);
          ASSERT_EQ(y[len + 1], -7.0);
          ExpectSameBits(in.data() + offset, y.data() + 1, expect.data() + offset, len);
        }
      }
    }
  }
}

TEST(VecExp, ActivationEdgesAndNaNs) {
  for (const ExpKernels* k : AvailableKernels()) {
    SCOPED_TRACE(k->name);
    const double x[4] = {-500.0, std::nextafter(-500.0, -1e9), -500.5,
                         FromBits(0x7ff80000deadbeefull)};
    double y[4];
    k->sigmoid(x, y, 4);
    EXPECT_GT(y[0], 1e-300);  // -500 itself uses the formula
    EXPECT_EQ(y[1], 1e-300);
    EXPECT_EQ(y[2], 1e-300);
    // NaN stays NaN, keeping its payload; the negation in the formula flips
    // its sign, as the scalar formula does.
    EXPECT_EQ(Bits(y[3]), 0xfff80000deadbeefull);
    k->exp(x + 3, y, 1);
    EXPECT_EQ(Bits(y[0]), 0x7ff80000deadbeefull);
  }
}

TEST(VecExp, BestKernelsAreTheFastestThatMatch) {
  const std::uint32_t rand_state = quill::RandState();
  const ExpKernels& best = quill::simd::BestExpKernels();
  EXPECT_EQ(&best, &quill::simd::BestExpKernels());
  EXPECT_TRUE(quill::simd::ExpMatchesLibrary(best));
  for (const ExpKernels* k : AvailableKernels()) {
    EXPECT_TRUE(quill::simd::ExpMatchesLibrary(*k)) << k->name;
  }
  // The fastest available kernel that matches, the library's loop otherwise.
  const ExpKernels* expected = &quill::simd::ExpLibm();
  for (const ExpKernels* k : {quill::simd::ExpAvx512(), quill::simd::ExpAvx2()}) {
    if (k != nullptr && quill::simd::ExpMatchesLibrary(*k)) {
      expected = k;
      break;
    }
  }
  EXPECT_EQ(&best, expected) << best.name;
  EXPECT_EQ(quill::RandState(), rand_state) << "the probes must not draw from quill::Rand";
}

// Kernels with one defect each, built on the portable kernels (the library's
// scalar exp); the self-check must turn every one of them down.
void Exp(const double* x, double* y, std::size_t n) {
  quill::simd::ExpLibm().exp(x, y, n);
}
// One ulp high on [4, 5), where the library's fused multiply-adds decide the
// last bit of some results.
void ExpUlpHigh(const double* x, double* y, std::size_t n) {
  Exp(x, y, n);
  for (std::size_t i = 0; i < n; ++i) {
    if (x[i] >= 4.0 && x[i] < 5.0) y[i] = std::nextafter(y[i], INFINITY);
  }
}
// Subnormal results flushed to zero.
void ExpFlushSubnormal(const double* x, double* y, std::size_t n) {
  Exp(x, y, n);
  for (std::size_t i = 0; i < n; ++i) {
    if (std::fpclassify(y[i]) == FP_SUBNORMAL) y[i] = 0.0;
  }
}
// NaNs replaced by the default NaN.
void ExpCanonicalNaN(const double* x, double* y, std::size_t n) {
  Exp(x, y, n);
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isnan(y[i])) y[i] = std::numeric_limits<double>::quiet_NaN();
  }
}
// Leaves the last n % 4 elements alone.
void ExpNoTail(const double* x, double* y, std::size_t n) {
  Exp(x, y, n - n % 4);
}
// Writes its output before it has read all of the input (wrong in place).
void ExpNotInPlace(const double* x, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = 0.0;
  Exp(x, y, n);
}
// Cut-off at x <= -500 instead of x < -500.
void SigmoidCutoffInclusive(const double* x, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = x[i] <= -500.0 ? 1e-300 : RefSigmoid(x[i]);
}
// exp(-x) formed as 1 / exp(x).
void SigmoidReciprocal(const double* x, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    y[i] = x[i] < -500.0 ? 1e-300 : 1.0 / (1.0 + 1.0 / std::exp(x[i]));
  }
}
// The same function written as 0.5 + 0.5 * tanh(g * x / 2).
void SigmoidGainTanh(const double* x, double g, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = 0.5 + 0.5 * std::tanh(g * x[i] * 0.5);
}
// The sigmoid's cut-off applied to the gain version too.
void SigmoidGainCutoff(const double* x, double g, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    y[i] = g * x[i] < -500.0 ? 1e-300 : RefSigmoidGain(x[i], g);
  }
}

TEST(VecExp, SelfCheckRejectsWrongKernels) {
  const auto Sigmoid = quill::simd::ExpLibm().sigmoid;
  const auto SigmoidGain = quill::simd::ExpLibm().sigmoid_gain;
  const ExpKernels wrong[] = {
      {"exp one ulp high on [4,5)", ExpUlpHigh, Sigmoid, SigmoidGain},
      {"exp flushes subnormals", ExpFlushSubnormal, Sigmoid, SigmoidGain},
      {"exp loses NaN payloads", ExpCanonicalNaN, Sigmoid, SigmoidGain},
      {"exp skips the tail", ExpNoTail, Sigmoid, SigmoidGain},
      {"exp wrong in place", ExpNotInPlace, Sigmoid, SigmoidGain},
      {"sigmoid cut-off at -500 inclusive", Exp, SigmoidCutoffInclusive, SigmoidGain},
      {"sigmoid via 1/exp(x)", Exp, SigmoidReciprocal, SigmoidGain},
      {"sigmoid_gain via tanh", Exp, Sigmoid, SigmoidGainTanh},
      {"sigmoid_gain with cut-off", Exp, Sigmoid, SigmoidGainCutoff},
      {"missing function", Exp, nullptr, SigmoidGain},
  };
  EXPECT_TRUE(quill::simd::ExpMatchesLibrary({"sound", Exp, Sigmoid, SigmoidGain}));
  for (const ExpKernels& k : wrong)
    EXPECT_FALSE(quill::simd::ExpMatchesLibrary(k)) << k.name;
}

}  // namespace
