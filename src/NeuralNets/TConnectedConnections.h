// Fully connected weights between two layers.
//
// Every from-neuron is connected to every to-neuron and every connection is
// trainable; masks make no difference. All weights live in one contiguous
// block, to-neuron major (the weights into to-neuron 0 first), with a row index,
// so recall reads each to-neuron's weights as one run.
//
// Two orders: the flat weight vector (GetWeights/SetWeights) is from-neuron
// major, while Iterate and the storage are to-neuron major.
#pragma once

#include <vector>

#include "NeuralNets/TBasicConnections.h"

class TConnectedConnections : public TBasicConnections {
 public:
  // A matrix of the two layers' current sizes, every weight 0.
  TConnectedConnections(TBasicNetwork* owner, int from, int to);
  ~TConnectedConnections() override;

  int GetNumWeights(int mask) override;
  int GetWeights(double* dest, int mask) override;
  int SetWeights(const double* src, int mask) override;
  void Randomize(double lo, double hi) override;
  double* GetWeightPtr(int from, int to) override {
    return &index_weights[static_cast<std::size_t>(to)][from];
  }
  void AddWeightedInputs(double* net) override;
  bool IsValid(int, int) const override { return true; }
  bool IsTrainable(int, int) const override { return true; }
  void Unprune(int, int) override {}
  void SetTrainable(int, int) override {}
  void IterateTo(TIterateObj& visitor, int to, int mask) override;
  void IterateFrom(TIterateObj& visitor, int from, int mask) override;
  void Iterate(TIterateObj& visitor, int mask) override;
  void Iterate2(TIterateObj2& visitor, TBasicNetwork* second, int mask) override;
  void Iterate3(TIterateObj3& visitor, TBasicNetwork* second, TBasicNetwork* third,
                int mask) override;
  const char* GetConnectionsNType() const override { return "FullyConnected"; }
  std::unique_ptr<TBasicConnections> Clone(TBasicNetwork* owner) const override;
  void RemoveFromNeuron(int index) override;
  void RemoveToNeuron(int index) override;
  // REQUIRES: attached (a full matrix has no absent connections). One random
  // weight is drawn per new connection, even when lo == hi.
  void InsertFromNeuron(int index, double lo, double hi, bool attached) override;
  void InsertToNeuron(int index, double lo, double hi, bool attached) override;

  std::vector<double> array_weights;   // nFrom * nTo, to-neuron major
  std::vector<double*> index_weights;  // index_weights[t] = row of to-neuron t

 private:
  // Installs `weights` as an nFrom x nTo matrix and rebuilds the row index.
  void Install(std::vector<double> weights, int nFrom, int nTo);
};
