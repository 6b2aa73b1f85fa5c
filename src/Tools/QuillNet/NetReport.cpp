#include "Tools/QuillNet/NetReport.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "NeuralNets/TBasicConnections.h"
#include "NeuralNets/TBasicLayer.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TBasicNeuron.h"
#include "Tools/Common/TextTable.h"
#include "Tools/Common/ToolSupport.h"

namespace quill::tools {

namespace {

// Beyond these a neuron-level picture is unreadable.
constexpr int kMaxDrawnNeurons = 100;
constexpr long kMaxDrawnConnections = 1000;

std::string ParamText(TBasicLayer& layer) {
  if (layer.numNeurons == 0) return {};
  TBasicNeuron& first = *layer.GetNeuron(0);
  std::string text;
  std::vector<double> a(static_cast<std::size_t>(first.GetNumParams()));
  first.GetParams(a.data());
  for (int k = 0; k < first.GetNumParams(); ++k) {
    bool same = true;
    for (int j = 1; j < layer.numNeurons && same; ++j) {
      TBasicNeuron& other = *layer.GetNeuron(j);
      std::vector<double> b(static_cast<std::size_t>(other.GetNumParams()));
      other.GetParams(b.data());
      same = k < other.GetNumParams() &&
             b[static_cast<std::size_t>(k)] == a[static_cast<std::size_t>(k)];
    }
    if (!text.empty()) text += ' ';
    text += std::string(first.GetParamName(k)) +
            (same ? "=" + FormatNumber(a[static_cast<std::size_t>(k)]) : " varies");
  }
  return text;
}

std::string FunctionName(TBasicNetwork& network, TBasicLayer& layer) {
  if (layer.numNeurons == 0) return "-";
  const ActFunction shared = layer.GetFunction();
  return shared != nullptr ? network.GetRegistry()->LookupName(shared) : "mixed";
}

}  // namespace

NetworkSummary Summarize(TBasicNetwork& network) {
  NetworkSummary s;
  s.type = network.GetNetworkType();
  s.input_layer = network.inLayer;
  s.output_layer = network.outLayer;
  for (int i = 0; i < network.numLayers; ++i) {
    TBasicLayer& layer = *network.GetLayer(i);
    s.layers.push_back({i, layer.GetLayerType(), layer.numNeurons, FunctionName(network, layer),
                        ParamText(layer)});
  }
  bool any = false;
  for (int f = 0; f < network.numLayers; ++f) {
    for (int t = 0; t < network.numLayers; ++t) {
      TBasicConnections& conns = *network.GetConnections(f, t);
      if (!conns.IsConnected()) continue;
      ConnectionSummary c{f, t, conns.GetConnectionsNType(), 0, 0, 0};
      for (int i = 0; i < conns.NumFrom(); ++i) {
        for (int j = 0; j < conns.NumTo(); ++j) {
          if (!conns.IsValid(i, j)) {
            ++c.pruned;
            continue;
          }
          ++c.weights;
          if (conns.IsTrainable(i, j)) ++c.trainable;
          const double w = *conns.GetWeightPtr(i, j);
          s.min_weight = any ? std::min(s.min_weight, w) : w;
          s.max_weight = any ? std::max(s.max_weight, w) : w;
          any = true;
        }
      }
      s.weights += c.weights;
      s.trainable += c.trainable;
      s.pruned += c.pruned;
      s.connections.push_back(c);
    }
  }
  return s;
}

void WriteSummary(std::ostream& out, const std::string& name, const NetworkSummary& s) {
  out << name << ": " << s.type << " network of " << s.layers.size() << " layers, input layer "
      << s.input_layer << ", output layer " << s.output_layer << "\n\n";
  TextTable layers({">layer", "type", ">neurons", "activation", "parameters"});
  for (const LayerSummary& l : s.layers) {
    layers.AddRow(
        {std::to_string(l.index), l.type, std::to_string(l.neurons), l.function, l.params});
  }
  layers.Write(out);
  out << '\n';
  TextTable conns({"connections", "type", ">weights", ">trainable", ">pruned"});
  for (const ConnectionSummary& c : s.connections) {
    conns.AddRow({std::to_string(c.from) + " -> " + std::to_string(c.to), c.type,
                  std::to_string(c.weights), std::to_string(c.trainable),
                  std::to_string(c.pruned)});
  }
  conns.Write(out);
  out << "\nweights: " << s.weights << " (" << s.trainable << " trainable, "
      << s.weights - s.trainable << " frozen), " << s.pruned << " pruned";
  if (s.weights > 0) {
    out << ", from " << FormatNumber(s.min_weight) << " to " << FormatNumber(s.max_weight);
  }
  out << '\n';
}

void WriteDot(std::ostream& out, TBasicNetwork& network, bool by_layer) {
  const NetworkSummary s = Summarize(network);
  if (network.GetNumNeurons() > kMaxDrawnNeurons || s.weights > kMaxDrawnConnections) {
    by_layer = true;
  }
  out << "digraph network {\n  rankdir=LR;\n  splines=line;\n";
  auto layer_label = [&](const LayerSummary& l) {
    std::string label = "layer " + std::to_string(l.index);
    if (l.index == s.input_layer) label += " (input)";
    if (l.index == s.output_layer) label += " (output)";
    label += "\\n" + std::to_string(l.neurons) + " " + l.function;
    if (!l.params.empty()) label += "\\n" + l.params;
    return label;
  };
  if (by_layer) {
    out << "  node [shape=box, style=rounded, fontsize=10];\n";
    for (const LayerSummary& l : s.layers) {
      if (l.neurons == 0) continue;
      out << "  L" << l.index << " [label=\"" << layer_label(l) << "\"];\n";
    }
    for (const ConnectionSummary& c : s.connections) {
      out << "  L" << c.from << " -> L" << c.to << " [label=\"" << c.weights << "\"";
      if (c.trainable < c.weights) out << ", style=dashed";
      out << "];\n";
    }
    out << "}\n";
    return;
  }

  out << "  node [shape=circle, fontsize=10, width=0.4, fixedsize=true];\n";
  for (const LayerSummary& l : s.layers) {
    if (l.neurons == 0) continue;
    out << "  subgraph cluster_" << l.index << " {\n    label=\"" << layer_label(l)
        << "\";\n    fontsize=10;\n    color=gray;\n";
    for (int j = 0; j < l.neurons; ++j)
      out << "    n" << l.index << "_" << j << " [label=\"" << j << "\"];\n";
    out << "  }\n";
  }
  const double largest = std::max(std::fabs(s.min_weight), std::fabs(s.max_weight));
  for (const ConnectionSummary& c : s.connections) {
    TBasicConnections& conns = *network.GetConnections(c.from, c.to);
    for (int i = 0; i < conns.NumFrom(); ++i) {
      for (int j = 0; j < conns.NumTo(); ++j) {
        if (!conns.IsValid(i, j)) continue;
        const double w = *conns.GetWeightPtr(i, j);
        const double width = largest > 0.0 ? 0.5 + 2.5 * std::fabs(w) / largest : 1.0;
        out << "  n" << c.from << "_" << i << " -> n" << c.to << "_" << j << " [label=\""
            << FormatNumber(w, 3) << "\", color=\"" << (w < 0.0 ? "#c0392b" : "#2e6fb7")
            << "\", penwidth=" << FormatNumber(width, 3);
        if (!conns.IsTrainable(i, j)) out << ", style=dashed";
        out << "];\n";
      }
    }
  }
  out << "}\n";
}

}  // namespace quill::tools
