#include "NeuralNets/TRecallPlan.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <typeinfo>

#include "DataObject/Data.h"
#include "NeuralNets/ActFunctions.h"
#include "NeuralNets/TBasicNeuron.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TEmptyConnections.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TPrunedConnections.h"
#include "NeuralNets/TSimpleLayer.h"
#include "common/Assert.h"

namespace {

constexpr const char* kSourceUnit = "NeuralNets/TRecallPlan";
constexpr int kRowGroup = quill::simd::kRowGroup;

template <class T>
bool IsA(const auto& object) {
  return typeid(object) == typeid(T);
}

// Position of the weight f -> t in a dense block's packed groups.
std::size_t DensePosition(int nFrom, int f, int t) {
  const std::size_t group = static_cast<std::size_t>(t / kRowGroup);
  return (group * static_cast<std::size_t>(nFrom) + static_cast<std::size_t>(f)) * kRowGroup +
         static_cast<std::size_t>(t % kRowGroup);
}

// Whether `value` has a float to stand for it: infinities and NaNs stay what
// they are, a finite value beyond the float range has none.
bool FitsFloat(double value) {
  return !std::isfinite(value) || std::isfinite(static_cast<float>(value));
}

// The width of the input rows that the sequential reads deliver.
int DeliveredInputs(const Data& data) {
  if (!data.HasInputFeatures()) return data.NumInputs();
  int count = 0;
  std::vector<int> indices;
  data.GetInputFeatures(&count, &indices);
  return count;
}

}  // namespace

