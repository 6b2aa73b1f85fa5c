// The trainer with the Quill evaluator on small in-memory networks.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "Bramble/Codes.h"
#include "DataObject/Data.h"
#include "GA-Apps/GenTrain/TGenTrain.h"
#include "MLP/Quill/TQuill.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Clock.h"

namespace {

// A 2-2-1 network with bias whose nine trainable weights are `w`.
std::unique_ptr<TMLPNetwork> Net221(const std::vector<double>& w) {
  const int sizes[] = {2, 2, 1};
  auto net = std::make_unique<TMLPNetwork>(3, sizes, true);
  EXPECT_EQ(net->GetNumWeights(0), 9);
  net->SetWeights(w.data(), 0);
  return net;
}

const std::vector<double> kStart = {0.1, -0.2, 0.05, 0.5, -0.3, -0.4, 0.6, 0.7, -0.25};

std::unique_ptr<Data> Xor() {
  auto d = std::make_unique<Data>(4, 2, 1, false);
  const double rows[4][3] = {{0, 0, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}};
  for (const auto& r : rows)
    d->AddRow(r, r + 2, nullptr);
  return d;
}

std::vector<double> Weights(TMLPNetwork& net) {
  std::vector<double> w(static_cast<std::size_t>(net.GetNumWeights(0)));
  net.GetWeights(w.data(), 0);
  return w;
}

float GeneBound(const TGenTrain& trainer, bool maximum) {
  const GeneSpec& gene = trainer.Evaluator()->GeneSpecs().entries.at(0);
  return maximum ? gene.maximum.AsReal() : gene.minimum.AsReal();
}

TEST(GenTrain, BoundsWidenToTheStartingWeights) {
  auto net = Net221({-0.5, 0.7, 0, 0, 0, 0, 0, 0, 0});
  TQuill trainer;
  trainer.Evaluator()->SetWeightBounds(10.0, 10.0);  // the parameter defaults
  trainer.SetNetwork(net.get());
  EXPECT_EQ(trainer.Evaluator()->MaxWeight(), 10.0);
  EXPECT_EQ(trainer.Evaluator()->MinWeight(), -0.5);
  const GeneSpecList& genes = trainer.Evaluator()->GeneSpecs();
  ASSERT_EQ(genes.count, 9);
  for (const GeneSpec& gene : genes.entries) {
    EXPECT_EQ(gene.type, GENE_REAL);
    EXPECT_EQ(gene.maximum.AsReal(), 10.0f);
    EXPECT_EQ(gene.minimum.AsReal(), -0.5f);
  }

  auto wide = Net221({3.2, 0, 0, 0, 0, 0, 0, 0, 0.5});
  trainer.Evaluator()->SetWeightBounds(1.0, -1.0);
  trainer.SetNetwork(wide.get());  // a second network starts over
  EXPECT_EQ(GeneBound(trainer, true), 3.2f);
  EXPECT_EQ(GeneBound(trainer, false), -1.0f);
}

TEST(GenTrain, FirstPopulationEndsWithTheSeed) {
  auto net = Net221(kStart);
  TQuill trainer;
  trainer.Evaluator()->SetWeightBounds(1.0, -1.0);
  trainer.SetNetwork(net.get());
  quill::ScopedClock clock(12345);
  trainer.CreatePopulation(5);
  Population* pop = trainer.Engine()->Current();
  ASSERT_EQ(pop->Size(), 5);
  EXPECT_EQ(trainer.Engine()->PopSize(), 5);
  for (std::int32_t i = 1; i <= 5; ++i) {
    std::int32_t id = 0;
    pop->GetIdentifier(i, id);
    EXPECT_EQ(id, i);
    for (std::int32_t g = 1; g <= 9; ++g) {
      float value = 0.0f;
      pop->GetRealValue(i, g, value);
      if (i == 5) {
        EXPECT_EQ(value, static_cast<float>(kStart[static_cast<std::size_t>(g - 1)]));
      } else {
        EXPECT_GE(value, -1.0f);
        EXPECT_LE(value, 1.0f);
      }
    }
  }
}

// A network whose input layer is its output layer has no weight at all.
TEST(GenTrain, NetworkWithoutWeightsTrains) {
  const int sizes[] = {2};
  TMLPNetwork net(1, sizes, false);
  ASSERT_EQ(net.GetNumWeights(0), 0);
  Data data(2, 2, 2, false);
  const double a[4] = {1, 2, 1, 3}, b[4] = {0, 0, 0, 0};
  data.AddRow(a, a + 2, nullptr);  // outputs 1 2, targets 1 3: one difference of 1
  data.AddRow(b, b + 2, nullptr);  // perfect
  Data* sets[] = {&data};
  // RMS = sqrt(1 / 2 outputs / 2 patterns) = 0.5, fitness 2.
  for (auto [size, elite, points, selection] :
       {std::tuple{1, 1, 1, SELECT_ROULETTE}, std::tuple{3, 0, 1, SELECT_ROULETTE},
        std::tuple{3, 2, -1, SELECT_TOURNAMENT}, std::tuple{4, 0, 3, SELECT_TOURNAMENT}}) {
    TQuill trainer;
    trainer.Evaluator()->SetWeightBounds(1.0, -1.0);
    trainer.SetNetwork(&net);
    EXPECT_EQ(trainer.Evaluator()->GeneSpecs().count, 0);
    quill::ScopedClock clock(1);
    trainer.CreatePopulation(size);
    testing::internal::CaptureStdout();
    EXPECT_EQ(trainer.Train(1, sets, {0.0, 2, elite, points, 0.1f, selection, 1}), 0.5);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "1 0.5 2 \n2 0.5 2 \n");
    EXPECT_EQ(trainer.GetBestNetwork()->GetNumWeights(0), 0);
  }
}

TEST(GenTrain, BestNetworkCarriesTheFittestIndividual) {
  auto net = Net221(kStart);
  auto data = Xor();
  Data* sets[] = {data.get()};
  TQuill trainer;
  trainer.Evaluator()->SetWeightBounds(5.0, -5.0);
  trainer.SetNetwork(net.get());
  quill::ScopedClock clock(12345);
  trainer.CreatePopulation(12);
  testing::internal::CaptureStdout();
  const double lowest = trainer.Train(1, sets, {0.0, 6, 2, 2, 0.05f, SELECT_TOURNAMENT, 1});
  testing::internal::GetCapturedStdout();
  auto best = trainer.GetBestNetwork();
  // The last generation's lowest error is the best network's own error.
  TErrorRMSObj err(1);
  EXPECT_EQ(best->GetError(data.get(), &err), lowest);
  // Only trainable weights change, and every one lies within the bounds.
  for (double w : Weights(*best)) {
    EXPECT_GE(w, -5.0);
    EXPECT_LE(w, 5.0);
  }
  // A stopping error that the first generation already reaches ends the run
  // there: generation 1 is reported twice when two generations are asked.
  TQuill quick;
  quick.Evaluator()->SetWeightBounds(5.0, -5.0);
  quick.SetNetwork(net.get());
  quick.CreatePopulation(4);
  testing::internal::CaptureStdout();
  quick.Train(1, sets, {10.0, 2, 1, 1, 0.05f, SELECT_ROULETTE, 0});
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.substr(0, 2), "1 ");
  EXPECT_EQ(out.substr(out.find('\n') + 1, 2), "1 ");
}

}  // namespace
