#include "MLP/Quill/RunInputs.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/ParameterFile.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Assert.h"
#include "errors/TException.h"

namespace {

constexpr const char* kSourceUnit = "MLP/Quill/Quill";

// Messages for input that the trainer cannot use. Each is checked before
// training starts, so a rejected run writes no destination file. Those that
// concern one file end with its name, like "Unable to load data file ".
//   a network file of type Basic or Connected (the trainer needs an MLP):
constexpr const char* kNotMLP = "Network is not an MLP in weight file ";
//   a trainable weight beyond the range of the 32-bit float genes, which
//   would train as an infinity and be written as one:
constexpr const char* kWeightRange = "Weight beyond the float range in weight file ";
//   a data file that holds no data set (a header without columns):
constexpr const char* kNoDataSet = "No data set in data file ";
//   a data set without rows (its RMS error would be undefined):
constexpr const char* kNoRows = "No rows in data file ";
//   a Features index outside the data set's input columns:
constexpr const char* kBadFeature = "Invalid feature for data file ";
//   inputs (after the feature selection) or outputs that differ from the
//   network's input and output layers:
constexpr const char* kNoFit = "Data does not fit the network in data file ";

// True when every trainable weight fits a float gene.
bool WeightsFitGenes(TMLPNetwork& network) {
  const int n = network.GetNumWeights(0);
  std::vector<double> weights(static_cast<std::size_t>(n > 0 ? n : 0));
  network.GetWeights(weights.data(), 0);
  return std::all_of(weights.begin(), weights.end(), [](double weight) {
    return std::fabs(weight) <= static_cast<double>(std::numeric_limits<float>::max());
  });
}

int Neurons(const TMLPNetwork& network, int layer) {
  return network.GetLayer(layer)->numNeurons;
}

// Loads the data set of one data class and restricts its inputs to the
// features; returns the message for a data set the trainer cannot use.
std::string LoadDataSet(FileTools& files, const std::string& name, const QuillParameters& params,
                        const TMLPNetwork& network, std::unique_ptr<Data>& data) {
  if (files.LoadDataFile(name, &data) != 0) return "Unable to load data file " + name;
  if (data == nullptr) return kNoDataSet + name;
  if (data->NumRows() < 1) return kNoRows + name;
  int inputs = data->NumInputs();
  if (params.FeaturesGiven) {
    const int count = static_cast<int>(params.Features.size());
    if (!data->AreValidInputFeatures(count, params.Features.data())) return kBadFeature + name;
    data->SetInputFeatures(count, params.Features.data());
    inputs = count;
  }
  if (inputs != Neurons(network, network.inLayer) ||
      data->NumOutputs() != Neurons(network, network.outLayer))
    return kNoFit + name;
  return {};
}

}  // namespace

std::vector<Data*> RunInputs::Pointers() const {
  std::vector<Data*> pointers;
  for (const auto& data : data_sets)
    pointers.push_back(data.get());
  return pointers;
}

std::optional<std::string> LoadRunInputs(const QuillParameters& params, FileTools& network_files,
                                         FileTools& data_files, RunInputs& inputs) {
  inputs.network.reset();
  inputs.data_sets.clear();
  inputs.data_sets.resize(static_cast<std::size_t>(params.DataClasses));
  std::string reading = "weight file " + params.WeightFile;
  try {
    std::unique_ptr<TBasicNetwork> loaded = network_files.LoadNetwork(params.WeightFile);
    QUILL_ASSERT_TEXT(loaded != nullptr, "PtrMLPCurrent != 0");
    if (dynamic_cast<TMLPNetwork*>(loaded.get()) == nullptr)
      return kNotMLP + params.WeightFile + "\n";
    inputs.network.reset(static_cast<TMLPNetwork*>(loaded.release()));
    if (!WeightsFitGenes(*inputs.network)) return kWeightRange + params.WeightFile + "\n";

    for (std::size_t i = 0; i < inputs.data_sets.size(); ++i) {
      reading = "data file " + params.DataFiles[i];
      const std::string message = LoadDataSet(data_files, params.DataFiles[i], params,
                                              *inputs.network, inputs.data_sets[i]);
      if (!message.empty()) return message + "\n";
    }
  } catch (const FileTools::Error& e) {
    // What no file of the program holds (a NUL byte, say) names the file.
    if (e.beyond_bounds) return e.message + " in " + reading + "\n";
    // A syntax error's message already ends as the reader wants it.
    return e.message;
  } catch (const TException& e) {
    // Bad input met by the objects the readers build.
    return e.message + "\n" + e.category.value_or("") + "\n" + e.location.value_or("") + "\n";
  }
  return std::nullopt;
}
