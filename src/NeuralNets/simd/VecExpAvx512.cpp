// exp, sigmoid and sigmoid-gain over arrays, eight lanes at a time with
// AVX-512. Compiled with -mavx512f/dq/vl/bw -mavx2 -mfma: everything here but
// the exported table accessor has internal linkage, and the accessor is
// reached only after the processor check in VecExp.cpp.
//
// The exp is a port of the GNU C Library's exp (LGPL-2.1-or-later); its
// constants and table come from the library (see ExpCore.h for the
// operations and where they are fused).
#include <immintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "NeuralNets/simd/ExpCore.h"
#include "NeuralNets/simd/VecExp.h"

namespace quill::simd {
namespace {

constexpr std::size_t kLanes = 8;
constexpr __mmask8 kAllLanes = 0xFF;

// The library's main path on every lane. Lanes outside it get meaningless
// (but harmless: the table index is always in range) values. Forced inline
// into the loops, like ExpLanes (both stay internal to this unit); the rare
// scalar patch-up stays out of line.
[[gnu::always_inline]] inline __m512d ExpMainPath(__m512d x) {
  const __m512d shift = _mm512_set1_pd(kExpShift);
  __m512d kd = _mm512_fmadd_pd(x, _mm512_set1_pd(kExpInvLn2N), shift);
  const __m512i ki = _mm512_castpd_si512(kd);
  kd = _mm512_sub_pd(kd, shift);
  __m512d r = _mm512_fmadd_pd(kd, _mm512_set1_pd(kExpNegLn2HiN), x);
  r = _mm512_fmadd_pd(kd, _mm512_set1_pd(kExpNegLn2LoN), r);

  // The masked shifts with an all-ones mask compute the same as the plain
  // ones; GCC 12's plain forms read an "undefined" source that
  // -Wuninitialized reports.
  const __m512i idx = _mm512_maskz_slli_epi64(
      kAllLanes, _mm512_and_si512(ki, _mm512_set1_epi64(static_cast<long long>(kExpTableMask))), 1);
  const __m512i top = _mm512_maskz_slli_epi64(kAllLanes, ki, 52 - kExpTableBits);
  // The pair (tail, sbits) of each lane is adjacent in the table: load the
  // eight pairs as 128-bit rows and split them into the two vectors.
  alignas(64) std::uint64_t lane_idx[kLanes];
  _mm512_store_si512(lane_idx, idx);
  auto pair = [&](std::size_t j) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kExpTable + lane_idx[j]));
  };
  __m512i lo = _mm512_castsi128_si512(pair(0));
  lo = _mm512_inserti64x2(lo, pair(1), 1);
  lo = _mm512_inserti64x2(lo, pair(2), 2);
  lo = _mm512_inserti64x2(lo, pair(3), 3);
  __m512i hi = _mm512_castsi128_si512(pair(4));
  hi = _mm512_inserti64x2(hi, pair(5), 1);
  hi = _mm512_inserti64x2(hi, pair(6), 2);
  hi = _mm512_inserti64x2(hi, pair(7), 3);
  const __m512d tail = _mm512_castsi512_pd(
      _mm512_permutex2var_epi64(lo, _mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14), hi));
  const __m512i sbits = _mm512_add_epi64(
      _mm512_permutex2var_epi64(lo, _mm512_setr_epi64(1, 3, 5, 7, 9, 11, 13, 15), hi), top);

  const __m512d r2 = _mm512_mul_pd(r, r);
  const __m512d p23 = _mm512_fmadd_pd(r, _mm512_set1_pd(kExpC3), _mm512_set1_pd(kExpC2));
  const __m512d p45 = _mm512_fmadd_pd(r, _mm512_set1_pd(kExpC5), _mm512_set1_pd(kExpC4));
  __m512d tmp = _mm512_fmadd_pd(p23, r2, _mm512_add_pd(tail, r));
  tmp = _mm512_fmadd_pd(_mm512_mul_pd(r2, r2), p45, tmp);
  const __m512d scale = _mm512_castsi512_pd(sbits);
  return _mm512_fmadd_pd(scale, tmp, scale);
}

