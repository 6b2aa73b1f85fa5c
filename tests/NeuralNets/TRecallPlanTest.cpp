// The compiled recall plan against the object network: random networks of
// every shape the plan handles and random data, compared bit for bit on every
// pattern and on the trainer's mean RMS error, for every implementation this
// processor runs.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "NeuralNets/ActFunctions.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TPrunedConnections.h"
#include "NeuralNets/TRecallPlan.h"
#include "NeuralNets/TSimpleLayer.h"

namespace {

using quill::simd::RecallKernels;

// A random network and data sets, and what the object network makes of them.
class Case {
 public:
  explicit Case(std::uint64_t seed) : rng_(seed) {
    BuildNetwork();
    BuildData();
  }

  TMLPNetwork& Net() { return *net_; }
  std::vector<Data*> Sets() {
    std::vector<Data*> sets;
    for (auto& d : data_)
      sets.push_back(d.get());
    return sets;
  }

  // Random trainable weights, occasionally extreme.
  std::vector<double> Genes() {
    std::vector<double> genes(static_cast<std::size_t>(net_->GetNumWeights(0)));
    for (double& g : genes)
      g = static_cast<float>(Weight());
    return genes;
  }

  // The object network's outputs for every pattern in order.
  std::vector<double> ObjectOutputs() {
    const int nIn = net_->GetLayer(net_->inLayer)->numNeurons;
    const int nOut = net_->GetLayer(net_->outLayer)->numNeurons;
    std::vector<double> in(static_cast<std::size_t>(nIn)), out(static_cast<std::size_t>(nOut));
    std::vector<double> all;
    for (auto& d : data_) {
      d->Rewind();
      for (int r = 0; r < d->NumDataRows(); ++r) {
        d->GetNextRow(in.data(), nullptr, nullptr);
        net_->Recall(in.data(), out.data());
        all.insert(all.end(), out.begin(), out.end());
      }
    }
    return all;
  }

  // The trainer's error: one RMS object over the data sets in order.
  double ObjectError() {
    TErrorRMSObj err(data_[0]->NumOutputs());
    double sum = 0.0;
    for (auto& d : data_)
      sum += net_->GetError(d.get(), &err);
    return sum / static_cast<double>(data_.size());
  }

  std::string Describe() const { return description_; }

 private:
  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }

  double Weight() {
    if (Chance(0.002)) return Chance(0.5) ? 3e38 : -3e38;
    return Real(-3.0, 3.0);
  }

  double Value() {
    const int pick = Uniform(0, 999);
    if (pick == 0) return std::numeric_limits<double>::infinity();
    if (pick == 1) return -std::numeric_limits<double>::quiet_NaN();
    if (pick == 2) return 1e300;
    if (pick == 3) return -0.0;
    return Real(-4.0, 4.0);
  }

