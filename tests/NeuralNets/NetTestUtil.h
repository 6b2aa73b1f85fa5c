// Small networks and visitors shared by the neural-network tests.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TIterateObj.h"
#include "NeuralNets/TSimpleLayer.h"

// A basic network with one layer per entry of `sizes`: layer 1 a
// TSimpleInputLayer, the others TSimpleLayer with the "sigmoid" function.
inline std::unique_ptr<TBasicNetwork> MakeBasicNet(const std::vector<int>& sizes) {
  auto net = std::make_unique<TBasicNetwork>(static_cast<int>(sizes.size()));
  for (int i = 0; i < static_cast<int>(sizes.size()); ++i) {
    if (i == 1) {
      net->SetLayer(i, std::make_unique<TSimpleInputLayer>(net.get(), i, sizes[i]));
    } else {
      auto layer = std::make_unique<TSimpleLayer>(net.get(), i, sizes[i]);
      layer->SetFunction(&ActSigmoid);
      net->SetLayer(i, std::move(layer));
    }
  }
  return net;
}

// Records (from, to, weight) of every visited connection.
struct RecordingVisitor : TIterateObj {
  struct Seen {
    int from;
    int to;
    double weight;
    bool trainable;
  };
  void Visit() override { seen.push_back({from, to, *weight, trainable}); }
  std::vector<double> Weights() const {
    std::vector<double> w;
    for (const Seen& s : seen)
      w.push_back(s.weight);
    return w;
  }
  std::vector<Seen> seen;
};
