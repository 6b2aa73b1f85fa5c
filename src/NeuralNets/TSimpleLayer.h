// The concrete layers: plain neurons, gain neurons, and the input layer.
//
// TSimpleLayer holds TBasicNeuron objects, TGainLayer TGainNeuron objects (one
// gain each), both by value in one array. TSimpleInputLayer is a TSimpleLayer
// with the "linear" function that copies the network's input vector instead of
// summing connections; placed anywhere but the network's input position it
// warns and outputs zeros. A TSimpleLayer at the input position warns, copies
// the input and then still sums connections and applies its functions.
#pragma once

#include <memory>
#include <vector>

#include "NeuralNets/TBasicLayer.h"
#include "NeuralNets/TBasicNeuron.h"

class TSimpleLayer : public TBasicLayer {
 public:
  // `neuronCount` plain neurons with the "error" function and zeroed outputs.
  TSimpleLayer(TBasicNetwork* owner, int layerNumber, int neuronCount);
  ~TSimpleLayer() override;

  void Activate(const double* v) override;
  TBasicNeuron* GetNeuron(int i) override { return &nodes[static_cast<std::size_t>(i)]; }
  const char* GetLayerType() const override { return "Simple"; }
  std::unique_ptr<TBasicLayer> Clone(TBasicNetwork* owner) const override;
  void RemoveNeuron(int i) override;
  void InsertNeuron(int i) override;

  std::vector<TBasicNeuron> nodes;

 protected:
  // Copies what Clone copies from `source` into this freshly made layer.
  void CopyStateFrom(const TSimpleLayer& source);
};

class TGainLayer : public TBasicLayer {
 public:
  // `neuronCount` gain neurons with gain `gain` and the "error" function.
  TGainLayer(TBasicNetwork* owner, int layerNumber, int neuronCount, double gain);
  ~TGainLayer() override;

  void Activate(const double* v) override;
  TBasicNeuron* GetNeuron(int i) override { return &nodes[static_cast<std::size_t>(i)]; }
  const char* GetLayerType() const override { return "Gain"; }
  std::unique_ptr<TBasicLayer> Clone(TBasicNetwork* owner) const override;
  void RemoveNeuron(int i) override;
  void InsertNeuron(int i) override;

  // Sets every neuron's gain.
  void SetGain(double g);

  std::vector<TGainNeuron> nodes;
};

class TSimpleInputLayer : public TSimpleLayer {
 public:
  // `neuronCount` neurons with the "linear" function.
  TSimpleInputLayer(TBasicNetwork* owner, int layerNumber, int neuronCount);

  void Propagate(const double* x) override;
  const char* GetLayerType() const override { return "Input"; }
  std::unique_ptr<TBasicLayer> Clone(TBasicNetwork* owner) const override;
};
