// The weight-block loops for AVX-512: 8 patterns per register, two registers
// per layer row. Compiled for AVX-512 and called only on processors that have
// it, so nothing here may be shared with other units: every function is
// internal but the table accessor.
#include <immintrin.h>

#include <cstddef>

#include "NeuralNets/simd/BlockKernels.h"

namespace quill::simd {
namespace {

static_assert(kLanes == 16 && kRowGroup == 8, "the loops below are written for these sizes");

// Stores one row: the sum itself, or added to what the row holds.
inline void StoreRow(double* row, __m512d lo, __m512d hi, bool accumulate) {
  if (accumulate) {
    lo = _mm512_add_pd(_mm512_loadu_pd(row), lo);
    hi = _mm512_add_pd(_mm512_loadu_pd(row + 8), hi);
  }
  _mm512_storeu_pd(row, lo);
  _mm512_storeu_pd(row + 8, hi);
}

// The first `rows` of kRows to-neurons over the block's 16 patterns, two
// registers a row: rows 0-7 from the packed group at `g`, rows 8-11 from the
// next group (`stride` doubles on). 2 * kRows accumulators; per from-neuron
// two loads of its outputs and kRows weights, each broadcast once for both
// halves. Every accumulator is acc + w * o, multiplied and added
// separately, in the order of the from-neurons.
template <int kRows>
inline void Rows(const double* g, std::size_t stride, const double* o, int nFrom, double* out,
                 int rows, bool accumulate) {
  static_assert(kRows == 4 || kRows == 8 || kRows == 12);
  __m512d lo[kRows], hi[kRows];
#pragma GCC unroll 16
  for (int r = 0; r < kRows; ++r) {
    lo[r] = _mm512_setzero_pd();
    hi[r] = _mm512_setzero_pd();
  }
  for (int f = 0; f < nFrom; ++f) {
    const double* of = o + static_cast<std::size_t>(f) * kLanes;
    const __m512d ol = _mm512_loadu_pd(of);
    const __m512d oh = _mm512_loadu_pd(of + 8);
    const double* wf = g + static_cast<std::size_t>(f) * kRowGroup;
#pragma GCC unroll 16
    for (int r = 0; r < kRows; ++r) {
      const __m512d w =
          _mm512_set1_pd(wf[static_cast<std::size_t>(r / kRowGroup) * stride + r % kRowGroup]);
      lo[r] = _mm512_add_pd(lo[r], _mm512_mul_pd(w, ol));
      hi[r] = _mm512_add_pd(hi[r], _mm512_mul_pd(w, oh));
    }
  }
#pragma GCC unroll 16
  for (int r = 0; r < kRows; ++r) {
    if (r < rows) StoreRow(out + static_cast<std::size_t>(r) * kLanes, lo[r], hi[r], accumulate);
  }
}

// Eight rows a pass; the last four to twelve in one pass of the smallest
// multiple of four that holds them, so that a small layer (ten outputs, say)
// does not pay for more.
void Dense(const double* w, const double* o, int nFrom, int nTo, double* out, bool accumulate) {
  const std::size_t stride = static_cast<std::size_t>(nFrom) * kRowGroup;
  for (int first = 0; first < nTo; first += kRowGroup) {
    const double* g = w + static_cast<std::size_t>(first) * static_cast<std::size_t>(nFrom);
    double* rows_out = out + static_cast<std::size_t>(first) * kLanes;
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

// One to-neuron at a time over its existing connections. Two rows are summed
// side by side so that their additions overlap instead of waiting on one
// another; each row's own additions stay in order.
void Sparse(const std::int32_t* row_start, const std::int32_t* cols, const double* vals,
            const double* o, int nTo, double* out, bool accumulate) {
  int t = 0;
  for (; t + 2 <= nTo; t += 2) {
    __m512d al = _mm512_setzero_pd(), ah = _mm512_setzero_pd();
    __m512d bl = _mm512_setzero_pd(), bh = _mm512_setzero_pd();
    std::int32_t ka = row_start[t];
    std::int32_t kb = row_start[t + 1];
    const std::int32_t ea = row_start[t + 1];
    const std::int32_t eb = row_start[t + 2];
    while (ka < ea && kb < eb) {
      const double* oa = o + static_cast<std::size_t>(cols[ka]) * kLanes;
      const double* ob = o + static_cast<std::size_t>(cols[kb]) * kLanes;
      const __m512d wa = _mm512_set1_pd(vals[ka]);
      const __m512d wb = _mm512_set1_pd(vals[kb]);
      al = _mm512_add_pd(al, _mm512_mul_pd(wa, _mm512_loadu_pd(oa)));
      ah = _mm512_add_pd(ah, _mm512_mul_pd(wa, _mm512_loadu_pd(oa + 8)));
      bl = _mm512_add_pd(bl, _mm512_mul_pd(wb, _mm512_loadu_pd(ob)));
      bh = _mm512_add_pd(bh, _mm512_mul_pd(wb, _mm512_loadu_pd(ob + 8)));
      ++ka;
      ++kb;
    }
    for (; ka < ea; ++ka) {
      const double* oa = o + static_cast<std::size_t>(cols[ka]) * kLanes;
      const __m512d wa = _mm512_set1_pd(vals[ka]);
      al = _mm512_add_pd(al, _mm512_mul_pd(wa, _mm512_loadu_pd(oa)));
      ah = _mm512_add_pd(ah, _mm512_mul_pd(wa, _mm512_loadu_pd(oa + 8)));
    }
    for (; kb < eb; ++kb) {
      const double* ob = o + static_cast<std::size_t>(cols[kb]) * kLanes;
      const __m512d wb = _mm512_set1_pd(vals[kb]);
      bl = _mm512_add_pd(bl, _mm512_mul_pd(wb, _mm512_loadu_pd(ob)));
      bh = _mm512_add_pd(bh, _mm512_mul_pd(wb, _mm512_loadu_pd(ob + 8)));
    }
    StoreRow(out + static_cast<std::size_t>(t) * kLanes, al, ah, accumulate);
    StoreRow(out + static_cast<std::size_t>(t + 1) * kLanes, bl, bh, accumulate);
  }
  if (t < nTo) {
    __m512d al = _mm512_setzero_pd(), ah = _mm512_setzero_pd();
    for (std::int32_t k = row_start[t]; k < row_start[t + 1]; ++k) {
      const double* oa = o + static_cast<std::size_t>(cols[k]) * kLanes;
      const __m512d wa = _mm512_set1_pd(vals[k]);
      al = _mm512_add_pd(al, _mm512_mul_pd(wa, _mm512_loadu_pd(oa)));
      ah = _mm512_add_pd(ah, _mm512_mul_pd(wa, _mm512_loadu_pd(oa + 8)));
    }
    StoreRow(out + static_cast<std::size_t>(t) * kLanes, al, ah, accumulate);
  }
}

constexpr BlockKernels kBlocks{Dense, Sparse};

}  // namespace

namespace detail {
const BlockKernels& Avx512Blocks() {
  return kBlocks;
}
}  // namespace detail

}  // namespace quill::simd
