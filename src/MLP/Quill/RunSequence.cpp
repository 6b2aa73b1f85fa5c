#include "MLP/Quill/RunSequence.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <ios>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/Checkpoint.h"
#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/RunControl.h"
#include "MLP/Quill/RunInputs.h"
#include "MLP/Quill/RunLog.h"
#include "MLP/Quill/RunMemory.h"
#include "MLP/Quill/TQuill.h"
#include "MLP/Quill/TQuillEval.h"
#include "MLP/Quill/Validation.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Assert.h"
#include "common/AtomicFile.h"
#include "common/Clock.h"
#include "common/FileIdentity.h"
#include "common/Fingerprint.h"
#include "common/Interrupt.h"
#include "common/OutputLock.h"
#include "common/Random.h"
#include "errors/TException.h"

namespace {

constexpr const char* kSourceUnit = "MLP/Quill/Quill";

// Messages for input that the trainer cannot use. Each is checked before
// training starts, so a rejected run writes no destination file. Those that
// concern one file end with its name, like "Unable to load data file ".
//   an EliteIndividuals value below 0 or above PopulationSize:
constexpr const char* kBadElite = "EliteIndividuals invalid";

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

// Whether a file can be written at `path` (replaced when it exists), found
// out without touching `path` itself.
bool CanCreate(const std::string& path) {
  if (!quill::AtomicFile::Unwritable(path).empty()) return false;
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && ::access(path.c_str(), W_OK) != 0) return false;
  // The temporary file a write will make, made and removed again.
  quill::AtomicFile probe(path);
  return probe.Reserve();
}

// Whether the destination can be written: it is replaced by rename, so a
// file there that is itself read-only is no obstacle (it never was).
bool CanReplace(const std::string& path) {
  quill::AtomicFile probe(path);
  return probe.Reserve();
}

