// Weights between two layers whose connections can be pruned and frozen.
//
// A full weight matrix plus one flag byte per connection (FMaskExists: the
// connection exists; FMaskTrainable: it is trainable), both to-neuron major
// with row indexes. A pruned connection has flags 0 and weight 0. Only existing
// connections take part in recall; the trainable bit plays no part there. The
// flat weight vector is the Iterate order (to-neuron major), skipping the
// connections the mask does not select; so changing flags changes the meaning
// of the flat vector's positions, and flags are settled before training.
#pragma once

#include <vector>

#include "NeuralNets/TBasicConnections.h"

class TPrunedConnections : public TBasicConnections {
 public:
  // A matrix of the two layers' current sizes: every weight 0, every
  // connection existing and trainable.
  TPrunedConnections(TBasicNetwork* owner, int from, int to);
  ~TPrunedConnections() override;

  void Randomize(double lo, double hi) override;
  double* GetWeightPtr(int from, int to) override {
    return &index_weights[static_cast<std::size_t>(to)][from];
  }
  void AddWeightedInputs(double* net) override;
  bool IsValid(int from, int to) const override { return (Flags(from, to) & FMaskExists) != 0; }
  bool IsTrainable(int from, int to) const override {
    return (Flags(from, to) & FMaskTrainable) != 0;
  }
  void Prune(int from, int to) override;
  void Unprune(int from, int to) override;
  void SetTrainable(int from, int to) override;
  void SetUntrainable(int from, int to) override;
  void IterateTo(TIterateObj& visitor, int to, int mask) override;
  void IterateFrom(TIterateObj& visitor, int from, int mask) override;
  void Iterate(TIterateObj& visitor, int mask) override;
  void Iterate2(TIterateObj2& visitor, TBasicNetwork* second, int mask) override;
  void Iterate3(TIterateObj3& visitor, TBasicNetwork* second, TBasicNetwork* third,
                int mask) override;
  const char* GetConnectionsNType() const override { return "Pruneable"; }
  unsigned char GetFlags(int from, int to) const override { return Flags(from, to); }
  // Stores `val` as given.
  void SetFlags(int from, int to, unsigned char val) override;
  std::unique_ptr<TBasicConnections> Clone(TBasicNetwork* owner) const override;
  void RemoveFromNeuron(int index) override;
  void RemoveToNeuron(int index) override;
  // New connections are existing and trainable with a random weight when
  // `attached`, otherwise pruned (no random number is drawn).
  void InsertFromNeuron(int index, double lo, double hi, bool attached) override;
  void InsertToNeuron(int index, double lo, double hi, bool attached) override;

  std::vector<double> array_weights;        // nFrom * nTo, to-neuron major
  std::vector<double*> index_weights;       // row of to-neuron t
  std::vector<unsigned char> array_masks;   // flags, same layout
  std::vector<unsigned char*> index_masks;  // row of to-neuron t

 private:
  unsigned char Flags(int from, int to) const {
    return index_masks[static_cast<std::size_t>(to)][from];
  }
  unsigned char& FlagRef(int from, int to) {
    return index_masks[static_cast<std::size_t>(to)][from];
  }
  // Installs nFrom x nTo weights and flags and rebuilds the row indexes.
  void Install(std::vector<double> weights, std::vector<unsigned char> masks, int nFrom, int nTo);
  // Both arrays remapped to nFrom x nTo (see RemapMatrix); new connections
  // get weight 0 and flags 0.
  template <class OldFrom, class OldTo>
  void Remap(int oldNumFrom, int nFrom, int nTo, OldFrom oldFrom, OldTo oldTo);
  // Gives the new connection from -> to its weight and flags.
  void MakeNew(int from, int to, double lo, double hi, bool attached);
};
