// The weight-block loops for AVX2: 4 patterns per register, four registers per
// layer row. Compiled for AVX2 and called only on processors that have it, so
// nothing here may be shared with other units: every function is internal but
// the table accessor. FMA is enabled for this unit's exp, but the loops here
// multiply and add separately (the build never contracts them).
#include <immintrin.h>

#include <cstddef>

#include "NeuralNets/simd/BlockKernels.h"

namespace quill::simd {
namespace {

static_assert(kLanes == 16 && kRowGroup == 8, "the loops below are written for these sizes");

inline void StoreHalf(double* row, __m256d a, __m256d b, bool accumulate) {
  if (accumulate) {
    a = _mm256_add_pd(_mm256_loadu_pd(row), a);
    b = _mm256_add_pd(_mm256_loadu_pd(row + 4), b);
  }
  _mm256_storeu_pd(row, a);
  _mm256_storeu_pd(row + 4, b);
}

// Four to-neurons (rows first ... first + 3 of the group, of which `rows` are
// stored) over eight patterns starting at `lane`: eight accumulators.
inline void Quarter(const double* group, const double* o, int nFrom, int quarter, int lane,
                    double* out, int rows, bool accumulate) {
  __m256d a0 = _mm256_setzero_pd(), b0 = _mm256_setzero_pd();
  __m256d a1 = _mm256_setzero_pd(), b1 = _mm256_setzero_pd();
  __m256d a2 = _mm256_setzero_pd(), b2 = _mm256_setzero_pd();
  __m256d a3 = _mm256_setzero_pd(), b3 = _mm256_setzero_pd();
  for (int f = 0; f < nFrom; ++f) {
    const double* of = o + static_cast<std::size_t>(f) * kLanes + lane;
    const double* wf = group + static_cast<std::size_t>(f) * kRowGroup + quarter;
    const __m256d oa = _mm256_loadu_pd(of);
    const __m256d ob = _mm256_loadu_pd(of + 4);
    __m256d wr = _mm256_broadcast_sd(wf);
    a0 = _mm256_add_pd(a0, _mm256_mul_pd(wr, oa));
    b0 = _mm256_add_pd(b0, _mm256_mul_pd(wr, ob));
    wr = _mm256_broadcast_sd(wf + 1);
    a1 = _mm256_add_pd(a1, _mm256_mul_pd(wr, oa));
    b1 = _mm256_add_pd(b1, _mm256_mul_pd(wr, ob));
    wr = _mm256_broadcast_sd(wf + 2);
    a2 = _mm256_add_pd(a2, _mm256_mul_pd(wr, oa));
    b2 = _mm256_add_pd(b2, _mm256_mul_pd(wr, ob));
    wr = _mm256_broadcast_sd(wf + 3);
    a3 = _mm256_add_pd(a3, _mm256_mul_pd(wr, oa));
    b3 = _mm256_add_pd(b3, _mm256_mul_pd(wr, ob));
  }
  double* row = out + lane;
  if (rows > 3) StoreHalf(row + 3 * kLanes, a3, b3, accumulate);
  if (rows > 2) StoreHalf(row + 2 * kLanes, a2, b2, accumulate);
  if (rows > 1) StoreHalf(row + 1 * kLanes, a1, b1, accumulate);
  if (rows > 0) StoreHalf(row, a0, b0, accumulate);
}

void Dense(const double* w, const double* o, int nFrom, int nTo, double* out, bool accumulate) {
  for (int first = 0; first < nTo; first += kRowGroup) {
    const double* group = w + static_cast<std::size_t>(first) * static_cast<std::size_t>(nFrom);
    for (int quarter = 0; quarter < kRowGroup && first + quarter < nTo; quarter += 4) {
      const int rows = nTo - first - quarter;
      double* rows_out = out + static_cast<std::size_t>(first + quarter) * kLanes;
      Quarter(group, o, nFrom, quarter, 0, rows_out, rows, accumulate);
      Quarter(group, o, nFrom, quarter, 8, rows_out, rows, accumulate);
    }
  }
}

// One to-neuron at a time over its existing connections, all 16 patterns in
// four accumulators; each row's additions stay in order.
void Sparse(const std::int32_t* row_start, const std::int32_t* cols, const double* vals,
            const double* o, int nTo, double* out, bool accumulate) {
  for (int t = 0; t < nTo; ++t) {
    __m256d a = _mm256_setzero_pd(), b = _mm256_setzero_pd();
    __m256d c = _mm256_setzero_pd(), d = _mm256_setzero_pd();
    for (std::int32_t k = row_start[t]; k < row_start[t + 1]; ++k) {
      const double* of = o + static_cast<std::size_t>(cols[k]) * kLanes;
      const __m256d wk = _mm256_broadcast_sd(vals + k);
      a = _mm256_add_pd(a, _mm256_mul_pd(wk, _mm256_loadu_pd(of)));
      b = _mm256_add_pd(b, _mm256_mul_pd(wk, _mm256_loadu_pd(of + 4)));
      c = _mm256_add_pd(c, _mm256_mul_pd(wk, _mm256_loadu_pd(of + 8)));
      d = _mm256_add_pd(d, _mm256_mul_pd(wk, _mm256_loadu_pd(of + 12)));
    }
    double* row = out + static_cast<std::size_t>(t) * kLanes;
    StoreHalf(row, a, b, accumulate);
    StoreHalf(row + 8, c, d, accumulate);
  }
}

constexpr BlockKernels kBlocks{Dense, Sparse};

}  // namespace

namespace detail {
const BlockKernels& Avx2Blocks() {
  return kBlocks;
}
}  // namespace detail

}  // namespace quill::simd
