// Network description files: the reader and the writer.
//
// The reader builds the network while it reads: the network object right
// after the NetworkInformation block, each layer as soon as its type and size
// are known, each connections object at the start of its block. Every check
// that guards a call into the network library comes before the call, so a bad
// file ends in FileTools::Error and never in one of the library's assertions.
//
// The writer produces the same format: parameters shared by every neuron of a
// layer as [All ...] lines, each connection matrix either as a commented dense
// matrix or, when fewer than 35% of its pairs exist, as a list of the existing
// weights.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "FileHandler/FileTools.h"
#include "FileHandler/TIterateObjSaveWeights.h"
#include "NeuralNets/ActFunctions.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TBasicNeuron.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TPrunedConnections.h"
#include "NeuralNets/TSimpleLayer.h"
#include "common/Assert.h"
#include "common/AtomicFile.h"
#include "common/StrCase.h"

namespace {

constexpr const char* kSourceUnit = "FileHandler/NetworkFile";

// Limits on what a file may claim, so that a damaged or hostile file cannot
// make the reader allocate without bound. The connections table alone holds
// layers * layers objects.
constexpr long kMaxLayers = FileTools::kMaxLayers;
constexpr long kMaxNeurons = FileTools::kMaxNeurons;               // over all layers
constexpr long long kMaxMatrixCells = FileTools::kMaxMatrixCells;  // over all matrices
constexpr std::size_t kMaxMatrixColumns = 9;

bool SameName(const std::string& a, const char* b) {
  return quill::strcasecmp(a.c_str(), b) == 0;
}

// The NetworkInformation values and which keys were given.
struct NetworkInfo {
  long layers = 0;
  long input = 0;
  long output = 0;
  long inputs = 0;
  long outputs = 0;
  long bias = 0;
  bool layers_given = false;
  bool input_given = false;
  bool output_given = false;
  bool inputs_given = false;
  bool outputs_given = false;
  bool bias_given = false;
};

// One reading of one network file.
class NetworkReader {
 public:
  NetworkReader(FileTools& tools, std::istream& in) : ft_(tools), in_(in) {}

  std::unique_ptr<TBasicNetwork> Read();

 private:
  [[noreturn]] void Fail(const std::string& message) const {
    throw FileTools::Error(message, &in_);
  }
  void Next(const std::string& block) { ft_.ReadTag(tag_, block.c_str(), in_, false); }
  void NextItem(const std::string& block) { ft_.ReadTag(tag_, block.c_str(), in_, true); }

  void ReadInformation(const std::string& block);
  void BuildNetwork(const std::string& type);
  void ReadLayer(std::string block, long n);
  void MakeLayer(long n, long count, const std::string& type);
  ActFunction FindFunction(const std::string& name) const;
  // Index of parameter `name` of `neuron`; throws when it has none of that name.
  int ParamIndex(const TBasicNeuron& neuron, const std::string& name) const;
  void ReadNeurons(TBasicLayer& layer, ActFunction layer_fn, std::vector<double>& params);
  void ReadConnections(std::string block);
  void ReadMatrix(TBasicConnections& conns, bool full);
  void ReadWeightList(TBasicConnections& conns, bool full);

