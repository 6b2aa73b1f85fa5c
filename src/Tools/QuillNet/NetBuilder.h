// Starting networks for Quill: a multi-layer perceptron made from its layer
// sizes, activation functions, connection type and a rule for the starting
// weights, as `quill-net new` writes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TMLPNetwork;

namespace quill::tools {

// How the starting weights are drawn. Every trainable weight into a layer is
// drawn uniformly from a range: [low, high] for kUniform; for kXavier
// [-r, r] with r = sqrt(6 / (fan-in + fan-out)); for kHe r = sqrt(6 / fan-in).
// The fan-in of a layer counts the neurons of the layer below and the bias
// neuron; its fan-out is its own size.
enum class WeightInit { kUniform, kXavier, kHe };

struct NetDesign {
  // Neurons of the input layer, each hidden layer and the output layer.
  std::vector<int> sizes;
  // A bias neuron (layer 0) connected into every hidden and output layer.
  bool bias = true;
  // Activation functions by name (see UsableFunctions).
  std::string hidden = "sigmoid";
  std::string output = "sigmoid";
  // The gain of the neurons of a layer whose function is a "-gain" one.
  double gain = 1.0;
  // Pruneable (and freezable) connection matrices instead of full ones.
  bool pruneable = false;
  WeightInit init = WeightInit::kUniform;
  double low = -0.5;
  double high = 0.5;
  // The generator's seed: the same seed gives the same weights.
  std::uint32_t seed = 1;
};

// The activation functions a hidden or output layer can use: every
// registered function but "error" and "null", which stop any recall, and
// "bias", which network files keep for the one bias neuron (a layer of more
// bias neurons cannot be written).
const std::vector<std::string>& UsableFunctions();

// Reads layer sizes written "4-5-3" (input, hidden..., output): at least two
// positive integers. Throws UsageError.
std::vector<int> ParseLayerSizes(const std::string& text);

// The network `design` describes: layer 0 the bias (one "bias" neuron, or
// none), layer 1 the input layer ("linear"), then the hidden layers and the
// output layer, each connected from the layer below and from the bias; gain
// layers where the function needs a gain, simple layers elsewhere. Throws
// UsageError for a design that no network file could hold or that
// Quill could not train (unknown function, weights beyond the float range,
// more layers, neurons or connections than a network file may have).
std::unique_ptr<TMLPNetwork> BuildNetwork(const NetDesign& design);

// The range [lo, hi] the weights into layer `to` (2 or above) are drawn from.
void WeightRange(const NetDesign& design, int to, double* lo, double* hi);

}  // namespace quill::tools
