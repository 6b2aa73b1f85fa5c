#include "NeuralNets/TConnectedNetwork.h"

#include "NeuralNets/TArcsIterator.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TSimpleLayer.h"

TConnectedNetwork::TConnectedNetwork(int n) : TBasicNetwork(n) {}

TConnectedNetwork::TConnectedNetwork(int n, const int* sizes) : TBasicNetwork(n) {
  for (int i = 0; i < n; ++i) {
    if (i == inLayer) {
      SetLayer(i, std::make_unique<TSimpleInputLayer>(this, i, sizes[i]));
    } else {
      SetLayer(i, std::make_unique<TSimpleLayer>(this, i, sizes[i]));
    }
  }
}

TConnectedNetwork::~TConnectedNetwork() = default;

void TConnectedNetwork::Connect(int fromLayer, int toLayer) {
  std::unique_ptr<TBasicConnections>& slot =
      priv_conns_index[static_cast<std::size_t>(toLayer)][fromLayer];
  if (slot->IsConnected()) return;
  slot = std::make_unique<TConnectedConnections>(this, fromLayer, toLayer);
}

std::unique_ptr<TArcsIterator> TConnectedNetwork::NewInAllArcsIterator() {
  return std::make_unique<TConnInAllArcsIterator>(this);
}