std::unique_ptr<TRecallPlan> TRecallPlan::Compile(const TMLPNetwork& network, int count,
                                                  Data* const* data_sets,
                                                  const quill::simd::RecallKernels& kernels,
                                                  Precision precision) {
  // Only the classes whose recall is reproduced here: a derived class could
  // recall differently.
  if (!IsA<TMLPNetwork>(network) || !network.IsComplete()) return nullptr;
  const int n = network.numLayers;
  const int in = network.inLayer;
  const int out = network.outLayer;
  if (in < 0 || in >= n || out < 0 || out >= n || count < 1) return nullptr;

  auto plan = std::make_unique<TRecallPlan>(Token());
  plan->kernels_ = &kernels;
  plan->precision_ = precision;
  plan->lanes_ = precision == Precision::kSingle ? quill::simd::kSingleLanes : quill::simd::kLanes;
  plan->num_in_ = network.GetLayer(in)->numNeurons;
  plan->num_out_ = network.GetLayer(out)->numNeurons;
  // An error object over no outputs fails when asked for its error.
  if (plan->num_out_ < 1) return nullptr;

  // Recall propagates every layer, also those past the output layer, so all
  // of them may warn.
  for (int i = 0; i < n; ++i) {
    const TBasicLayer& layer = *network.GetLayer(i);
    if (IsA<TSimpleInputLayer>(layer)) {
      if (i != in) plan->warnings_.push_back("!Warning: changed input layer (TSimpleInputLayer)");
    } else if (IsA<TSimpleLayer>(layer) || IsA<TGainLayer>(layer)) {
      if (i == in) plan->warnings_.push_back("!Warning: changed input layer (TSimpleLayer)");
    } else {
      return nullptr;
    }
  }

  // The data must pass the checks of TMLPNetwork::GetError and of the error
  // object, or the object path has an error to report.
  std::int64_t patterns = 0;
  for (int k = 0; k < count; ++k) {
    const Data* data = data_sets[k];
    if (data == nullptr) return nullptr;
    if (DeliveredInputs(*data) != plan->num_in_ || data->NumOutputs() != plan->num_out_ ||
        (data->HasInputFeatures() && data->HasOutputFeatures()))
      return nullptr;
    patterns += data->NumDataRows();
    if (patterns <= 0) return nullptr;
  }

  // Number the trainable weights: a copy of the network whose flat weight
  // vector holds 0, 1, 2, ... tells which connection each weight is.
  TMLPNetwork numbered(network);
  const int num_weights = numbered.GetNumWeights(0);
  {
    std::vector<double> ids(static_cast<std::size_t>(num_weights));
    for (int k = 0; k < num_weights; ++k)
      ids[static_cast<std::size_t>(k)] = k;
    numbered.SetWeights(ids.data(), 0);
  }
  constexpr std::int32_t kUnused = -1;
  plan->slots_.assign(static_cast<std::size_t>(num_weights), kUnused);

  std::size_t values = 0;
  for (int i = 0; i <= out; ++i) {
    TBasicLayer& source = *network.GetLayer(i);
    Layer layer;
    layer.index = i;
    layer.size = source.numNeurons;
    if (IsA<TSimpleInputLayer>(source)) {
      layer.role = i == in ? Role::kInput : Role::kZeros;
    } else {
      layer.role = Role::kSummed;
      layer.starts_from_input = i == in;
    }
    if (layer.role != Role::kInput) {
      layer.values = values;
      values += plan->Rows(layer.size);
    }
    if (layer.role == Role::kSummed) {
      for (int j = 0; j < i; ++j) {
        TBasicConnections& conns = *network.GetConnections(j, i);
        TBasicConnections& ids = *numbered.GetConnections(j, i);
        if (IsA<TEmptyConnections>(conns)) continue;
        const bool full = IsA<TConnectedConnections>(conns);
        if (!full && !IsA<TPrunedConnections>(conns)) return nullptr;
        const int nFrom = network.GetLayer(j)->numNeurons;
        const int nTo = layer.size;
        Block block;
        block.from = j;
        block.nFrom = nFrom;
        bool all_exist = true;
        for (int t = 0; t < nTo && all_exist; ++t) {
          for (int f = 0; f < nFrom && all_exist; ++f)
            all_exist = full || conns.IsValid(f, t);
        }
        block.dense = all_exist;
        block.weights = plan->weights_.size();
        if (block.dense) {
          const int groups = (nTo + kRowGroup - 1) / kRowGroup;
          plan->weights_.resize(plan->weights_.size() + static_cast<std::size_t>(groups) *
                                                            static_cast<std::size_t>(nFrom) *
                                                            kRowGroup,
                                0.0);
        } else {
          block.rows = plan->row_starts_.size();
          block.cols = plan->cols_.size();
          plan->row_starts_.push_back(0);
        }
        std::int32_t entries = 0;
        for (int t = 0; t < nTo; ++t) {
          for (int f = 0; f < nFrom; ++f) {
            if (!full && !conns.IsValid(f, t)) continue;
            std::size_t at = 0;
            if (block.dense) {
              at = block.weights + DensePosition(nFrom, f, t);
            } else {
              at = plan->weights_.size();
              plan->weights_.push_back(0.0);
              plan->cols_.push_back(f);
              ++entries;
            }
            plan->weights_[at] = *conns.GetWeightPtr(f, t);
            const bool trainable = full || (conns.GetFlags(f, t) & FMaskAll) == FMaskAll;
            if (trainable) {
              const double id = *ids.GetWeightPtr(f, t);
              QUILL_ASSERT(id >= 0 && id < num_weights);
              std::int32_t& slot = plan->slots_[static_cast<std::size_t>(id)];
              QUILL_ASSERT(slot == kUnused);
              slot = static_cast<std::int32_t>(at);
            }
          }
          if (!block.dense) plan->row_starts_.push_back(entries);
        }
        layer.blocks.push_back(block);
      }
      // Activation: the layer's shared function when it has one, else each
      // neuron's own, as TBasicLayer::Activate calls them.
      for (int t = 0; t < layer.size; ++t) {
        TBasicNeuron* neuron = source.GetNeuron(t);
        const ActFunction fn =
            source.sharedFunction != nullptr ? source.sharedFunction : neuron->function;
        Run run;
        run.first = t;
        run.count = 1;
        if (fn == &ActBias) {
          run.fn = Fn::kBias;
        } else if (fn == &ActLinear) {
          run.fn = Fn::kLinear;
        } else if (fn == &ActSaturatedLinear) {
          run.fn = Fn::kSaturatedLinear;
        } else if (fn == &ActSigmoid) {
          run.fn = Fn::kSigmoid;
        } else if (fn == &ActTanh) {
          run.fn = Fn::kTanh;
        } else if (fn == &ActLinearGain || fn == &ActSigmoidGain || fn == &ActTanhGain) {
          if (!neuron->HasGain()) return nullptr;
          run.fn = fn == &ActLinearGain    ? Fn::kLinearGain
                   : fn == &ActSigmoidGain ? Fn::kSigmoidGain
                                           : Fn::kTanhGain;
          run.gain = neuron->GetGain();
        } else {
          return nullptr;  // "error", "null" or a function of the caller's own
        }
        if (!layer.runs.empty()) {
          Run& last = layer.runs.back();
          const bool gained =
              run.fn == Fn::kLinearGain || run.fn == Fn::kSigmoidGain || run.fn == Fn::kTanhGain;
          // Gains compared bitwise: a -0.0 gain is not a 0.0 gain.
          if (last.fn == run.fn && (!gained || std::bit_cast<std::uint64_t>(last.gain) ==
                                                   std::bit_cast<std::uint64_t>(run.gain))) {
            ++last.count;
            continue;
          }
        }
        layer.runs.push_back(run);
      }
    }
    plan->layers_.push_back(std::move(layer));
  }
  plan->out_index_ = out;
  plan->values_size_ = values;

  // Weights recall never reads (into layers past the output layer, or from a
  // layer at or above their to-layer) share one spare slot.
  const auto spare = static_cast<std::int32_t>(plan->weights_.size());
  plan->weights_.push_back(0.0);
  for (std::int32_t& slot : plan->slots_) {
    if (slot == kUnused) slot = spare;
  }

  // The data, read once through the same sequential reads GetError uses.
  // The data sets follow one another without a gap, so a block may hold the
  // end of one and the start of the next.
  const std::size_t lanes = static_cast<std::size_t>(plan->lanes_);
  const std::size_t in_block = plan->Rows(plan->num_in_);
  const std::size_t out_block = plan->Rows(plan->num_out_);
  const bool single = precision == Precision::kSingle;
  // Every block at once, unused lanes zero; the inputs in the plan's
  // precision only.
  const std::size_t blocks = static_cast<std::size_t>((patterns + plan->lanes_ - 1) / plan->lanes_);
  if (single) {
    plan->single_inputs_.assign(blocks * in_block, 0.0f);
  } else {
    plan->inputs_.assign(blocks * in_block, 0.0);
  }
  plan->targets_.assign(blocks * out_block, 0.0);
  plan->block_patterns_.assign(blocks, 0);
  std::vector<double> row_in(static_cast<std::size_t>(plan->num_in_));
  std::vector<double> row_out(static_cast<std::size_t>(plan->num_out_));
  for (int k = 0; k < count; ++k) {
    Data& data = *data_sets[k];
    data.Rewind();
    const int rows = data.NumDataRows();
    for (int r = 0; r < rows; ++r) {
      const std::size_t block = static_cast<std::size_t>(plan->patterns_) / lanes;
      const std::size_t lane = static_cast<std::size_t>(plan->patterns_) % lanes;
      data.GetNextRow(row_in.data(), row_out.data(), nullptr);
      for (int c = 0; c < plan->num_in_; ++c) {
        const std::size_t at = block * in_block + static_cast<std::size_t>(c) * lanes + lane;
        const double value = row_in[static_cast<std::size_t>(c)];
        if (single) {
          if (!FitsFloat(value)) return nullptr;
          plan->single_inputs_[at] = static_cast<float>(value);
        } else {
          plan->inputs_[at] = value;
        }
      }
      double* targets = plan->targets_.data() + block * out_block;
      for (int c = 0; c < plan->num_out_; ++c)
        targets[static_cast<std::size_t>(c) * lanes + lane] = row_out[static_cast<std::size_t>(c)];
      ++plan->block_patterns_[block];
      ++plan->patterns_;
    }
    plan->set_end_patterns_.push_back(plan->patterns_);
  }
  if (single && !plan->MakeSingle()) return nullptr;
  return plan;
}

