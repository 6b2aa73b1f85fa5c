// The exponential and the two exp-based activation functions over arrays.
//
// The vector kernels (AVX2+FMA, AVX-512) return exactly what the C library's
// scalar exp returns, element for element: on the lanes where the library's
// exp takes its main path they run a port of that path with the same
// operations, the same table and the same fused multiply-adds as the
// library's FMA build; every other lane (tiny or huge arguments, overflow,
// underflow, infinities, NaN) is handed to the scalar std::exp. The
// activations add nothing beyond the plain double operations of their scalar
// formulas, so they too match bit for bit.
//
// Which kernels may be used is decided at run time: the processor must have
// the instructions, and the kernels must agree with the library on a fixed
// probe set (the library could, for instance, have been told to use a build
// without FMA, whose results differ in the last bit on some inputs).
#pragma once

#include <cstddef>

namespace quill::simd {

// One implementation of the exponential and of the two exp-based activation
// functions over arrays. x and y may be the same array (in place); n may be 0.
struct ExpKernels {
  const char* name;  // "avx512", "avx2" or "libm"
  // y[i] = std::exp(x[i]), bit for bit.
  void (*exp)(const double* x, double* y, std::size_t n);
  // y[i] = x[i] < -500.0 ? 1e-300 : 1.0 / (1.0 + std::exp(-x[i]))
  void (*sigmoid)(const double* x, double* y, std::size_t n);
  // y[i] = 1.0 / (1.0 + std::exp(-(g * x[i])))
  void (*sigmoid_gain)(const double* x, double g, double* y, std::size_t n);
};

// Portable: the C library's scalar exp per element.
const ExpKernels& ExpLibm();
// nullptr unless the processor has AVX2 and FMA.
const ExpKernels* ExpAvx2();
// nullptr unless the processor has AVX-512 F, DQ, VL, BW (and AVX2, FMA).
const ExpKernels* ExpAvx512();
// True when k's exp, sigmoid and sigmoid_gain equal the scalar expressions
// above bit for bit on a fixed probe set.
bool ExpMatchesLibrary(const ExpKernels& k);
// The fastest kernels available whose probes all match; ExpLibm() otherwise.
// Computed once (thread-safe static).
const ExpKernels& BestExpKernels();

namespace detail {
// The kernel tables defined in the instruction-set units (VecExpAvx2.cpp,
// VecExpAvx512.cpp). Their code uses instructions that baseline x86-64 lacks:
// reach them only through ExpAvx2() / ExpAvx512(), which check the processor
// first.
const ExpKernels& ExpAvx2Table();
const ExpKernels& ExpAvx512Table();
}  // namespace detail

}  // namespace quill::simd
