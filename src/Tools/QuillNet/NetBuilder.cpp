#include "Tools/QuillNet/NetBuilder.h"

#include <cmath>
#include <limits>

#include "FileHandler/FileTools.h"
#include "NeuralNets/ActFunctions.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TPrunedConnections.h"
#include "NeuralNets/TSimpleLayer.h"
#include "Tools/Common/ToolSupport.h"
#include "common/Random.h"
#include "common/StrCase.h"

namespace quill::tools {

namespace {

// Quill trains 32-bit float genes: a starting weight beyond them is refused.
constexpr double kLargestWeight = static_cast<double>(std::numeric_limits<float>::max());

ActFunction FindUsable(const TMLPNetwork& net, const std::string& name, const char* what) {
  for (const std::string& usable : UsableFunctions()) {
    if (quill::strcasecmp(usable.c_str(), name.c_str()) == 0) {
      return net.GetRegistry()->Find(usable.c_str());
    }
  }
  std::string list;
  for (const std::string& usable : UsableFunctions())
    list += (list.empty() ? "" : ", ") + usable;
  throw UsageError(std::string("unknown ") + what + " activation function '" + name + "' (one of " +
                   list + ")");
}

void CheckSize(const NetDesign& design) {
  if (design.sizes.size() < 2) throw UsageError("a network needs an input and an output layer");
  if (static_cast<long>(design.sizes.size()) + 1 > FileTools::kMaxLayers) {
    throw UsageError("at most " + std::to_string(FileTools::kMaxLayers - 1) +
                     " layers besides the bias");
  }
  long long neurons = design.bias ? 1 : 0;
  long long cells = 0;
  for (std::size_t i = 0; i < design.sizes.size(); ++i) {
    neurons += design.sizes[i];
    if (i > 0) {
      cells += static_cast<long long>(design.sizes[i - 1]) * design.sizes[i];
      if (design.bias) cells += design.sizes[i];
    }
  }
  if (neurons > FileTools::kMaxNeurons) {
    throw UsageError("more than " + std::to_string(FileTools::kMaxNeurons) +
                     " neurons: a network file cannot hold them");
  }
  if (cells > FileTools::kMaxMatrixCells) {
    throw UsageError("more than " + std::to_string(FileTools::kMaxMatrixCells) +
                     " connections: a network file cannot hold them");
  }
}

std::unique_ptr<TBasicLayer> MakeLayer(TMLPNetwork* net, int index, int size, ActFunction fn,
                                       double gain) {
  std::unique_ptr<TBasicLayer> layer;
  if (FunctionNeedsGain(fn)) {
    layer = std::make_unique<TGainLayer>(net, index, size, gain);
  } else {
    layer = std::make_unique<TSimpleLayer>(net, index, size);
  }
  layer->SetFunction(fn);
  return layer;
}

}  // namespace

const std::vector<std::string>& UsableFunctions() {
  static const std::vector<std::string> names = {
      "sigmoid", "tanh", "linear", "saturated-linear", "linear-gain", "sigmoid-gain", "tanh-gain"};
  return names;
}

std::vector<int> ParseLayerSizes(const std::string& text) {
  std::vector<int> sizes;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('-', start);
    const std::string part = text.substr(start, end == std::string::npos ? end : end - start);
    if (part.empty() || part.size() > 7 ||
        part.find_first_not_of("0123456789") != std::string::npos || std::stol(part) < 1) {
      throw UsageError("layer sizes must be positive integers joined by '-', such as 4-5-3: '" +
                       text + "'");
    }
    sizes.push_back(static_cast<int>(std::stol(part)));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (sizes.size() < 2) {
    throw UsageError("give at least an input and an output layer, such as 4-3: '" + text + "'");
  }
  return sizes;
}

void WeightRange(const NetDesign& design, int to, double* lo, double* hi) {
  if (design.init == WeightInit::kUniform) {
    *lo = design.low;
    *hi = design.high;
    return;
  }
  const double fan_in = design.sizes[static_cast<std::size_t>(to - 2)] + (design.bias ? 1 : 0);
  const double fan_out = design.sizes[static_cast<std::size_t>(to - 1)];
  const double r = design.init == WeightInit::kXavier ? std::sqrt(6.0 / (fan_in + fan_out))
                                                      : std::sqrt(6.0 / fan_in);
  *lo = -r;
  *hi = r;
}

std::unique_ptr<TMLPNetwork> BuildNetwork(const NetDesign& design) {
  CheckSize(design);
  if (design.init == WeightInit::kUniform) {
    if (!std::isfinite(design.low) || !std::isfinite(design.high) || design.low > design.high) {
      throw UsageError("the weight range needs finite bounds with --min not above --max");
    }
    if (std::fabs(design.low) > kLargestWeight || std::fabs(design.high) > kLargestWeight) {
      throw UsageError("weights beyond the float range cannot be trained");
    }
  }
  if (!std::isfinite(design.gain)) throw UsageError("the gain must be a finite number");

  const int n = static_cast<int>(design.sizes.size());  // layers 1 ... n
  auto net = std::make_unique<TMLPNetwork>(n, design.bias);
  const ActFunction hidden = FindUsable(*net, design.hidden, "hidden");
  const ActFunction output = FindUsable(*net, design.output, "output");

  auto bias = std::make_unique<TSimpleLayer>(net.get(), 0, design.bias ? 1 : 0);
  if (design.bias) bias->SetFunction(&ActBias);
  net->SetLayer(0, std::move(bias));
  net->SetLayer(1, std::make_unique<TSimpleInputLayer>(net.get(), 1, design.sizes[0]));
  for (int i = 2; i <= n; ++i) {
    net->SetLayer(i, MakeLayer(net.get(), i, design.sizes[static_cast<std::size_t>(i - 1)],
                               i == n ? output : hidden, design.gain));
  }
  net->inLayer = 1;
  net->outLayer = n;

  auto connect = [&](int from, int to) {
    std::unique_ptr<TBasicConnections> conns;
    if (design.pruneable) {
      conns = std::make_unique<TPrunedConnections>(net.get(), from, to);
    } else {
      conns = std::make_unique<TConnectedConnections>(net.get(), from, to);
    }
    net->SetConnections(from, to, std::move(conns));
  };
  for (int to = 2; to <= n; ++to) {
    connect(to - 1, to);
    if (design.bias) connect(0, to);
  }

  // Drawn in the order of the network's flat weight vector (from-layer outer,
  // to-layer inner), so a seed always gives the same weights.
  quill::SeedRand(design.seed);
  for (int from = 0; from <= n; ++from) {
    for (int to = 2; to <= n; ++to) {
      TBasicConnections* conns = net->GetConnections(from, to);
      if (!conns->IsConnected()) continue;
      double lo = 0.0, hi = 0.0;
      WeightRange(design, to, &lo, &hi);
      conns->Randomize(lo, hi);
    }
  }
  return net;
}

}  // namespace quill::tools
