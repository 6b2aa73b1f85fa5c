// The fitness rules of the trainer's evaluator, with a scripted evaluator
// whose records carry their own error and fitness.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "Bramble/Codes.h"
#include "Bramble/DeathCap.h"
#include "GA-Apps/GenTrain/TGenTrainEval.h"
#include "GA-Apps/GenTrain/TGenTrainReport.h"
#include "common/Random.h"

namespace {

// Each record's identifier indexes the scripted error; the fitness is the
// evaluator's own rule unless a fitness was scripted too. Records with a
// negative identifier are invalid.
class ScriptedEval : public TGenTrainEval {
 public:
  explicit ScriptedEval(TGenTrainReport* reporter) : TGenTrainEval(reporter) {}

  bool IsValid(const IndividualRecord& record) override { return record.identifier >= 0; }
  void SetNetwork(const TMLPNetwork&) override {}
  void CloneNetwork(const TMLPNetwork&, std::unique_ptr<TMLPNetwork>&) override {}
  PopulationImage MakeSeed(TMLPNetwork&, std::int32_t) override { return {}; }
  void LoadWeights(TMLPNetwork&, const IndividualRecord&) override {}
  void DefineGenes() override {}
  float EvaluateRecord(const IndividualRecord& record, double& error) override {
    const std::size_t i = static_cast<std::size_t>(record.identifier) % errors.size();
    error = errors[i];
    return i < fitness.size() ? fitness[i] : FitnessOf(error);
  }

  std::vector<double> errors;
  std::vector<float> fitness;
};

std::vector<IndividualRecord> Records(std::vector<int> identifiers) {
  std::vector<IndividualRecord> records(identifiers.size());
  for (std::size_t i = 0; i < identifiers.size(); ++i)
    records[i].identifier = identifiers[i];
  return records;
}

std::vector<float> EvaluateAll(ScriptedEval& eval, std::vector<int> identifiers) {
  const auto records = Records(identifiers);
  return eval.Evaluate(0, static_cast<std::int32_t>(records.size()), records);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(GenTrainEval, FitnessIsTheReciprocalOfTheError) {
  TGenTrainReport report;
  ScriptedEval eval(&report);
  eval.errors = {0.5, 0.25, 0.0, 3.0};
  const auto f = EvaluateAll(eval, {0, 1, 2, 3});
  EXPECT_EQ(f, (std::vector<float>{2.0f, 4.0f, 2147483648.0f, static_cast<float>(1.0 / 3.0)}));
  // A perfect network is the lowest error.
  EXPECT_EQ(report.MbrDblLowestError, 0.0);
  EXPECT_EQ(report.MbrFltLowestErrorFitness, 2147483648.0f);

  // Equal lowest errors: the earlier record is reported (told apart by a
  // scripted fitness).
  eval.errors = {0.5, 0.25, 0.25};
  eval.fitness = {2.0f, 4.0f, 5.0f};
  EvaluateAll(eval, {0, 1, 2});
  EXPECT_EQ(report.MbrDblLowestError, 0.25);
  EXPECT_EQ(report.MbrFltLowestErrorFitness, 4.0f);
}

TEST(GenTrainEval, NoErrorBelowTheStartReportsItAndZero) {
  TGenTrainReport report;
  ScriptedEval eval(&report);
  eval.errors = {2147483647.0, 1e12, kInf, kNaN};
  const auto f = EvaluateAll(eval, {0, 1, 2, 3});
  EXPECT_EQ(report.MbrDblLowestError, 2147483647.0);
  EXPECT_EQ(report.MbrFltLowestErrorFitness, 0.0f);
  EXPECT_EQ(f[0], static_cast<float>(1.0 / 2147483647.0));
  EXPECT_EQ(f[1], 1e-12f);
  EXPECT_EQ(f[2], FLT_MIN);
  EXPECT_EQ(f[3], FLT_MIN);
}

TEST(GenTrainEval, UnusableErrorsGetASmallPositiveFitness) {
  TGenTrainReport report;
  ScriptedEval eval(&report);
  // NaN, infinite, negative, and so large that 1 / error is 0 as a float;
  // 1e40 still has a (subnormal) reciprocal and keeps it.
  eval.errors = {kNaN, kInf, -kInf, -2.0, 1e300, 1e46, 1e40};
  const auto f = EvaluateAll(eval, {0, 1, 2, 3, 4, 5, 6});
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(f[static_cast<std::size_t>(i)], FLT_MIN) << i;
  EXPECT_EQ(f[6], static_cast<float>(1e-40));
  EXPECT_GT(f[6], 0.0f);
}

TEST(GenTrainEval, TinyErrorsAreHeldAtTheCeiling) {
  TGenTrainReport report;
  ScriptedEval eval(&report);
  // 1 / 1e-40 overflows a float; 1e-30 gives 1e30, above 2^96 (7.9e28).
  eval.errors = {1e-40, 1e-30, 1e-20};
  const auto f = EvaluateAll(eval, {0, 1, 2});
  EXPECT_EQ(f[0], 0x1p96f);
  EXPECT_EQ(f[1], 0x1p96f);
  EXPECT_EQ(f[2], 1e20f);
  EXPECT_EQ(report.MbrDblLowestError, 1e-40);
  EXPECT_EQ(report.MbrFltLowestErrorFitness, 0x1p96f);
  // A derived evaluator's own out-of-range fitness is bounded too.
  eval.fitness = {std::numeric_limits<float>::infinity(), -1.0f, 0.0f};
  EXPECT_EQ(EvaluateAll(eval, {0, 1, 2}), (std::vector<float>{0x1p96f, FLT_MIN, FLT_MIN}));
}

TEST(GenTrainEval, InvalidRecordsDrawARandomFitness) {
  TGenTrainReport report;
  ScriptedEval eval(&report);
  eval.errors = {0.5};
  quill::SeedRand(7);
  const auto f = EvaluateAll(eval, {-1, 0, -1});
  quill::SeedRand(7);
  const double r1 = quill::Rand(), r2 = quill::Rand();
  EXPECT_EQ(f[0], static_cast<float>(r1 * (1.0 / 32767) * 0.5));
  EXPECT_EQ(f[1], 2.0f);
  EXPECT_EQ(f[2], static_cast<float>(r2 * (1.0 / 32767) * 0.5));
  EXPECT_LE(f[0], 0.5f);
  EXPECT_EQ(report.MbrDblLowestError, 0.5);
}

// A whole population whose every error is unusable still breeds under the
// roulette wheel, with and without normalisation.
TEST(GenTrainEval, AllUnusableErrorsStillBreed) {
  for (int normalise : {0, 1}) {
    TGenTrainReport report;
    ScriptedEval eval(&report);
    eval.errors = {kNaN, kInf, 1e300};
    GeneSpecList genome;
    genome.count = 2;
    genome.entries.resize(2);
    for (GeneSpec& gene : genome.entries) {
      gene.type = GENE_REAL;
      gene.maximum.SetReal(1.0f);
      gene.minimum.SetReal(-1.0f);
    }
    DeathCap engine(&eval, &report);
    engine.CreatePopulation(genome, 6);
    engine.Randomize();
    testing::internal::CaptureStdout();
    engine.Run({4, 2147483648.0f, 1, 1, 0.1f, SELECT_ROULETTE, normalise});
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "1 2.14748e+09 0 \n2 2.14748e+09 0 \n3 2.14748e+09 0 \n4 2.14748e+09 0 \n");
    EXPECT_EQ(engine.Working()->Size(), 6);
  }
}

}  // namespace
