// A layered network whose connected layer pairs get full weight matrices.
//
// As TBasicNetwork, but Connect installs TConnectedConnections (every
// connection exists and is trainable) and the network offers an iterator over
// the incoming arcs of a neuron.
#pragma once

#include <memory>

#include "NeuralNets/TBasicNetwork.h"

class TConnectedNetwork : public TBasicNetwork {
 public:
  // n layers, unfilled (the network file reader fills them).
  explicit TConnectedNetwork(int n);
  // n layers of sizes[i] neurons: layer inLayer (1) a TSimpleInputLayer, the
  // others TSimpleLayer with the "error" function; nothing connected.
  TConnectedNetwork(int n, const int* sizes);
  TConnectedNetwork(const TConnectedNetwork& x) = default;
  TConnectedNetwork& operator=(const TConnectedNetwork& x) = default;
  ~TConnectedNetwork() override;

  // Connects fromLayer into toLayer with a full matrix of weights 0; an
  // already connected pair keeps its matrix.
  void Connect(int fromLayer, int toLayer) override;
  const char* GetNetworkType() const override { return "Connected"; }
  // A TConnInAllArcsIterator on this network; the caller owns it.
  std::unique_ptr<TArcsIterator> NewInAllArcsIterator() override;
};