  void BuildNetwork() {
    const int hidden = Uniform(0, 3);
    const int layers = hidden + 3;  // bias, input, hidden..., output
    const bool bias = Chance(0.7);
    net_ = std::make_unique<TMLPNetwork>(layers - 1, bias);
    TMLPNetwork* net = net_.get();
    num_in_ = Uniform(1, 20);
    description_ = "layers " + std::to_string(layers);
    for (int i = 0; i < layers; ++i) {
      int size = i == 0 ? (bias ? 1 : 0) : i == 1 ? num_in_ : Uniform(i == layers - 1 ? 1 : 0, 19);
      std::unique_ptr<TBasicLayer> layer;
      if (i == 1 && !Chance(0.05)) {
        layer = std::make_unique<TSimpleInputLayer>(net, i, size);
      } else if (i == 0 || Chance(0.4)) {
        layer = std::make_unique<TSimpleLayer>(net, i, size);
      } else {
        layer = std::make_unique<TGainLayer>(net, i, size, Real(-2.0, 2.0));
      }
      const bool gains = dynamic_cast<TGainLayer*>(layer.get()) != nullptr;
      if (i == 0) {
        layer->SetFunction(Chance(0.8) ? &ActBias : &ActSigmoid);
      } else if (i != 1 || !dynamic_cast<TSimpleInputLayer*>(layer.get())) {
        if (Chance(0.5)) {
          layer->SetFunction(Function(gains));
        } else {
          for (int t = 0; t < size; ++t)
            layer->GetNeuron(t)->SetFunction(Function(gains));
        }
        if (auto* g = dynamic_cast<TGainLayer*>(layer.get()); g != nullptr && Chance(0.5)) {
          for (int t = 0; t < size; ++t)
            g->nodes[static_cast<std::size_t>(t)].gain = Chance(0.1) ? -0.0 : Real(-2.0, 2.0);
        }
      }
      description_ += " " + std::to_string(size) + layer->GetLayerType();
      net->SetLayer(i, std::move(layer));
    }
    // Sometimes an output layer below the last one.
    if (hidden > 0 && Chance(0.15)) net->outLayer = Uniform(2, layers - 1);
    if (net->GetLayer(net->outLayer)->numNeurons == 0) net->outLayer = layers - 1;
    for (int to = 0; to < layers; ++to) {
      for (int from = 0; from < layers; ++from) {
        const bool forward = from < to && to >= 2;
        if (!(forward ? Chance(from == to - 1 || from == 0 ? 0.9 : 0.3) : Chance(0.05))) continue;
        std::unique_ptr<TBasicConnections> conns;
        if (Chance(0.3)) {
          conns = std::make_unique<TConnectedConnections>(net, from, to);
        } else {
          auto pruned = std::make_unique<TPrunedConnections>(net, from, to);
          const double prune = Chance(0.5) ? 0.0 : Real(0.0, 1.0);
          const int nFrom = net->GetLayer(from)->numNeurons;
          const int nTo = net->GetLayer(to)->numNeurons;
          for (int t = 0; t < nTo; ++t) {
            for (int f = 0; f < nFrom; ++f) {
              if (Chance(prune)) pruned->SetFlags(f, t, static_cast<unsigned char>(Uniform(0, 2)));
            }
          }
          conns = std::move(pruned);
        }
        net->SetConnections(from, to, std::move(conns));
        description_ += " " + std::to_string(from) + ">" + std::to_string(to);
      }
    }
    // Every weight, trainable or not, starts random.
    for (int to = 0; to < layers; ++to) {
      for (int from = 0; from < layers; ++from) {
        TBasicConnections* c = net->GetConnections(from, to);
        if (!c->IsConnected()) continue;
        for (int t = 0; t < net->GetLayer(to)->numNeurons; ++t) {
          for (int f = 0; f < net->GetLayer(from)->numNeurons; ++f)
            *c->GetWeightPtr(f, t) = Weight();
        }
      }
    }
  }

  ActFunction Function(bool gains) {
    static const ActFunction plain[] = {&ActBias, &ActLinear, &ActSaturatedLinear, &ActSigmoid,
                                        &ActTanh};
    static const ActFunction gained[] = {&ActLinearGain, &ActSigmoidGain, &ActTanhGain};
    if (gains && Chance(0.5)) return gained[Uniform(0, 2)];
    // Mostly sigmoid, the function that matters most.
    return Chance(0.4) ? &ActSigmoid : plain[Uniform(0, 4)];
  }

  void BuildData() {
    const int nOut = net_->GetLayer(net_->outLayer)->numNeurons;
    const bool features = Chance(0.3);
    const int columns = features ? Uniform(1, 24) : num_in_;
    std::vector<int> chosen;
    for (int c = 0; c < num_in_; ++c)
      chosen.push_back(Uniform(0, columns - 1));
    const int sets = Uniform(1, 4);
    for (int k = 0; k < sets; ++k) {
      const int rows = Uniform(k == 0 ? 1 : 0, 70);
      auto d = std::make_unique<Data>(rows, columns, nOut, false);
      std::vector<double> x(static_cast<std::size_t>(columns)), t(static_cast<std::size_t>(nOut));
      for (int r = 0; r < rows; ++r) {
        for (double& v : x)
          v = Value();
        for (double& v : t)
          v = Chance(0.5) ? 1.0 : 0.0;
        d->AddRow(x.data(), t.data(), nullptr);
      }
      if (features) d->SetInputFeatures(num_in_, chosen.data());
      data_.push_back(std::move(d));
    }
    description_ += features ? " features" : "";
  }

