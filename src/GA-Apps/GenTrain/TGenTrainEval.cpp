#include "GA-Apps/GenTrain/TGenTrainEval.h"

#include <cfloat>
#include <cmath>

#include "GA-Apps/GenTrain/TGenTrainReport.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Assert.h"
#include "common/Random.h"

namespace {
constexpr const char* kSourceUnit = "GA-Apps/GenTrain/TGenTrainEval";
}

TGenTrainEval::TGenTrainEval(TGenTrainReport* reporter) : MbrPtrRptReporter(reporter) {}

TGenTrainEval::~TGenTrainEval() = default;

void TGenTrainEval::Clear() {}

void TGenTrainEval::SetData(std::int32_t count, Data* const* data_sets) {
  MbrNdxDataSets = count;
  MbrDyaPtrDatSets.assign(data_sets, data_sets + (count > 0 ? count : 0));
}

void TGenTrainEval::ReleaseNetwork() {
  MbrPtrMLPWorking.reset();
  MbrGeneSpecs = GeneSpecList{};
}

float TGenTrainEval::FitnessOf(double error) {
  if (error == 0.0) return 2147483648.0f;
  return static_cast<float>(1.0 / error);
}

float TGenTrainEval::BoundedFitness(float fitness) {
  // NaN fails the first test, so it lands on FLT_MIN like 0 and negatives.
  if (!(fitness > 0.0f)) return FLT_MIN;
  if (fitness > kFitnessCeiling) return kFitnessCeiling;
  return fitness;
}

std::vector<float> TGenTrainEval::Evaluate(std::int32_t /*gene_count*/,
                                           std::int32_t individual_count,
                                           const std::vector<IndividualRecord>& records) {
  QUILL_ASSERT(MbrPtrRptReporter != 0);
  const std::size_t count = individual_count > 0 ? static_cast<std::size_t>(individual_count) : 0;
  QUILL_ASSERT(records.size() >= count);
  std::vector<float> results(count, 0.0f);
  double lowest_error = kNoError;
  float lowest_fitness = 0.0f;
  for (std::size_t i = 0; i < count; ++i) {
    const IndividualRecord& record = records[i];
    if (IsValid(record)) {
      double error = 0.0;
      const float fitness = BoundedFitness(EvaluateRecord(record, error));
      results[i] = fitness;
      // Strictly lower only: ties keep the earlier record, and a NaN error
      // is never lower.
      if (error < lowest_error) {
        lowest_error = error;
        lowest_fitness = fitness;
      }
    } else {
      const int r = quill::Rand();
      results[i] = BoundedFitness(
          static_cast<float>(0.0 + static_cast<double>(r) * (1.0 / 32767) * (0.5 - 0.0)));
    }
  }
  MbrPtrRptReporter->MbrDblLowestError = lowest_error;
  MbrPtrRptReporter->MbrFltLowestErrorFitness = lowest_fitness;
  return results;
}
