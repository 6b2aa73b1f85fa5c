#include <gtest/gtest.h>

#include "NeuralNets/NetTestUtil.h"
#include "NeuralNets/TPrunedConnections.h"
#include "common/Random.h"

namespace {

// Layer 1 (2 neurons) into layer 2 (3 neurons) through a pruneable matrix.
struct Pruned2x3 : ::testing::Test {
  void SetUp() override {
    net = MakeBasicNet({0, 2, 3});
    net->Connect(1, 2);
    c = static_cast<TPrunedConnections*>(net->GetConnections(1, 2));
  }
  std::vector<double> NetInputs() {
    std::vector<double> sums(3, 0.0);
    c->AddWeightedInputs(sums.data());
    return sums;
  }
  std::unique_ptr<TBasicNetwork> net;
  TPrunedConnections* c = nullptr;
};

TEST_F(Pruned2x3, FreshMatrix) {
  EXPECT_STREQ(c->GetConnectionsNType(), "Pruneable");
  for (int mask : {0, 1, 3})
    EXPECT_EQ(c->GetNumWeights(mask), 6);
  EXPECT_EQ(c->array_weights, std::vector<double>(6, 0.0));
  EXPECT_EQ(c->array_masks, std::vector<unsigned char>(6, FMaskAll));
}

TEST_F(Pruned2x3, PrunedConnectionIsGone) {
  c->Randomize(1.0, 1.0);
  net->GetLayer(1)->outputs = {2.0, 3.0};
  c->Prune(0, 1);
  EXPECT_FALSE(c->IsValid(0, 1));
  EXPECT_EQ(*c->GetWeightPtr(0, 1), 0.0);
  EXPECT_EQ(c->GetNumWeights(FMaskExists), 5);
  EXPECT_EQ(NetInputs(), (std::vector<double>{5.0, 3.0, 5.0}));
  RecordingVisitor seen;
  c->Iterate(seen, FMaskExists);
  ASSERT_EQ(seen.seen.size(), 5u);
  EXPECT_EQ(seen.seen[2].from, 1);  // (0, 1) skipped
  EXPECT_EQ(seen.seen[2].to, 1);
}

TEST(PrunedConnections, RecallSkipsPrunedInEveryRow) {
  // Five rows: four summed side by side, the fifth alone.
  auto net = MakeBasicNet({0, 2, 5});
  net->Connect(1, 2);
  TBasicConnections* c = net->GetConnections(1, 2);
  c->Randomize(1.0, 1.0);
  c->Prune(0, 1);
  c->Prune(1, 3);
  c->Prune(0, 4);
  c->SetUntrainable(1, 2);
  net->GetLayer(1)->outputs = {2.0, 3.0};
  double sums[5] = {};
  c->AddWeightedInputs(sums);
  EXPECT_EQ(std::vector<double>(sums, sums + 5), (std::vector<double>{5.0, 3.0, 5.0, 2.0, 3.0}));
}

TEST_F(Pruned2x3, UntrainableConnectionStillRecalls) {
  c->Randomize(1.0, 1.0);
  net->GetLayer(1)->outputs = {2.0, 3.0};
  c->SetUntrainable(1, 2);
  EXPECT_TRUE(c->IsValid(1, 2));
  EXPECT_FALSE(c->IsTrainable(1, 2));
  EXPECT_EQ(c->GetNumWeights(FMaskExists), 6);
  EXPECT_EQ(c->GetNumWeights(0), 5);
  EXPECT_EQ(c->GetNumWeights(FMaskAll), 5);
  c->Randomize(4.0, 4.0);
  EXPECT_EQ(*c->GetWeightPtr(1, 2), 1.0);
  EXPECT_EQ(*c->GetWeightPtr(0, 2), 4.0);
  EXPECT_EQ(NetInputs()[2], 4.0 * 2 + 1.0 * 3);
}

TEST_F(Pruned2x3, FlagTransitions) {
  c->Prune(0, 0);
  c->SetTrainable(0, 0);
  EXPECT_EQ(c->GetFlags(0, 0), 0);  // stays pruned
  c->SetUntrainable(1, 0);
  c->Unprune(1, 0);
  EXPECT_EQ(c->GetFlags(1, 0), FMaskExists);  // stays untrainable
  *c->GetWeightPtr(0, 0) = 5.0;
  c->Unprune(0, 0);
  EXPECT_EQ(c->GetFlags(0, 0), FMaskAll);
  EXPECT_EQ(*c->GetWeightPtr(0, 0), 0.0);
  c->SetFlags(1, 1, 2);  // stored as given
  EXPECT_EQ(c->GetFlags(1, 1), 2);
}

TEST_F(Pruned2x3, MaskSelectsStoragePositions) {
  const unsigned char flags[6] = {1, 0, 3, 1, 3, 3};
  for (int k = 0; k < 6; ++k) {
    c->array_masks[static_cast<std::size_t>(k)] = flags[k];
    c->array_weights[static_cast<std::size_t>(k)] = 0.5 + k;
  }
  double w[6] = {};
  EXPECT_EQ(c->GetWeights(w, 0), 3);
  EXPECT_EQ(std::vector<double>(w, w + 3), (std::vector<double>{2.5, 4.5, 5.5}));
  EXPECT_EQ(c->GetNumWeights(FMaskExists), 5);
  const double in[3] = {-1.0, -2.0, -3.0};
  EXPECT_EQ(c->SetWeights(in, FMaskAll), 3);
  EXPECT_EQ(c->array_weights, (std::vector<double>{0.5, 1.5, -1.0, 3.5, -2.0, -3.0}));
}

TEST_F(Pruned2x3, RandomizeDrawsOnlyForTrainable) {
  c->SetUntrainable(0, 0);
  c->Prune(1, 2);
  quill::SeedRand(11);
  std::vector<double> expected{0.0};
  for (int k = 1; k < 5; ++k)
    expected.push_back(-0.5 + (quill::Rand() % 32767) * (1.0 / 32767) * 1.0);
  expected.push_back(0.0);
  quill::SeedRand(11);
  c->Randomize(-0.5, 0.5);
  EXPECT_EQ(c->array_weights, expected);
}

TEST_F(Pruned2x3, InsertWithoutAttachmentDrawsNothing) {
  c->Randomize(1.0, 1.0);
  net->GetLayer(1)->numNeurons = 3;
  quill::SeedRand(9);
  c->InsertFromNeuron(0, -1.0, 1.0, false);
  EXPECT_EQ(quill::RandState(), 9u);
  EXPECT_EQ(c->array_masks, (std::vector<unsigned char>{0, 3, 3, 0, 3, 3, 0, 3, 3}));
  EXPECT_EQ(c->array_weights, (std::vector<double>{0, 1, 1, 0, 1, 1, 0, 1, 1}));
  // Attached: existing, trainable, one draw per new connection.
  net->GetLayer(2)->numNeurons = 4;
  c->InsertToNeuron(0, 2.0, 2.0, true);
  EXPECT_NE(quill::RandState(), 9u);
  EXPECT_EQ(c->GetNumWeights(0), 9);
}

TEST_F(Pruned2x3, RemoveKeepsFlagsWithWeights) {
  c->SetUntrainable(1, 1);
  *c->GetWeightPtr(1, 1) = 7.0;
  net->GetLayer(1)->numNeurons = 1;
  c->RemoveFromNeuron(0);
  EXPECT_EQ(c->array_masks, (std::vector<unsigned char>{3, 1, 3}));
  EXPECT_EQ(c->array_weights, (std::vector<double>{0, 7, 0}));
  auto copy = c->Clone(net.get());
  EXPECT_EQ(copy->GetFlags(0, 1), FMaskExists);
  EXPECT_EQ(*copy->GetWeightPtr(0, 1), 7.0);
}

}  // namespace
