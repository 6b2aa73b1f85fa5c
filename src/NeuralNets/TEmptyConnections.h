// The connections object of a pair of layers that is not connected.
//
// Has no connections: no weights, nothing added at recall, nothing visited.
// Every pair of layers of a new network starts with one.
#pragma once

#include "NeuralNets/TBasicConnections.h"

class TEmptyConnections : public TBasicConnections {
 public:
  TEmptyConnections(TBasicNetwork* owner, int from, int to);

  bool IsConnected() const override { return false; }
  int GetNumWeights(int) override { return 0; }
  int GetWeights(double*, int) override { return 0; }
  int SetWeights(const double*, int) override { return 0; }
  void Randomize(double, double) override {}
  // There is no weight: an assertion failure.
  double* GetWeightPtr(int from, int to) override;
  void AddWeightedInputs(double*) override {}
  bool IsValid(int, int) const override { return false; }
  void IterateTo(TIterateObj&, int, int) override {}
  void IterateFrom(TIterateObj&, int, int) override {}
  void Iterate(TIterateObj&, int) override {}
  void Iterate2(TIterateObj2&, TBasicNetwork*, int) override {}
  void Iterate3(TIterateObj3&, TBasicNetwork*, TBasicNetwork*, int) override {}
  const char* GetConnectionsNType() const override { return "Empty"; }
  std::unique_ptr<TBasicConnections> Clone(TBasicNetwork* owner) const override;
  void RemoveFromNeuron(int) override {}
  void RemoveToNeuron(int) override {}
  void InsertFromNeuron(int, double, double, bool) override {}
  void InsertToNeuron(int, double, double, bool) override {}
};
