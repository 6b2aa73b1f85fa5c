// The plain C++ single-precision kernels: the reference every vector unit
// must equal bit for bit. Every multiply-add is std::fma (one rounding), in
// the order SingleKernels.h gives.
#include "NeuralNets/simd/SingleKernels.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "NeuralNets/simd/BlockKernels.h"
#include "NeuralNets/simd/SingleExpCore.h"

namespace quill::simd {
namespace {

void DensePortable(const float* w, const float* o, int nFrom, int nTo, float* out,
                   bool accumulate) {
  for (int first = 0; first < nTo; first += kRowGroup) {
    const int rows = nTo - first < kRowGroup ? nTo - first : kRowGroup;
    float acc[kRowGroup][kSingleLanes] = {};
    for (int r = 0; r < rows && accumulate; ++r) {
      for (int p = 0; p < kSingleLanes; ++p)
        acc[r][p] =
            out[static_cast<std::size_t>(first + r) * kSingleLanes + static_cast<std::size_t>(p)];
    }
    const float* group = w + static_cast<std::size_t>(first) * static_cast<std::size_t>(nFrom);
    for (int f = 0; f < nFrom; ++f) {
      const float* of = o + static_cast<std::size_t>(f) * kSingleLanes;
      const float* wf = group + static_cast<std::size_t>(f) * kRowGroup;
      for (int r = 0; r < kRowGroup; ++r) {
        const float wr = wf[r];
        for (int p = 0; p < kSingleLanes; ++p)
          acc[r][p] = std::fma(wr, of[p], acc[r][p]);
      }
    }
    for (int r = 0; r < rows; ++r) {
      float* row = out + static_cast<std::size_t>(first + r) * kSingleLanes;
      for (int p = 0; p < kSingleLanes; ++p)
        row[p] = acc[r][p];
    }
  }
}

void SparsePortable(const std::int32_t* row_start, const std::int32_t* cols, const float* vals,
                    const float* o, int nTo, float* out, bool accumulate) {
  for (int t = 0; t < nTo; ++t) {
    float* row = out + static_cast<std::size_t>(t) * kSingleLanes;
    float acc[kSingleLanes] = {};
    for (int p = 0; p < kSingleLanes && accumulate; ++p)
      acc[p] = row[p];
    for (std::int32_t k = row_start[t]; k < row_start[t + 1]; ++k) {
      const float wk = vals[k];
      const float* of = o + static_cast<std::size_t>(cols[k]) * kSingleLanes;
      for (int p = 0; p < kSingleLanes; ++p)
        acc[p] = std::fma(wk, of[p], acc[p]);
    }
    for (int p = 0; p < kSingleLanes; ++p)
      row[p] = acc[p];
  }
}

// 2^n for n in [-126, 127].
float Pow2(int n) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(n + 127) << 23);
}

// e^c for c in [kSingleExpLo, kSingleExpHi]; a NaN c gives the NaN that the
// multiply-adds make of it.
float ExpClamped(float c) {
  float k = std::fma(c, kSingleExpLog2e, kSingleExpShift);
  k = k - kSingleExpShift;
  float r = std::fma(k, -kSingleExpLn2Hi, c);
  r = std::fma(k, -kSingleExpLn2Lo, r);
  float q = std::fma(kSingleExpC6, r, kSingleExpC5);
  q = std::fma(q, r, kSingleExpC4);
  q = std::fma(q, r, kSingleExpC3);
  q = std::fma(q, r, kSingleExpC2);
  q = std::fma(q, r, 1.0f);
  const float p = std::fma(q, r, 1.0f);
  if (std::isnan(p)) return p;
  // p * 2^k in two exact-power steps: the first product stays a normal
  // number (so it is exact), the second rounds once.
  const int n = static_cast<int>(k);
  const int half = n >> 1;
  return (p * Pow2(half)) * Pow2(n - half);
}

float ExpOne(float x) {
  // The comparisons are written as the vector min and max compute them: a
  // NaN argument yields the bound, and the result is the argument.
  float c = x < kSingleExpHi ? x : kSingleExpHi;
  c = c > kSingleExpLo ? c : kSingleExpLo;
  const float y = ExpClamped(c);
  return std::isnan(x) ? x : y;
}

float SigmoidOne(float x) {
  // -|x| needs no upper clamp, and a NaN passes the lower one (the vector
  // max keeps its second operand) to make the result NaN.
  const float nx = -std::fabs(x);
  const float e = ExpClamped(kSingleExpLo > nx ? kSingleExpLo : nx);
  return (x < 0.0f ? e : 1.0f) / (1.0f + e);
}

void ExpPortable(const float* x, float* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = ExpOne(x[i]);
}

void SigmoidPortable(const float* x, float* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = SigmoidOne(x[i]);
}

void SigmoidGainPortable(const float* x, float g, float* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = SigmoidOne(g * x[i]);
}

void PatternErrorsPortable(const float* y, const double* t, int nOut, double* sums) {
  for (int p = 0; p < kSingleLanes; ++p) {
    double sum = 0.0;
    for (int o = 0; o < nOut; ++o) {
      const std::size_t at =
          static_cast<std::size_t>(o) * kSingleLanes + static_cast<std::size_t>(p);
      const double d = t[at] - static_cast<double>(y[at]);
      sum = sum + d * d;
    }
    sums[p] = sum;
  }
}

constexpr SingleKernels kPortable{DensePortable,   SparsePortable,      ExpPortable,
                                  SigmoidPortable, SigmoidGainPortable, PatternErrorsPortable};

}  // namespace

const SingleKernels& SinglePortable() {
  return kPortable;
}

}  // namespace quill::simd
