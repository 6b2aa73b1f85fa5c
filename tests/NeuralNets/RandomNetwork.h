// Random multi-layer perceptrons and data sets for differential tests: every
// activation function, plain and gain layers (per-neuron functions and gains),
// a bias layer or none, fully connected, pruned and untrainable connections,
// connections that skip layers or run backwards, an output layer below the
// last one, a summing layer in the input position, several layer sizes,
// feature selections, and occasional infinite, NaN and huge values.
#pragma once

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
#include "NeuralNets/TSimpleLayer.h"

// A random network and data sets, and what the object network makes of them.
class RandomCase {
 public:
  explicit RandomCase(std::uint64_t seed) : rng_(seed) {
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
