#include "InMemoryTraining.h"

#include <atomic>
#include <cmath>
#include <iostream>
#include <limits>
#include <streambuf>
#include <thread>

#include "DataObject/Data.h"
#include "GA-Apps/GenTrain/TGenTrain.h"
#include "MLP/Quill/TQuill.h"
#include "MLP/Quill/TQuillEval.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Clock.h"

namespace quill::python {

namespace {

// Discards what is written to it.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Sends standard output's C++ stream (the trainer's progress lines) nowhere
// while it lives.
class QuietOutput {
 public:
  explicit QuietOutput(bool quiet) : previous_(quiet ? std::cout.rdbuf(&null_) : nullptr) {}
  ~QuietOutput() {
    if (previous_ != nullptr) std::cout.rdbuf(previous_);
  }
  QuietOutput(const QuietOutput&) = delete;
  QuietOutput& operator=(const QuietOutput&) = delete;

 private:
  NullBuffer null_;
  std::streambuf* previous_;
};

std::vector<Data*> Pointers(const std::vector<std::unique_ptr<Data>>& sets) {
  std::vector<Data*> pointers;
  for (const auto& data : sets)
    pointers.push_back(data.get());
  return pointers;
}

// True when every trainable weight fits a float gene.
bool WeightsFitGenes(TMLPNetwork& network) {
  const int n = network.GetNumWeights(0);
  std::vector<double> weights(static_cast<std::size_t>(n > 0 ? n : 0));
  network.GetWeights(weights.data(), 0);
  for (double weight : weights) {
    if (!(std::fabs(weight) <= static_cast<double>(std::numeric_limits<float>::max())))
      return false;
  }
  return true;
}

// Measures the best network so far on the validation data after each
// generation and keeps the network with the lowest validation error.
class ValidationWatch {
 public:
  ValidationWatch(const TMLPNetwork& start, std::vector<Data*> data)
      : data_(std::move(data)), network_(std::make_unique<TMLPNetwork>(start)) {
    if (!data_.empty()) {
      best_error_ = MeanError(*network_, data_);
      best_network_ = std::make_unique<TMLPNetwork>(*network_);
    }
  }

  bool Active() const { return !data_.empty(); }
  double BestError() const { return best_error_; }

  // The validation error of the trainer's best record so far, measured again
  // only when that record changed; true when it is the lowest yet.
  bool Measure(TGenTrain& trainer, double& error) {
    const TGenTrainEval& eval = *trainer.Evaluator();
    if (eval.BestSoFar().values.empty()) {
      error = last_error_;
      return false;
    }
    if (eval.BestSoFarError() != measured_for_) {
      measured_for_ = eval.BestSoFarError();
      trainer.Evaluator()->LoadWeights(*network_, eval.BestSoFar());
      last_error_ = MeanError(*network_, data_);
    }
    error = last_error_;
    if (!(last_error_ < best_error_)) return false;
    best_error_ = last_error_;
    *best_network_ = *network_;
    return true;
  }

  std::unique_ptr<TMLPNetwork> TakeBest() { return std::move(best_network_); }

