#include "NeuralNets/TBasicNetwork.h"

#include "NeuralNets/TArcsIterator.h"
#include "NeuralNets/TBasicNeuron.h"
#include "NeuralNets/TEmptyConnections.h"
#include "NeuralNets/TIterateObj.h"
#include "NeuralNets/TPrunedConnections.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "NeuralNets/TBasicNetwork";
}  // namespace

TBasicNetwork::TBasicNetwork() = default;

TBasicNetwork::TBasicNetwork(int n) {
  Init(n);
}

void TBasicNetwork::Init(int n_layers) {
  QUILL_ASSERT(n_layers >= 0);
  numLayers = n_layers;
  inLayer = 1;
  outLayer = n_layers - 1;
  std::size_t n = static_cast<std::size_t>(n_layers);
  layers.clear();
  layers.resize(n);
  priv_conns.clear();
  priv_conns.resize(n * n);
  for (int to = 0; to < n_layers; ++to) {
    for (int from = 0; from < n_layers; ++from) {
      priv_conns[static_cast<std::size_t>(to * n_layers + from)] =
          std::make_unique<TEmptyConnections>(this, from, to);
    }
  }
  RebuildIndex();
  fnRegistry = std::make_unique<TFnRegistry>();
  fnRegistry->RegisterDefaults();
}

void TBasicNetwork::RebuildIndex() {
  priv_conns_index.resize(static_cast<std::size_t>(numLayers));
  for (int to = 0; to < numLayers; ++to) {
    priv_conns_index[static_cast<std::size_t>(to)] =
        priv_conns.data() + static_cast<std::size_t>(to) * static_cast<std::size_t>(numLayers);
  }
}

TBasicNetwork::TBasicNetwork(const TBasicNetwork& x) {
  CopyFrom(x);
}

TBasicNetwork& TBasicNetwork::operator=(const TBasicNetwork& x) {
  if (this == &x) return *this;
  // Connections read their layers' sizes, so they go first.
  priv_conns_index.clear();
  priv_conns.clear();
  layers.clear();
  fnRegistry.reset();
  CopyFrom(x);
  return *this;
}

void TBasicNetwork::CopyFrom(const TBasicNetwork& x) {
  numLayers = x.numLayers;
  inLayer = x.inLayer;
  outLayer = x.outLayer;
  layers.resize(x.layers.size());
  for (std::size_t i = 0; i < x.layers.size(); ++i) {
    QUILL_ASSERT(x.layers[i] != NULL);
    layers[i] = x.layers[i]->Clone(this);
  }
  priv_conns.resize(x.priv_conns.size());
  for (std::size_t i = 0; i < x.priv_conns.size(); ++i) {
    QUILL_ASSERT(x.priv_conns[i] != NULL);
    priv_conns[i] = x.priv_conns[i]->Clone(this);
  }
  RebuildIndex();
  // The copied neurons keep their function addresses, which are the same in
  // every registry.
  fnRegistry = std::make_unique<TFnRegistry>();
  fnRegistry->RegisterDefaults();
}

TBasicNetwork::~TBasicNetwork() {
  // A network abandoned while being built may have unfilled layer slots; the
  // table is never null. Connections go before the layers they read.
  priv_conns_index.clear();
  priv_conns.clear();
  layers.clear();
}

int TBasicNetwork::GetNumWeights(int mask) {
  int total = 0;
  for (int from = 0; from < numLayers; ++from) {
    for (int to = 0; to < numLayers; ++to) {
      total += priv_conns_index[static_cast<std::size_t>(to)][from]->GetNumWeights(mask);
    }
  }
  return total;
}

int TBasicNetwork::GetWeights(double* dest, int mask) {
  int total = 0;
  for (int from = 0; from < numLayers; ++from) {
    for (int to = 0; to < numLayers; ++to) {
      total += priv_conns_index[static_cast<std::size_t>(to)][from]->GetWeights(dest + total, mask);
    }
  }
  return total;
}

int TBasicNetwork::SetWeights(const double* src, int mask) {
  int total = 0;
  for (int from = 0; from < numLayers; ++from) {
    for (int to = 0; to < numLayers; ++to) {
      total += priv_conns_index[static_cast<std::size_t>(to)][from]->SetWeights(src + total, mask);
    }
  }
  return total;
}

void TBasicNetwork::Randomize(double lo, double hi) {
  // Flat-vector order, so that a seed gives the same weights in the same
  // positions of the vector.
  for (int from = 0; from < numLayers; ++from) {
    for (int to = 0; to < numLayers; ++to) {
      priv_conns_index[static_cast<std::size_t>(to)][from]->Randomize(lo, hi);
    }
  }
}

void TBasicNetwork::Connect(int fromLayer, int toLayer) {
  std::unique_ptr<TBasicConnections>& slot =
      priv_conns_index[static_cast<std::size_t>(toLayer)][fromLayer];
  if (slot->IsConnected()) return;
  slot = std::make_unique<TPrunedConnections>(this, fromLayer, toLayer);
}

