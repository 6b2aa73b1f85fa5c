#include "MLP/Quill/Validation.h"

#include <algorithm>
#include <cmath>

#include "DataObject/Data.h"
#include "GA-Apps/GenTrain/TGenTrainEval.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/NumberText.h"

namespace {

// The trainer's RMS error that also counts the rows whose largest output
// (the first of equal ones) is where the target holds its largest value.
class CountingRMSObj : public TErrorRMSObj {
 public:
  explicit CountingRMSObj(int outputs) : TErrorRMSObj(outputs) {}

  void Add(const double* target, const double* output) override {
    TErrorRMSObj::Add(target, output);
    const int guessed = static_cast<int>(std::max_element(output, output + numOutputs) - output);
    const int expected = static_cast<int>(std::max_element(target, target + numOutputs) - target);
    if (guessed == expected) ++hits;
  }

  std::int64_t hits = 0;
};

bool SameGenes(const std::vector<GeneCell>& a, const std::vector<GeneCell>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const GeneCell& x, const GeneCell& y) { return x.Bits() == y.Bits(); });
}

// A share in [0, 1] as the run log writes it, or nothing for NaN.
std::string Share(double value) {
  return std::isnan(value) ? std::string() : quill::ShortestText(value);
}

}  // namespace

bool OneHotTargets(const std::vector<Data*>& sets) {
  if (sets.empty() || sets.front()->NumOutputs() < 2) return false;
  std::vector<double> row(static_cast<std::size_t>(sets.front()->NumOutputs()));
  for (const Data* set : sets) {
    if (set->NumOutputs() != static_cast<int>(row.size())) return false;
    for (int r = 0; r < set->NumDataRows(); ++r) {
      set->GetOutputRow(r, row.data());
      if (std::count(row.begin(), row.end(), 1.0) != 1 ||
          std::count(row.begin(), row.end(), 0.0) != static_cast<std::ptrdiff_t>(row.size()) - 1)
        return false;
    }
  }
  return true;
}

NetworkMeasure MeasureNetwork(TMLPNetwork& network, const std::vector<Data*>& sets,
                              bool count_hits) {
  CountingRMSObj error(sets.front()->NumOutputs());
  double sum = 0.0;
  std::int64_t rows = 0;
  for (Data* set : sets) {
    sum += network.GetError(set, &error);
    rows += set->NumDataRows();
  }
  NetworkMeasure measure;
  measure.error = sum / static_cast<double>(sets.size());
  if (count_hits && rows > 0)
    measure.accuracy = static_cast<double>(error.hits) / static_cast<double>(rows);
  return measure;
}

ValidationWatch::ValidationWatch(const TMLPNetwork& network, std::vector<Data*> validation,
                                 std::vector<Data*> training)
    : start_(std::make_unique<TMLPNetwork>(network)),
      network_(std::make_unique<TMLPNetwork>(network)),
      validation_sets_(std::move(validation)),
      training_sets_(std::move(training)) {
  std::vector<Data*> all = validation_sets_;
  all.insert(all.end(), training_sets_.begin(), training_sets_.end());
  one_hot_ = OneHotTargets(all);
}

ValidationWatch::~ValidationWatch() = default;

bool ValidationWatch::Measure(std::int32_t generation, TGenTrainEval& eval) {
  const IndividualRecord& record = eval.GenerationBest();
  if (record.values.empty()) {
    // No record of the generation could be measured.
    validation_ = NetworkMeasure{};
    training_accuracy_ = std::numeric_limits<double>::quiet_NaN();
    return false;
  }
  eval.LoadWeights(*network_, record);
  validation_ = MeasureNetwork(*network_, validation_sets_, one_hot_);
  if (one_hot_ &&
      (std::isnan(training_accuracy_) || !SameGenes(record.values, training_measured_for_))) {
    training_accuracy_ = MeasureNetwork(*network_, training_sets_, true).accuracy;
    training_measured_for_ = record.values;
  }
  // NaN never counts as lower.
  if (!(validation_.error < best_.error)) return false;
  best_.error = validation_.error;
  best_.generation = generation;
  best_.record = record;
  return true;
}

std::string ValidationWatch::LogColumns() const {
  const bool measured = !std::isnan(validation_.error);
  return "," + (measured ? quill::ShortestText(validation_.error) : std::string()) + "," +
         (measured ? Share(training_accuracy_) : std::string()) + "," + Share(validation_.accuracy);
}

std::unique_ptr<TMLPNetwork> ValidationWatch::BestNetwork(TGenTrainEval& eval) const {
  auto network = std::make_unique<TMLPNetwork>(*start_);
  if (!best_.record.values.empty()) eval.LoadWeights(*network, best_.record);
  return network;
}
