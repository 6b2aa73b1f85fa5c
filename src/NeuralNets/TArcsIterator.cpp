#include "NeuralNets/TArcsIterator.h"

#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TBasicNeuron.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/TBasicNetwork";
}  // namespace

void TArcsIterator::Start(int, int) {}

void TArcsIterator::Start(int, int, int) {}

void TArcsIteratorState::StandOn(int node) {
  fromNode = node;
  weight = conns->GetWeightPtr(fromNode, toNode);
  fromNeuron = conns->network->layers[static_cast<std::size_t>(fromLayer)]->GetNeuron(fromNode);
}

void TConnInAllArcsIterator::Start(int toLayerNum, int toNodeNum) {
  QUILL_ASSERT(toLayerNum >= 0 && toLayerNum < network->numLayers);
  QUILL_ASSERT(toNodeNum >= 0 && toNodeNum < network->layers[toLayerNum]->numNeurons);
  toLayer = toLayerNum;
  toNode = toNodeNum;
  toNeuron = network->layers[static_cast<std::size_t>(toLayer)]->GetNeuron(toNode);
  fromLayer = -1;
  fromNode = -1;
  lastNode = -1;
  fromNeuron = nullptr;
  weight = nullptr;
  conns = nullptr;
}

bool TConnInAllArcsIterator::Enter(int layer) {
  TBasicConnections* c = network->priv_conns_index[static_cast<std::size_t>(toLayer)][layer].get();
  int size = network->layers[static_cast<std::size_t>(layer)]->numNeurons;
  if (!c->IsConnected() || size < 1) return false;
  fromLayer = layer;
  conns = c;
  lastNode = size - 1;
  return true;
}

bool TConnInAllArcsIterator::Next() {
  if (conns != nullptr && fromNode < lastNode) {
    StandOn(fromNode + 1);
    return true;
  }
  for (int layer = fromLayer + 1; layer < network->numLayers; ++layer) {
    if (Enter(layer)) {
      StandOn(0);
      return true;
    }
  }
  // After the end.
  fromLayer = network->numLayers;
  conns = nullptr;
  return false;
}

bool TConnInAllArcsIterator::Prev() {
  if (conns != nullptr && fromNode > 0) {
    StandOn(fromNode - 1);
    return true;
  }
  for (int layer = fromLayer - 1; layer >= 0; --layer) {
    if (Enter(layer)) {
      StandOn(lastNode);
      return true;
    }
  }
  // Before the start.
  fromLayer = -1;
  conns = nullptr;
  return false;
}

void TConnInLayerArcsIterator::Start(int toLayerNum, int toNodeNum, int fromLayerNum) {
  QUILL_ASSERT(toLayerNum >= 0 && toLayerNum < network->numLayers);
  QUILL_ASSERT(fromLayerNum >= 0 && fromLayerNum < network->numLayers);
  QUILL_ASSERT(toNodeNum >= 0 && toNodeNum < network->layers[toLayerNum]->numNeurons);
  toLayer = toLayerNum;
  toNode = toNodeNum;
  fromLayer = fromLayerNum;
  toNeuron = network->layers[static_cast<std::size_t>(toLayer)]->GetNeuron(toNode);
  fromNode = -1;
  fromNeuron = nullptr;
  weight = nullptr;
  TBasicConnections* c =
      network->priv_conns_index[static_cast<std::size_t>(toLayer)][fromLayer].get();
  // An empty pair has no weights to stand on: the iterator holds no arc.
  conns = c->IsConnected() ? c : nullptr;
  lastNode =
      conns != nullptr ? network->layers[static_cast<std::size_t>(fromLayer)]->numNeurons - 1 : -1;
}

bool TConnInLayerArcsIterator::Next() {
  if (conns == nullptr || fromNode >= lastNode) return false;
  StandOn(fromNode + 1);
  return true;
}

bool TConnInLayerArcsIterator::Prev() {
  if (conns == nullptr || fromNode < 1) return false;
  StandOn(fromNode - 1);
  return true;
}
