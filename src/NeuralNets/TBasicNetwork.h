// A layered feed-forward network.
//
// A TBasicNetwork owns a numbered list of layers, one connections object for
// every ordered pair of layers (an empty one where the pair is not connected),
// and its activation-function registry. It recalls an output vector from an
// input vector, exposes its weights as one flat vector of doubles, and grows or
// shrinks by neurons and by layers.
//
// Invariants once every layer slot is filled: layers[i]->layerNum == i; the
// table is square with n * n non-null entries, the object at
// priv_conns_index[to][from] connects layer `from` into layer `to` and stores
// those two numbers; every weight matrix has the shape of its two layers.
//
// Flat weight vector order: the from-layer in the outer loop, the to-layer in
// the inner loop, each pair contributing its own block in its own order.
// Mask FMaskExists selects every existing connection; any other mask (0,
// FMaskAll) selects the existing and trainable ones.
//
// Recall walks the layers in index order; each layer reads only lower-numbered
// layers, so connections must run from lower to higher layer numbers.
//
// Building a network from a file: construct it with the layer count, store a
// layer at every index (SetLayer), set inLayer/outLayer, and install connections
// objects (GetConnections / SetConnections); IsComplete tells whether every
// layer slot is filled. Values read from a file are checked by the reader
// before they get here (these are assertions): a layer count >= 1, layer and
// pair indices within the network, neuron counts >= 0, both layers of a pair
// stored before its connections object is made (the object reads their
// sizes), and "-gain" functions only on gain layers (FunctionNeedsGain,
// TBasicNeuron::HasGain). The members are public for the library's layers,
// connections and file code; the accessors are the preferred way in.
#pragma once

#include <memory>
#include <vector>

#include "NeuralNets/TArcsIterator.h"
#include "NeuralNets/TBasicConnections.h"
#include "NeuralNets/TBasicLayer.h"
#include "NeuralNets/TFnRegistry.h"

class TBasicNeuron;
class TIterateObj;

class TBasicNetwork {
 public:
  // A network of n layers with empty connections everywhere, inLayer 1 and
  // outLayer n - 1; every layer slot must be filled before use.
  explicit TBasicNetwork(int n);
  // A deep copy (layers, connections, weights, flags, functions, gains) with
  // zeroed outputs and a fresh registry.
  TBasicNetwork(const TBasicNetwork& x);
  TBasicNetwork& operator=(const TBasicNetwork& x);
  virtual ~TBasicNetwork();

  // Size of the flat weight vector for `mask`.
  virtual int GetNumWeights(int mask);
  // Writes the flat weight vector to `dest`; returns the number written.
  virtual int GetWeights(double* dest, int mask);
  // Reads the flat weight vector from `src`; returns the number read.
  virtual int SetWeights(const double* src, int mask);
  // Draws every trainable weight from [lo, hi), in flat-vector order.
  virtual void Randomize(double lo, double hi);
  // Connects fromLayer into toLayer with a pruneable matrix (all weights 0,
  // all connections existing and trainable); an already connected pair keeps
  // its matrix.
  virtual void Connect(int fromLayer, int toLayer);
  // Removes every connection from fromLayer into toLayer.
  virtual void Disconnect(int fromLayer, int toLayer);
  // Forward pass: `in` holds one value per neuron of the input layer, `out`
  // receives one per neuron of the output layer. Allocates nothing.
  virtual void Recall(const double* in, double* out);
  // "Basic", "Connected" or "MLP": the keyword of network files.
  virtual const char* GetNetworkType() const { return "Basic"; }
  // An iterator over the incoming arcs of a neuron; not provided by the basic
  // network (an assertion failure).
  virtual std::unique_ptr<TArcsIterator> NewInAllArcsIterator();

  // Total number of neurons over all layers.
  int GetNumNeurons() const;
  // Neuron `index` when the neurons of all layers are numbered in layer order.
  TBasicNeuron* GetNeuron(int index);
  // Inserts a neuron at position `node` of hidden layer LayerNum; its
  // connections get weights drawn from [lo, hi) when `attached`.
  void InsertNeuron(int LayerNum, int node, double lo, double hi, bool attached);
  // Removes neuron `node` of hidden layer LayerNum with its connections.
  void RemoveNeuron(int LayerNum, int node);
  // Removes the hidden neurons below the output layer that have no outgoing
  // connection; returns how many were removed.
  int PruneNodes();
  // Inserts `layer` at index LayerNum (0 <= LayerNum <= numLayers), with no
  // connections; the layers above and inLayer/outLayer move up.
  void InsertLayer(int LayerNum, std::unique_ptr<TBasicLayer> layer);
  // Removes and destroys hidden layer LayerNum with its connections.
  void RemoveLayer(int LayerNum);
  // Visits the connections into neuron `node` of layer `layer` from every layer.
  void IterateInputsOf(TIterateObj& visitor, int layer, int node, int mask);
  // Visits the connections out of neuron `node` of layer `layer` to every layer.
  void IterateOutputsOf(TIterateObj& visitor, int layer, int node, int mask);

  int NumLayers() const { return numLayers; }
  // Layer i, or nullptr while its slot is unfilled. REQUIRES: 0 <= i < numLayers.
  TBasicLayer* GetLayer(int i) const;
  // Stores `layer` at index i, destroying any layer there. The layer must have
  // been made for this network with layer number i.
  void SetLayer(int i, std::unique_ptr<TBasicLayer> layer);
  // Every layer slot is filled.
  bool IsComplete() const;
  // The connections object from `from` into `to` (never null).
  TBasicConnections* GetConnections(int from, int to) const;
  // Replaces the connections object from `from` into `to`, destroying the old
  // one. `conns` must have been made for this network and this pair.
  void SetConnections(int from, int to, std::unique_ptr<TBasicConnections> conns);
  TFnRegistry* GetRegistry() const { return fnRegistry.get(); }

  int numLayers = 0;
  std::vector<std::unique_ptr<TBasicLayer>> layers;
  int inLayer = 0;
  int outLayer = 0;
  // Element to * numLayers + from connects layer `from` into layer `to`.
  std::vector<std::unique_ptr<TBasicConnections>> priv_conns;
  // Row pointers: priv_conns_index[to][from] is the object from -> to.
  std::vector<std::unique_ptr<TBasicConnections>*> priv_conns_index;
  std::unique_ptr<TFnRegistry> fnRegistry;

 protected:
  // Sets up nothing; for derived classes that call Init themselves.
  TBasicNetwork();
  // The initialisation of TBasicNetwork(n).
  void Init(int n_layers);

 private:
  // Builds this network as a copy of `x` (layers, table, registry).
  void CopyFrom(const TBasicNetwork& x);
  void RebuildIndex();
};
