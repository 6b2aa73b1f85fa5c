// Validation: how the network a run would keep does on rows it never trains
// on, measured after every generation, and the early stop that follows it.
//
// After each generation the watch loads the generation's best record (the
// one whose error the progress line prints) into a copy of the network and
// measures it on the validation data sets with the trainer's error: one RMS
// error object over the data sets in class order, the cumulative error after
// each one averaged over them. When the targets are one-hot it also counts
// the rows whose largest output is the target's hot one, on the validation
// rows and on the training rows. That is one recall of one network over the
// validation rows per generation, and one over the training rows in the
// generations whose best record differs from the last one measured (with
// elites the best of one generation is mostly the best of the next).
//
// The watch remembers the lowest validation error seen, the generation it
// was met in and that generation's best record: the run writes it with
// KeepBest = validation and stops on it with Patience.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Bramble/Eval.h"
#include "NeuralNets/TRecallPlan.h"

class Data;
class TGenTrainEval;
class TMLPNetwork;

// A network's error over data sets, and its accuracy (the share of rows
// whose largest output is the target's largest value) or NaN where the
// targets are not one-hot.
struct NetworkMeasure {
  double error = std::numeric_limits<double>::quiet_NaN();
  double accuracy = std::numeric_limits<double>::quiet_NaN();
};

// Whether every row of every data set has a one-hot target: at least two
// outputs, each 0 or 1, exactly one of them 1.
bool OneHotTargets(const std::vector<Data*>& sets);

// The trainer's error of `network` over `sets` (in order, one error object
// over all), and its accuracy when `count_hits` is set. REQUIRES: sets
// non-empty, fitting the network.
NetworkMeasure MeasureNetwork(TMLPNetwork& network, const std::vector<Data*>& sets,
                              bool count_hits);

// What a checkpoint keeps of a watch: the lowest validation error so far,
// the generation it was met in (0: none yet) and that generation's best
// record.
struct ValidationBest {
  double error = std::numeric_limits<double>::infinity();
  std::int32_t generation = 0;
  IndividualRecord record;
};

class ValidationWatch {
 public:
  // `network` is the run's starting network (copied); the data sets are not
  // owned and must outlive the watch. `precision` is the trainer's: the
  // records are measured as it measures them.
  ValidationWatch(const TMLPNetwork& network, std::vector<Data*> validation,
                  std::vector<Data*> training,
                  TRecallPlan::Precision precision = TRecallPlan::Precision::kDouble);
  ~ValidationWatch();
  ValidationWatch(const ValidationWatch&) = delete;
  ValidationWatch& operator=(const ValidationWatch&) = delete;

  // Measures the evaluator's generation best after `generation`. True when
  // its validation error is the lowest yet.
  bool Measure(std::int32_t generation, TGenTrainEval& eval);

  // The last generation's measures.
  const NetworkMeasure& Validation() const { return validation_; }
  double TrainingAccuracy() const { return training_accuracy_; }
  // The run log's extra columns for the last generation, each after a comma:
  // the validation error, the training and the validation accuracy (empty
  // where they do not apply).
  std::string LogColumns() const;
  // The extra columns' header names, each after a comma.
  static constexpr const char* kLogHeader =
      ",validation_error,training_accuracy,validation_accuracy";

  const ValidationBest& Best() const { return best_; }
  void Restore(ValidationBest best) { best_ = std::move(best); }
  // The network that met the lowest validation error (the starting network
  // before any generation).
  std::unique_ptr<TMLPNetwork> BestNetwork(TGenTrainEval& eval) const;

 private:
  std::unique_ptr<TMLPNetwork> start_;
  std::unique_ptr<TMLPNetwork> network_;  // the copy records are loaded into
  std::vector<Data*> validation_sets_;
  std::vector<Data*> training_sets_;
  bool one_hot_ = false;
  NetworkMeasure validation_;
  double training_accuracy_ = std::numeric_limits<double>::quiet_NaN();
  std::vector<GeneCell> training_measured_for_;  // the genes of the last record measured on them
  ValidationBest best_;
  // The compiled recall over the validation and the training sets (null
  // where the network does not compile: the object network measures then).
  class Meter;
  std::unique_ptr<Meter> validation_meter_;
  std::unique_ptr<Meter> training_meter_;
};