bool TRecallPlan::MakeSingle() {
  single_weights_.resize(weights_.size());
  for (std::size_t i = 0; i < weights_.size(); ++i) {
    if (!FitsFloat(weights_[i])) return false;
    single_weights_[i] = static_cast<float>(weights_[i]);
  }
  for (const Layer& layer : layers_) {
    for (const Run& run : layer.runs) {
      if (!FitsFloat(run.gain)) return false;
    }
  }
  weights_ = {};
  return true;
}

template <>
const std::vector<double>& TRecallPlan::Inputs<double>() const {
  return inputs_;
}
template <>
const std::vector<float>& TRecallPlan::Inputs<float>() const {
  return single_inputs_;
}

std::unique_ptr<TRecallPlan::Workspace> TRecallPlan::NewWorkspace() const {
  auto ws = std::make_unique<Workspace>();
  auto init = [&](auto& buffers, const auto& weights) {
    buffers.weights = weights;
    buffers.values.assign(values_size_, 0);
    buffers.rows.assign(layers_.size(), nullptr);
  };
  if (precision_ == Precision::kSingle) {
    init(ws->single_, single_weights_);
  } else {
    init(ws->double_, weights_);
  }
  // The squares of the output block (in single precision, its per-pattern
  // sums).
  ws->squares_.assign(Rows(num_out_), 0.0);
  return ws;
}

