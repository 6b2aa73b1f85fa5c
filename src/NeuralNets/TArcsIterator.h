// Iterators over the incoming connections (arcs) of one neuron.
//
// An arc iterator is started on a to-neuron (Start), then moved arc by arc with
// Next and Prev; while it stands on an arc (HasArc) it gives the layer and node
// numbers at both ends, the two neurons and the address of the arc's weight.
// It reads the network's tables live: the network must not change shape while
// an iterator walks it.
//
// TConnInAllArcsIterator walks the arcs from every layer whose connections
// object into the to-layer is a weight matrix (pruned connections included);
// TConnInLayerArcsIterator walks those from one given layer.
#pragma once

class TBasicConnections;
class TBasicNetwork;
class TBasicNeuron;

class TArcsIterator {
 public:
  virtual ~TArcsIterator() = default;

  virtual int GetFromLayer() const = 0;
  virtual int GetToLayer() const = 0;
  virtual int GetFromNode() const = 0;
  virtual int GetToNode() const = 0;
  virtual TBasicNeuron* GetToNeuron() const = 0;
  // REQUIRES (for the three below): HasArc().
  virtual TBasicNeuron* GetFromNeuron() const = 0;
  virtual double* GetWeightPtr() const = 0;
  explicit operator bool() const { return HasArc(); }
  virtual bool HasArc() const = 0;
  // Steps to the next / previous arc; false when there is none.
  virtual bool Next() = 0;
  virtual bool Prev() = 0;
  // Places the iterator before the first arc into neuron toNode of layer
  // toLayer (from layer fromLayer for the in-layer iterator).
  virtual void Start(int toLayer, int toNode);
  virtual void Start(int toLayer, int toNode, int fromLayer);
};

// Shared state of the working iterators.
class TArcsIteratorState : public TArcsIterator {
 public:
  int GetFromLayer() const override { return fromLayer; }
  int GetToLayer() const override { return toLayer; }
  int GetFromNode() const override { return fromNode; }
  int GetToNode() const override { return toNode; }
  TBasicNeuron* GetToNeuron() const override { return toNeuron; }
  TBasicNeuron* GetFromNeuron() const override { return fromNeuron; }
  double* GetWeightPtr() const override { return weight; }
  bool HasArc() const override { return conns != nullptr; }

 protected:
  // Moves onto from-node `node` of the current connections object.
  void StandOn(int node);

  int fromLayer = -1;
  int fromNode = -1;
  int toLayer = -1;
  int toNode = -1;
  TBasicNeuron* toNeuron = nullptr;
  TBasicNeuron* fromNeuron = nullptr;
  double* weight = nullptr;
  int lastNode = -1;
  TBasicConnections* conns = nullptr;  // none when standing on no arc
};

class TInAllArcsIterator : public TArcsIteratorState {
 public:
  explicit TInAllArcsIterator(TBasicNetwork* net) : network(net) {}

 protected:
  TBasicNetwork* network;  // not owned
};

class TInLayerArcsIterator : public TArcsIteratorState {
 public:
  explicit TInLayerArcsIterator(TBasicNetwork* net) : network(net) {}

 protected:
  TBasicNetwork* network;  // not owned
};

// All incoming arcs of a neuron, from layer 0 upwards. Past the last arc it
// stands after the end (Prev comes back to the last arc); before the first, it
// stands before the start.
class TConnInAllArcsIterator : public TInAllArcsIterator {
 public:
  explicit TConnInAllArcsIterator(TBasicNetwork* net) : TInAllArcsIterator(net) {}

  using TArcsIterator::Start;
  void Start(int toLayer, int toNode) override;
  bool Next() override;
  bool Prev() override;

 private:
  // Makes layer `layer` current when it feeds the to-layer through a weight
  // matrix and has neurons.
  bool Enter(int layer);
};

// The incoming arcs of a neuron from one layer. Started on a pair of layers
// that is not connected, it stands on no arc and Next/Prev return false.
class TConnInLayerArcsIterator : public TInLayerArcsIterator {
 public:
  explicit TConnInLayerArcsIterator(TBasicNetwork* net) : TInLayerArcsIterator(net) {}

  using TArcsIterator::Start;
  void Start(int toLayer, int toNode, int fromLayer) override;
  bool Next() override;
  bool Prev() override;
};