void TBasicNetwork::Disconnect(int fromLayer, int toLayer) {
  priv_conns_index[static_cast<std::size_t>(toLayer)][fromLayer] =
      std::make_unique<TEmptyConnections>(this, fromLayer, toLayer);
  QUILL_ASSERT(priv_conns_index[toLayer][fromLayer] != NULL);
}

void TBasicNetwork::Recall(const double* in, double* out) {
  for (int i = 0; i < numLayers; ++i)
    layers[static_cast<std::size_t>(i)]->Propagate(in);
  const TBasicLayer& output = *layers[static_cast<std::size_t>(outLayer)];
  for (int i = 0; i < output.numNeurons; ++i)
    out[i] = output.outputs[static_cast<std::size_t>(i)];
}

std::unique_ptr<TArcsIterator> TBasicNetwork::NewInAllArcsIterator() {
  QUILL_ASSERT(false);
  return nullptr;
}

int TBasicNetwork::GetNumNeurons() const {
  int total = 0;
  for (const auto& layer : layers)
    total += layer->numNeurons;
  return total;
}

TBasicNeuron* TBasicNetwork::GetNeuron(int index) {
  QUILL_ASSERT_TEXT(index >= 0, "index>=0");
  QUILL_ASSERT_TEXT(index < GetNumNeurons(), "index<GetNumNeurons()");
  for (const auto& layer : layers) {
    if (index < layer->numNeurons) return layer->GetNeuron(index);
    index -= layer->numNeurons;
  }
  return nullptr;
}

void TBasicNetwork::InsertNeuron(int LayerNum, int node, double lo, double hi, bool attached) {
  QUILL_ASSERT_TEXT(LayerNum >= 0, "LayerNum>=0");
  QUILL_ASSERT_TEXT(LayerNum < numLayers, "LayerNum<numLayers");
  QUILL_ASSERT_TEXT(LayerNum != inLayer, "LayerNum!=inLayer");
  QUILL_ASSERT_TEXT(LayerNum != outLayer, "LayerNum!=outLayer");
  QUILL_ASSERT_TEXT(node >= 0, "node>=0");
  QUILL_ASSERT_TEXT(node <= GetNumNeurons(), "node<=GetNumNeurons()");
  // The bound above is the whole network's; the layer's own is the one that
  // keeps the neuron and weight arrays in range.
  TBasicLayer& layer = *layers[static_cast<std::size_t>(LayerNum)];
  QUILL_ASSERT_TEXT(node <= layer.numNeurons, "node<=layer.numNeurons");
  layer.InsertNeuron(node);
  layer.numNeurons += 1;
  for (int i = 0; i < numLayers; ++i) {
    priv_conns_index[static_cast<std::size_t>(i)][LayerNum]->InsertFromNeuron(node, lo, hi,
                                                                              attached);
    priv_conns_index[static_cast<std::size_t>(LayerNum)][i]->InsertToNeuron(node, lo, hi, attached);
  }
}

void TBasicNetwork::RemoveNeuron(int LayerNum, int node) {
  QUILL_ASSERT_TEXT(LayerNum >= 0, "LayerNum>=0");
  QUILL_ASSERT_TEXT(LayerNum < numLayers, "LayerNum<numLayers");
  QUILL_ASSERT_TEXT(LayerNum != inLayer, "LayerNum!=inLayer");
  QUILL_ASSERT_TEXT(LayerNum != outLayer, "LayerNum!=outLayer");
  QUILL_ASSERT_TEXT(node >= 0, "node>=0");
  QUILL_ASSERT_TEXT(node < GetNumNeurons(), "node<GetNumNeurons()");
  TBasicLayer& layer = *layers[static_cast<std::size_t>(LayerNum)];
  QUILL_ASSERT_TEXT(node < layer.numNeurons, "node<layer.numNeurons");
  layer.RemoveNeuron(node);
  layer.numNeurons -= 1;
  for (int i = 0; i < numLayers; ++i) {
    priv_conns_index[static_cast<std::size_t>(i)][LayerNum]->RemoveFromNeuron(node);
    priv_conns_index[static_cast<std::size_t>(LayerNum)][i]->RemoveToNeuron(node);
  }
}

int TBasicNetwork::PruneNodes() {
  TIterateObjPruneNode visitor;
  int removed = 0;
  for (int L = outLayer - 1; L >= 0; --L) {
    if (L == inLayer || L == outLayer) continue;
    // Downwards, so the numbers of the nodes still to be examined stay valid.
    for (int node = layers[static_cast<std::size_t>(L)]->numNeurons - 1; node >= 0; --node) {
      visitor.count = 0;
      IterateOutputsOf(visitor, L, node, FMaskExists);
      if (visitor.count == 0) {
        RemoveNeuron(L, node);
        ++removed;
      }
    }
  }
  return removed;
}

