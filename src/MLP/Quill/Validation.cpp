#include "MLP/Quill/Validation.h"

#include <algorithm>
#include <cmath>

#include "DataObject/Data.h"
#include "GA-Apps/GenTrain/TGenTrainEval.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TRecallPlan.h"
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

// A network compiled for recall over data sets, with their targets in the
// order recall meets the rows: it measures a record in one recall, with the
// trainer's arithmetic. In double precision that is the error object's (the
// outputs are the object network's, bit for bit); in single precision the
// compiled recall's, each pattern's squares summed before the running sum.
class ValidationWatch::Meter {
 public:
  // Null when the network does not compile for these data sets. Single
  // precision falls back to double where it does not apply, as the trainer
  // does.
  static std::unique_ptr<Meter> Compile(const TMLPNetwork& network, const std::vector<Data*>& sets,
                                        TRecallPlan::Precision precision) {
    const int count = static_cast<int>(sets.size());
    auto plan =
        TRecallPlan::Compile(network, count, sets.data(), quill::simd::BestKernels(), precision);
    if (plan == nullptr && precision != TRecallPlan::Precision::kDouble)
      plan = TRecallPlan::Compile(network, count, sets.data(), quill::simd::BestKernels());
    if (plan == nullptr) return nullptr;
    auto meter = std::make_unique<Meter>();
    meter->workspace_ = plan->NewWorkspace();
    meter->plan_ = std::move(plan);
    meter->outputs_ = sets.front()->NumOutputs();
    for (Data* set : sets) {
      std::vector<double> inputs(static_cast<std::size_t>(std::max(1, set->NumInputs())));
      std::vector<double> targets(static_cast<std::size_t>(meter->outputs_));
      set->Rewind();
      for (int r = 0; r < set->NumDataRows(); ++r) {
        set->GetNextRow(inputs.data(), targets.data(), nullptr);
        meter->targets_.insert(meter->targets_.end(), targets.begin(), targets.end());
      }
      meter->set_rows_.push_back(set->NumDataRows());
    }
    return meter;
  }

  NetworkMeasure Measure(const IndividualRecord& record, bool count_hits) {
    plan_->LoadWeights(*workspace_, [&](std::size_t k) {
      return k < record.values.size() ? static_cast<double>(record.values[k].AsReal()) : 0.0;
    });
    const std::vector<double> outputs = plan_->RecallAll(*workspace_);
    const std::size_t n = static_cast<std::size_t>(outputs_);
    const bool single = plan_->GetPrecision() == TRecallPlan::Precision::kSingle;
    // One error object over the data sets in order, the error after each.
    double sum = 0.0;
    double total = 0.0;
    std::int64_t seen = 0;
    std::int64_t hits = 0;
    std::size_t at = 0;
    for (int rows : set_rows_) {
      for (int r = 0; r < rows; ++r, at += n) {
        const double* y = outputs.data() + at;
        const double* t = targets_.data() + at;
        double squares = 0.0;
        for (std::size_t o = 0; o < n; ++o) {
          const double d = t[o] - y[o];
          if (single) {
            squares += d * d;
          } else {
            sum += d * d;
          }
        }
        if (single) sum += squares;
        ++seen;
        if (count_hits && std::max_element(y, y + n) - y == std::max_element(t, t + n) - t) ++hits;
      }
      total += std::sqrt((sum / outputs_) / static_cast<double>(seen));
    }
    NetworkMeasure measure;
    measure.error = total / static_cast<double>(set_rows_.size());
    if (count_hits && seen > 0)
      measure.accuracy = static_cast<double>(hits) / static_cast<double>(seen);
    return measure;
  }

 private:
  std::unique_ptr<TRecallPlan> plan_;
  std::unique_ptr<TRecallPlan::Workspace> workspace_;
  int outputs_ = 0;
  std::vector<double> targets_;
  std::vector<int> set_rows_;
};

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
                                 std::vector<Data*> training, TRecallPlan::Precision precision)
    : start_(std::make_unique<TMLPNetwork>(network)),
      network_(std::make_unique<TMLPNetwork>(network)),
      validation_sets_(std::move(validation)),
      training_sets_(std::move(training)) {
  std::vector<Data*> all = validation_sets_;
  all.insert(all.end(), training_sets_.begin(), training_sets_.end());
  one_hot_ = OneHotTargets(all);
  // Every data set must hold a row for the error to be defined; the object
  // network measures otherwise, as the trainer would.
  const bool rows =
      std::all_of(all.begin(), all.end(), [](Data* d) { return d->NumDataRows() > 0; });
  if (rows) {
    validation_meter_ = Meter::Compile(*network_, validation_sets_, precision);
    if (one_hot_) training_meter_ = Meter::Compile(*network_, training_sets_, precision);
  }
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
  if (validation_meter_ == nullptr || (one_hot_ && training_meter_ == nullptr))
    eval.LoadWeights(*network_, record);
  validation_ = validation_meter_ != nullptr
                    ? validation_meter_->Measure(record, one_hot_)
                    : MeasureNetwork(*network_, validation_sets_, one_hot_);
  if (one_hot_ &&
      (std::isnan(training_accuracy_) || !SameGenes(record.values, training_measured_for_))) {
    training_accuracy_ = training_meter_ != nullptr
                             ? training_meter_->Measure(record, true).accuracy
                             : MeasureNetwork(*network_, training_sets_, true).accuracy;
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