void TRecallPlan::Activate(const Layer& layer, float* rows) const {
  const quill::simd::SingleKernels& k = kernels_->single;
  for (const Run& run : layer.runs) {
    float* v = rows + Rows(run.first);
    const std::size_t n = Rows(run.count);
    const float g = static_cast<float>(run.gain);
    switch (run.fn) {
      case Fn::kBias:
        for (std::size_t i = 0; i < n; ++i)
          v[i] = 1.0f;
        break;
      case Fn::kLinear:
        break;
      case Fn::kSaturatedLinear:
        for (std::size_t i = 0; i < n; ++i) {
          const float x = v[i];
          float y = 0.0f;
          if (x >= 1.0f) {
            y = 1.0f;
          } else if (x > 0.0f) {
            y = x;
          }
          v[i] = y;
        }
        break;
      case Fn::kSigmoid:
        k.sigmoid(v, v, n);
        break;
      case Fn::kTanh:
        // The library's double tanh, rounded once: the same in every
        // implementation.
        for (std::size_t i = 0; i < n; ++i)
          v[i] = static_cast<float>(std::tanh(static_cast<double>(v[i])));
        break;
      case Fn::kLinearGain:
        for (std::size_t i = 0; i < n; ++i)
          v[i] = g * v[i];
        break;
      case Fn::kSigmoidGain:
        k.sigmoid_gain(v, g, v, n);
        break;
      case Fn::kTanhGain:
        for (std::size_t i = 0; i < n; ++i)
          v[i] = static_cast<float>(std::tanh(static_cast<double>(g * v[i])));
        break;
    }
  }
}

void TRecallPlan::Activate(const Layer& layer, double* rows) const {
  for (const Run& run : layer.runs) {
    double* v = rows + Rows(run.first);
    const std::size_t n = Rows(run.count);
    const double g = run.gain;
    switch (run.fn) {
      case Fn::kBias:
        for (std::size_t i = 0; i < n; ++i)
          v[i] = 1.0;
        break;
      case Fn::kLinear:
        break;
      case Fn::kSaturatedLinear:
        // A NaN fails both tests and yields 0, as the object function does.
        for (std::size_t i = 0; i < n; ++i) {
          const double x = v[i];
          double y = 0.0;
          if (x >= 1.0) {
            y = 1.0;
          } else if (x > 0.0) {
            y = x;
          }
          v[i] = y;
        }
        break;
      case Fn::kSigmoid:
        kernels_->exp->sigmoid(v, v, n);
        break;
      case Fn::kTanh:
        for (std::size_t i = 0; i < n; ++i)
          v[i] = std::tanh(v[i]);
        break;
      case Fn::kLinearGain:
        for (std::size_t i = 0; i < n; ++i)
          v[i] = g * v[i];
        break;
      case Fn::kSigmoidGain:
        kernels_->exp->sigmoid_gain(v, g, v, n);
        break;
      case Fn::kTanhGain:
        for (std::size_t i = 0; i < n; ++i)
          v[i] = std::tanh(g * v[i]);
        break;
    }
  }
}

namespace {

// The block loops of one precision.
void Dense(const quill::simd::RecallKernels& k, const double* w, const double* o, int nFrom,
           int nTo, double* out, bool accumulate) {
  k.blocks.dense(w, o, nFrom, nTo, out, accumulate);
}
void Dense(const quill::simd::RecallKernels& k, const float* w, const float* o, int nFrom, int nTo,
           float* out, bool accumulate) {
  k.single.dense(w, o, nFrom, nTo, out, accumulate);
}
void Sparse(const quill::simd::RecallKernels& k, const std::int32_t* row_start,
            const std::int32_t* cols, const double* vals, const double* o, int nTo, double* out,
            bool accumulate) {
  k.blocks.sparse(row_start, cols, vals, o, nTo, out, accumulate);
}
void Sparse(const quill::simd::RecallKernels& k, const std::int32_t* row_start,
            const std::int32_t* cols, const float* vals, const float* o, int nTo, float* out,
            bool accumulate) {
  k.single.sparse(row_start, cols, vals, o, nTo, out, accumulate);
}

}  // namespace