 private:
  std::vector<Data*> data_;
  std::unique_ptr<TMLPNetwork> network_;
  std::unique_ptr<TMLPNetwork> best_network_;
  double best_error_ = std::numeric_limits<double>::infinity();
  double last_error_ = std::numeric_limits<double>::quiet_NaN();
  double measured_for_ = std::numeric_limits<double>::quiet_NaN();
};

}  // namespace

namespace {

std::mutex generator_mutex;
// The thread holding generator_mutex (none: a default id).
std::atomic<std::thread::id> generator_owner;

}  // namespace

void GeneratorLock::CheckNotHeld() {
  if (generator_owner.load() == std::this_thread::get_id())
    throw InputError(
        "a training is running in this thread: quill cannot train or draw weights "
        "from its callback");
}

GeneratorLock::GeneratorLock() {
  CheckNotHeld();
  lock_ = std::unique_lock<std::mutex>(generator_mutex);
  generator_owner.store(std::this_thread::get_id());
}

GeneratorLock::~GeneratorLock() {
  generator_owner.store(std::thread::id());
}

double MeanError(TMLPNetwork& network, const std::vector<Data*>& data) {
  TErrorRMSObj error(data[0]->NumOutputs());
  double sum = 0.0;
  for (Data* set : data)
    sum += network.GetError(set, &error);
  return sum / static_cast<double>(data.size());
}

TrainOutcome TrainInMemory(const TMLPNetwork& start, TrainRequest& request) {
  const QuillParameters& params = request.params;
  if (params.EliteIndividuals < 0 || params.EliteIndividuals > params.PopulationSize)
    throw InputError("EliteIndividuals invalid");
  auto network = std::make_unique<TMLPNetwork>(start);
  if (!WeightsFitGenes(*network))
    throw InputError("Weight beyond the float range in the starting network");
  if (params.FeaturesGiven) {
    const int count = static_cast<int>(params.Features.size());
    for (auto* sets : {&request.data, &request.validation}) {
      for (const auto& data : *sets) {
        if (!data->AreValidInputFeatures(count, params.Features.data()))
          throw InputError("Invalid feature for data set: the columns count from 0 to " +
                           std::to_string(data->NumInputs() - 1));
        data->SetInputFeatures(count, params.Features.data());
      }
    }
  }
  std::vector<Data*> data = Pointers(request.data);
  const std::uint32_t seed = params.SeedGiven
                                 ? static_cast<std::uint32_t>(params.Seed)
                                 : static_cast<std::uint32_t>(quill::CurrentTimeSeconds());
  QuietOutput quiet(!request.verbose);

  TrainOutcome outcome;
  // The starting error: each data set's value rounded to float and summed in
  // float, as the program's line 0.
  {
    TErrorRMSObj start_error(data[0]->NumOutputs());
    float sum = 0.0f;
    for (Data* set : data)
      sum += static_cast<float>(network->GetError(set, &start_error));
    outcome.starting_error = static_cast<double>(sum / static_cast<float>(params.DataClasses));
    if (request.verbose) std::cout << "0 " << outcome.starting_error << std::endl;
  }
  ValidationWatch watch(*network, Pointers(request.validation));
  outcome.starting_validation_error = watch.Active() ? watch.BestError() : outcome.starting_error;
  if (!watch.Active()) outcome.starting_validation_error = std::nan("");

  TQuill trainer;
  trainer.Evaluator()->SetWeightBounds(static_cast<double>(params.MaxWeight),
                                       static_cast<double>(params.MinWeight));
  trainer.Evaluator()->SetThreads(params.Threads);
  // As in the program: without a thread count, a generation of little work
  // stays on one thread.
  static_cast<TQuillEval*>(trainer.Evaluator())->SetOneThreadForLittleWork(!params.ThreadsGiven);
  // Precision = single: the generations are measured in float32 as the
  // program measures them (the starting error above stays the object
  // network's, in double).
  static_cast<TQuillEval*>(trainer.Evaluator())
      ->SetPrecision(params.SinglePrecision ? TRecallPlan::Precision::kSingle
                                            : TRecallPlan::Precision::kDouble);
  trainer.SetNetwork(network.get());

  const double started = quill::SteadySeconds();
  double watched_best = watch.Active() ? watch.BestError() : outcome.starting_error;
  std::int32_t since_improved = 0;
  std::int32_t best_generation = 0;
  trainer.SetGenerationHook([&](std::int32_t generation, bool last) {
    const TGenTrainReport& report = *trainer.Reporter();
    GenerationRecord record;
    record.generation = generation;
    record.lowest_error = report.MbrDblLowestError;
    record.best_fitness = report.MbrFltLowestErrorFitness;
    record.mean_fitness = report.MbrStatistics.mean_fitness;
    record.worst_fitness = report.MbrStatistics.worst_fitness;
    record.seconds = quill::SteadySeconds() - started;
    double watched = record.lowest_error;
    if (watch.Active()) {
      if (watch.Measure(trainer, record.validation_error)) best_generation = generation;
      watched = record.validation_error;
    }
    if (watched < watched_best) {
      watched_best = watched;
      since_improved = 0;
    } else {
      ++since_improved;
    }
    outcome.history.push_back(record);
    // The observer sees every generation, the last one too.
    const bool observer_stops = request.observer && request.observer(record);
    if (last) return false;
    const char* stop = nullptr;
    if (request.interrupted != nullptr && *request.interrupted != 0) {
      stop = "interrupted";
    } else if (observer_stops) {
      stop = "callback";
    } else if (params.TargetErrorGiven && record.lowest_error <= params.TargetError) {
      stop = "target_error";
    } else if (params.TimeLimitGiven && record.seconds >= params.TimeLimit) {
      stop = "time_limit";
    } else if (request.patience > 0 && since_improved >= request.patience) {
      stop = "patience";
    }
    if (stop == nullptr) return false;
    outcome.stopped = stop;
    return true;
  });
  trainer.CreatePopulation(params.PopulationSize, seed);
  trainer.Train(params.DataClasses, data.data(), params.Training());

  const std::int32_t last_generation =
      outcome.history.empty() ? 0 : outcome.history.back().generation;
  if (outcome.stopped == "generations" && last_generation < params.Generations)
    outcome.stopped = "perfect";
  if (watch.Active()) {
    outcome.network = watch.TakeBest();
    outcome.best_generation = best_generation;
  } else if (outcome.stopped == "interrupted") {
    outcome.network = trainer.GetBestSoFarNetwork();
    outcome.best_generation = last_generation;
  } else {
    outcome.network = trainer.GetBestNetwork();
    outcome.best_generation = last_generation;
  }
  return outcome;
}

}  // namespace quill::python
