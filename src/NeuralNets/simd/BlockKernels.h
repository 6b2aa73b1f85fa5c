// The block layout shared by the recall kernels of every instruction set.
// This header is also included by the AVX2 and AVX-512 units, so it holds
// plain declarations only (no inline code).
#pragma once

#include <cstdint>

namespace quill::simd {

// Patterns per block: the lanes of every layer row.
inline constexpr int kLanes = 16;
// To-neurons per packed group of a dense weight block.
inline constexpr int kRowGroup = 8;

using DenseFn = void (*)(const double* w, const double* o, int nFrom, int nTo, double* out,
                         bool accumulate);
using SparseFn = void (*)(const std::int32_t* row_start, const std::int32_t* cols,
                          const double* vals, const double* o, int nTo, double* out,
                          bool accumulate);

// The weight-block loops of one instruction set.
struct BlockKernels {
  DenseFn dense;
  SparseFn sparse;
};

namespace detail {
// Defined in the instruction-set units; call only after checking the processor.
const BlockKernels& Avx2Blocks();
const BlockKernels& Avx512Blocks();
}  // namespace detail

}  // namespace quill::simd
