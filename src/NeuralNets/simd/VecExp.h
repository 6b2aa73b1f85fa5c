// Placeholder until the vector exponential lands: the C library's exp only.
#pragma once

#include <cstddef>

namespace quill::simd {

struct ExpKernels {
  const char* name;
  void (*exp)(const double* x, double* y, std::size_t n);
  void (*sigmoid)(const double* x, double* y, std::size_t n);
  void (*sigmoid_gain)(const double* x, double g, double* y, std::size_t n);
};

const ExpKernels& ExpLibm();
const ExpKernels* ExpAvx2();
const ExpKernels* ExpAvx512();
bool ExpMatchesLibrary(const ExpKernels& k);
const ExpKernels& BestExpKernels();

}  // namespace quill::simd
