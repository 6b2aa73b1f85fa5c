#include "MLP/Quill/RunSequence.h"

#include <algorithm>
#include <cmath>
#include <ios>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/TQuill.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Assert.h"
#include "errors/TException.h"

namespace {

constexpr const char* kSourceUnit = "MLP/Quill/Quill";

// Messages for input that the trainer cannot use. Each is checked before
// training starts, so a rejected run writes no destination file. Those that
// concern one file end with its name, like "Unable to load data file ".
//   an EliteIndividuals value below 0 or above PopulationSize:
constexpr const char* kBadElite = "EliteIndividuals invalid";
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

int Fail(const std::string& message) {
  std::cerr << message << std::endl;
  return 1;
}

int Fail(const TException& e) {
  std::cerr << e.message << std::endl
            << e.category.value_or("") << std::endl
            << e.location.value_or("") << std::endl;
  return 1;
}

// Prints a real on standard output in the default general format with six
// significant digits, whatever the stream was left with.
void PrintReal(double value) {
  const std::ios_base::fmtflags flags = std::cout.flags();
  const std::streamsize precision = std::cout.precision();
  std::cout.flags(std::ios_base::dec);
  std::cout.precision(6);
  std::cout << value;
  std::cout.flags(flags);
  std::cout.precision(precision);
}

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

int RunQuill(const QuillParameters& params) {
  if (params.EliteIndividuals < 0 || params.EliteIndividuals > params.PopulationSize)
    return Fail(kBadElite);

  // One FileTools for the data-set files, one for the network files.
  FileTools data_files;
  FileTools network_files;
  std::unique_ptr<TMLPNetwork> PtrMLPCurrent;
  std::vector<std::unique_ptr<Data>> data_sets(static_cast<std::size_t>(params.DataClasses));

  // Loading: a syntax error's message already ends as the reader wants it.
  try {
    std::unique_ptr<TBasicNetwork> loaded = network_files.LoadNetwork(params.WeightFile);
    QUILL_ASSERT_TEXT(loaded != nullptr, "PtrMLPCurrent != 0");
    if (dynamic_cast<TMLPNetwork*>(loaded.get()) == nullptr)
      return Fail(kNotMLP + params.WeightFile);
    PtrMLPCurrent.reset(static_cast<TMLPNetwork*>(loaded.release()));
    if (!WeightsFitGenes(*PtrMLPCurrent)) return Fail(kWeightRange + params.WeightFile);

    for (std::size_t i = 0; i < data_sets.size(); ++i) {
      const std::string message =
          LoadDataSet(data_files, params.DataFiles[i], params, *PtrMLPCurrent, data_sets[i]);
      if (!message.empty()) return Fail(message);
    }
  } catch (const FileTools::Error& e) {
    std::cerr << e.message;
    return 1;
  } catch (const TException& e) {
    // Bad input met by the objects the readers build.
    return Fail(e);
  }

  std::vector<Data*> PtrDatSets;
  for (const auto& data : data_sets)
    PtrDatSets.push_back(data.get());

  std::unique_ptr<TErrorRMSObj> PtrErrStart;
  std::unique_ptr<TQuill> PtrQuill;
  try {
    // The starting error: one RMS object over all data sets, each value
    // rounded to float and summed in float, as every later line is.
    PtrErrStart = std::make_unique<TErrorRMSObj>(PtrDatSets[0]->NumOutputs());
    float sum = 0.0f;
    for (Data* data : PtrDatSets)
      sum += static_cast<float>(PtrMLPCurrent->GetError(data, PtrErrStart.get()));
    const float mean = sum / static_cast<float>(params.DataClasses);
    std::cout << "0 ";
    PrintReal(static_cast<double>(mean));
    std::cout << std::endl;

    PtrQuill = std::make_unique<TQuill>();
    PtrQuill->Evaluator()->SetWeightBounds(static_cast<double>(params.MaxWeight),
                                           static_cast<double>(params.MinWeight));
    PtrQuill->Evaluator()->SetThreads(params.Threads);
    PtrQuill->SetNetwork(PtrMLPCurrent.get());
    PtrQuill->CreatePopulation(params.PopulationSize);
    PtrQuill->Train(params.DataClasses, PtrDatSets.data(), 0.0, params.Generations,
                    params.EliteIndividuals, params.CrossoverPoints, params.MutationRate,
                    params.Selection, params.Normalisation);
    std::unique_ptr<TMLPNetwork> PtrMLPBest = PtrQuill->GetBestNetwork();
    network_files.SaveNetwork(params.DestinationFile, *PtrMLPBest);

    // Release order: best and starting network, the data sets, the trainer
    // (engine, populations, evaluator, reporter), the error object.
    PtrMLPBest.reset();
    PtrMLPCurrent.reset();
    PtrDatSets.clear();
    data_sets.clear();
    PtrQuill.reset();
    PtrErrStart.reset();
  } catch (const TException& e) {
    return Fail(e);
  } catch (const FileTools::Error& e) {
    return Fail(e.message);
  }
  return 0;
}
