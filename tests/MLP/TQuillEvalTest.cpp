// The Quill evaluator: seeds, genes, weight loading and the mean RMS error of
// a record over several data sets, on networks small enough to work by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "Bramble/Codes.h"
#include "CountingAllocator.h"
#include "DataObject/Data.h"
#include "GA-Apps/GenTrain/TGenTrainReport.h"
#include "MLP/Quill/TQuillEval.h"
#include "NeuralNets/TMLPNetwork.h"

namespace {

// One input, one sigmoid output, no bias: one weight.
std::unique_ptr<TMLPNetwork> OneToOne(double w) {
  const int sizes[] = {1, 1};
  auto net = std::make_unique<TMLPNetwork>(2, sizes, false);
  net->SetWeights(&w, 0);
  return net;
}

IndividualRecord Record(std::vector<float> values) {
  IndividualRecord record;
  for (float v : values)
    record.values.push_back(GeneCell::FromReal(v));
  return record;
}

// Rows of one input and one target.
std::unique_ptr<Data> Rows(std::vector<std::pair<double, double>> rows) {
  auto d = std::make_unique<Data>(static_cast<int>(rows.size()), 1, 1, false);
  for (auto [x, t] : rows)
    d->AddRow(&x, &t, nullptr);
  return d;
}

TEST(QuillEval, SeedGenesAndWeights) {
  const int sizes[] = {2, 1};
  TMLPNetwork net(2, sizes, true);
  const double w[3] = {0.1, -0.2, 3.3};
  net.SetWeights(w, 0);
  TGenTrainReport report;
  TQuillEval eval(&report);
  eval.SetWeightBounds(4.0, -0.7);
  eval.SetNetwork(net);
  eval.DefineGenes();
  const GeneSpecList& genes = eval.GeneSpecs();
  ASSERT_EQ(genes.count, 3);
  ASSERT_EQ(genes.entries.size(), 3u);
  for (const GeneSpec& gene : genes.entries) {
    EXPECT_EQ(gene.type, GENE_REAL);
    EXPECT_EQ(gene.maximum.AsReal(), 4.0f);
    EXPECT_EQ(gene.minimum.AsReal(), -0.7f);
  }

  const PopulationImage seed = eval.MakeSeed(net, 7);
  EXPECT_EQ(seed.gene_count, 3);
  ASSERT_EQ(seed.individual_count, 1);
  const IndividualRecord& r = seed.records.at(0);
  EXPECT_EQ(r.identifier, 7);
  EXPECT_EQ(r.parent_one, 0);
  EXPECT_EQ(r.parent_two, 0);
  EXPECT_EQ(r.fitness, 0.0f);
  ASSERT_EQ(r.values.size(), 3u);
  EXPECT_EQ(r.values[0].AsReal(), 0.1f);
  EXPECT_EQ(r.values[1].AsReal(), -0.2f);
  EXPECT_EQ(r.values[2].AsReal(), 3.3f);

  // Loading widens the floats back to double.
  TMLPNetwork copy(net);
  eval.LoadWeights(copy, Record({0.5f, -1.25f, 0.1f}));
  double back[3];
  copy.GetWeights(back, 0);
  EXPECT_EQ(back[0], 0.5);
  EXPECT_EQ(back[1], -1.25);
  EXPECT_EQ(back[2], static_cast<double>(0.1f));
}

// With weight 0 the output is 0.5 for every input.
TEST(QuillEval, ErrorAccumulatesOverTheDataSets) {
  auto net = OneToOne(1.0);
  auto first = Rows({{1.0, 1.0}, {2.0, 0.0}});   // differences 0.5, 0.5
  auto second = Rows({{3.0, 0.5}, {4.0, 0.5}});  // differences 0, 0
  Data* sets[] = {first.get(), second.get()};
  TGenTrainReport report;
  TQuillEval eval(&report);
  eval.SetNetwork(*net);
  eval.SetData(2, sets);
  double error = 0.0;
  const float fitness = eval.EvaluateRecord(Record({0.0f}), error);
  // RMS of the first set: sqrt(0.5 / 2) = 0.5; of both together:
  // sqrt(0.5 / 4) = sqrt(0.125). The mean of the two:
  const double expected = (0.5 + std::sqrt(0.125)) / 2;
  EXPECT_EQ(error, expected);
  EXPECT_EQ(fitness, static_cast<float>(1.0 / expected));
  // The same record again gives the same error: nothing carries over.
  double again = 0.0;
  eval.EvaluateRecord(Record({0.0f}), again);
  EXPECT_EQ(again, expected);

  // A perfect record: targets 0.5 everywhere.
  auto flat = Rows({{1.0, 0.5}, {-2.0, 0.5}});
  Data* perfect[] = {flat.get()};
  eval.SetData(1, perfect);
  EXPECT_EQ(eval.EvaluateRecord(Record({0.0f}), error), 2147483648.0f);
  EXPECT_EQ(error, 0.0);
}

TEST(QuillEval, EvaluatingARecordAllocatesNothingOnceWarm) {
  const int sizes[] = {3, 8, 2};
  TMLPNetwork net(3, sizes, true);
  const int n = net.GetNumWeights(0);
  std::vector<float> values;
  for (int i = 0; i < n; ++i)
    values.push_back(static_cast<float>((i % 7) - 3) * 0.25f);
  const IndividualRecord record = Record(values);
  Data data(40, 3, 2, false);
  const double x[3] = {0.1, 0.2, 0.3}, t[2] = {1.0, 0.0};
  for (int r = 0; r < 40; ++r)
    data.AddRow(x, t, nullptr);
  Data* sets[] = {&data, &data};
  TGenTrainReport report;
  TQuillEval eval(&report);
  eval.SetNetwork(net);
  eval.SetData(2, sets);
  double warm = 0.0;
  eval.EvaluateRecord(record, warm);
  const long before = AllocationCount();
  double error = 0.0;
  eval.EvaluateRecord(record, error);
  EXPECT_EQ(AllocationCount(), before);
  EXPECT_EQ(error, warm);

  // The compiled recall measures the same error, and nothing is allocated
  // between loading the genes and the error either.
  ASSERT_TRUE(eval.MeasuresInBatches());
  const TRecallPlan& plan = *eval.Plan();
  auto ws = plan.NewWorkspace();
  const long compiled = AllocationCount();
  for (std::size_t k = 0; k < values.size(); ++k)
    ws->Weights()[plan.Slots()[k]] = values[k];
  EXPECT_EQ(plan.MeanRMSError(*ws), warm);
  EXPECT_EQ(AllocationCount(), compiled);
}

}  // namespace
