// The single-precision kernels for AVX-512: a layer row of 16 patterns is one
// register. Compiled for AVX-512 and called only on processors that have it,
// so nothing here may be shared with other units: every function is internal
// but the table accessor. The operations are those of SingleKernels.cpp, one
// for one (the scaling by 2^k is one VSCALEFPS, which rounds p * 2^k once, as
// the two-step product there does).
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "NeuralNets/simd/BlockKernels.h"
#include "NeuralNets/simd/SingleExpCore.h"
#include "NeuralNets/simd/SingleKernels.h"

namespace quill::simd {
namespace {

static_assert(kSingleLanes == 32 && kRowGroup == 8, "the loops below are written for these sizes");

// The first `rows` of kRows to-neurons over the block's 32 patterns, two
// registers a row: rows 0-7 from the packed group at `g`, rows 8-11 from the
// next group (`stride` floats on). 2 * kRows accumulators, starting from the
// rows' values when accumulating; per from-neuron two loads of its outputs
// and kRows weights, each broadcast once for both halves. Rows from `rows`
// on (padding) are computed and dropped.
template <int kRows>
inline void Rows(const float* g, std::size_t stride, const float* o, int nFrom, float* out,
                 int rows, bool accumulate) {
  static_assert(kRows == 4 || kRows == 8 || kRows == 12);
  __m512 lo[kRows], hi[kRows];
#pragma GCC unroll 16
  for (int r = 0; r < kRows; ++r) {
    const float* row = out + static_cast<std::size_t>(r) * kSingleLanes;
    const bool start = accumulate && r < rows;
    lo[r] = start ? _mm512_loadu_ps(row) : _mm512_setzero_ps();
    hi[r] = start ? _mm512_loadu_ps(row + 16) : _mm512_setzero_ps();
  }
  for (int f = 0; f < nFrom; ++f) {
    const float* of = o + static_cast<std::size_t>(f) * kSingleLanes;
    const __m512 ol = _mm512_loadu_ps(of);
    const __m512 oh = _mm512_loadu_ps(of + 16);
    const float* wf = g + static_cast<std::size_t>(f) * kRowGroup;
#pragma GCC unroll 16
    for (int r = 0; r < kRows; ++r) {
      const __m512 w =
          _mm512_set1_ps(wf[static_cast<std::size_t>(r / kRowGroup) * stride + r % kRowGroup]);
      lo[r] = _mm512_fmadd_ps(w, ol, lo[r]);
      hi[r] = _mm512_fmadd_ps(w, oh, hi[r]);
    }
  }
#pragma GCC unroll 16
  for (int r = 0; r < kRows; ++r) {
    if (r < rows) {
      float* row = out + static_cast<std::size_t>(r) * kSingleLanes;
      _mm512_storeu_ps(row, lo[r]);
      _mm512_storeu_ps(row + 16, hi[r]);
    }
  }
}

// Eight rows a pass; the last four to twelve in one pass of the smallest
// multiple of four that holds them, so that a small layer (ten outputs, say)
// does not pay for more.
void Dense(const float* w, const float* o, int nFrom, int nTo, float* out, bool accumulate) {
  const std::size_t stride = static_cast<std::size_t>(nFrom) * kRowGroup;
  for (int first = 0; first < nTo; first += kRowGroup) {
    const float* g = w + static_cast<std::size_t>(first) * static_cast<std::size_t>(nFrom);
    float* rows_out = out + static_cast<std::size_t>(first) * kSingleLanes;
    const int rows = nTo - first;
    if (rows > 12) {
      Rows<8>(g, stride, o, nFrom, rows_out, rows, accumulate);
    } else if (rows > 8) {
      Rows<12>(g, stride, o, nFrom, rows_out, rows, accumulate);
      break;
    } else if (rows > 4) {
      Rows<8>(g, stride, o, nFrom, rows_out, rows, accumulate);
    } else {
      Rows<4>(g, stride, o, nFrom, rows_out, rows, accumulate);
    }
  }
}

// One to-neuron's accumulators: its row's two halves.
struct Acc {
  __m512 lo, hi;
};

inline Acc Start(const float* row, bool accumulate) {
  if (!accumulate) return {_mm512_setzero_ps(), _mm512_setzero_ps()};
  return {_mm512_loadu_ps(row), _mm512_loadu_ps(row + 16)};
}

inline void Step(Acc& acc, const std::int32_t* cols, const float* vals, std::int32_t k,
                 const float* o) {
  const float* of = o + static_cast<std::size_t>(cols[k]) * kSingleLanes;
  const __m512 w = _mm512_set1_ps(vals[k]);
  acc.lo = _mm512_fmadd_ps(w, _mm512_loadu_ps(of), acc.lo);
  acc.hi = _mm512_fmadd_ps(w, _mm512_loadu_ps(of + 16), acc.hi);
}

inline void Store(float* row, const Acc& acc) {
  _mm512_storeu_ps(row, acc.lo);
  _mm512_storeu_ps(row + 16, acc.hi);
}

// One to-neuron at a time over its existing connections, four rows side by
// side so that their chains of multiply-adds overlap; each row's own chain
// stays in order.
void Sparse(const std::int32_t* row_start, const std::int32_t* cols, const float* vals,
            const float* o, int nTo, float* out, bool accumulate) {
  int t = 0;
  for (; t + 4 <= nTo; t += 4) {
    Acc acc[4];
    std::int32_t k[4], end[4];
    for (int j = 0; j < 4; ++j) {
      acc[j] = Start(out + static_cast<std::size_t>(t + j) * kSingleLanes, accumulate);
      k[j] = row_start[t + j];
      end[j] = row_start[t + j + 1];
    }
    while (k[0] < end[0] && k[1] < end[1] && k[2] < end[2] && k[3] < end[3]) {
      for (int j = 0; j < 4; ++j)
        Step(acc[j], cols, vals, k[j]++, o);
    }
    for (int j = 0; j < 4; ++j) {
      for (; k[j] < end[j]; ++k[j])
        Step(acc[j], cols, vals, k[j], o);
      Store(out + static_cast<std::size_t>(t + j) * kSingleLanes, acc[j]);
    }
  }
  for (; t < nTo; ++t) {
    float* row = out + static_cast<std::size_t>(t) * kSingleLanes;
    Acc acc = Start(row, accumulate);
    for (std::int32_t k = row_start[t]; k < row_start[t + 1]; ++k)
      Step(acc, cols, vals, k, o);
    Store(row, acc);
  }
}

// The masked forms with every lane selected compute what the plain
// min, max and scalef compute; GCC 12's plain forms read an "undefined"
// source that -Wmaybe-uninitialized reports.
constexpr __mmask16 kAllLanes = 0xFFFF;

// e^c for c within the clamp bounds (a NaN c: NaN, see SingleKernels.cpp).
[[gnu::always_inline]] inline __m512 ExpClamped(__m512 c) {
  const __m512 shift = _mm512_set1_ps(kSingleExpShift);
  __m512 k = _mm512_fmadd_ps(c, _mm512_set1_ps(kSingleExpLog2e), shift);
  k = _mm512_sub_ps(k, shift);
  __m512 r = _mm512_fmadd_ps(k, _mm512_set1_ps(-kSingleExpLn2Hi), c);
  r = _mm512_fmadd_ps(k, _mm512_set1_ps(-kSingleExpLn2Lo), r);
  __m512 q = _mm512_fmadd_ps(_mm512_set1_ps(kSingleExpC6), r, _mm512_set1_ps(kSingleExpC5));
  q = _mm512_fmadd_ps(q, r, _mm512_set1_ps(kSingleExpC4));
  q = _mm512_fmadd_ps(q, r, _mm512_set1_ps(kSingleExpC3));
  q = _mm512_fmadd_ps(q, r, _mm512_set1_ps(kSingleExpC2));
  const __m512 one = _mm512_set1_ps(1.0f);
  q = _mm512_fmadd_ps(q, r, one);
  const __m512 p = _mm512_fmadd_ps(q, r, one);
  return _mm512_maskz_scalef_ps(kAllLanes, p, k);
}

[[gnu::always_inline]] inline __m512 Exp(__m512 x) {
  __m512 c = _mm512_maskz_min_ps(kAllLanes, x, _mm512_set1_ps(kSingleExpHi));
  c = _mm512_maskz_max_ps(kAllLanes, c, _mm512_set1_ps(kSingleExpLo));
  return _mm512_mask_blend_ps(_mm512_cmp_ps_mask(x, x, _CMP_UNORD_Q), ExpClamped(c), x);
}

[[gnu::always_inline]] inline __m512 Sigmoid(__m512 x) {
  const __m512 one = _mm512_set1_ps(1.0f);
  // max(Lo, -|x|) keeps a NaN (its second operand), which makes the result
  // NaN.
  const __m512 nx = _mm512_or_ps(x, _mm512_set1_ps(-0.0f));
  const __m512 e = ExpClamped(_mm512_maskz_max_ps(kAllLanes, _mm512_set1_ps(kSingleExpLo), nx));
  const __mmask16 negative = _mm512_cmp_ps_mask(x, _mm512_setzero_ps(), _CMP_LT_OQ);
  return _mm512_div_ps(_mm512_mask_blend_ps(negative, one, e), _mm512_add_ps(one, e));
}

// Applies f over n elements; the last n % 16 through masked loads and
// stores, which never touch memory past the arrays.
template <class F>
void ForEachVector(const float* x, float* y, std::size_t n, F f) {
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16)
    _mm512_storeu_ps(y + i, f(_mm512_loadu_ps(x + i)));
  if (i < n) {
    const __mmask16 mask = static_cast<__mmask16>((1u << (n - i)) - 1);
    _mm512_mask_storeu_ps(y + i, mask, f(_mm512_maskz_loadu_ps(mask, x + i)));
  }
}

void ExpArray(const float* x, float* y, std::size_t n) {
  ForEachVector(x, y, n, [](__m512 v) { return Exp(v); });
}

void SigmoidArray(const float* x, float* y, std::size_t n) {
  ForEachVector(x, y, n, [](__m512 v) { return Sigmoid(v); });
}

void SigmoidGainArray(const float* x, float g, float* y, std::size_t n) {
  const __m512 gv = _mm512_set1_ps(g);
  ForEachVector(x, y, n, [gv](__m512 v) { return Sigmoid(_mm512_mul_ps(gv, v)); });
}

void PatternErrors(const float* y, const double* t, int nOut, double* sums) {
  constexpr __mmask8 kAll = 0xFF;
  __m512d acc[4] = {_mm512_setzero_pd(), _mm512_setzero_pd(), _mm512_setzero_pd(),
                    _mm512_setzero_pd()};
  for (int o = 0; o < nOut; ++o) {
    const std::size_t at = static_cast<std::size_t>(o) * kSingleLanes;
    for (int q = 0; q < 4; ++q) {
      const __m512d yq = _mm512_maskz_cvtps_pd(kAll, _mm256_loadu_ps(y + at + 8 * q));
      const __m512d d = _mm512_sub_pd(_mm512_loadu_pd(t + at + 8 * q), yq);
      acc[q] = _mm512_add_pd(acc[q], _mm512_mul_pd(d, d));
    }
  }
  for (int q = 0; q < 4; ++q)
    _mm512_storeu_pd(sums + 8 * q, acc[q]);
}

constexpr SingleKernels kKernels{Dense,        Sparse,           ExpArray,
                                 SigmoidArray, SigmoidGainArray, PatternErrors};

}  // namespace

namespace detail {
const SingleKernels& SingleAvx512() {
  return kKernels;
}
}  // namespace detail

}  // namespace quill::simd