// The message for a file the run writes that would overwrite a file it
// reads or another file it writes: the same file by device and inode, or by
// resolved path for files that do not exist yet. Training in place (the
// destination is the starting network) is allowed, but not with a
// checkpoint, which must find the starting network when it is resumed.
std::optional<std::string> SameFile(const QuillParameters& params,
                                    const std::string& parameter_file) {
  const std::pair<const char*, const std::string*> written[] = {
      {"RunLog", &params.RunLog},
      {"Checkpoint", &params.Checkpoint},
      {"DestinationFile", &params.DestinationFile}};
  for (const auto& [key, name] : written) {
    if (name->empty()) continue;
    const std::string role = key;
    std::vector<std::pair<const char*, std::string>> others;
    if (role != "DestinationFile" || !params.Checkpoint.empty())
      others.emplace_back("WeightFile", params.WeightFile);
    if (role != "DestinationFile") others.emplace_back("DestinationFile", params.DestinationFile);
    for (const std::string& data : params.DataFiles)
      others.emplace_back("DataFile", data);
    for (const std::string& data : params.ValidationFiles)
      others.emplace_back("ValidationFile", data);
    if (role == "RunLog") others.emplace_back("Checkpoint", params.Checkpoint);
    // Resuming from the checkpoint the run goes on writing is the usual way.
    if (role != "Checkpoint") others.emplace_back("Resume", params.Resume);
    others.emplace_back("the parameter file", parameter_file);
    for (const auto& [other, path] : others) {
      if (!path.empty() && quill::SameFile(*name, path))
        return role + " and " + other + " name the same file " + *name;
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
                                          const std::vector<std::uint64_t>& validation_fingerprints,
                                          RunCheckpoint& checkpoint) {
  std::error_code ec;
  std::ifstream in(params.Resume, std::ios::binary);
  if (!in || std::filesystem::is_directory(params.Resume, ec))
    return "Unable to open checkpoint file " + params.Resume;
  const std::string damaged = "Checkpoint file " + params.Resume + " is damaged: ";
  CheckpointReading how;
  how.max_bytes =
      CheckpointSizeLimit(params.PopulationSize, network.GetNumWeights(0), params.DataClasses,
                          static_cast<std::int64_t>(params.Features.size()));
  try {
    checkpoint = ReadCheckpoint(in, how);
  } catch (const CheckpointError& e) {
    return damaged + e.what();
  }
  if (auto differs = CompareCheckpoint(checkpoint, params, network_fingerprint, data_fingerprints,
                                       validation_fingerprints))
    return differs;
  if (checkpoint.gene_count != network.GetNumWeights(0))
    return damaged + "Gene count does not match the network";
  return std::nullopt;
}

// The largest magnitude among the inputs and expected outputs of `data`.
double LargestMagnitude(const Data& data) {
  std::vector<double> row(static_cast<std::size_t>(std::max(data.NumInputs(), data.NumOutputs())));
  double largest = 0.0;
  for (int r = 0; r < data.NumRows(); ++r) {
    data.GetInputRow(r, row.data());
    for (int i = 0; i < data.NumInputs(); ++i)
      largest = std::max(largest, std::fabs(row[static_cast<std::size_t>(i)]));
    data.GetOutputRow(r, row.data());
    for (int i = 0; i < data.NumOutputs(); ++i)
      largest = std::max(largest, std::fabs(row[static_cast<std::size_t>(i)]));
  }
  return largest;
}

// Whether every gene of the checkpoint lies within the bounds the trainer
// gives the genes of this run: the weight bounds widened to the starting
// weights, as floats.
bool WithinGeneBounds(const RunCheckpoint& checkpoint, const QuillParameters& params,
                      TMLPNetwork& network) {
  double maximum = params.MaxWeight;
  double minimum = params.MinWeight;
  TGenTrain::WidenBounds(network, maximum, minimum);
  const float high = static_cast<float>(maximum);
  const float low = static_cast<float>(minimum);
  auto within = [&](const std::vector<GeneCell>& values) {
    return std::all_of(values.begin(), values.end(), [&](const GeneCell& value) {
      const float v = value.AsReal();
      return v >= low && v <= high;
    });
  };
  return std::all_of(checkpoint.individuals.begin(), checkpoint.individuals.end(),
                     [&](const IndividualRecord& r) { return within(r.values); }) &&
         within(checkpoint.best.values) &&
         (!checkpoint.validation || within(checkpoint.validation->best.values));
}

}  // namespace

std::optional<std::string> PrepareRun(const QuillParameters& params,
                                      const std::string& parameter_file, FileTools& network_files,
                                      FileTools& data_files, RunPreparation& run) {
  if (params.EliteIndividuals < 0 || params.EliteIndividuals > params.PopulationSize)
    return std::string(kBadElite) + "\n";
  if (auto message = LoadRunInputs(params, network_files, data_files, run.inputs)) return message;
  auto fail = [](const std::string& message) { return std::optional<std::string>(message + "\n"); };
  // A run that cannot fit in memory is refused before it fills it.
  if (!FitsInMemory(RunMemoryNeed(params.PopulationSize, run.inputs.network->GetNumWeights(0)),
                    MemoryLimits::OfThisProcess()))
    return fail("Not enough memory for this run");

  // A long run: the fingerprints of its inputs, the checkpoint it resumes,
  // the files it will write. All of it is checked before anything is written.
  const bool long_run =
      !params.RunLog.empty() || !params.Checkpoint.empty() || !params.Resume.empty();
  if (long_run) {
    const auto network = quill::FileFingerprint(params.WeightFile);
    if (!network) return fail("Unable to open file" + params.WeightFile);
    run.network_fingerprint = *network;
    for (const std::string& name : params.DataFiles) {
      const auto data = quill::FileFingerprint(name);
      if (!data) return fail("Unable to load data file " + name);
      run.data_fingerprints.push_back(*data);
    }
    for (const std::string& name : params.ValidationFiles) {
      const auto data = quill::FileFingerprint(name);
      if (!data) return fail("Unable to load data file " + name);
      run.validation_fingerprints.push_back(*data);
    }
  }
  if (!params.Resume.empty()) {
    run.resume.emplace();
    if (auto message =
            LoadCheckpoint(params, *run.inputs.network, run.network_fingerprint,
                           run.data_fingerprints, run.validation_fingerprints, *run.resume))
      return fail(*message);
    if (!WithinGeneBounds(*run.resume, params, *run.inputs.network))
      return fail("Checkpoint file " + params.Resume + " is damaged: a gene beyond its bounds");
  }
  if (auto clash = SameFile(params, parameter_file)) return fail(*clash);
  // Resuming cuts the run log back to its length at the checkpoint: only
  // when the file is that run's log (or absent, or empty).
  if (run.resume && !params.RunLog.empty()) {
    std::vector<std::uint64_t> fingerprints = {run.network_fingerprint};
    fingerprints.insert(fingerprints.end(), run.data_fingerprints.begin(),
                        run.data_fingerprints.end());
    fingerprints.insert(fingerprints.end(), run.validation_fingerprints.begin(),
                        run.validation_fingerprints.end());
    if (auto why = RunLog::NotThisRunsLog(
            params.RunLog, RunLog::SeedComment(run.resume->seed, run.resume->seed_given),
            fingerprints)) {
      return fail("RunLog " + params.RunLog + " is not the log of the checkpoint's run (" + *why +
                  "): name another file or remove it");
    }
  }
  if (!params.RunLog.empty() && !CanCreate(params.RunLog))
    return fail("Unable to create run log " + params.RunLog);
  if (!params.Checkpoint.empty() && !CanCreate(params.Checkpoint))
    return fail("Unable to create checkpoint file " + params.Checkpoint);
  if (!CanReplace(params.DestinationFile))
    return fail("Unable to create destination file " + params.DestinationFile);
  return std::nullopt;
}

int RunQuill(const QuillParameters& params, const std::string& parameter_file) {
  // One FileTools for the data-set files, one for the network files.
  FileTools data_files;
  FileTools network_files;
  RunPreparation run;
  if (auto message = PrepareRun(params, parameter_file, network_files, data_files, run)) {
    std::cerr << *message << std::flush;
    return 1;
  }
  std::unique_ptr<TMLPNetwork>& PtrMLPCurrent = run.inputs.network;
  std::vector<std::unique_ptr<Data>>& data_sets = run.inputs.data_sets;
  std::vector<Data*> PtrDatSets = run.inputs.Pointers();
  std::optional<RunCheckpoint>& resume = run.resume;

  // Each file the run writes is its own for the whole run: a second run on
  // one of them is refused here, before it writes anything.
  quill::OutputLock locks[3];
  const std::pair<const char*, const std::string*> locked[] = {
      {"run log ", &params.RunLog},
      {"checkpoint file ", &params.Checkpoint},
      {"destination file ", &params.DestinationFile}};
  for (std::size_t k = 0; k < std::size(locked); ++k) {
    const std::string& name = *locked[k].second;
    if (!name.empty() && !locks[k].Acquire(name))
      return Fail(std::string("Another run is writing ") + locked[k].first + name);
  }
  // A run killed while it wrote its checkpoint or destination leaves the
  // temporary file of that write behind; the next run of the file removes it.
  std::vector<std::string> read = params.DataFiles;
  read.push_back(params.WeightFile);
  read.push_back(params.Resume);
  read.push_back(parameter_file);
  if (!params.Checkpoint.empty()) quill::AtomicFile::RemoveLeftovers(params.Checkpoint, read);
  quill::AtomicFile::RemoveLeftovers(params.DestinationFile, read);
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
    evaluator->SetOneThreadForLittleWork(!params.ThreadsGiven);
    evaluator->SetPrecision(params.SinglePrecision ? TRecallPlan::Precision::kSingle
                                                   : TRecallPlan::Precision::kDouble);
    PtrQuill->SetNetwork(PtrMLPCurrent.get());
    evaluator->SetData(params.DataClasses, PtrDatSets.data());
    if (params.SinglePrecision && !evaluator->MeasuresInSingle()) {
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
      std::size_t overflowed = errors.size();  // the first data set with no finite error
      for (std::size_t k = 0; k < errors.size(); ++k) {
        if (!std::isfinite(errors[k]) && overflowed == errors.size()) overflowed = k;
        sum += static_cast<float>(errors[k]);
      }
      const float mean = sum / static_cast<float>(params.DataClasses);
      std::cout << "0 ";
      PrintReal(static_cast<double>(mean));
      std::cout << std::endl;
      if (!std::isfinite(mean) && overflowed < PtrDatSets.size()) {
        std::cerr << "Warning: the starting error is not a finite number after data file "
                  << params.DataFiles[overflowed] << " (values up to "
                  << LargestMagnitude(*PtrDatSets[overflowed])
                  << "): squared errors overflow; scale the data or the weights" << std::endl;
      }
    }

    RunControl control(params, *PtrQuill, run.network_fingerprint, run.data_fingerprints);
    std::unique_ptr<ValidationWatch> validation;
    if (params.ValidationGiven) {
      validation = std::make_unique<ValidationWatch>(
          *PtrMLPCurrent, run.inputs.ValidationPointers(), PtrDatSets,
          evaluator->MeasuresInSingle() ? TRecallPlan::Precision::kSingle
                                        : TRecallPlan::Precision::kDouble);
      control.SetValidation(validation.get(), run.validation_fingerprints);
    }
    // The network the destination receives: with KeepBest = validation the
    // one with the lowest validation error, else `otherwise`.
    auto kept = [&](std::unique_ptr<TMLPNetwork> otherwise) {
      if (validation != nullptr && params.KeepBest == QuillParameters::kKeepValidation)
        return validation->BestNetwork(*PtrQuill->Evaluator());
      return otherwise;
    };
    // Named when no individual of a generation can be measured: the data
    // file holding the largest value.
    control.SetDataNote([&] {
      std::size_t largest = 0;
      double magnitude = 0.0;
      for (std::size_t k = 0; k < PtrDatSets.size(); ++k) {
        const double m = LargestMagnitude(*PtrDatSets[k]);
        if (m > magnitude) {
          magnitude = m;
          largest = k;
        }
      }
      std::ostringstream note;
      note << "data file " << params.DataFiles[largest] << " holds values up to " << magnitude;
      return note.str();
    });
    if (resume) {
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
      PtrQuill->Continue(working, resume->generation, params.DataClasses, PtrDatSets.data(),
                         params.Training());
    } else {
      PtrQuill->CreatePopulation(params.PopulationSize, seed);
      PtrQuill->Train(params.DataClasses, PtrDatSets.data(), params.Training());
    }
    if (control.Interrupted() != 0 || control.LogFailed()) {
      // The best network found so far, written as a finished run writes it.
      std::unique_ptr<TMLPNetwork> PtrMLPBest = kept(PtrQuill->GetBestSoFarNetwork());
      network_files.SaveNetwork(params.DestinationFile, *PtrMLPBest);
      if (control.Interrupted() != 0) {
        std::cerr << "Interrupted after generation " << control.StoppedAfter() << ": wrote ";
      } else {
        std::cerr << "Stopped after generation " << control.StoppedAfter()
                  << " as the run log cannot be written: wrote ";
      }
      if (control.CheckpointWritten()) std::cerr << "checkpoint " << params.Checkpoint << " and ";
      std::cerr << params.DestinationFile << std::endl;
      control.Summarize();
      return control.Interrupted() != 0 ? 128 + control.Interrupted() : 1;
    }
    std::unique_ptr<TMLPNetwork> PtrMLPBest = kept(PtrQuill->GetBestNetwork());
    network_files.SaveNetwork(params.DestinationFile, *PtrMLPBest);
    // A signal after the last generation was reported, while the run ended,
    // still ends the program as a signal does.
    if (const int signal = quill::InterruptSignal()) {
      std::cerr << "Interrupted after generation " << control.LastGeneration() << ": wrote "
                << params.DestinationFile << std::endl;
      control.Summarize();
      return 128 + signal;
    }
    control.Summarize();

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
