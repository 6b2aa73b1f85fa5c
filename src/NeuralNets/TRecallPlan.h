// A multi-layer perceptron compiled for fast repeated recall over fixed data
// sets: the fast path of training.
//
// Compile takes a TMLPNetwork and the data sets once, when training starts,
// and flattens them: for every layer in recall order, its incoming weight
// blocks in the order recall adds them (dense packed matrices, or compressed
// rows where connections are pruned), the activation function and gain of
// every neuron, and the data laid out in blocks of simd::kLanes patterns with
// the input features applied. A Workspace holds one thread's copy of the
// weights and its layer buffers; loading an individual writes its trainable
// weights straight into the workspace in the network's flat weight order
// (mask 0), and MeanRMSError recalls every pattern.
//
// Results are bit for bit those of the object network: TMLPNetwork::GetError
// with one TErrorRMSObj over the data sets in order, averaged as the trainer
// does. Each neuron's net input keeps its order of additions, absent
// connections are skipped as recall skips them, and every activation returns
// what the object function returns (the vector exp is used only where it
// reproduces the C library). The object network stays the model for
// everything else; Compile returns null for anything the plan does not
// reproduce exactly (a layer, connections or neuron class it does not know,
// data that does not fit, an error measure that would fail), and the caller
// then uses the object network.
//
// Thread safety: a compiled plan is read-only; each thread uses its own
// Workspace.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NeuralNets/simd/RecallKernels.h"

class Data;
class TMLPNetwork;

class TRecallPlan {
 public:
  // Lets only Compile construct a plan (through std::make_unique).
  class Token {
    friend class TRecallPlan;
    Token() = default;
  };
  explicit TRecallPlan(Token) {}

  // One thread's weights and layer buffers.
  class Workspace {
   public:
    // The trainable weight number k of the flat vector (mask 0) is
    // Weights()[Slot(k)]; see TRecallPlan::Slots.
    double* Weights() { return weights_.data(); }

   private:
    friend class TRecallPlan;
    std::vector<double> weights_;
    std::vector<double> values_;       // every computed layer's rows of kLanes
    std::vector<double> squares_;      // the output block's squared differences
    std::vector<const double*> rows_;  // each computed layer's rows in this block
  };

  // Compiles `network` for the `count` data sets (in class order) with the
  // given kernels; null when the plan could not reproduce the object network.
  // The network and the data sets are only read; the plan keeps no reference.
  static std::unique_ptr<TRecallPlan> Compile(const TMLPNetwork& network, int count,
                                              Data* const* data_sets,
                                              const quill::simd::RecallKernels& kernels);

  // A workspace holding the network's weights as compiled.
  std::unique_ptr<Workspace> NewWorkspace() const;

  // Number of trainable weights (the network's GetNumWeights(0)).
  int NumWeights() const { return static_cast<int>(slots_.size()); }
  // Where each trainable weight goes in Workspace::Weights(), in the flat
  // weight order. Weights that recall never reads share one spare slot.
  const std::vector<std::int32_t>& Slots() const { return slots_; }

  // The mean over the data sets of the RMS error after each data set, the
  // error object accumulating over all data sets before it: what the trainer
  // computes from TMLPNetwork::GetError. Allocates nothing.
  double MeanRMSError(Workspace& ws) const;

  // The plan as bytes, for another process of the same program to rebuild
  // with FromBytes (the warnings excepted: the process that compiled the plan
  // writes them).
  std::vector<char> ToBytes() const;
  // A plan rebuilt from ToBytes of the same program, recalled with `kernels`.
  // REQUIRES: bytes made by ToBytes of this build.
  static std::unique_ptr<TRecallPlan> FromBytes(const std::vector<char>& bytes,
                                                const quill::simd::RecallKernels& kernels);

  // The network's outputs for every pattern of every data set in order,
  // nOut values per pattern (for tests and tools).
  std::vector<double> RecallAll(Workspace& ws) const;

  // The warnings that one recall of one pattern writes on standard error
  // (layers whose input role does not match their class), in order; the
  // caller writes them as the object network would.
  const std::vector<const char*>& WarningsPerPattern() const { return warnings_; }
  // Patterns over all data sets.
  std::int64_t NumPatterns() const { return patterns_; }
  const quill::simd::RecallKernels& Kernels() const { return *kernels_; }

 private:
  enum class Role { kInput, kZeros, kSummed };
  enum class Fn {
    kBias,
    kLinear,
    kSaturatedLinear,
    kSigmoid,
    kTanh,
    kLinearGain,
    kSigmoidGain,
    kTanhGain
  };

  // One weight block from layer `from` into the layer that holds it.
  struct Block {
    int from = 0;
    int nFrom = 0;
    bool dense = true;
    std::size_t weights = 0;  // offset of its weights in the workspace
    std::size_t rows = 0;     // sparse: offset of its row starts in row_starts_
    std::size_t cols = 0;     // sparse: offset of its from-neurons in cols_
  };
  // Neurons first ... first + count - 1 share a function (and a gain).
  struct Run {
    int first = 0;
    int count = 0;
    Fn fn = Fn::kLinear;
    double gain = 1.0;
  };
  struct Layer {
    int index = 0;
    int size = 0;
    Role role = Role::kSummed;
    bool starts_from_input = false;  // a summing layer at the input position
    std::size_t values = 0;          // offset of its rows in the workspace
    std::vector<Block> blocks;
    std::vector<Run> runs;
  };

  // Every field ToBytes writes and FromBytes reads, in one order; `Plan` is
  // const for writing.
  template <class Bytes, class Plan>
  static void Fields(Bytes& bytes, Plan& plan);
  // Recalls one block of patterns; returns the output layer's rows.
  const double* RecallBlock(Workspace& ws, std::size_t block) const;
  void Activate(const Layer& layer, double* rows) const;

  const quill::simd::RecallKernels* kernels_ = nullptr;
  std::vector<Layer> layers_;  // 0 ... outLayer, in recall order
  int out_index_ = 0;          // position of the output layer in layers_
  int num_in_ = 0;
  int num_out_ = 0;
  std::vector<double> weights_;  // the compiled weights, trainable ones as read
  std::vector<std::int32_t> slots_;
  std::vector<std::int32_t> row_starts_;
  std::vector<std::int32_t> cols_;
  std::size_t values_size_ = 0;
  std::vector<const char*> warnings_;

  // The data, all data sets in order: per block of kLanes patterns its
  // inputs [num_in_][kLanes] and targets [num_out_][kLanes] (unused lanes
  // zero) and the patterns it holds; for each data set the number of patterns
  // up to its end.
  std::vector<double> inputs_;
  std::vector<double> targets_;
  std::vector<int> block_patterns_;
  std::vector<std::int64_t> set_end_patterns_;
  std::int64_t patterns_ = 0;
};
