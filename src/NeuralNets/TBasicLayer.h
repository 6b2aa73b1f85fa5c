// A layer of neurons: the abstract base.
//
// A layer belongs to exactly one network (not owned) and owns its neurons and
// its `outputs` array; neuron i writes its output to outputs[i]. Propagate
// computes the layer's outputs for one pattern: it accumulates the net input of
// every neuron in `outputs` (the weighted outputs of every lower-numbered layer,
// delivered by the network's connections objects) and applies the activation
// functions in place, allocating nothing.
//
// `sharedFunction` caches the function all neurons share: layer SetFunction
// sets it, neuron SetFunction clears it, GetFunction fills it when all neurons
// agree, and Activate trusts it.
//
// `numNeurons` is changed by the network, not by RemoveNeuron/InsertNeuron, so
// that the layer and the connections objects touching it change size together.
#pragma once

#include <memory>
#include <vector>

#include "NeuralNets/ActFunctions.h"

class TBasicNetwork;
class TBasicNeuron;

class TBasicLayer {
 public:
  // REQUIRES: neuronCount >= 0 (counts read from files are checked first).
  TBasicLayer(TBasicNetwork* owner, int layerNumber, int neuronCount);
  TBasicLayer(const TBasicLayer&) = delete;
  TBasicLayer& operator=(const TBasicLayer&) = delete;
  virtual ~TBasicLayer() = 0;

  // Turns the net inputs `v` into outputs, neuron by neuron. `v` may be the
  // layer's own `outputs`: each value is read before the neuron writes it.
  virtual void Activate(const double* v);
  // Neuron i (unchecked).
  virtual TBasicNeuron* GetNeuron(int i) = 0;
  // Computes the outputs from the input vector `x` (used only by the input
  // layer) and the outputs of the lower-numbered layers.
  virtual void Propagate(const double* x);
  // "Simple", "Gain" or "Input": the layer keyword of network files.
  virtual const char* GetLayerType() const = 0;
  // A copy of this layer, with zeroed outputs, belonging to `owner`.
  virtual std::unique_ptr<TBasicLayer> Clone(TBasicNetwork* owner) const = 0;
  // Drops neuron i; the neurons above move down one place. Leaves numNeurons
  // and outputs alone: the network decrements numNeurons.
  virtual void RemoveNeuron(int i) = 0;
  // Inserts a neuron at position i with the shared function (or "error");
  // earlier outputs are discarded. The network increments numNeurons.
  virtual void InsertNeuron(int i);

  // Sets every neuron's function and the shared-function cache.
  // REQUIRES: a "-gain" function only on a layer of neurons with a gain.
  void SetFunction(ActFunction f);
  // The function all neurons share, or nullptr when they differ; "null" for a
  // layer without neurons.
  ActFunction GetFunction();

  // Copies the numDims dimensions to `parameters`.
  void GetDimensions(int* parameters) const;
  // Replaces the dimensions by the n entries of `parameters`.
  void SetDimensions(int n, const int* parameters);

  TBasicNetwork* network;  // not owned
  ActFunction sharedFunction = nullptr;
  int numNeurons;
  int layerNum;
  std::vector<double> outputs;  // also the net-input accumulator of Propagate
  int numDims = 0;
  std::vector<int> dimensions;

 protected:
  // Propagate for layers that sum their inputs; `warning` is written when the
  // layer is the network's input layer.
  void PropagateSummed(const double* x, const char* warning);
};