void TBasicNetwork::InsertLayer(int LayerNum, std::unique_ptr<TBasicLayer> layer) {
  QUILL_ASSERT_TEXT(LayerNum >= 0, "LayerNum>=0");
  QUILL_ASSERT_TEXT(LayerNum <= numLayers, "LayerNum<=numLayers");
  int n = numLayers + 1;
  auto shift = [LayerNum](int k) { return k >= LayerNum ? k + 1 : k; };
  std::vector<std::unique_ptr<TBasicConnections>> table(static_cast<std::size_t>(n) * n);
  for (int to = 0; to < numLayers; ++to) {
    for (int from = 0; from < numLayers; ++from) {
      table[static_cast<std::size_t>(shift(to) * n + shift(from))] =
          std::move(priv_conns[static_cast<std::size_t>(to * numLayers + from)]);
    }
  }
  for (int i = 0; i < n; ++i) {
    table[static_cast<std::size_t>(i * n + LayerNum)] =
        std::make_unique<TEmptyConnections>(this, LayerNum, i);
    if (i != LayerNum) {
      table[static_cast<std::size_t>(LayerNum * n + i)] =
          std::make_unique<TEmptyConnections>(this, i, LayerNum);
    }
  }
  for (int to = 0; to < n; ++to) {
    for (int from = 0; from < n; ++from) {
      TBasicConnections& c = *table[static_cast<std::size_t>(to * n + from)];
      c.fromLayer = from;
      c.toLayer = to;
    }
  }
  layer->network = this;
  layers.insert(layers.begin() + LayerNum, std::move(layer));
  for (int i = 0; i < n; ++i)
    layers[static_cast<std::size_t>(i)]->layerNum = i;
  priv_conns = std::move(table);
  numLayers = n;
  RebuildIndex();
  if (inLayer >= LayerNum) ++inLayer;
  if (outLayer >= LayerNum) ++outLayer;
}

void TBasicNetwork::RemoveLayer(int LayerNum) {
  QUILL_ASSERT_TEXT(LayerNum >= 0, "LayerNum>=0");
  QUILL_ASSERT_TEXT(LayerNum < numLayers, "LayerNum<numLayers");
  QUILL_ASSERT_TEXT(LayerNum != inLayer, "LayerNum!=inLayer");
  QUILL_ASSERT_TEXT(LayerNum != outLayer, "LayerNum!=outLayer");
  int n = numLayers - 1;
  auto old = [LayerNum](int k) { return k >= LayerNum ? k + 1 : k; };
  std::vector<std::unique_ptr<TBasicConnections>> table(static_cast<std::size_t>(n) * n);
  for (int to = 0; to < n; ++to) {
    for (int from = 0; from < n; ++from) {
      std::unique_ptr<TBasicConnections>& c = table[static_cast<std::size_t>(to * n + from)];
      c = std::move(priv_conns[static_cast<std::size_t>(old(to) * numLayers + old(from))]);
      c->fromLayer = from;
      c->toLayer = to;
    }
  }
  // What is left in the old table are the removed layer's connections.
  priv_conns = std::move(table);
  layers.erase(layers.begin() + LayerNum);
  numLayers = n;
  for (int i = 0; i < n; ++i)
    layers[static_cast<std::size_t>(i)]->layerNum = i;
  RebuildIndex();
  if (inLayer >= LayerNum) --inLayer;
  if (outLayer >= LayerNum) --outLayer;
}

void TBasicNetwork::IterateInputsOf(TIterateObj& visitor, int layer, int node, int mask) {
  for (int i = 0; i < numLayers; ++i) {
    priv_conns_index[static_cast<std::size_t>(layer)][i]->IterateTo(visitor, node, mask);
  }
}

void TBasicNetwork::IterateOutputsOf(TIterateObj& visitor, int layer, int node, int mask) {
  for (int i = 0; i < numLayers; ++i) {
    priv_conns_index[static_cast<std::size_t>(i)][layer]->IterateFrom(visitor, node, mask);
  }
}

TBasicLayer* TBasicNetwork::GetLayer(int i) const {
  QUILL_ASSERT(i >= 0 && i < numLayers);
  return layers[static_cast<std::size_t>(i)].get();
}

void TBasicNetwork::SetLayer(int i, std::unique_ptr<TBasicLayer> layer) {
  QUILL_ASSERT(i >= 0 && i < numLayers);
  QUILL_ASSERT(layer != NULL && layer->network == this && layer->layerNum == i);
  layers[static_cast<std::size_t>(i)] = std::move(layer);
}

bool TBasicNetwork::IsComplete() const {
  for (const auto& layer : layers) {
    if (layer == nullptr) return false;
  }
  return true;
}

TBasicConnections* TBasicNetwork::GetConnections(int from, int to) const {
  QUILL_ASSERT(from >= 0 && from < numLayers && to >= 0 && to < numLayers);
  return priv_conns_index[static_cast<std::size_t>(to)][from].get();
}

void TBasicNetwork::SetConnections(int from, int to, std::unique_ptr<TBasicConnections> conns) {
  QUILL_ASSERT(from >= 0 && from < numLayers && to >= 0 && to < numLayers);
  QUILL_ASSERT(conns != NULL && conns->network == this && conns->fromLayer == from &&
               conns->toLayer == to);
  priv_conns_index[static_cast<std::size_t>(to)][from] = std::move(conns);
}
