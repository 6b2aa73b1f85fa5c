// A multi-layer perceptron compiled for fast repeated recall over fixed data
// sets: the fast path of training.
//
// Compile takes a TMLPNetwork and the data sets once, when training starts,
// and flattens them: for every layer in recall order, its incoming weight
// blocks in the order recall adds them (dense packed matrices, or compressed
// rows where connections are pruned), the activation function and gain of
// every neuron, and the data laid out in blocks of simd::kLanes patterns
// (simd::kSingleLanes in single precision) with the input features applied.
// A Workspace holds one thread's copy of the weights and its layer buffers;
// loading an individual writes its trainable weights straight into the
// workspace in the network's flat weight order (mask 0), and MeanRMSError
// recalls every pattern.
//
// In double precision (the default) results are bit for bit those of the
// object network: TMLPNetwork::GetError with one TErrorRMSObj over the data
// sets in order, averaged as the trainer does. Each neuron's net input keeps
// its order of additions, absent connections are skipped as recall skips
// them, and every activation returns what the object function returns (the
// vector exp is used only where it reproduces the C library). The object
// network stays the model for everything else; Compile returns null for
// anything the plan does not reproduce exactly (a layer, connections or
// neuron class it does not know, data that does not fit, an error measure
// that would fail), and the caller then uses the object network.
//
// In single precision the weights, the inputs and every layer's values are
// floats (weights and inputs rounded once, when compiled or loaded), each
// connection is one fused multiply-add and the activations are the float
// functions of simd/SingleKernels.h; the outputs are widened to double and
// the errors are summed in double, each pattern's squared differences first
// (outputs in order), then those sums in pattern order. The result is the same
// on every implementation (plain, AVX2, AVX-512), bit for bit. Compile also
// returns null when a finite weight, gain or input would round to an
// infinite float.
//
// Thread safety: a compiled plan is read-only; each thread uses its own
// Workspace.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
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

  // The arithmetic of recall.
  enum class Precision : std::int32_t { kDouble, kSingle };

  // One thread's weights and layer buffers.
  class Workspace {
   public:
    // The trainable weight number k of the flat vector (mask 0) is
    // Weights()[Slot(k)]; see TRecallPlan::Slots. Double precision plans
    // only (LoadWeights serves both).
    double* Weights() { return double_.weights.data(); }

   private:
    friend class TRecallPlan;
    template <class T>
    struct Buffers {
      std::vector<T> weights;
      std::vector<T> values;       // every computed layer's rows of lanes_
      std::vector<const T*> rows;  // each computed layer's rows in this block
    };
    template <class T>
    Buffers<T>& Of() {
      if constexpr (std::is_same_v<T, double>) {
        return double_;
      } else {
        return single_;
      }
    }
    Buffers<double> double_;
    Buffers<float> single_;
    // The output block's squared differences (in single precision, their
    // sums per pattern).
    std::vector<double> squares_;
  };

  // Compiles `network` for the `count` data sets (in class order) with the
  // given kernels, in the given precision; null when the plan could not
  // reproduce the object network (see above). The network and the data sets
  // are only read; the plan keeps no reference.
  static std::unique_ptr<TRecallPlan> Compile(const TMLPNetwork& network, int count,
                                              Data* const* data_sets,
                                              const quill::simd::RecallKernels& kernels,
                                              Precision precision = Precision::kDouble);

  // A workspace holding the network's weights as compiled.
  std::unique_ptr<Workspace> NewWorkspace() const;

  // Number of trainable weights (the network's GetNumWeights(0)).
  int NumWeights() const { return static_cast<int>(slots_.size()); }
  // Where each trainable weight goes in Workspace::Weights(), in the flat
  // weight order. Weights that recall never reads share one spare slot.
  const std::vector<std::int32_t>& Slots() const { return slots_; }

  // Sets trainable weight k to value(k) for every k in the flat weight
  // order, converted to the plan's precision.
  template <class Value>
  void LoadWeights(Workspace& ws, Value value) const {
    if (precision_ == Precision::kSingle) {
      Load<float>(ws, value);
    } else {
      Load<double>(ws, value);
    }
  }

  // The mean over the data sets of the RMS error after each data set, the
  // error object accumulating over all data sets before it: what the trainer
  // computes from TMLPNetwork::GetError. Allocates nothing.
  double MeanRMSError(Workspace& ws) const;
  // The RMS error after each data set (as above), one per data set into
  // `errors`: what TMLPNetwork::GetError returns for each.
  void RMSErrors(Workspace& ws, double* errors) const;
  int NumDataSets() const { return static_cast<int>(set_end_patterns_.size()); }
  Precision GetPrecision() const { return precision_; }

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
  template <class T, class Value>
  void Load(Workspace& ws, Value value) const {
    T* weights = ws.Of<T>().weights.data();
    for (std::size_t k = 0; k < slots_.size(); ++k)
      weights[slots_[k]] = static_cast<T>(value(k));
  }
  // The compiled inputs of one precision.
  template <class T>
  const std::vector<T>& Inputs() const;
  // Recalls one block of patterns; returns the output layer's rows.
  template <class T>
  const T* RecallBlock(Workspace& ws, std::size_t block) const;
  void Activate(const Layer& layer, double* rows) const;
  void Activate(const Layer& layer, float* rows) const;
  // The mean error, and each data set's error into `errors` unless null.
  template <class T>
  double Measure(Workspace& ws, double* errors) const;
  template <class T>
  void Recall(Workspace& ws, std::vector<double>& outputs) const;
  // Rounds the compiled weights to float; false when a finite weight or gain
  // would become infinite.
  bool MakeSingle();

  // Offset of `neurons` rows of a block's layer values.
  std::size_t Rows(int neurons) const {
    return static_cast<std::size_t>(neurons) * static_cast<std::size_t>(lanes_);
  }

  const quill::simd::RecallKernels* kernels_ = nullptr;
  Precision precision_ = Precision::kDouble;
  // Patterns per block: quill::simd::kLanes in double precision,
  // kSingleLanes in single.
  int lanes_ = quill::simd::kLanes;
  std::vector<Layer> layers_;  // 0 ... outLayer, in recall order
  int out_index_ = 0;          // position of the output layer in layers_
  int num_in_ = 0;
  int num_out_ = 0;
  // The compiled weights, trainable ones as read, in the plan's precision
  // (the other vector is empty).
  std::vector<double> weights_;
  std::vector<float> single_weights_;
  std::vector<std::int32_t> slots_;
  std::vector<std::int32_t> row_starts_;
  std::vector<std::int32_t> cols_;
  std::size_t values_size_ = 0;
  std::vector<const char*> warnings_;

  // The data, all data sets in order: per block of lanes_ patterns its
  // inputs [num_in_][lanes_] (in the plan's precision) and targets
  // [num_out_][lanes_] (unused lanes zero) and the patterns it holds; for
  // each data set the number of patterns up to its end.
  std::vector<double> inputs_;
  std::vector<float> single_inputs_;
  std::vector<double> targets_;
  std::vector<int> block_patterns_;
  std::vector<std::int64_t> set_end_patterns_;
  std::int64_t patterns_ = 0;
};
