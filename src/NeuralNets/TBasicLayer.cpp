#include "NeuralNets/TBasicLayer.h"

#include <iostream>

#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TBasicNeuron.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/TBasicNetwork";
}  // namespace

TBasicLayer::TBasicLayer(TBasicNetwork* owner, int layerNumber, int neuronCount)
    : network(owner),
      numNeurons(neuronCount),
      layerNum(layerNumber),
      outputs(static_cast<std::size_t>(neuronCount > 0 ? neuronCount : 0), 0.0) {
  QUILL_ASSERT(neuronCount >= 0);
}

TBasicLayer::~TBasicLayer() = default;

void TBasicLayer::Activate(const double* v) {
  if (sharedFunction != nullptr) {
    for (int i = 0; i < numNeurons; ++i)
      sharedFunction(GetNeuron(i), v[i]);
  } else {
    for (int i = 0; i < numNeurons; ++i) {
      TBasicNeuron* neuron = GetNeuron(i);
      neuron->function(neuron, v[i]);
    }
  }
}

void TBasicLayer::Propagate(const double* x) {
  PropagateSummed(x, "!Warning: changed input layer (TSimpleLayer)");
}

void TBasicLayer::PropagateSummed(const double* x, const char* warning) {
  double* net = outputs.data();
  if (layerNum == network->inLayer) {
    std::cerr << warning << '\n';
    for (int i = 0; i < numNeurons; ++i)
      net[i] = x[i];
  } else {
    for (int i = 0; i < numNeurons; ++i)
      net[i] = 0.0;
  }
  // Only lower-numbered layers feed this one; they were computed earlier in
  // the same pass.
  std::unique_ptr<TBasicConnections>* row =
      network->priv_conns_index[static_cast<std::size_t>(layerNum)];
  for (int j = 0; j < layerNum; ++j)
    row[j]->AddWeightedInputs(net);
  Activate(net);
}

void TBasicLayer::InsertNeuron(int) {
  QUILL_ASSERT(false);
}

void TBasicLayer::SetFunction(ActFunction f) {
  for (int i = 0; i < numNeurons; ++i) {
    TBasicNeuron* neuron = GetNeuron(i);
    QUILL_ASSERT(!FunctionNeedsGain(f) || neuron->HasGain());
    neuron->function = f;
  }
  sharedFunction = f;
}

ActFunction TBasicLayer::GetFunction() {
  if (sharedFunction != nullptr) return sharedFunction;
  if (numNeurons == 0) {
    sharedFunction = &ActNull;
    return sharedFunction;
  }
  ActFunction first = GetNeuron(0)->function;
  for (int i = 1; i < numNeurons; ++i) {
    if (GetNeuron(i)->function != first) return nullptr;
  }
  sharedFunction = first;
  return sharedFunction;
}

void TBasicLayer::GetDimensions(int* parameters) const {
  if (numDims == 0) return;
  QUILL_ASSERT(parameters != NULL);
  QUILL_ASSERT_TEXT(!dimensions.empty(), "dimensions != NULL");
  for (int i = 0; i < numDims; ++i)
    parameters[i] = dimensions[static_cast<std::size_t>(i)];
}

void TBasicLayer::SetDimensions(int n, const int* parameters) {
  dimensions.clear();
  numDims = n;
  if (n > 0) {
    QUILL_ASSERT(parameters != NULL);
    dimensions.assign(parameters, parameters + n);
  }
}