// exp on every lane, except those set in the returned mask (|x| >= 512,
// infinities, NaN), which the caller must take from the scalar library call.
// Tiny arguments (|x| < 2^-54, zeros and subnormals included) give 1 + x, as
// in the library.
[[gnu::always_inline]] inline __m512d ExpLanes(__m512d x, __mmask8* scalar_lanes) {
  const __m512d ax = _mm512_abs_pd(x);
  const __mmask8 tiny = _mm512_cmp_pd_mask(ax, _mm512_set1_pd(kExpMainLo), _CMP_LT_OQ);
  *scalar_lanes = _mm512_cmp_pd_mask(ax, _mm512_set1_pd(kExpMainHi), _CMP_NLT_UQ);
  const __m512d e = ExpMainPath(x);
  return _mm512_mask_add_pd(e, tiny, _mm512_set1_pd(1.0), x);
}

// Replaces the lanes of e set in `lanes` by std::exp of the same lanes of x.
[[gnu::noinline]] __m512d PatchScalar(__m512d x, __m512d e, __mmask8 lanes) {
  alignas(64) double xs[kLanes];
  alignas(64) double es[kLanes];
  _mm512_store_pd(xs, x);
  _mm512_store_pd(es, e);
  for (std::size_t j = 0; j < kLanes; ++j) {
    if ((lanes >> j) & 1) es[j] = std::exp(xs[j]);
  }
  return _mm512_load_pd(es);
}

[[gnu::always_inline]] inline __m512d ExpVec(__m512d x, __mmask8 valid) {
  __mmask8 scalar_lanes = 0;
  __m512d e = ExpLanes(x, &scalar_lanes);
  scalar_lanes &= valid;
  if (scalar_lanes != 0) e = PatchScalar(x, e, scalar_lanes);
  return e;
}

[[gnu::always_inline]] inline __m512d SigmoidVec(__m512d x, __mmask8 valid) {
  const __mmask8 cut = _mm512_cmp_pd_mask(x, _mm512_set1_pd(kSigmoidCutoff), _CMP_LT_OQ);
  const __m512d nx =
      _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(x), _mm512_set1_epi64(INT64_MIN)));
  __mmask8 scalar_lanes = 0;
  __m512d e = ExpLanes(nx, &scalar_lanes);
  // Lanes below the cut-off never need their exp.
  scalar_lanes &= valid & static_cast<__mmask8>(~cut);
  if (scalar_lanes != 0) e = PatchScalar(nx, e, scalar_lanes);
  const __m512d one = _mm512_set1_pd(1.0);
  const __m512d s = _mm512_div_pd(one, _mm512_add_pd(one, e));
  return _mm512_mask_blend_pd(cut, s, _mm512_set1_pd(kSigmoidFloor));
}

[[gnu::always_inline]] inline __m512d SigmoidGainVec(__m512d x, __m512d g, __mmask8 valid) {
  const __m512d t = _mm512_mul_pd(g, x);
  const __m512d nt =
      _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(t), _mm512_set1_epi64(INT64_MIN)));
  const __m512d e = ExpVec(nt, valid);
  const __m512d one = _mm512_set1_pd(1.0);
  return _mm512_div_pd(one, _mm512_add_pd(one, e));
}

// Applies f (a function of a vector and its valid-lane mask) over n
// elements; the last n % 8 go through masked loads and stores, which never
// touch memory past the arrays.
template <class F>
void ForEachVector(const double* x, double* y, std::size_t n, F f) {
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    _mm512_storeu_pd(y + i, f(_mm512_loadu_pd(x + i), kAllLanes));
  }
  if (i < n) {
    const auto mask = static_cast<__mmask8>((1u << (n - i)) - 1);
    const __m512d v = _mm512_maskz_loadu_pd(mask, x + i);
    _mm512_mask_storeu_pd(y + i, mask, f(v, mask));
  }
}

void ExpArray(const double* x, double* y, std::size_t n) {
  ForEachVector(x, y, n, [](__m512d v, __mmask8 valid) { return ExpVec(v, valid); });
}

void SigmoidArray(const double* x, double* y, std::size_t n) {
  ForEachVector(x, y, n, [](__m512d v, __mmask8 valid) { return SigmoidVec(v, valid); });
}

void SigmoidGainArray(const double* x, double g, double* y, std::size_t n) {
  const __m512d gv = _mm512_set1_pd(g);
  ForEachVector(x, y, n, [gv](__m512d v, __mmask8 valid) { return SigmoidGainVec(v, gv, valid); });
}

constexpr ExpKernels kAvx512Kernels = {"avx512", ExpArray, SigmoidArray, SigmoidGainArray};

}  // namespace

namespace detail {
const ExpKernels& ExpAvx512Table() {
  return kAvx512Kernels;
}
}  // namespace detail

}  // namespace quill::simd
