// single_exp_check: the single-precision exp, sigmoid and sigmoid-gain over
// every float input (or every STRIDE-th bit pattern), run by hand.
//
//   single_exp_check [STRIDE [THREADS]]
//
// For each of the 2^32 / STRIDE inputs (default STRIDE 1: all of them) every
// implementation the processor runs (plain, avx2, avx512) computes exp,
// sigmoid and sigmoid-gain with gains 1, 0.5 and -2; each vector result must
// equal the plain one bit for bit. The plain results are measured against
// the exact value (computed in long double): the largest error in ulps of
// the correctly rounded result, and the largest distance in floats from it.
// Prints one line per function and exits 1 on any mismatch or on a distance
// beyond the stated bounds (exp 1, sigmoid 2).
#include <algorithm>
#include <atomic>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "NeuralNets/simd/RecallKernels.h"

namespace {

using quill::simd::SingleKernels;

constexpr int kFunctions = 5;
const char* const kNames[kFunctions] = {"exp", "sigmoid", "sigmoid_gain(1)", "sigmoid_gain(0.5)",
                                        "sigmoid_gain(-2)"};
constexpr float kGains[kFunctions] = {0.0f, 0.0f, 1.0f, 0.5f, -2.0f};

void Run(const SingleKernels& k, int function, const float* x, float* y, std::size_t n) {
  if (function == 0) {
    k.exp(x, y, n);
  } else if (function == 1) {
    k.sigmoid(x, y, n);
  } else {
    k.sigmoid_gain(x, kGains[function], y, n);
  }
}

long double Exact(int function, float x) {
  if (function == 0) return std::exp(static_cast<long double>(x));
  // The sigmoid of the argument as the kernels form it (g * x in float).
  const float t = function == 1 ? x : kGains[function] * x;
  return 1.0L / (1.0L + std::exp(-static_cast<long double>(t)));
}

struct Tally {
  std::uint64_t inputs = 0;
  std::uint64_t mismatches = 0;  // vector results that differ from the plain ones
  std::uint64_t inexact = 0;     // plain results that are not the correctly rounded one
  double worst_ulps = 0.0;       // largest error in ulps of the correctly rounded result
  float worst_input = 0.0f;
  std::int64_t worst_steps = 0;  // largest distance in floats from it

  void Merge(const Tally& t) {
    inputs += t.inputs;
    mismatches += t.mismatches;
    inexact += t.inexact;
    if (t.worst_ulps > worst_ulps) {
      worst_ulps = t.worst_ulps;
      worst_input = t.worst_input;
    }
    worst_steps = std::max(worst_steps, t.worst_steps);
  }
};

// The size of one unit in the last place of the float `f` (the subnormal
// spacing below the normal range; the largest float's at infinity).
long double Ulp(float f) {
  f = std::fabs(f);
  if (std::isinf(f)) f = std::numeric_limits<float>::max();
  if (f < std::numeric_limits<float>::min()) return std::ldexp(1.0L, -149);
  int exponent = 0;
  std::frexp(f, &exponent);
  return std::ldexp(1.0L, exponent - 24);
}

void Check(int function, float x, float y, Tally& t) {
  ++t.inputs;
  if (std::isnan(x)) {
    if (!std::isnan(y)) ++t.mismatches;
    return;
  }
  const long double exact = Exact(function, x);
  const float nearest = static_cast<float>(exact);
  if (y == nearest) return;
  ++t.inexact;
  const std::int64_t steps = std::abs(static_cast<std::int64_t>(std::bit_cast<std::int32_t>(y)) -
                                      std::bit_cast<std::int32_t>(nearest));
  t.worst_steps = std::max(t.worst_steps, steps);
  const double ulps = std::isinf(y) || std::isinf(nearest)
                          ? INFINITY
                          : static_cast<double>(std::fabs(y - exact) / Ulp(nearest));
  if (ulps > t.worst_ulps) {
    t.worst_ulps = ulps;
    t.worst_input = x;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long stride = argc > 1 ? std::atol(argv[1]) : 1;
  const long threads_wanted = argc > 2 ? std::atol(argv[2]) : 0;
  if (argc > 3 || stride < 1 || threads_wanted < 0) {
    std::fprintf(stderr, "usage: %s [STRIDE [THREADS]]   (STRIDE >= 1, default 1)\n", argv[0]);
    return 2;
  }
  const unsigned threads = threads_wanted > 0 ? static_cast<unsigned>(threads_wanted)
                                              : std::max(1u, std::thread::hardware_concurrency());
  const std::vector<const quill::simd::RecallKernels*> all = quill::simd::AvailableKernels();
  if (stride == 1) {
    std::printf("single_exp_check: every float, implementations:");
  } else {
    std::printf("single_exp_check: every %ld-th float, implementations:", stride);
  }
  for (const auto* k : all)
    std::printf(" %s", k->name);
  std::printf("\n");
  std::fflush(stdout);

  constexpr std::uint64_t kChunk = 1u << 16;  // bit patterns per piece of work
  const std::uint64_t pieces = (1ull << 32) / kChunk;
  std::atomic<std::uint64_t> next{0};
  std::mutex mutex;
  Tally tallies[kFunctions];
  auto work = [&] {
    std::vector<float> x, plain, other;
    Tally local[kFunctions];
    for (std::uint64_t piece; (piece = next.fetch_add(1)) < pieces;) {
      x.clear();
      const std::uint64_t step = static_cast<std::uint64_t>(stride);
      for (std::uint64_t b = (piece * kChunk + step - 1) / step * step; b < (piece + 1) * kChunk;
           b += step)
        x.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(b)));
      plain.resize(x.size());
      other.resize(x.size());
      for (int f = 0; f < kFunctions; ++f) {
        Run(all[0]->single, f, x.data(), plain.data(), x.size());
        for (std::size_t i = 0; i < x.size(); ++i)
          Check(f, x[i], plain[i], local[f]);
        for (std::size_t k = 1; k < all.size(); ++k) {
          Run(all[k]->single, f, x.data(), other.data(), x.size());
          for (std::size_t i = 0; i < x.size(); ++i) {
            if (std::bit_cast<std::uint32_t>(other[i]) != std::bit_cast<std::uint32_t>(plain[i]))
              ++local[f].mismatches;
          }
        }
      }
    }
    std::lock_guard lock(mutex);
    for (int f = 0; f < kFunctions; ++f)
      tallies[f].Merge(local[f]);
  };
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t)
    pool.emplace_back(work);
  for (std::thread& t : pool)
    t.join();

  bool ok = true;
  for (int f = 0; f < kFunctions; ++f) {
    const Tally& t = tallies[f];
    const std::int64_t bound = f == 0 ? 1 : 2;
    std::printf("%-18s %" PRIu64 " inputs, %" PRIu64
                " mismatches between implementations, %.4f%% not correctly rounded, at most "
                "%.4f ulp (at %a) and %" PRId64 " float(s) from the correctly rounded result\n",
                kNames[f], t.inputs, t.mismatches,
                100.0 * static_cast<double>(t.inexact) / static_cast<double>(t.inputs),
                t.worst_ulps, static_cast<double>(t.worst_input), t.worst_steps);
    ok = ok && t.mismatches == 0 && t.worst_steps <= bound;
  }
  return ok ? 0 : 1;
}
