// The connections from one layer into another: the abstract interface.
//
// Every ordered pair of layers of a network has exactly one connections object
// (owned by the network's table). It knows the weight of each (from-neuron,
// to-neuron) pair, whether the connection exists and whether it is trainable,
// reads and writes its part of the network's flat weight vector, draws random
// weights, grows and shrinks with its layers, and adds the weighted outputs of
// the from-layer to the net inputs of the to-layer.
//
// The layer sizes are not stored: they are the current `numNeurons` of the
// network's layers `fromLayer` and `toLayer`, read whenever needed.
//
// A mask selects connections for whole-matrix operations: FMaskExists selects
// every existing connection; any other value (FMaskAll, and the 0 the training
// application passes) selects the connections that exist and are trainable.
//
// Operations a class does not support are assertion failures on "false".
#pragma once

#include <memory>
#include <vector>

class TBasicNetwork;
class TIterateObj;
class TIterateObj2;
class TIterateObj3;

// Connection flag bits.
inline constexpr unsigned char FMaskExists = 1;
inline constexpr unsigned char FMaskTrainable = 2;
inline constexpr unsigned char FMaskAll = 3;

// The flag bits a connection must have to be selected by `mask`.
inline unsigned char RequiredFlags(int mask) {
  return mask == FMaskExists ? FMaskExists : FMaskAll;
}

// A weight drawn uniformly from [lo, lo + 32766/32767 * (hi - lo)] with one
// draw of the program's generator. The grouping of the products is the one the
// stored results depend on.
double RandomWeight(double lo, double hi);

class TBasicConnections {
 public:
  // REQUIRES (weight matrices): layers `from` and `to` of `owner` are stored.
  TBasicConnections(TBasicNetwork* owner, int from, int to);
  TBasicConnections(const TBasicConnections&) = delete;
  TBasicConnections& operator=(const TBasicConnections&) = delete;
  virtual ~TBasicConnections() = 0;

  // False only for the empty object (no connections at all).
  virtual bool IsConnected() const { return true; }
  // Number of connections selected by `mask`.
  virtual int GetNumWeights(int mask);
  // Writes the selected weights to `dest` in this object's weight order;
  // returns how many were written.
  virtual int GetWeights(double* dest, int mask);
  // Reads the selected weights from `src` in the same order; returns how many.
  virtual int SetWeights(const double* src, int mask);
  // Gives every trainable connection a random weight (RandomWeight); with
  // lo == hi every one becomes lo and nothing is drawn.
  virtual void Randomize(double lo, double hi);
  // Address of the weight from -> to (unchecked).
  virtual double* GetWeightPtr(int from, int to) = 0;
  // Adds, for every to-neuron t, the sum of weight * from-output over the
  // existing connections into t to net[t]. The sum is complete before it is
  // added.
  virtual void AddWeightedInputs(double* net);
  // The connection from -> to exists.
  virtual bool IsValid(int from, int to) const = 0;
  // The connection from -> to exists and is trainable.
  virtual bool IsTrainable(int from, int to) const { return IsValid(from, to); }
  virtual void Prune(int from, int to);
  virtual void Unprune(int from, int to);
  virtual void SetTrainable(int from, int to);
  virtual void SetUntrainable(int from, int to);
  // Visits the selected connections into to-neuron `to`, by from-neuron.
  virtual void IterateTo(TIterateObj& visitor, int to, int mask) = 0;
  // Visits the selected connections out of from-neuron `from`, by to-neuron.
  virtual void IterateFrom(TIterateObj& visitor, int from, int mask) = 0;
  // Visits every selected connection, to-neuron major.
  virtual void Iterate(TIterateObj& visitor, int mask) = 0;
  // Walks the corresponding connections of this network and `second`, which
  // must have the same shape and connection types.
  virtual void Iterate2(TIterateObj2& visitor, TBasicNetwork* second, int mask) = 0;
  virtual void Iterate3(TIterateObj3& visitor, TBasicNetwork* second, TBasicNetwork* third,
                        int mask) = 0;
  // "Empty", "FullyConnected" or "Pruneable": the keyword of network files.
  virtual const char* GetConnectionsNType() const = 0;
  // The flag byte of from -> to (FMaskAll for classes without flags).
  virtual unsigned char GetFlags(int from, int to) const;
  // Stores a flag byte; classes without flags accept only FMaskAll and
  // FMaskExists and store nothing.
  virtual void SetFlags(int from, int to, unsigned char val);
  // A copy for `owner`, a network of the same shape.
  virtual std::unique_ptr<TBasicConnections> Clone(TBasicNetwork* owner) const = 0;
  // Drop / insert the connections of one neuron. The network calls these after
  // it has changed the layer's numNeurons; an inserted neuron's connections
  // get random weights when `attached`.
  virtual void RemoveFromNeuron(int index) = 0;
  virtual void RemoveToNeuron(int index) = 0;
  virtual void InsertFromNeuron(int index, double lo, double hi, bool attached);
  virtual void InsertToNeuron(int index, double lo, double hi, bool attached);

  // The flag byte of every existing connection, in Iterate order.
  std::vector<unsigned char> GetAllFlags();
  // Gives every existing connection, in Iterate order, the next byte of `flags`.
  void SetAllFlags(const unsigned char* flags);
  // Makes every existing connection untrainable.
  void SetAllUntrainable();

  // Current sizes of the from-layer and the to-layer.
  int NumFrom() const;
  int NumTo() const;
  // The number of to-neuron rows stored during the from-side step of a neuron
  // insertion (pending -1) or removal (pending +1). The network resizes the
  // layer before both steps, so for a layer connected to itself the to-side
  // still has its old size until the to-side step.
  int RowsBeforeToStep(int pending) const {
    return fromLayer == toLayer ? NumTo() + pending : NumTo();
  }

  TBasicNetwork* network;  // not owned
  int fromLayer;
  int toLayer;
};
