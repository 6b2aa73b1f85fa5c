#include "NeuralNets/TSimpleLayer.h"

#include <iostream>

#include "NeuralNets/TBasicNetwork.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/TBasicNetwork";

// Points neuron k of `nodes` at `layer` and its cell outputs[k].
template <class Neuron>
void RepointNodes(std::vector<Neuron>& nodes, TBasicLayer* layer) {
  for (std::size_t k = 0; k < nodes.size(); ++k) {
    nodes[k].layer = layer;
    nodes[k].output = &layer->outputs[k];
  }
}

// Makes the neurons of `layer` a copy of `source` (fields, gains, CopyFrom).
template <class Neuron>
void CopyNodes(std::vector<Neuron>& nodes, const std::vector<Neuron>& source, TBasicLayer* layer) {
  nodes = source;
  for (std::size_t k = 0; k < nodes.size(); ++k)
    nodes[k].CopyFrom(source[k]);
  RepointNodes(nodes, layer);
}

template <class Neuron>
void RemoveNode(std::vector<Neuron>& nodes, int i, TBasicLayer* layer) {
  QUILL_ASSERT(i >= 0 && i < layer->numNeurons);
  std::vector<Neuron> fresh;
  fresh.reserve(nodes.size() - 1);
  for (std::size_t k = 0; k < nodes.size(); ++k) {
    if (k == static_cast<std::size_t>(i)) continue;
    fresh.push_back(nodes[k]);
    fresh.back().CopyFrom(nodes[k]);
  }
  nodes.swap(fresh);
  RepointNodes(nodes, layer);
}

// Inserts `added` at position i; the outputs array grows by one and its
// earlier values are discarded.
template <class Neuron>
void InsertNode(std::vector<Neuron>& nodes, int i, Neuron added, TBasicLayer* layer) {
  QUILL_ASSERT(i >= 0 && i <= layer->numNeurons);
  layer->outputs.assign(static_cast<std::size_t>(layer->numNeurons) + 1, 0.0);
  std::vector<Neuron> fresh;
  fresh.reserve(nodes.size() + 1);
  for (std::size_t k = 0; k <= nodes.size(); ++k) {
    if (k == static_cast<std::size_t>(i)) fresh.push_back(added);
    if (k < nodes.size()) {
      fresh.push_back(nodes[k]);
      fresh.back().CopyFrom(nodes[k]);
    }
  }
  nodes.swap(fresh);
  RepointNodes(nodes, layer);
}

// Activate over the concrete neuron array: no virtual call per neuron when the
// shared function is known.
template <class Neuron>
void ActivateNodes(std::vector<Neuron>& nodes, int count, ActFunction shared, const double* v) {
  Neuron* node = nodes.data();
  if (shared != nullptr) {
    for (int i = 0; i < count; ++i)
      shared(&node[i], v[i]);
  } else {
    for (int i = 0; i < count; ++i)
      node[i].function(&node[i], v[i]);
  }
}

template <class Neuron>
void MakeNodes(std::vector<Neuron>& nodes, TBasicLayer* layer) {
  nodes.resize(static_cast<std::size_t>(layer->numNeurons));
  for (std::size_t k = 0; k < nodes.size(); ++k) {
    nodes[k].layerNum = layer->layerNum;
    nodes[k].nodeNum = static_cast<int>(k);
  }
  RepointNodes(nodes, layer);
}
}  // namespace

// TSimpleLayer

TSimpleLayer::TSimpleLayer(TBasicNetwork* owner, int layerNumber, int neuronCount)
    : TBasicLayer(owner, layerNumber, neuronCount) {
  MakeNodes(nodes, this);
}

TSimpleLayer::~TSimpleLayer() = default;

void TSimpleLayer::Activate(const double* v) {
  ActivateNodes(nodes, numNeurons, sharedFunction, v);
}

void TSimpleLayer::CopyStateFrom(const TSimpleLayer& source) {
  numDims = source.numDims;
  dimensions = source.dimensions;
  sharedFunction = source.sharedFunction;
  CopyNodes(nodes, source.nodes, this);
}

std::unique_ptr<TBasicLayer> TSimpleLayer::Clone(TBasicNetwork* owner) const {
  auto x = std::make_unique<TSimpleLayer>(owner, layerNum, numNeurons);
  x->CopyStateFrom(*this);
  return x;
}

void TSimpleLayer::RemoveNeuron(int i) {
  RemoveNode(nodes, i, this);
}

void TSimpleLayer::InsertNeuron(int i) {
  TBasicNeuron added;
  added.layerNum = layerNum;
  added.nodeNum = i;
  added.function = sharedFunction != nullptr ? sharedFunction : &ActError;
  InsertNode(nodes, i, added, this);
}

// TGainLayer

TGainLayer::TGainLayer(TBasicNetwork* owner, int layerNumber, int neuronCount, double gain)
    : TBasicLayer(owner, layerNumber, neuronCount) {
  MakeNodes(nodes, this);
  SetGain(gain);
}

TGainLayer::~TGainLayer() = default;

void TGainLayer::Activate(const double* v) {
  ActivateNodes(nodes, numNeurons, sharedFunction, v);
}

std::unique_ptr<TBasicLayer> TGainLayer::Clone(TBasicNetwork* owner) const {
  auto x = std::make_unique<TGainLayer>(owner, layerNum, numNeurons, 1.0);
  x->numDims = numDims;
  x->dimensions = dimensions;
  x->sharedFunction = sharedFunction;
  CopyNodes(x->nodes, nodes, x.get());
  return x;
}

void TGainLayer::RemoveNeuron(int i) {
  RemoveNode(nodes, i, this);
}

void TGainLayer::InsertNeuron(int i) {
  TGainNeuron added;
  added.layerNum = layerNum;
  added.nodeNum = i;
  added.function = sharedFunction != nullptr ? sharedFunction : &ActError;
  added.gain = nodes.empty() ? 1.0 : nodes[0].gain;
  InsertNode(nodes, i, added, this);
}

void TGainLayer::SetGain(double g) {
  for (TGainNeuron& node : nodes)
    node.gain = g;
}

// TSimpleInputLayer

TSimpleInputLayer::TSimpleInputLayer(TBasicNetwork* owner, int layerNumber, int neuronCount)
    : TSimpleLayer(owner, layerNumber, neuronCount) {
  SetFunction(&ActLinear);
}

void TSimpleInputLayer::Propagate(const double* x) {
  double* out = outputs.data();
  if (layerNum == network->inLayer) {
    for (int i = 0; i < numNeurons; ++i)
      out[i] = x[i];
  } else {
    std::cerr << "!Warning: changed input layer (TSimpleInputLayer)" << '\n';
    for (int i = 0; i < numNeurons; ++i)
      out[i] = 0.0;
  }
}

std::unique_ptr<TBasicLayer> TSimpleInputLayer::Clone(TBasicNetwork* owner) const {
  auto x = std::make_unique<TSimpleInputLayer>(owner, layerNum, numNeurons);
  x->CopyStateFrom(*this);
  return x;
}