template <class T>
const T* TRecallPlan::RecallBlock(Workspace& ws, std::size_t block) const {
  Workspace::Buffers<T>& buffers = ws.Of<T>();
  const T* inputs = Inputs<T>().data() + block * Rows(num_in_);
  const T* weights = buffers.weights.data();
  for (const Layer& layer : layers_) {
    const std::size_t at = static_cast<std::size_t>(layer.index);
    if (layer.role == Role::kInput) {
      buffers.rows[at] = inputs;
      continue;
    }
    T* rows = buffers.values.data() + layer.values;
    buffers.rows[at] = rows;
    if (layer.role == Role::kZeros) continue;  // zeroed once, never written
    bool accumulate = false;
    if (layer.starts_from_input) {
      for (std::size_t i = 0; i < Rows(layer.size); ++i)
        rows[i] = inputs[i];
      accumulate = true;
    }
    for (const Block& b : layer.blocks) {
      const T* from = buffers.rows[static_cast<std::size_t>(b.from)];
      if (b.dense) {
        Dense(*kernels_, weights + b.weights, from, b.nFrom, layer.size, rows, accumulate);
      } else {
        Sparse(*kernels_, row_starts_.data() + b.rows, cols_.data() + b.cols, weights + b.weights,
               from, layer.size, rows, accumulate);
      }
      accumulate = true;
    }
    if (!accumulate) {
      for (std::size_t i = 0; i < Rows(layer.size); ++i)
        rows[i] = 0;
    }
    Activate(layer, rows);
  }
  return buffers.rows[static_cast<std::size_t>(out_index_)];
}

template <class T>
double TRecallPlan::Measure(Workspace& ws, double* errors) const {
  const std::size_t out_block = Rows(num_out_);
  const std::size_t sets = set_end_patterns_.size();
  double* squares = ws.squares_.data();
  double sum = 0.0;    // the error object's running sum of squares
  double total = 0.0;  // the sum of the per-data-set errors
  std::int64_t seen = 0;
  std::size_t k = 0;
  for (std::size_t block = 0; block < block_patterns_.size(); ++block) {
    const T* y = RecallBlock<T>(ws, block);
    const double* t = targets_.data() + block * out_block;
    if constexpr (std::is_same_v<T, float>) {
      // Single precision: each pattern's squares summed first, outputs in
      // order (the patterns side by side), then added to the running sum;
      // a far shorter chain of dependent additions.
      kernels_->single.pattern_errors(y, t, num_out_, squares);
    } else {
      for (std::size_t i = 0; i < out_block; ++i) {
        const double d = t[i] - y[i];
        squares[i] = d * d;
      }
    }
    // Pattern by pattern, output by output: the order TErrorRMSObj::Add adds
    // them in. After the last pattern of a data set (and of any empty data
    // sets after it), its error is taken over every pattern so far.
    const int patterns = block_patterns_[block];
    for (int p = 0; p < patterns; ++p) {
      if constexpr (std::is_same_v<T, float>) {
        sum += squares[p];
      } else {
        for (int o = 0; o < num_out_; ++o)
          sum += squares[Rows(o) + static_cast<std::size_t>(p)];
      }
      ++seen;
      for (; k < sets && set_end_patterns_[k] == seen; ++k) {
        const double error = std::sqrt((sum / num_out_) / static_cast<double>(seen));
        if (errors != nullptr) errors[k] = error;
        total += error;
      }
    }
  }
  return total / static_cast<double>(sets);
}

double TRecallPlan::MeanRMSError(Workspace& ws) const {
  return precision_ == Precision::kSingle ? Measure<float>(ws, nullptr)
                                          : Measure<double>(ws, nullptr);
}

void TRecallPlan::RMSErrors(Workspace& ws, double* errors) const {
  if (precision_ == Precision::kSingle) {
    Measure<float>(ws, errors);
  } else {
    Measure<double>(ws, errors);
  }
}

template <class T>
void TRecallPlan::Recall(Workspace& ws, std::vector<double>& outputs) const {
  for (std::size_t block = 0; block < block_patterns_.size(); ++block) {
    const T* y = RecallBlock<T>(ws, block);
    for (int p = 0; p < block_patterns_[block]; ++p) {
      for (int o = 0; o < num_out_; ++o)
        outputs.push_back(static_cast<double>(y[Rows(o) + static_cast<std::size_t>(p)]));
    }
  }
}

