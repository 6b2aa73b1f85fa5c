// What `quill-net show` and `quill-net dot` tell about a network: a summary
// of its layers and connections, and a Graphviz picture.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class TBasicNetwork;

namespace quill::tools {

struct LayerSummary {
  int index = 0;
  std::string type;  // "Simple", "Input" or "Gain"
  int neurons = 0;
  std::string function;  // the shared function's name, or "mixed"
  std::string params;    // e.g. "Gain=1.5", "Gain varies", or empty
};

struct ConnectionSummary {
  int from = 0;
  int to = 0;
  std::string type;    // "FullyConnected" or "Pruneable"
  long weights = 0;    // existing connections
  long trainable = 0;  // existing and trainable
  long pruned = 0;     // pairs without a connection
};

struct NetworkSummary {
  std::string type;  // "MLP", "Connected" or "Basic"
  int input_layer = 0;
  int output_layer = 0;
  std::vector<LayerSummary> layers;
  std::vector<ConnectionSummary> connections;  // from-layer major, as in the file
  long weights = 0;
  long trainable = 0;
  long pruned = 0;
  double min_weight = 0.0;  // over the existing connections (0 without any)
  double max_weight = 0.0;
};

// The summary of a complete network.
NetworkSummary Summarize(TBasicNetwork& network);
// The summary as text: a line on the network, a table of layers, a table of
// connection layers and a line of weight counts and range.
void WriteSummary(std::ostream& out, const std::string& name, const NetworkSummary& summary);

// The network as a Graphviz digraph: one node per neuron, grouped by layer,
// one edge per connection, blue for positive and red for negative weights,
// thicker for larger magnitudes, dashed when frozen; with `by_layer` (or for
// networks beyond 100 neurons or 1000 connections) one node per layer and one
// edge per connection layer instead.
void WriteDot(std::ostream& out, TBasicNetwork& network, bool by_layer);

}  // namespace quill::tools
