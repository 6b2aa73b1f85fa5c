// exp, sigmoid and sigmoid-gain over arrays, four lanes at a time with AVX2
// and FMA. Compiled with -mavx2 -mfma: everything here but the exported table
// accessor has internal linkage, and the accessor is reached only after the
// processor check in VecExp.cpp.
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

constexpr std::size_t kLanes = 4;
constexpr int kAllLanes = (1 << kLanes) - 1;

// The library's main path on every lane. Lanes outside it get meaningless
// (but harmless: the table index is always in range) values. Forced inline
// into the loops, like ExpLanes (both stay internal to this unit); the rare
// scalar patch-up stays out of line.
[[gnu::always_inline]] inline __m256d ExpMainPath(__m256d x) {
  const __m256d shift = _mm256_set1_pd(kExpShift);
  __m256d kd = _mm256_fmadd_pd(x, _mm256_set1_pd(kExpInvLn2N), shift);
  const __m256i ki = _mm256_castpd_si256(kd);
  kd = _mm256_sub_pd(kd, shift);
  __m256d r = _mm256_fmadd_pd(kd, _mm256_set1_pd(kExpNegLn2HiN), x);
  r = _mm256_fmadd_pd(kd, _mm256_set1_pd(kExpNegLn2LoN), r);

  const __m256i idx = _mm256_slli_epi64(
      _mm256_and_si256(ki, _mm256_set1_epi64x(static_cast<long long>(kExpTableMask))), 1);
  const __m256i top = _mm256_slli_epi64(ki, 52 - kExpTableBits);
  // The pair (tail, sbits) of each lane is adjacent in the table: load the
  // four pairs as 128-bit rows and split them into the two vectors.
  alignas(32) std::uint64_t lane_idx[kLanes];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lane_idx), idx);
  auto pair = [&](std::size_t j) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kExpTable + lane_idx[j]));
  };
  const __m256i rows02 = _mm256_inserti128_si256(_mm256_castsi128_si256(pair(0)), pair(2), 1);
  const __m256i rows13 = _mm256_inserti128_si256(_mm256_castsi128_si256(pair(1)), pair(3), 1);
  const __m256d tail = _mm256_castsi256_pd(_mm256_unpacklo_epi64(rows02, rows13));
  const __m256i sbits = _mm256_add_epi64(_mm256_unpackhi_epi64(rows02, rows13), top);

  const __m256d r2 = _mm256_mul_pd(r, r);
  const __m256d p23 = _mm256_fmadd_pd(r, _mm256_set1_pd(kExpC3), _mm256_set1_pd(kExpC2));
  const __m256d p45 = _mm256_fmadd_pd(r, _mm256_set1_pd(kExpC5), _mm256_set1_pd(kExpC4));
  __m256d tmp = _mm256_fmadd_pd(p23, r2, _mm256_add_pd(tail, r));
  tmp = _mm256_fmadd_pd(_mm256_mul_pd(r2, r2), p45, tmp);
  const __m256d scale = _mm256_castsi256_pd(sbits);
  return _mm256_fmadd_pd(scale, tmp, scale);
}

// exp on every lane, except those set in the returned mask (|x| >= 512,
// infinities, NaN), which the caller must take from the scalar library call.
// Tiny arguments (|x| < 2^-54, zeros and subnormals included) give 1 + x, as
// in the library.
[[gnu::always_inline]] inline __m256d ExpLanes(__m256d x, int* scalar_lanes) {
  const __m256d ax = _mm256_andnot_pd(_mm256_set1_pd(-0.0), x);
  const __m256d tiny = _mm256_cmp_pd(ax, _mm256_set1_pd(kExpMainLo), _CMP_LT_OQ);
  const __m256d big = _mm256_cmp_pd(ax, _mm256_set1_pd(kExpMainHi), _CMP_NLT_UQ);
  *scalar_lanes = _mm256_movemask_pd(big);
  const __m256d e = ExpMainPath(x);
  return _mm256_blendv_pd(e, _mm256_add_pd(_mm256_set1_pd(1.0), x), tiny);
}

