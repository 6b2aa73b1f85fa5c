#include "MLP/Quill/RunSequence.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <ios>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/Checkpoint.h"
#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/RunControl.h"
#include "MLP/Quill/TQuill.h"
#include "MLP/Quill/TQuillEval.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Assert.h"
#include "common/AtomicFile.h"
#include "common/Clock.h"
#include "common/Fingerprint.h"
#include "common/Interrupt.h"
#include "common/Random.h"
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

// Whether a file can be written at `path` (replaced when it exists), found
// out without touching `path` itself.
bool CanCreate(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  if (std::filesystem::exists(path, ec) && ::access(path.c_str(), W_OK) != 0) return false;
  // The temporary file a write will make, made and removed again.
  quill::AtomicFile probe(path);
  return probe.Reserve();
}

// The message for a run log or checkpoint that would overwrite a file the
// run reads, the destination or each other.
std::optional<std::string> SameFile(const QuillParameters& params) {
  auto same = [](const std::string& a, const std::string& b) {
    std::error_code ec;
    const auto ca = std::filesystem::weakly_canonical(a, ec);
    const auto cb = std::filesystem::weakly_canonical(b, ec);
    return ec ? a == b : ca == cb;
  };
  const std::pair<const char*, const std::string*> written[] = {{"RunLog", &params.RunLog},
                                                                {"Checkpoint", &params.Checkpoint}};
  for (const auto& [key, name] : written) {
    if (name->empty()) continue;
    std::vector<std::pair<const char*, std::string>> others = {
        {"WeightFile", params.WeightFile}, {"DestinationFile", params.DestinationFile}};
    for (const std::string& data : params.DataFiles)
      others.emplace_back("DataFile", data);
    if (key == std::string("RunLog")) {
      others.emplace_back("Checkpoint", params.Checkpoint);
      others.emplace_back("Resume", params.Resume);
    }
    for (const auto& [other, path] : others) {
      if (!path.empty() && same(*name, path))
        return std::string(key) + " and " + other + " name the same file " + *name;
    }
  }
  return std::nullopt;
}

// Reads the checkpoint to resume and checks it fits this run: the inputs,
// the settings, and every gene within its bounds. Returns the message for
// one that does not.
std::optional<std::string> LoadCheckpoint(const QuillParameters& params, TMLPNetwork& network,
                                          std::uint64_t network_fingerprint,
                                          const std::vector<std::uint64_t>& data_fingerprints,
                                          RunCheckpoint& checkpoint) {
  std::ifstream in(params.Resume, std::ios::binary);
  if (!in) return "Unable to open checkpoint file " + params.Resume;
  const std::string damaged = "Checkpoint file " + params.Resume + " is damaged: ";
  try {
    checkpoint = ReadCheckpoint(in);
  } catch (const CheckpointError& e) {
    return damaged + e.what();
  }
  if (auto differs = CompareCheckpoint(checkpoint, params, network_fingerprint, data_fingerprints))
    return differs;
  if (checkpoint.gene_count != network.GetNumWeights(0))
    return damaged + "Gene count does not match the network";
  return std::nullopt;
}