std::vector<double> TRecallPlan::RecallAll(Workspace& ws) const {
  std::vector<double> outputs;
  outputs.reserve(static_cast<std::size_t>(patterns_) * static_cast<std::size_t>(num_out_));
  if (precision_ == Precision::kSingle) {
    Recall<float>(ws, outputs);
  } else {
    Recall<double>(ws, outputs);
  }
  return outputs;
}

namespace {

// Plain values and vectors of them, one after another: the writer and the
// reader offer the same Field calls, so that one list of fields
// (TRecallPlan::Fields) serves both.
class ByteWriter {
 public:
  template <class T>
  void Field(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    const char* p = reinterpret_cast<const char*>(&value);
    bytes.insert(bytes.end(), p, p + sizeof(T));
  }
  template <class T>
  void Field(const std::vector<T>& values) {
    static_assert(std::is_trivially_copyable_v<T>);
    Field(static_cast<std::uint64_t>(values.size()));
    const char* p = reinterpret_cast<const char*>(values.data());
    bytes.insert(bytes.end(), p, p + values.size() * sizeof(T));
  }
  // The count of `items` (written before them); the items stay as they are.
  template <class T>
  void Count(const std::vector<T>& items) {
    Field(static_cast<std::uint64_t>(items.size()));
  }
  std::vector<char> bytes;
};

class ByteReader {
 public:
  explicit ByteReader(const std::vector<char>& bytes) : bytes_(bytes) {}
  template <class T>
  void Field(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    QUILL_ASSERT(at_ + sizeof(T) <= bytes_.size());
    std::memcpy(&value, bytes_.data() + at_, sizeof(T));
    at_ += sizeof(T);
  }
  template <class T>
  void Field(std::vector<T>& values) {
    std::uint64_t size = 0;
    Field(size);
    QUILL_ASSERT(size <= (bytes_.size() - at_) / sizeof(T));
    values.resize(static_cast<std::size_t>(size));
    if (values.empty()) return;  // an empty vector may have no storage to copy to
    std::memcpy(values.data(), bytes_.data() + at_, values.size() * sizeof(T));
    at_ += values.size() * sizeof(T);
  }
  // Reads the count of `items` and makes that many.
  template <class T>
  void Count(std::vector<T>& items) {
    std::uint64_t size = 0;
    Field(size);
    QUILL_ASSERT(size <= bytes_.size());
    items.resize(static_cast<std::size_t>(size));
  }
  bool AtEnd() const { return at_ == bytes_.size(); }

 private:
  const std::vector<char>& bytes_;
  std::size_t at_ = 0;
};

}  // namespace

template <class Bytes, class Plan>
void TRecallPlan::Fields(Bytes& b, Plan& plan) {
  b.Field(plan.precision_);
  b.Field(plan.lanes_);
  b.Count(plan.layers_);
  for (auto& layer : plan.layers_) {
    b.Field(layer.index);
    b.Field(layer.size);
    b.Field(layer.role);
    b.Field(layer.starts_from_input);
    b.Field(layer.values);
    b.Field(layer.blocks);
    b.Field(layer.runs);
  }
  b.Field(plan.out_index_);
  b.Field(plan.num_in_);
  b.Field(plan.num_out_);
  b.Field(plan.weights_);
  b.Field(plan.single_weights_);
  b.Field(plan.slots_);
  b.Field(plan.row_starts_);
  b.Field(plan.cols_);
  b.Field(plan.values_size_);
  b.Field(plan.inputs_);
  b.Field(plan.single_inputs_);
  b.Field(plan.targets_);
  b.Field(plan.block_patterns_);
  b.Field(plan.set_end_patterns_);
  b.Field(plan.patterns_);
}

std::vector<char> TRecallPlan::ToBytes() const {
  ByteWriter w;
  Fields(w, *this);
  return std::move(w.bytes);
}

std::unique_ptr<TRecallPlan> TRecallPlan::FromBytes(const std::vector<char>& bytes,
                                                    const quill::simd::RecallKernels& kernels) {
  auto plan = std::make_unique<TRecallPlan>(Token());
  plan->kernels_ = &kernels;
  ByteReader r(bytes);
  Fields(r, *plan);
  QUILL_ASSERT(r.AtEnd());
  return plan;
}
