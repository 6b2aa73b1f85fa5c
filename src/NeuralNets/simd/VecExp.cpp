#include "NeuralNets/simd/VecExp.h"

#include <cmath>

namespace quill::simd {
namespace {
void Exp(const double* x, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = std::exp(x[i]);
}
void Sigmoid(const double* x, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = (x[i] < -500.0) ? 1e-300 : 1.0 / (1.0 + std::exp(-x[i]));
}
void SigmoidGain(const double* x, double g, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = 1.0 / (1.0 + std::exp(-(g * x[i])));
}
}  // namespace

const ExpKernels& ExpLibm() {
  static const ExpKernels k{"libm", Exp, Sigmoid, SigmoidGain};
  return k;
}
const ExpKernels* ExpAvx2() {
  return nullptr;
}
const ExpKernels* ExpAvx512() {
  return nullptr;
}
bool ExpMatchesLibrary(const ExpKernels&) {
  return true;
}
const ExpKernels& BestExpKernels() {
  return ExpLibm();
}

}  // namespace quill::simd