// The bounds every gene of a run is drawn within, as the trainer sets them.
bool WithinGeneBounds(const RunCheckpoint& checkpoint, const GeneSpecList& genes) {
  auto within = [&](const std::vector<GeneCell>& values) {
    for (std::size_t k = 0; k < values.size(); ++k) {
      const GeneSpec& rule = genes.entries[k];
      const float v = values[k].AsReal();
      if (!(v >= rule.minimum.AsReal() && v <= rule.maximum.AsReal())) return false;
    }
    return true;
  };
  for (const IndividualRecord& r : checkpoint.individuals) {
    if (!within(r.values)) return false;
  }
  return within(checkpoint.best.values);
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

  // A long run: the fingerprints of its inputs, the checkpoint it resumes,
  // the files it will write. All of it is checked before anything is written.
  const bool long_run =
      !params.RunLog.empty() || !params.Checkpoint.empty() || !params.Resume.empty();
  std::uint64_t network_fingerprint = 0;
  std::vector<std::uint64_t> data_fingerprints;
  if (long_run) {
    const auto network = quill::FileFingerprint(params.WeightFile);
    if (!network) return Fail("Unable to open file" + params.WeightFile);
    network_fingerprint = *network;
    for (const std::string& name : params.DataFiles) {
      const auto data = quill::FileFingerprint(name);
      if (!data) return Fail("Unable to load data file " + name);
      data_fingerprints.push_back(*data);
    }
  }
  std::optional<RunCheckpoint> resume;
  if (!params.Resume.empty()) {
    resume.emplace();
    if (auto message =
            LoadCheckpoint(params, *PtrMLPCurrent, network_fingerprint, data_fingerprints, *resume))
      return Fail(*message);
  }
  if (auto clash = SameFile(params)) return Fail(*clash);
  if (!params.RunLog.empty() && !CanCreate(params.RunLog))
    return Fail("Unable to create run log " + params.RunLog);
  if (!params.Checkpoint.empty() && !CanCreate(params.Checkpoint))
    return Fail("Unable to create checkpoint file " + params.Checkpoint);
  // A run killed while it wrote its checkpoint leaves the temporary file of
  // that write behind; the next run of the checkpoint removes it.
  if (!params.Checkpoint.empty()) {
    std::vector<std::string> inputs = params.DataFiles;
    inputs.push_back(params.WeightFile);
    inputs.push_back(params.Resume);
    quill::AtomicFile::RemoveLeftovers(params.Checkpoint, inputs);
  }
  // The seed: the parameter file's, or the clock's as the trainer would read it.
  const std::uint32_t seed = params.SeedGiven
                                 ? static_cast<std::uint32_t>(params.Seed)
                                 : static_cast<std::uint32_t>(quill::CurrentTimeSeconds());
  // From here a first SIGINT or SIGTERM ends the run at its next safe point.
  quill::InterruptGuard interrupt_guard;

  std::unique_ptr<TErrorRMSObj> PtrErrStart;
  std::unique_ptr<TQuill> PtrQuill;
  try {
    PtrQuill = std::make_unique<TQuill>();
    PtrQuill->Evaluator()->SetWeightBounds(static_cast<double>(params.MaxWeight),
                                           static_cast<double>(params.MinWeight));
    PtrQuill->Evaluator()->SetThreads(params.Threads);
    auto* evaluator = static_cast<TQuillEval*>(PtrQuill->Evaluator());
    evaluator->SetPrecision(params.SinglePrecision() ? TRecallPlan::Precision::kSingle
                                                     : TRecallPlan::Precision::kDouble);
    PtrQuill->SetNetwork(PtrMLPCurrent.get());
    evaluator->SetData(params.DataClasses, PtrDatSets.data());
    if (params.SinglePrecision() && !evaluator->MeasuresInBatches()) {
      std::cerr << "Note: Precision = single does not apply to weight file " << params.WeightFile
                << " with these data files (they hold a kind of layer, connection or activation, "
                   "or a value beyond the float range, that only double precision handles); this "
                   "run measures in double precision, as with Precision = double"
                << std::endl;
    }

    // The starting error: one RMS object over all data sets, each value
    // rounded to float and summed in float, as every later line is. It is
    // measured as the generations are: on the compiled network when there
    // is one (in single precision with the starting weights rounded to
    // float, as the seed individual carries them), else on the object
    // network. A resumed run goes on with the series where its checkpoint
    // left it.
    PtrErrStart = std::make_unique<TErrorRMSObj>(PtrDatSets[0]->NumOutputs());
    if (!resume) {
      std::vector<double> errors;
      if (!evaluator->StartingErrors(errors)) {
        for (Data* data : PtrDatSets)
          errors.push_back(PtrMLPCurrent->GetError(data, PtrErrStart.get()));
      }
      float sum = 0.0f;
      for (double error : errors)
        sum += static_cast<float>(error);
      const float mean = sum / static_cast<float>(params.DataClasses);
      std::cout << "0 ";
      PrintReal(static_cast<double>(mean));
      std::cout << std::endl;
    }

    RunControl control(params, *PtrQuill, network_fingerprint, data_fingerprints);
    if (resume) {
      if (!WithinGeneBounds(*resume, PtrQuill->Evaluator()->GeneSpecs()))
        return Fail("Checkpoint file " + params.Resume + " is damaged: a gene beyond its bounds");
      if (!control.ResumeFrom(*resume)) return Fail("Unable to create run log " + params.RunLog);
    } else if (!control.StartLog(seed, params.SeedGiven)) {
      return Fail("Unable to create run log " + params.RunLog);
    }
    if (const int signal = quill::InterruptSignal()) {
      std::cerr << "Interrupted before the first generation; nothing written" << std::endl;
      return 128 + signal;
    }
    PtrQuill->SetGenerationHook([&control](std::int32_t generation, bool last) {
      return control.AfterGeneration(generation, last);
    });
    if (resume) {
      PtrQuill->Evaluator()->SetBestSoFar(resume->best, resume->best_error);
      PtrQuill->Reporter()->MbrDblLowestError = resume->lowest_error;
      PtrQuill->Reporter()->MbrFltLowestErrorFitness = resume->lowest_fitness;
      PopulationImage working;
      working.gene_count = resume->gene_count;
      working.individual_count = static_cast<std::int32_t>(resume->individuals.size());
      working.records = std::move(resume->individuals);
      quill::SetRandState(resume->random_state);
      PtrQuill->Continue(working, resume->generation, params.DataClasses, PtrDatSets.data(), 0.0,
                         params.Generations, params.EliteIndividuals, params.CrossoverPoints,
                         params.MutationRate, params.Selection, params.Normalisation);
    } else {
      PtrQuill->CreatePopulation(params.PopulationSize, seed);
      PtrQuill->Train(params.DataClasses, PtrDatSets.data(), 0.0, params.Generations,
                      params.EliteIndividuals, params.CrossoverPoints, params.MutationRate,
                      params.Selection, params.Normalisation);
    }
    if (control.Interrupted() != 0) {
      // The best network found so far, written as a finished run writes it.
      std::unique_ptr<TMLPNetwork> PtrMLPBest = PtrQuill->GetBestSoFarNetwork();
      network_files.SaveNetwork(params.DestinationFile, *PtrMLPBest);
      std::cerr << "Interrupted after generation " << control.StoppedAfter() << ": wrote ";
      if (control.CheckpointWritten()) std::cerr << "checkpoint " << params.Checkpoint << " and ";
      std::cerr << params.DestinationFile << std::endl;
      return 128 + control.Interrupted();
    }
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
