#include "NeuralNets/ActFunctions.h"

#include <cmath>

#include "NeuralNets/TBasicNeuron.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/ActFunctions";
}  // namespace

void ActError(TBasicNeuron*, double) {
  QUILL_ASSERT(false);
}

void ActNull(TBasicNeuron*, double) {
  QUILL_ASSERT(false);
}

void ActBias(TBasicNeuron* neuron, double) {
  *neuron->output = 1.0;
}

void ActLinear(TBasicNeuron* neuron, double x) {
  *neuron->output = x;
}

void ActSaturatedLinear(TBasicNeuron* neuron, double x) {
  // Written so that a NaN input fails both tests and yields 0.
  double y = 0.0;
  if (x >= 1.0) {
    y = 1.0;
  } else if (x > 0.0) {
    y = x;
  }
  *neuron->output = y;
}

void ActSigmoid(TBasicNeuron* neuron, double x) {
  // Strict cut-off: -500 itself still goes through the formula.
  *neuron->output = (x < -500.0) ? 1e-300 : 1.0 / (1.0 + std::exp(-x));
}

void ActTanh(TBasicNeuron* neuron, double x) {
  *neuron->output = std::tanh(x);
}

void ActLinearGain(TBasicNeuron* neuron, double x) {
  *neuron->output = neuron->GetGain() * x;
}

void ActSigmoidGain(TBasicNeuron* neuron, double x) {
  *neuron->output = 1.0 / (1.0 + std::exp(-(neuron->GetGain() * x)));
}

void ActTanhGain(TBasicNeuron* neuron, double x) {
  *neuron->output = std::tanh(neuron->GetGain() * x);
}

bool FunctionNeedsGain(ActFunction fn) {
  return fn == &ActLinearGain || fn == &ActSigmoidGain || fn == &ActTanhGain;
}