  FileTools& ft_;
  std::istream& in_;
  FileTag tag_;
  NetworkInfo info_;
  std::unique_ptr<TBasicNetwork> net_;
  long long matrix_cells_ = 0;
};

std::unique_ptr<TBasicNetwork> NetworkReader::Read() {
  ft_.ReadTag(tag_, nullptr, in_, false);
  const std::string net_block = ft_.ExpectBlockStart(tag_, "NEURALNETWORK");
  Next(net_block);
  const std::string type = ft_.ReadStringTag(tag_, "NETWORKTYPE", nullptr);
  Next(net_block);
  ReadInformation(ft_.ExpectBlockStart(tag_, "NETWORKINFORMATION"));
  BuildNetwork(type);

  Next(net_block);
  while (tag_.type == TAG_ASSIGN && SameName(tag_.name, "LAYER")) {
    if (tag_.open) Fail("Too complicated statement");
    const long n = ft_.ParseInteger(tag_.value);
    if (n < 0 || n >= info_.layers) Fail("Layer number out of range");
    ReadLayer(tag_.name, n);
    Next(net_block);
  }
  // Connections objects take their sizes from both layers, and recall visits
  // every layer: a missing one is a fault of the file, reported here.
  if (!net_->IsComplete()) Fail("Layer not defined");

  while (tag_.type == TAG_BLOCK && SameName(tag_.name, "CONNECTIONLAYER")) {
    ReadConnections(tag_.name);
    Next(net_block);
  }
  ft_.ExpectEndTag(tag_);
  ft_.ReadTag(tag_, nullptr, in_, false);
  ft_.ExpectEndTag(tag_);
  return std::move(net_);
}

void NetworkReader::ReadInformation(const std::string& block) {
  Next(block);
  while (tag_.type == TAG_ASSIGN) {
    if (tag_.open) Fail("Too complicated statement");
    const long value = ft_.ParseInteger(tag_.value);
    if (SameName(tag_.name, "NUMBEROFLAYERS")) {
      info_.layers = value;
      info_.layers_given = true;
    } else if (SameName(tag_.name, "INPUTLAYER")) {
      info_.input = value;
      info_.input_given = true;
    } else if (SameName(tag_.name, "OUTPUTLAYER")) {
      info_.output = value;
      info_.output_given = true;
    } else if (SameName(tag_.name, "NUMBEROFINPUTS")) {
      info_.inputs = value;
      info_.inputs_given = true;
    } else if (SameName(tag_.name, "NUMBEROFOUTPUTS")) {
      info_.outputs = value;
      info_.outputs_given = true;
    } else if (SameName(tag_.name, "BIASLAYER")) {
      info_.bias = value;
      info_.bias_given = true;
    } else {
      Fail("Unknown keyword");
    }
    Next(block);
  }
  ft_.ExpectEndTag(tag_);

  if (!info_.layers_given) Fail("Must specify number of layers");
  if (info_.layers < 1 || info_.layers > kMaxLayers) Fail("Illegal number of layers");
  if (!info_.input_given) info_.input = 1;
  if (!info_.output_given) info_.output = info_.layers - 1;
  if (info_.input < 0 || info_.input >= info_.layers) Fail("Input layer out of range");
  if (info_.output < 0 || info_.output >= info_.layers) Fail("Output layer out of range");
}

void NetworkReader::BuildNetwork(const std::string& type) {
  const int n = static_cast<int>(info_.layers);
  if (SameName(type, "BASIC")) {
    net_ = std::make_unique<TBasicNetwork>(n);
  } else if (SameName(type, "CONNECTED")) {
    net_ = std::make_unique<TConnectedNetwork>(n);
  } else if (SameName(type, "MLP")) {
    // A bias layer at index 0 leaves the flag unset: only a positive index
    // counts.
    const bool bias = info_.bias_given && info_.bias > 0;
    net_ = std::make_unique<TMLPNetwork>(n - 1, bias);
  } else {
    Fail("Unknown network type");
  }
  net_->inLayer = static_cast<int>(info_.input);
  net_->outLayer = static_cast<int>(info_.output);
}

ActFunction NetworkReader::FindFunction(const std::string& name) const {
  const ActFunction fn = net_->GetRegistry()->Find(name.c_str());
  if (fn == nullptr) Fail("Unknown activation function");
  return fn;
}

int NetworkReader::ParamIndex(const TBasicNeuron& neuron, const std::string& name) const {
  for (int k = 0; k < neuron.GetNumParams(); ++k) {
    if (SameName(name, neuron.GetParamName(k))) return k;
  }
  Fail("Unknown neuron parameter");
}

void NetworkReader::MakeLayer(long n, long count, const std::string& type) {
  if (n == info_.input && info_.inputs_given && info_.inputs != count) {
    Fail("wrong number inputs in header");
  }
  if (n == info_.output && info_.outputs_given && info_.outputs != count) {
    Fail("wrong number outputs in header");
  }
  long total = count;
  for (int i = 0; i < net_->numLayers; ++i) {
    const TBasicLayer* other = net_->GetLayer(i);
    if (i != n && other != nullptr) total += other->numNeurons;
  }
  if (total > kMaxNeurons) Fail("Illegal number of neurons");

  TBasicNetwork* net = net_.get();
  const int index = static_cast<int>(n);
  const int size = static_cast<int>(count);
  std::unique_ptr<TBasicLayer> layer;
  if (SameName(type, "SIMPLE")) {
    layer = std::make_unique<TSimpleLayer>(net, index, size);
  } else if (SameName(type, "INPUT")) {
    layer = std::make_unique<TSimpleInputLayer>(net, index, size);
  } else if (SameName(type, "GAIN")) {
    layer = std::make_unique<TGainLayer>(net, index, size, 1.0);
  } else {
    Fail("Unknown layer type");
  }
  net_->SetLayer(index, std::move(layer));
}

void NetworkReader::ReadLayer(std::string block, long n) {
  long count = -1;
  std::string type;
  bool type_given = false;
  TBasicLayer* layer = nullptr;
  ActFunction layer_fn = nullptr;
  // The running parameter values and which of them a layer entry gave.
  std::vector<double> params;
  std::vector<bool> given;

  Next(block);
  while (tag_.type == TAG_ASSIGN || (tag_.type == TAG_BLOCK && SameName(tag_.name, "ALL"))) {
    if (tag_.type == TAG_BLOCK) {
      if (!tag_.open) Fail("[ALL] is incomplete statment");
      NextItem(block);
      if (tag_.type != TAG_ASSIGN) Fail("Required syntax is [ALL <keyword>=<val>]");
    }
    if (tag_.open) Fail("Too complicated statement");
    if (SameName(tag_.name, "LAYERTYPE")) {
      type = tag_.value;
      type_given = true;
    } else if (SameName(tag_.name, "NUMBEROFNEURONS")) {
      count = ft_.ParseInteger(tag_.value);
      if (count < 0 || count > kMaxNeurons) Fail("Illegal number of neurons");
    } else if (SameName(tag_.name, "ACTIVATIONFUNCTION")) {
      layer_fn = FindFunction(tag_.value);
    } else {
      if (layer == nullptr) Fail("Layer parameter before layer type and size");
      if (layer->numNeurons == 0) Fail("Unknown neuron parameter");
      const int k = ParamIndex(*layer->GetNeuron(0), tag_.name);
      params[static_cast<std::size_t>(k)] = ft_.ParseNumber(tag_.value);
      given[static_cast<std::size_t>(k)] = true;
    }
    if (layer == nullptr && type_given && count >= 0) {
      MakeLayer(n, count, type);
      layer = net_->GetLayer(static_cast<int>(n));
      int num_params = 0;
      for (int i = 0; i < layer->numNeurons; ++i) {
        num_params = std::max(num_params, layer->GetNeuron(i)->GetNumParams());
      }
      params.assign(static_cast<std::size_t>(num_params), 0.0);
      given.assign(static_cast<std::size_t>(num_params), false);
    }
    Next(block);
  }
  if (layer == nullptr) Fail("Layer type or size missing");

  if (layer_fn != nullptr) {
    for (int i = 0; i < layer->numNeurons; ++i) {
      if (FunctionNeedsGain(layer_fn) && !layer->GetNeuron(i)->HasGain()) {
        Fail("Activation function needs gain neurons");
      }
    }
    layer->SetFunction(layer_fn);
  }

  if (tag_.type == TAG_BLOCK && SameName(tag_.name, "NEURONS")) {
    ReadNeurons(*layer, layer_fn, params);
    Next(block);
  } else {
    for (bool g : given) {
      if (!g) Fail("Incomplete Layer information");
    }
    for (int i = 0; i < layer->numNeurons; ++i)
      layer->GetNeuron(i)->SetParams(params.data());
  }

  // "error" and "null" stop the program when evaluated: a neuron that still
  // has one would end the first recall.
  for (int i = 0; i < layer->numNeurons; ++i) {
    const ActFunction fn = layer->GetNeuron(i)->GetFunction();
    if (fn == &ActError || fn == &ActNull) Fail("No activation function defined");
  }
  ft_.ExpectEndTag(tag_);
}

void NetworkReader::ReadNeurons(TBasicLayer& layer, ActFunction layer_fn,
                                std::vector<double>& params) {
  const std::string block = tag_.name;
  std::vector<bool> listed(static_cast<std::size_t>(layer.numNeurons), false);
  Next(block);
  while (tag_.type == TAG_ASSIGN && SameName(tag_.name, "NEURON")) {
    const long i = ft_.ParseInteger(tag_.value);
    if (i < 0 || i >= layer.numNeurons) Fail("Neuron number out of range");
    if (listed[static_cast<std::size_t>(i)]) Fail("repeated neuron");
    TBasicNeuron* neuron = layer.GetNeuron(static_cast<int>(i));
    ActFunction fn = nullptr;
    while (tag_.open) {
      NextItem(block);
      if (tag_.type != TAG_ASSIGN) Fail("Equals clause expected in neuron parameter");
      if (SameName(tag_.name, "ACTIVATIONFUNCTION")) {
        fn = FindFunction(tag_.value);
      } else {
        const int k = ParamIndex(*neuron, tag_.name);
        params[static_cast<std::size_t>(k)] = ft_.ParseNumber(tag_.value);
      }
    }
    // The values carry over to the next entry: an entry starts from what the
    // layer entries and the entries before it left.
    neuron->SetParams(params.data());
    if (layer_fn == nullptr) {
      if (fn == nullptr) Fail("No activation function defined");
      if (FunctionNeedsGain(fn) && !neuron->HasGain()) {
        Fail("Activation function needs gain neurons");
      }
      neuron->SetFunction(fn);
    }
    listed[static_cast<std::size_t>(i)] = true;
    Next(block);
  }
  ft_.ExpectEndTag(tag_);
  for (bool l : listed) {
    if (!l) Fail("Neuron not defined");
  }
}

void NetworkReader::ReadConnections(std::string block) {
  long from = -1;
  long to = -1;
  std::string type;
  bool type_given = false;

  Next(block);
  while (tag_.type == TAG_ASSIGN || (tag_.type == TAG_BLOCK && SameName(tag_.name, "ATTRIBUTES"))) {
    if (tag_.type == TAG_BLOCK) {
      while (tag_.open)
        NextItem(block);  // the attributes are not used
    } else {
      if (tag_.open) Fail("Too complicated statement");
      if (SameName(tag_.name, "LAYERFROM")) {
        from = ft_.ParseInteger(tag_.value);
      } else if (SameName(tag_.name, "LAYERTO")) {
        to = ft_.ParseInteger(tag_.value);
      } else if (SameName(tag_.name, "CONNECTIONTYPE")) {
        type = tag_.value;
        type_given = true;
      } else {
        Fail("Unknown keyword in connections");
      }
    }
    Next(block);
  }
  const bool full = SameName(type, "FULLYCONNECTED");
  if (from < 0 || to < 0 || !type_given || (!full && !SameName(type, "PRUNEABLE"))) {
    Fail("Insufficient information to construct layer");
  }
  if (from >= net_->numLayers || to >= net_->numLayers) Fail("Connection layer out of range");
  const int f = static_cast<int>(from);
  const int t = static_cast<int>(to);
  if (net_->GetConnections(f, t)->IsConnected()) Fail("Connections already defined");
  matrix_cells_ +=
      static_cast<long long>(net_->GetLayer(f)->numNeurons) * net_->GetLayer(t)->numNeurons;
  if (matrix_cells_ > kMaxMatrixCells) Fail("Connection matrix too large");

  std::unique_ptr<TBasicConnections> made;
  if (full) {
    made = std::make_unique<TConnectedConnections>(net_.get(), f, t);
  } else {
    made = std::make_unique<TPrunedConnections>(net_.get(), f, t);
  }
  TBasicConnections& conns = *made;
  net_->SetConnections(f, t, std::move(made));
  if (!full) {
    // A pruneable matrix starts empty; the weight blocks make its connections.
    for (int i = 0; i < conns.NumFrom(); ++i) {
      for (int j = 0; j < conns.NumTo(); ++j)
        conns.Prune(i, j);
    }
  }

  while (tag_.type == TAG_BLOCK &&
         (SameName(tag_.name, "MATRIX") || SameName(tag_.name, "WEIGHTLIST"))) {
    if (SameName(tag_.name, "MATRIX")) {
      ReadMatrix(conns, full);
    } else {
      ReadWeightList(conns, full);
    }
    Next(block);
  }
  ft_.ExpectEndTag(tag_);
}

void NetworkReader::ReadMatrix(TBasicConnections& conns, bool full) {
  const std::string block = tag_.name;
  std::vector<bool> is_weights;  // one per column keyword: Weights, else TrainableInfo
  while (tag_.open) {
    NextItem(block);
    if (tag_.type != TAG_BLOCK) Fail("Keyword expected in matrix parameter");
    if (SameName(tag_.name, "WEIGHTS")) {
      is_weights.push_back(true);
    } else if (SameName(tag_.name, "TRAINABLEINFO")) {
      is_weights.push_back(false);
    } else {
      Fail("Unknown matrix attribute");
    }
    if (is_weights.size() > kMaxMatrixColumns) Fail("Too many matrix columns");
  }

  // From-neuron major; the tokens of one pair in column-keyword order.
  const int n_from = conns.NumFrom();
  const int n_to = conns.NumTo();
  for (int f = 0; f < n_from; ++f) {
    for (int t = 0; t < n_to; ++t) {
      for (bool weights : is_weights) {
        Next(block);
        if (tag_.type != TAG_TOKEN) Fail("Token Expected");
        const std::string& token = tag_.name;
        if (weights) {
          if (token == "-") {
            if (full) Fail("Absent connection in fully connected layer");
            conns.Prune(f, t);
          } else {
            const double w = ft_.ParseNumber(token);
            conns.Unprune(f, t);
            *conns.GetWeightPtr(f, t) = w;
          }
        } else if (SameName(token, "T")) {
          conns.SetTrainable(f, t);
        } else if (SameName(token, "F")) {
          if (full) Fail("Untrainable connection in fully connected layer");
          conns.SetUntrainable(f, t);
        } else if (conns.IsValid(f, t)) {
          Fail("Trainable flag T or F expected");
        }
      }
    }
  }
  Next(block);
  ft_.ExpectEndTag(tag_);
}

void NetworkReader::ReadWeightList(TBasicConnections& conns, bool full) {
  const std::string block = tag_.name;
  Next(block);
  while (tag_.type == TAG_ASSIGN || tag_.type == TAG_BLOCK) {
    long from = -1;
    long to = -1;
    bool from_given = false;
    bool to_given = false;
    double weight = 0.0;
    bool trainable = true;
    for (;;) {
      if (tag_.type == TAG_ASSIGN) {
        if (SameName(tag_.name, "FROM")) {
          from = ft_.ParseInteger(tag_.value);
          from_given = true;
        } else if (SameName(tag_.name, "TO")) {
          to = ft_.ParseInteger(tag_.value);
          to_given = true;
        } else if (SameName(tag_.name, "WEIGHT")) {
          weight = ft_.ParseNumber(tag_.value);
        } else {
          Fail("Unknown keyword in weights list");
        }
      } else if (SameName(tag_.name, "TRAINABLE")) {
        trainable = true;
      } else if (SameName(tag_.name, "UNTRAINABLE")) {
        trainable = false;
      } else {
        std::cout << tag_.name << std::endl;
        Fail("Unknown keyword in weights list");
      }
      if (!tag_.open) break;
      NextItem(block);
    }
    if (!from_given || !to_given) Fail("Insufficient information in weights list");
    if (from < 0 || from >= conns.NumFrom() || to < 0 || to >= conns.NumTo()) {
      Fail("Neuron number out of range");
    }
    if (full && !trainable) Fail("Untrainable connection in fully connected layer");
    const int f = static_cast<int>(from);
    const int t = static_cast<int>(to);
    conns.Unprune(f, t);
    if (trainable) {
      conns.SetTrainable(f, t);
    } else {
      conns.SetUntrainable(f, t);
    }
    *conns.GetWeightPtr(f, t) = weight;
    Next(block);
  }
  ft_.ExpectEndTag(tag_);
}

}  // namespace

