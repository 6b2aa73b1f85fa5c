// The single-precision kernels for AVX2 with FMA: 8 patterns per register,
// two registers per layer row. Compiled for AVX2 and called only on
// processors that have it, so nothing here may be shared with other units:
// every function is internal but the table accessor. The operations are
// those of SingleKernels.cpp, one for one.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "NeuralNets/simd/BlockKernels.h"
#include "NeuralNets/simd/SingleExpCore.h"
#include "NeuralNets/simd/SingleKernels.h"

namespace quill::simd {
namespace {

static_assert(kSingleLanes == 32 && kRowGroup == 8, "the loops below are written for these sizes");

// Row `r` of `out` when accumulating and stored (r < rows), else zeros.
inline __m256 Start(const float* out, int r, int rows, bool accumulate) {
  return accumulate && r < rows ? _mm256_loadu_ps(out + r * kSingleLanes) : _mm256_setzero_ps();
}

inline void StoreHalf(float* row, __m256 a, __m256 b) {
  _mm256_storeu_ps(row, a);
  _mm256_storeu_ps(row + 8, b);
}

// Four to-neurons (rows quarter ... quarter + 3 of a packed group, of which
// `rows` are stored) over 16 of the block's patterns (`o` and `out` point at
// the first): eight accumulators.
inline void Quarter(const float* group, const float* o, int nFrom, int quarter, float* out,
                    int rows, bool accumulate) {
  __m256 a0 = Start(out, 0, rows, accumulate), b0 = Start(out + 8, 0, rows, accumulate);
  __m256 a1 = Start(out, 1, rows, accumulate), b1 = Start(out + 8, 1, rows, accumulate);
  __m256 a2 = Start(out, 2, rows, accumulate), b2 = Start(out + 8, 2, rows, accumulate);
  __m256 a3 = Start(out, 3, rows, accumulate), b3 = Start(out + 8, 3, rows, accumulate);
  for (int f = 0; f < nFrom; ++f) {
    const float* of = o + static_cast<std::size_t>(f) * kSingleLanes;
    const float* wf = group + static_cast<std::size_t>(f) * kRowGroup + quarter;
    const __m256 oa = _mm256_loadu_ps(of);
    const __m256 ob = _mm256_loadu_ps(of + 8);
    __m256 w = _mm256_broadcast_ss(wf);
    a0 = _mm256_fmadd_ps(w, oa, a0);
    b0 = _mm256_fmadd_ps(w, ob, b0);
    w = _mm256_broadcast_ss(wf + 1);
    a1 = _mm256_fmadd_ps(w, oa, a1);
    b1 = _mm256_fmadd_ps(w, ob, b1);
    w = _mm256_broadcast_ss(wf + 2);
    a2 = _mm256_fmadd_ps(w, oa, a2);
    b2 = _mm256_fmadd_ps(w, ob, b2);
    w = _mm256_broadcast_ss(wf + 3);
    a3 = _mm256_fmadd_ps(w, oa, a3);
    b3 = _mm256_fmadd_ps(w, ob, b3);
  }
  if (rows > 3) StoreHalf(out + 3 * kSingleLanes, a3, b3);
  if (rows > 2) StoreHalf(out + 2 * kSingleLanes, a2, b2);
  if (rows > 1) StoreHalf(out + 1 * kSingleLanes, a1, b1);
  if (rows > 0) StoreHalf(out, a0, b0);
}

void Dense(const float* w, const float* o, int nFrom, int nTo, float* out, bool accumulate) {
  for (int first = 0; first < nTo; first += kRowGroup) {
    const float* group = w + static_cast<std::size_t>(first) * static_cast<std::size_t>(nFrom);
    for (int quarter = 0; quarter < kRowGroup && first + quarter < nTo; quarter += 4) {
      float* rows_out = out + static_cast<std::size_t>(first + quarter) * kSingleLanes;
      const int rows = nTo - first - quarter;
      Quarter(group, o, nFrom, quarter, rows_out, rows, accumulate);
      Quarter(group, o + 16, nFrom, quarter, rows_out + 16, rows, accumulate);
    }
  }
}

// One to-neuron at a time over its existing connections, two rows side by
// side (eight chains of multiply-adds); each row's own chain stays in order.
void Sparse(const std::int32_t* row_start, const std::int32_t* cols, const float* vals,
            const float* o, int nTo, float* out, bool accumulate) {
  auto start = [&](float* row, __m256* acc) {
    for (int q = 0; q < 4; ++q)
      acc[q] = accumulate ? _mm256_loadu_ps(row + 8 * q) : _mm256_setzero_ps();
  };
  auto step = [&](__m256* acc, std::int32_t k) {
    const float* of = o + static_cast<std::size_t>(cols[k]) * kSingleLanes;
    const __m256 w = _mm256_broadcast_ss(vals + k);
    for (int q = 0; q < 4; ++q)
      acc[q] = _mm256_fmadd_ps(w, _mm256_loadu_ps(of + 8 * q), acc[q]);
  };
  auto store = [](float* row, const __m256* acc) {
    for (int q = 0; q < 4; ++q)
      _mm256_storeu_ps(row + 8 * q, acc[q]);
  };
  int t = 0;
  for (; t + 2 <= nTo; t += 2) {
    float* row = out + static_cast<std::size_t>(t) * kSingleLanes;
    __m256 a[4], b[4];
    start(row, a);
    start(row + kSingleLanes, b);
    std::int32_t k0 = row_start[t], k1 = row_start[t + 1];
    const std::int32_t e0 = row_start[t + 1], e1 = row_start[t + 2];
    for (; k0 < e0 && k1 < e1; ++k0, ++k1) {
      step(a, k0);
      step(b, k1);
    }
    for (; k0 < e0; ++k0)
      step(a, k0);
    for (; k1 < e1; ++k1)
      step(b, k1);
    store(row, a);
    store(row + kSingleLanes, b);
  }
  if (t < nTo) {
    float* row = out + static_cast<std::size_t>(t) * kSingleLanes;
    __m256 a[4];
    start(row, a);
    for (std::int32_t k = row_start[t]; k < row_start[t + 1]; ++k)
      step(a, k);
    store(row, a);
  }
}

// 2^n for n in [-126, 127], lane by lane.
[[gnu::always_inline]] inline __m256 Pow2(__m256i n) {
  return _mm256_castsi256_ps(_mm256_slli_epi32(_mm256_add_epi32(n, _mm256_set1_epi32(127)), 23));
}

// e^c for c within the clamp bounds (a NaN c: NaN, see SingleKernels.cpp).
[[gnu::always_inline]] inline __m256 ExpClamped(__m256 c) {
  const __m256 shift = _mm256_set1_ps(kSingleExpShift);
  __m256 k = _mm256_fmadd_ps(c, _mm256_set1_ps(kSingleExpLog2e), shift);
  k = _mm256_sub_ps(k, shift);
  __m256 r = _mm256_fmadd_ps(k, _mm256_set1_ps(-kSingleExpLn2Hi), c);
  r = _mm256_fmadd_ps(k, _mm256_set1_ps(-kSingleExpLn2Lo), r);
  __m256 q = _mm256_fmadd_ps(_mm256_set1_ps(kSingleExpC6), r, _mm256_set1_ps(kSingleExpC5));
  q = _mm256_fmadd_ps(q, r, _mm256_set1_ps(kSingleExpC4));
  q = _mm256_fmadd_ps(q, r, _mm256_set1_ps(kSingleExpC3));
  q = _mm256_fmadd_ps(q, r, _mm256_set1_ps(kSingleExpC2));
  const __m256 one = _mm256_set1_ps(1.0f);
  q = _mm256_fmadd_ps(q, r, one);
  const __m256 p = _mm256_fmadd_ps(q, r, one);
  // k is a whole number, so the conversion is exact.
  const __m256i n = _mm256_cvtps_epi32(k);
  const __m256i half = _mm256_srai_epi32(n, 1);
  return _mm256_mul_ps(_mm256_mul_ps(p, Pow2(half)), Pow2(_mm256_sub_epi32(n, half)));
}

[[gnu::always_inline]] inline __m256 Exp(__m256 x) {
  __m256 c = _mm256_min_ps(x, _mm256_set1_ps(kSingleExpHi));
  c = _mm256_max_ps(c, _mm256_set1_ps(kSingleExpLo));
  return _mm256_blendv_ps(ExpClamped(c), x, _mm256_cmp_ps(x, x, _CMP_UNORD_Q));
}

[[gnu::always_inline]] inline __m256 Sigmoid(__m256 x) {
  const __m256 one = _mm256_set1_ps(1.0f);
  // max(Lo, -|x|) keeps a NaN (its second operand), which makes the result
  // NaN.
  const __m256 nx = _mm256_or_ps(x, _mm256_set1_ps(-0.0f));
  const __m256 e = ExpClamped(_mm256_max_ps(_mm256_set1_ps(kSingleExpLo), nx));
  const __m256 negative = _mm256_cmp_ps(x, _mm256_setzero_ps(), _CMP_LT_OQ);
  return _mm256_div_ps(_mm256_blendv_ps(one, e, negative), _mm256_add_ps(one, e));
}

// Lane mask for maskload/maskstore of the first `count` lanes (count < 8).
__m256i TailMask(std::size_t count) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(count)),
                            _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// Applies f over n elements; the last n % 8 through masked loads and
// stores, which never touch memory past the arrays.
template <class F>
void ForEachVector(const float* x, float* y, std::size_t n, F f) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8)
    _mm256_storeu_ps(y + i, f(_mm256_loadu_ps(x + i)));
  if (i < n) {
    const __m256i mask = TailMask(n - i);
    _mm256_maskstore_ps(y + i, mask, f(_mm256_maskload_ps(x + i, mask)));
  }
}

