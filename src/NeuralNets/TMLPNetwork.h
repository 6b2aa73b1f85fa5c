// The multi-layer perceptron that the program trains.
//
// A TBasicNetwork whose layer 0 is reserved for an optional bias layer, layer 1
// is the input layer and the last layer the output layer. Connecting two of its
// layers gives them a pruneable matrix. On top of single-vector Recall it
// recalls whole data sets and measures its error over a data set with an error
// object.
//
// A data set must deliver, per row, as many inputs as the input layer has
// neurons and as many outputs as the output layer (after any feature
// selection); otherwise the data-set operations throw TException "Data set
// does not fit the network" (category "Bad Parameter") before reading a row.
// The work buffers of these operations are kept and reused from call to call,
// so measuring the error allocates nothing per pattern.
#pragma once

#include <memory>
#include <vector>

#include "NeuralNets/TBasicNetwork.h"

class Data;
class TErrorObj;

class TMLPNetwork : public TBasicNetwork {
 public:
  // numLayers + 1 unfilled layer slots (0 for the bias), inLayer 1 and
  // outLayer numLayers; the creator fills the layers.
  TMLPNetwork(int numLayers, bool bias);
  // A complete network: layer 0 a simple layer of 1 neuron ("bias") with bias,
  // else of 0 neurons; layer 1 an input layer of sizes[0] neurons; layers
  // 2 ... numLayers gain layers (gain 1) of sizes[i - 1] "sigmoid" neurons,
  // each connected from the layer below and, with bias, from layer 0. All
  // weights 0.
  TMLPNetwork(int numLayers, const int* sizes, bool bias);
  TMLPNetwork(const TMLPNetwork& x);
  TMLPNetwork& operator=(const TMLPNetwork& x);
  ~TMLPNetwork() override;

  const char* GetNetworkType() const override { return "MLP"; }

  // Recalls every stored row of `in` once, oldest first, adds each
  // target-output pair to `err` and returns err->GetError().
  // `err` is neither reset before nor after, so successive calls accumulate.
  // The value is finite for finite weights and data; an RMS object with no
  // pattern throws TException (see TErrorObj.h).
  double GetError(Data* in, TErrorObj* err);
  // A new data set of in's capacity holding every stored input row of `in`
  // with the network's output for it.
  std::unique_ptr<Data> RecallData(Data* in);
  // Stores in `out` a new data set (no inputs) holding the network's output
  // for every stored row of `in`. A null `in` throws TException "Null data
  // pointer" and leaves `out` untouched.
  void RecallOutputOnly(Data* in, std::unique_ptr<Data>& out);

  bool hasBias = false;

 private:
  // Sizes the work buffers for `in` after checking that it fits the network.
  void PrepareFor(const Data& in, bool withOutputs, const char* location);

  std::vector<double> workInputs;
  std::vector<double> workTargets;
  std::vector<double> workOutputs;
  std::vector<int> workFeatures;
};
