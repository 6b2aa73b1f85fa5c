#include "NeuralNets/TBasicNeuron.h"

#include "NeuralNets/TBasicLayer.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/TBasicNetwork";
}  // namespace

void TBasicNeuron::GetParams(double*) const {}

void TBasicNeuron::SetParams(const double*) {}

const char* TBasicNeuron::GetParamName(int) const {
  QUILL_ASSERT(false);
  return nullptr;
}

void TBasicNeuron::CopyFrom(const TBasicNeuron&) {}

double TBasicNeuron::GetGain() const {
  QUILL_ASSERT(HasGain());
  return 1.0;
}

void TBasicNeuron::SetFunction(ActFunction f) {
  QUILL_ASSERT(!FunctionNeedsGain(f) || HasGain());
  function = f;
  if (layer != nullptr) layer->sharedFunction = nullptr;
}

const char* TGainNeuron::GetParamName(int i) const {
  QUILL_ASSERT_TEXT(i == 0, "i==0");
  return "Gain";
}