void ExpArray(const float* x, float* y, std::size_t n) {
  ForEachVector(x, y, n, [](__m256 v) { return Exp(v); });
}

void SigmoidArray(const float* x, float* y, std::size_t n) {
  ForEachVector(x, y, n, [](__m256 v) { return Sigmoid(v); });
}

void SigmoidGainArray(const float* x, float g, float* y, std::size_t n) {
  const __m256 gv = _mm256_set1_ps(g);
  ForEachVector(x, y, n, [gv](__m256 v) { return Sigmoid(_mm256_mul_ps(gv, v)); });
}

void PatternErrors(const float* y, const double* t, int nOut, double* sums) {
  __m256d acc[8];
  for (__m256d& a : acc)
    a = _mm256_setzero_pd();
  for (int o = 0; o < nOut; ++o) {
    const std::size_t at = static_cast<std::size_t>(o) * kSingleLanes;
    for (int q = 0; q < 8; ++q) {
      const __m256d d = _mm256_sub_pd(_mm256_loadu_pd(t + at + 4 * q),
                                      _mm256_cvtps_pd(_mm_loadu_ps(y + at + 4 * q)));
      acc[q] = _mm256_add_pd(acc[q], _mm256_mul_pd(d, d));
    }
  }
  for (int q = 0; q < 8; ++q)
    _mm256_storeu_pd(sums + 4 * q, acc[q]);
}

constexpr SingleKernels kKernels{Dense,        Sparse,           ExpArray,
                                 SigmoidArray, SigmoidGainArray, PatternErrors};

}  // namespace

namespace detail {
const SingleKernels& SingleAvx2() {
  return kKernels;
}
}  // namespace detail

}  // namespace quill::simd