std::unique_ptr<TBasicNetwork> FileTools::LoadNetwork(const std::string& file_name) {
  // A folder opens like a file on some systems and then reads as empty.
  std::error_code ec;
  std::ifstream in(file_name);
  if (!in || std::filesystem::is_directory(file_name, ec)) {
    throw Error("Error on File Open", nullptr);
  }
  return ReadNetwork(in);
}

std::unique_ptr<TBasicNetwork> FileTools::ReadNetwork(std::istream& in) {
  NetworkReader reader(*this, in);
  return reader.Read();
}

// --- Writer --------------------------------------------------------------------

namespace {

// Decimals of parameter values and weight-list weights; significant digits of
// matrix weights.
constexpr int kPrecision = 15;

// A matrix is written as a weight list when fewer than this share of its
// pairs exist.
constexpr double kListShare = 0.35;

// The brackets around several inline items on one line.
void OpenItems(std::ostream& out) {
  out << '[';
}

void CloseItems(std::ostream& out) {
  out << "]\n";
}

// printf-style text of whatever length it needs.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

// The layer's parameter lines: [All name=value ] for the parameters every
// neuron shares, and a Neurons block when the neurons differ in a parameter
// or in their function.
void WriteParameters(const FileTools& ft, std::ostream& out, TBasicLayer& layer, bool shared_fn,
                     const TFnRegistry& registry) {
  TBasicNeuron& first = *layer.GetNeuron(0);
  const int count = first.GetNumParams();
  std::vector<double> first_values(static_cast<std::size_t>(count));
  first.GetParams(first_values.data());
  std::vector<double> values;

  std::vector<bool> common(static_cast<std::size_t>(count), true);
  for (int j = 1; j < layer.numNeurons; ++j) {
    TBasicNeuron& neuron = *layer.GetNeuron(j);
    values.resize(static_cast<std::size_t>(neuron.GetNumParams()));
    neuron.GetParams(values.data());
    for (int k = 0; k < count; ++k) {
      const std::size_t ks = static_cast<std::size_t>(k);
      if (k >= neuron.GetNumParams() || values[ks] != first_values[ks] ||
          quill::strcasecmp(neuron.GetParamName(k), first.GetParamName(k)) != 0) {
        common[ks] = false;
      }
    }
  }

  bool all_common = true;
  for (int k = 0; k < count; ++k) {
    if (!common[static_cast<std::size_t>(k)]) {
      all_common = false;
      continue;
    }
    OpenItems(out);
    ft.WriteBlockStart("All", out, false);
    ft.WriteNumberTag(first.GetParamName(k), first_values[static_cast<std::size_t>(k)], kPrecision,
                      out, false);
    CloseItems(out);
  }
  if (shared_fn && all_common) return;

  ft.WriteBlockStart("Neurons", out);
  for (int j = 0; j < layer.numNeurons; ++j) {
    TBasicNeuron& neuron = *layer.GetNeuron(j);
    values.resize(static_cast<std::size_t>(neuron.GetNumParams()));
    neuron.GetParams(values.data());
    OpenItems(out);
    ft.WriteIntegerTag("Neuron", j, out, false);
    if (!shared_fn) {
      ft.WriteStringTag("ActivationFunction", registry.LookupName(neuron.GetFunction()), out,
                        false);
    }
    for (int k = 0; k < count && k < neuron.GetNumParams(); ++k) {
      if (common[static_cast<std::size_t>(k)]) continue;
      ft.WriteNumberTag(neuron.GetParamName(k), values[static_cast<std::size_t>(k)], kPrecision,
                        out, false);
    }
    CloseItems(out);
  }
  ft.WriteEndTag("Neurons", out);
}

void WriteLayer(const FileTools& ft, std::ostream& out, const TBasicNetwork& network, int index) {
  TBasicLayer& layer = *network.GetLayer(index);
  ft.WriteNewline(out);
  ft.WriteIntegerTag("Layer", index, out);
  ft.WriteStringTag("LayerType", layer.GetLayerType(), out);
  ft.WriteIntegerTag("NumberOfNeurons", layer.numNeurons, out);
  const ActFunction shared = layer.GetFunction();
  if (shared != nullptr) {
    OpenItems(out);
    ft.WriteBlockStart("All", out, false);
    ft.WriteStringTag("ActivationFunction", network.GetRegistry()->LookupName(shared), out, false);
    CloseItems(out);
  }
  if (layer.numNeurons > 0) {
    WriteParameters(ft, out, layer, shared != nullptr, *network.GetRegistry());
  }
  ft.WriteEndTag("Layer", out);
}

// The dense form: a heading comment with the to-neuron numbers, then one row
// per from-neuron, which is the order the reader takes the tokens in.
void WriteMatrix(const FileTools& ft, std::ostream& out, TBasicConnections& conns, bool pruneable) {
  OpenItems(out);
  ft.WriteBlockStart("Matrix", out, false);
  ft.WriteBlockStart("Weights", out, false);
  if (pruneable) ft.WriteBlockStart("TrainableInfo", out, false);
  CloseItems(out);

  const int n_from = conns.NumFrom();
  const int n_to = conns.NumTo();
  out << "/* To->";
  for (int t = 0; t < n_to; ++t) {
    const int width = t == 0 ? (pruneable ? 15 : 13) : (pruneable ? 23 : 21);
    out << Format("%*d", width, t);
  }
  out << "  From */\n";
  for (int f = 0; f < n_from; ++f) {
    for (int t = 0; t < n_to; ++t) {
      const bool exists = conns.IsValid(f, t);
      if (exists) {
        out << Format("%20.*g", kPrecision, *conns.GetWeightPtr(f, t));
      } else {
        out << Format("%20s", "-");
      }
      out << ' ';
      if (pruneable) out << (!exists ? "- " : conns.IsTrainable(f, t) ? "T " : "F ");
    }
    out << " /* " << f << " */\n";
  }
  ft.WriteEndTag("Matrix", out);
}

void WriteConnections(const FileTools& ft, std::ostream& out, TBasicConnections& conns) {
  ft.WriteNewline(out);
  ft.WriteBlockStart("ConnectionLayer", out);
  ft.WriteIntegerTag("LayerFrom", conns.fromLayer, out);
  ft.WriteIntegerTag("LayerTo", conns.toLayer, out);
  ft.WriteStringTag("ConnectionType", conns.GetConnectionsNType(), out);
  // Only a full matrix can neither lose nor freeze connections.
  const bool pruneable = quill::strcasecmp(conns.GetConnectionsNType(), "FullyConnected") != 0;
  OpenItems(out);
  ft.WriteBlockStart("Attributes", out, false);
  ft.WriteBlockStart(pruneable ? "Pruneable" : "UnPrunable", out, false);
  ft.WriteBlockStart(pruneable ? "Freezable" : "UnFreezable", out, false);
  CloseItems(out);

  TIterateObjCount counter;
  conns.Iterate(counter, FMaskExists);
  const double pairs = static_cast<double>(conns.NumFrom()) * conns.NumTo();
  if (counter.count < kListShare * pairs) {
    ft.WriteBlockStart("WeightList", out);
    TIterateObjSaveWeights saver(out, ft, pruneable, kPrecision);
    conns.Iterate(saver, FMaskExists);
    ft.WriteEndTag("WeightList", out);
  } else {
    WriteMatrix(ft, out, conns, pruneable);
  }
  ft.WriteEndTag("ConnectionLayer", out);
}

}  // namespace

