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

void TGenTrainEval::Clear() {
  MbrBestSoFar = IndividualRecord{};
  MbrDblBestSoFarError = kNoError;
}

void TGenTrainEval::SetData(std::int32_t count, Data* const* data_sets) {
  MbrNdxDataSets = count;
  MbrDyaPtrDatSets.assign(data_sets, data_sets + (count > 0 ? count : 0));
  DataChanged();
}

void TGenTrainEval::ReleaseNetwork() {
  MbrPtrMLPWorking.reset();
  MbrGeneSpecs = GeneSpecList{};
  DataChanged();
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
  std::size_t lowest = count;
  // Strictly lower only: ties keep the earlier record, and a NaN error is
  // never lower.
  auto consider = [&](std::size_t i, double error, float fitness) {
    if (error < lowest_error) {
      lowest_error = error;
      lowest_fitness = fitness;
      lowest = i;
    }
  };
  if (MeasuresInBatches()) {
    // Measuring draws nothing, so drawing the invalid records' fitness first
    // keeps the draws in their order.
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < count; ++i) {
      if (IsValid(records[i])) {
        positions.push_back(i);
      } else {
        results[i] = RandomFitness();
      }
    }
    std::vector<double> errors(count, 0.0);
    std::vector<float> fitness(count, 0.0f);
    MeasureRecords(records, positions, errors, fitness);
    for (std::size_t i : positions) {
      results[i] = BoundedFitness(fitness[i]);
      consider(i, errors[i], results[i]);
    }
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      const IndividualRecord& record = records[i];
      if (IsValid(record)) {
        double error = 0.0;
        results[i] = BoundedFitness(EvaluateRecord(record, error));
        consider(i, error, results[i]);
      } else {
        results[i] = RandomFitness();
      }
    }
  }
  MbrPtrRptReporter->MbrDblLowestError = lowest_error;
  MbrPtrRptReporter->MbrFltLowestErrorFitness = lowest_fitness;
  if (lowest < count) {
    MbrGenerationBest = records[lowest];
    MbrGenerationBest.fitness = lowest_fitness;
  } else {
    MbrGenerationBest = IndividualRecord{};
  }
  if (lowest < count && lowest_error < MbrDblBestSoFarError) {
    MbrBestSoFar = records[lowest];
    MbrBestSoFar.fitness = lowest_fitness;
    MbrDblBestSoFarError = lowest_error;
  }
  return results;
}

void TGenTrainEval::MeasureRecords(const std::vector<IndividualRecord>& records,
                                   const std::vector<std::size_t>& positions,
                                   std::vector<double>& errors, std::vector<float>& fitness) {
  for (std::size_t i : positions)
    fitness[i] = EvaluateRecord(records[i], errors[i]);
}

void TGenTrainEval::SetThreads(int /*threads*/) {}

float TGenTrainEval::RandomFitness() {
  const int r = quill::Rand();
  return BoundedFitness(
      static_cast<float>(0.0 + static_cast<double>(r) * (1.0 / 32767) * (0.5 - 0.0)));
}