  std::mt19937_64 rng_;
  std::unique_ptr<TMLPNetwork> net_;
  std::vector<std::unique_ptr<Data>> data_;
  int num_in_ = 0;
  std::string description_;
};

// Bitwise equality, except that any two NaNs agree: which NaN an addition
// keeps depends on operand order, and no result the program shows depends on
// it.
bool Same(double a, double b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

TEST(RecallPlan, EqualsTheObjectNetworkBitForBit) {
  int compiled = 0;
  for (std::uint64_t seed = 1; seed <= 400; ++seed) {
    Case c(seed);
    std::vector<Data*> sets = c.Sets();
    for (const RecallKernels* kernels : quill::simd::AvailableKernels()) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " " + kernels->name + ": " + c.Describe());
      auto plan =
          TRecallPlan::Compile(c.Net(), static_cast<int>(sets.size()), sets.data(), *kernels);
      ASSERT_NE(plan, nullptr);
      ++compiled;
      auto ws = plan->NewWorkspace();
      for (int round = 0; round < 2; ++round) {
        // Round 0: the weights as compiled; round 1: random genes loaded
        // both ways.
        if (round == 1) {
          std::vector<double> genes = c.Genes();
          c.Net().SetWeights(genes.data(), 0);
          for (std::size_t k = 0; k < genes.size(); ++k)
            ws->Weights()[plan->Slots()[k]] = genes[k];
        }
        testing::internal::CaptureStderr();
        const std::vector<double> expected = c.ObjectOutputs();
        const double expected_error = c.ObjectError();
        const std::string warnings = testing::internal::GetCapturedStderr();
        const std::vector<double> got = plan->RecallAll(*ws);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i)
          ASSERT_TRUE(Same(got[i], expected[i])) << i << ": " << got[i] << " vs " << expected[i];
        EXPECT_TRUE(Same(plan->MeanRMSError(*ws), expected_error));
        // Two recalls per pattern above: the outputs and the error.
        std::string once;
        for (const char* w : plan->WarningsPerPattern())
          once += std::string(w) + "\n";
        std::string all;
        for (std::int64_t p = 0; p < 2 * plan->NumPatterns(); ++p)
          all += once;
        EXPECT_EQ(warnings, all);
      }
    }
  }
  EXPECT_GT(compiled, 400);
}

TEST(RecallPlan, RefusesWhatItCannotReproduce) {
  const int sizes[] = {2, 3, 1};
  TMLPNetwork net(3, sizes, true);
  auto fits = std::make_unique<Data>(2, 2, 1, false);
  const double x[] = {1.0, 2.0}, t[] = {1.0};
  fits->AddRow(x, t, nullptr);
  Data* sets[] = {fits.get()};
  const RecallKernels& k = quill::simd::PortableKernels();
  EXPECT_NE(TRecallPlan::Compile(net, 1, sets, k), nullptr);

  // Data that does not fit the network: the object path reports it.
  Data wide(2, 3, 1, false);
  Data* wrong[] = {&wide};
  EXPECT_EQ(TRecallPlan::Compile(net, 1, wrong, k), nullptr);
  // No pattern before the first error: the error object would fail.
  Data empty(3, 2, 1, false);
  Data* none[] = {&empty, fits.get()};
  EXPECT_EQ(TRecallPlan::Compile(net, 2, none, k), nullptr);
  // A function the plan does not know.
  net.GetLayer(2)->GetNeuron(1)->SetFunction(
      +[](TBasicNeuron* neuron, double v) { *neuron->output = v * 3.0; });
  EXPECT_EQ(TRecallPlan::Compile(net, 1, sets, k), nullptr);
}

}  // namespace