void TIterateObjSaveWeights::Visit() {
  OpenItems(stream);
  filer.WriteIntegerTag("From", from, stream, false);
  filer.WriteIntegerTag("To", to, stream, false);
  filer.WriteNumberTag("Weight", *weight, precision, stream, false);
  if (writeTrainable) filer.WriteBlockStart(trainable ? "Trainable" : "UnTrainable", stream, false);
  CloseItems(stream);
}

void FileTools::WriteNetwork(std::ostream& out, const TBasicNetwork& network) {
  QUILL_ASSERT(network.IsComplete());
  out.precision(kPrecision);
  const int n = network.numLayers;

  WriteFormatVersion(out);
  WriteBlockStart("NeuralNetwork", out);
  WriteStringTag("NetworkType", network.GetNetworkType(), out);
  WriteNewline(out);

  WriteBlockStart("NetworkInformation", out);
  WriteIntegerTag("NumberOfLayers", n, out);
  WriteIntegerTag("InputLayer", network.inLayer, out);
  WriteIntegerTag("OutputLayer", network.outLayer, out);
  WriteIntegerTag("NumberOfInputs", network.GetLayer(network.inLayer)->numNeurons, out);
  WriteIntegerTag("NumberOfOutputs", network.GetLayer(network.outLayer)->numNeurons, out);
  for (int i = 0; i < n; ++i) {
    TBasicLayer& layer = *network.GetLayer(i);
    if (layer.numNeurons < 1 || layer.GetFunction() != &ActBias) continue;
    if (layer.numNeurons > 1) throw Error("Illegal number of bias nodes", nullptr);
    WriteIntegerTag("BiasLayer", i, out);
  }
  WriteEndTag("NetworkInformation", out);

  for (int i = 0; i < n; ++i)
    WriteLayer(*this, out, network, i);
  for (int f = 0; f < n; ++f) {
    for (int t = 0; t < n; ++t) {
      TBasicConnections& conns = *network.GetConnections(f, t);
      if (conns.IsConnected()) WriteConnections(*this, out, conns);
    }
  }
  WriteNewline(out);
  WriteEndTag("NeuralNetwork", out);
}

void FileTools::SaveNetwork(const std::string& file_name, const TBasicNetwork& network) {
  // The network goes to a new file beside the destination, which replaces
  // the destination only once it is complete and on disk: a failed save
  // leaves the earlier file as it was instead of a truncated one.
  if (!quill::WriteFileAtomically(file_name,
                                  [&](std::ostream& out) { WriteNetwork(out, network); })) {
    throw Error("Unable to write file " + file_name, nullptr);
  }
}
