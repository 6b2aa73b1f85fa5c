// The single-precision recall kernels: the weight-block loops and the
// exp-based activations in float32 with fused multiply-adds, one
// implementation per instruction set, every one giving the same bits.
//
// Block loops (the layout of the double loops, see RecallKernels.h, with
// blocks of kSingleLanes patterns): for every to-neuron t and pattern p of a
// block,
//   s = accumulate ? out[t][p] : 0.0f;
//   for f = 0 ... nFrom - 1 in order: s = fma(w(f -> t), o[f][p], s);
//   out[t][p] = s
// with one rounding per connection (std::fma in plain C++, the FMA
// instructions in the vector units): a neuron's blocks continue one chain of
// multiply-adds.
//
// exp(x): the same operations in every implementation, each rounded to
// float (fma rounds once):
//   c     = max(min(x, 89), -104)         NaN becomes 89 here, and is put
//                                         back at the end
//   k     = fma(c, Log2e, 1.5 * 2^23) - 1.5 * 2^23     (k = round(c / ln 2))
//   r     = fma(k, -Ln2Hi, c);  r = fma(k, -Ln2Lo, r)
//   q     = fma(q, r, C) for C = C5, C4, C3, C2, 1, starting with q = C6
//   p     = fma(q, r, 1)
//   exp   = p * 2^k, rounded once (subnormal results included)
// Ln2Hi is ln 2 rounded to float and Ln2Lo the rest; C2 ... C6 make
// 1 + r + C2 r^2 + ... + C6 r^6 a near-minimax fit of e^r on [-ln2/2, ln2/2]
// (relative error 3e-9 before rounding). Measured over every float input
// (tools/single_exp_check): at most 0.86 ulp from the exact value, never
// more than one float from the correctly rounded result.
//
// pattern_errors: for each of a block's kSingleLanes patterns, the sum over the
// outputs o in order of d * d, d = t[o][p] - y[o][p] in double (y widened).
//
// sigmoid(x): e = exp(-|x|);  (x < 0 ? e : 1) / (1 + e), which keeps full
// relative accuracy down to the subnormal results of large negative x (a NaN
// x runs through the same steps unclamped and gives NaN); at
// most 2.22 ulp from the exact value, two floats from the correctly rounded
// result. sigmoid_gain(x, g) is sigmoid(g * x) with the product rounded to
// float.
//
// This header is also included by the AVX2 and AVX-512 units, so it holds
// plain declarations only (no inline code).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quill::simd {

// Patterns per block in single precision: a layer row is two AVX-512
// registers of floats, so that every weight loaded serves 32 patterns.
inline constexpr int kSingleLanes = 32;

using DenseSingleFn = void (*)(const float* w, const float* o, int nFrom, int nTo, float* out,
                               bool accumulate);
using SparseSingleFn = void (*)(const std::int32_t* row_start, const std::int32_t* cols,
                                const float* vals, const float* o, int nTo, float* out,
                                bool accumulate);

// One implementation of the single-precision loops and functions. x and y
// may be the same array (in place); n may be 0.
struct SingleKernels {
  DenseSingleFn dense;
  SparseSingleFn sparse;
  void (*exp)(const float* x, float* y, std::size_t n);
  void (*sigmoid)(const float* x, float* y, std::size_t n);
  void (*sigmoid_gain)(const float* x, float g, float* y, std::size_t n);
  void (*pattern_errors)(const float* y, const double* t, int nOut, double* sums);
};

// Plain C++ with std::fma, on any processor: the reference.
const SingleKernels& SinglePortable();

namespace detail {
// Defined in the instruction-set units; call only after checking the
// processor.
const SingleKernels& SingleAvx2();
const SingleKernels& SingleAvx512();
}  // namespace detail

}  // namespace quill::simd
