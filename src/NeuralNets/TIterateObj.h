// Visitors of connections objects.
//
// A connections object walks its selected connections and, for each one,
// stores the neuron indices, the weight's address and the trainable bit in the
// visitor and calls Visit. Before the walk it calls Setup, which records the
// two layers, their outputs and the connections object itself. Visitors are
// made on the stack for one walk; the whole-matrix operations of
// TBasicConnections are written with them.
//
// TIterateObj2 / TIterateObj3 walk the corresponding connections of two
// (three) networks of identical shape.
#pragma once

class TBasicConnections;
class TBasicLayer;
class TBasicNetwork;

class TIterateObj {
 public:
  TIterateObj() = default;
  virtual ~TIterateObj() = default;

  // Called once per visited connection.
  virtual void Visit() {}

  // Records the layers of `c` and `c` itself before a walk.
  void Setup(TBasicConnections* c);

  int fromLayer = 0;
  int toLayer = 0;
  int from = 0;
  int to = 0;
  TBasicConnections* conn = nullptr;  // not owned
  double* weight = nullptr;           // the visited weight; may be written
  bool trainable = false;
  TBasicLayer* layerFrom = nullptr;  // not owned
  TBasicLayer* layerTo = nullptr;    // not owned
  double* outFrom = nullptr;         // layerFrom->outputs
  double* outTo = nullptr;           // layerTo->outputs
};

// Sums outFrom[from] * weight.
class TIterateObjAggregate : public TIterateObj {
 public:
  void Visit() override { sum += outFrom[from] * *weight; }
  double sum = 0.0;
};

// Counts the visited connections.
class TIterateObjGetNumWeights : public TIterateObj {
 public:
  void Visit() override { ++count; }
  int count = 0;
};

// Copies the visited weights to consecutive elements of a destination array.
class TIterateObjGetWeights : public TIterateObj {
 public:
  explicit TIterateObjGetWeights(double* dest) : cursor(dest) {}
  void Visit() override {
    ++count;
    *cursor++ = *weight;
  }
  int count = 0;
  double* cursor;
};

// Sets the visited weights from consecutive elements of a source array.
class TIterateObjSetWeights : public TIterateObj {
 public:
  explicit TIterateObjSetWeights(const double* src) : cursor(src) {}
  void Visit() override {
    ++count;
    *weight = *cursor++;
  }
  int count = 0;
  const double* cursor;
};

// Gives every visited weight a random value in [lo, hi) (lo when lo == hi,
// without a draw).
class TIterateObjRandomize : public TIterateObj {
 public:
  TIterateObjRandomize(double low, double high) : lo(low), hi(high) {}
  void Visit() override;
  double lo;
  double hi;
};

// Copies the flag byte of every visited connection to a destination array.
class TIterateObjGetFlags : public TIterateObj {
 public:
  explicit TIterateObjGetFlags(unsigned char* dest) : destination(dest) {}
  void Visit() override;
  int count = 0;
  unsigned char* destination;
};

// Gives every visited connection the next flag byte of a source array.
class TIterateObjSetFlags : public TIterateObj {
 public:
  explicit TIterateObjSetFlags(const unsigned char* src) : source(src) {}
  void Visit() override;
  int index = 0;
  const unsigned char* source;
};

// Makes every visited connection untrainable.
class TIterateObjAllUntrainable : public TIterateObj {
 public:
  void Visit() override;
};

// Counts the outgoing connections of a neuron (TBasicNetwork::PruneNodes).
class TIterateObjPruneNode : public TIterateObj {
 public:
  void Visit() override { ++count; }
  int count = 0;
};

// Counts the visited connections (the network file writer).
class TIterateObjCount : public TIterateObj {
 public:
  void Visit() override { ++count; }
  int count = 0;
};

// Visitor of corresponding connections in two networks.
class TIterateObj2 {
 public:
  TIterateObj2() = default;
  // Set-up for layers (fromLayer -> toLayer) of both networks, standing on the
  // connection from -> to.
  TIterateObj2(TBasicNetwork* net1, TBasicNetwork* net2, int fromLayerNum, int toLayerNum,
               int fromNode, int toNode);
  virtual ~TIterateObj2() = default;

  virtual void Visit() {}

  // Records the connections objects and layers of both networks at
  // (fromLayer -> toLayer). REQUIRES: the two objects are of the same type and
  // the layers of the same sizes.
  void Setup(TBasicNetwork* net1, TBasicNetwork* net2, int fromLayerNum, int toLayerNum);

  int fromLayer = 0;
  int toLayer = 0;
  int from = 0;
  int to = 0;
  TBasicConnections* conn1 = nullptr;
  TBasicConnections* conn2 = nullptr;
  double* weight1 = nullptr;
  double* weight2 = nullptr;
  bool trainable = false;
  TBasicLayer* layerFrom1 = nullptr;
  TBasicLayer* layerTo1 = nullptr;
  TBasicLayer* layerFrom2 = nullptr;
  TBasicLayer* layerTo2 = nullptr;
  double* outFrom1 = nullptr;
  double* outTo1 = nullptr;
  double* outFrom2 = nullptr;
  double* outTo2 = nullptr;
};

// Visitor of corresponding connections in three networks.
class TIterateObj3 {
 public:
  TIterateObj3() = default;
  TIterateObj3(TBasicNetwork* net1, TBasicNetwork* net2, TBasicNetwork* net3, int fromLayerNum,
               int toLayerNum, int fromNode, int toNode);
  virtual ~TIterateObj3() = default;

  virtual void Visit() {}

  // As TIterateObj2::Setup, for three networks.
  void Setup(TBasicNetwork* net1, TBasicNetwork* net2, TBasicNetwork* net3, int fromLayerNum,
             int toLayerNum);

  int fromLayer = 0;
  int toLayer = 0;
  int from = 0;
  int to = 0;
  TBasicConnections* conn1 = nullptr;
  TBasicConnections* conn2 = nullptr;
  TBasicConnections* conn3 = nullptr;
  double* weight1 = nullptr;
  double* weight2 = nullptr;
  double* weight3 = nullptr;
  bool trainable = false;
  TBasicLayer* layerFrom1 = nullptr;
  TBasicLayer* layerTo1 = nullptr;
  TBasicLayer* layerFrom2 = nullptr;
  TBasicLayer* layerTo2 = nullptr;
  TBasicLayer* layerFrom3 = nullptr;
  TBasicLayer* layerTo3 = nullptr;
  double* outFrom1 = nullptr;
  double* outTo1 = nullptr;
  double* outFrom2 = nullptr;
  double* outTo2 = nullptr;
  double* outFrom3 = nullptr;
  double* outTo3 = nullptr;
};