// Replaces the lanes of e set in `lanes` by std::exp of the same lanes of x.
[[gnu::noinline]] __m256d PatchScalar(__m256d x, __m256d e, int lanes) {
  alignas(32) double xs[kLanes];
  alignas(32) double es[kLanes];
  _mm256_store_pd(xs, x);
  _mm256_store_pd(es, e);
  for (std::size_t j = 0; j < kLanes; ++j) {
    if ((lanes >> j) & 1) es[j] = std::exp(xs[j]);
  }
  return _mm256_load_pd(es);
}

[[gnu::always_inline]] inline __m256d ExpVec(__m256d x, int valid) {
  int scalar_lanes = 0;
  __m256d e = ExpLanes(x, &scalar_lanes);
  scalar_lanes &= valid;
  if (scalar_lanes != 0) e = PatchScalar(x, e, scalar_lanes);
  return e;
}

[[gnu::always_inline]] inline __m256d SigmoidVec(__m256d x, int valid) {
  const __m256d cut = _mm256_cmp_pd(x, _mm256_set1_pd(kSigmoidCutoff), _CMP_LT_OQ);
  const __m256d nx = _mm256_xor_pd(x, _mm256_set1_pd(-0.0));
  int scalar_lanes = 0;
  __m256d e = ExpLanes(nx, &scalar_lanes);
  // Lanes below the cut-off never need their exp.
  scalar_lanes &= valid & ~_mm256_movemask_pd(cut);
  if (scalar_lanes != 0) e = PatchScalar(nx, e, scalar_lanes);
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d s = _mm256_div_pd(one, _mm256_add_pd(one, e));
  return _mm256_blendv_pd(s, _mm256_set1_pd(kSigmoidFloor), cut);
}

[[gnu::always_inline]] inline __m256d SigmoidGainVec(__m256d x, __m256d g, int valid) {
  const __m256d nt = _mm256_xor_pd(_mm256_mul_pd(g, x), _mm256_set1_pd(-0.0));
  const __m256d e = ExpVec(nt, valid);
  const __m256d one = _mm256_set1_pd(1.0);
  return _mm256_div_pd(one, _mm256_add_pd(one, e));
}

// Lane mask for maskload/maskstore of the first `count` lanes (count < 4).
__m256i TailMask(std::size_t count) {
  return _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(count)),
                            _mm256_setr_epi64x(0, 1, 2, 3));
}

// Applies f (a function of a vector and its valid-lane mask) over n
// elements; the last n % 4 go through masked loads and stores, which never
// touch memory past the arrays.
template <class F>
void ForEachVector(const double* x, double* y, std::size_t n, F f) {
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    _mm256_storeu_pd(y + i, f(_mm256_loadu_pd(x + i), kAllLanes));
  }
  if (i < n) {
    const std::size_t count = n - i;
    const __m256i mask = TailMask(count);
    const __m256d v = _mm256_maskload_pd(x + i, mask);
    _mm256_maskstore_pd(y + i, mask, f(v, (1 << count) - 1));
  }
}

void ExpArray(const double* x, double* y, std::size_t n) {
  ForEachVector(x, y, n, [](__m256d v, int valid) { return ExpVec(v, valid); });
}

void SigmoidArray(const double* x, double* y, std::size_t n) {
  ForEachVector(x, y, n, [](__m256d v, int valid) { return SigmoidVec(v, valid); });
}

void SigmoidGainArray(const double* x, double g, double* y, std::size_t n) {
  const __m256d gv = _mm256_set1_pd(g);
  ForEachVector(x, y, n, [gv](__m256d v, int valid) { return SigmoidGainVec(v, gv, valid); });
}

constexpr ExpKernels kAvx2Kernels = {"avx2", ExpArray, SigmoidArray, SigmoidGainArray};

}  // namespace

namespace detail {
const ExpKernels& ExpAvx2Table() {
  return kAvx2Kernels;
}
}  // namespace detail

}  // namespace quill::simd
