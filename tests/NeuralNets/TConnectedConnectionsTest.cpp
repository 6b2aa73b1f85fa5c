#include <gtest/gtest.h>

#include "NeuralNets/NetTestUtil.h"
#include "NeuralNets/TConnectedConnections.h"
#include "common/Random.h"

namespace {

// Layer 1 (2 neurons) fully connected into layer 2 (3 neurons), weight
// f -> t = 10f + t.
struct Matrix2x3 : ::testing::Test {
  void SetUp() override {
    net = MakeBasicNet({0, 2, 3});
    auto owned = std::make_unique<TConnectedConnections>(net.get(), 1, 2);
    c = owned.get();
    net->SetConnections(1, 2, std::move(owned));
    for (int f = 0; f < 2; ++f) {
      for (int t = 0; t < 3; ++t)
        *c->GetWeightPtr(f, t) = 10.0 * f + t;
    }
  }
  std::unique_ptr<TBasicNetwork> net;
  TConnectedConnections* c = nullptr;
};

TEST_F(Matrix2x3, FlatVectorIsFromMajorIterationToMajor) {
  double w[6];
  EXPECT_EQ(c->GetWeights(w, 0), 6);
  EXPECT_EQ(std::vector<double>(w, w + 6), (std::vector<double>{0, 1, 2, 10, 11, 12}));
  RecordingVisitor seen;
  c->Iterate(seen, FMaskExists);
  EXPECT_EQ(seen.Weights(), (std::vector<double>{0, 10, 1, 11, 2, 12}));
  EXPECT_EQ(seen.seen[1].from, 1);
  EXPECT_EQ(seen.seen[1].to, 0);
  EXPECT_TRUE(seen.seen[1].trainable);
  // Storage is to-neuron major as well.
  EXPECT_EQ(c->array_weights, (std::vector<double>{0, 10, 1, 11, 2, 12}));
  EXPECT_EQ(c->index_weights[2], c->array_weights.data() + 4);
}

TEST_F(Matrix2x3, SetGetRoundTripForEveryMask) {
  const double in[6] = {0.5, -1.25, 3.0, 7.5, 1e-9, -2.0};
  for (int mask : {0, 1, 3}) {
    EXPECT_EQ(c->GetNumWeights(mask), 6);
    EXPECT_EQ(c->SetWeights(in, mask), 6);
    double out[6];
    EXPECT_EQ(c->GetWeights(out, mask), 6);
    EXPECT_EQ(std::vector<double>(out, out + 6), std::vector<double>(in, in + 6));
  }
  EXPECT_EQ(*c->GetWeightPtr(0, 1), -1.25);  // second in from-major order
}

TEST_F(Matrix2x3, IterateOneNeuron) {
  RecordingVisitor into;
  c->IterateTo(into, 2, 0);
  EXPECT_EQ(into.Weights(), (std::vector<double>{2, 12}));
  RecordingVisitor outOf;
  c->IterateFrom(outOf, 1, 0);
  EXPECT_EQ(outOf.Weights(), (std::vector<double>{10, 11, 12}));
}

TEST_F(Matrix2x3, AddWeightedInputsAccumulates) {
  net->GetLayer(1)->outputs = {1.0, 2.0};
  double sums[3] = {100.0, 200.0, 300.0};
  c->AddWeightedInputs(sums);
  // net[t] += 0*1 + 10*2 ... with w(f->t) = 10f + t
  EXPECT_EQ(sums[0], 100.0 + (0.0 * 1 + 10.0 * 2));
  EXPECT_EQ(sums[1], 200.0 + (1.0 * 1 + 11.0 * 2));
  EXPECT_EQ(sums[2], 300.0 + (2.0 * 1 + 12.0 * 2));
}

TEST_F(Matrix2x3, RandomizeInStorageOrder) {
  c->Randomize(0.5, 0.5);
  EXPECT_EQ(c->array_weights, std::vector<double>(6, 0.5));

  quill::SeedRand(7);
  std::vector<double> expected;
  for (int k = 0; k < 6; ++k) {
    int r = quill::Rand();
    expected.push_back(-1.0 + (r % 32767) * (1.0 / 32767) * 2.0);
  }
  quill::SeedRand(7);
  c->Randomize(-1.0, 1.0);
  EXPECT_EQ(c->array_weights, expected);
  for (double w : c->array_weights) {
    EXPECT_GE(w, -1.0);
    EXPECT_LT(w, 1.0);
  }
}

TEST_F(Matrix2x3, FixedFlagsAndClone) {
  EXPECT_STREQ(c->GetConnectionsNType(), "FullyConnected");
  EXPECT_TRUE(c->IsConnected());
  EXPECT_TRUE(c->IsValid(1, 2));
  EXPECT_TRUE(c->IsTrainable(1, 2));
  c->Unprune(0, 0);
  c->SetTrainable(0, 0);
  EXPECT_EQ(c->GetFlags(0, 0), FMaskAll);
  auto copy = c->Clone(net.get());
  *c->GetWeightPtr(1, 2) = 99.0;
  EXPECT_EQ(*copy->GetWeightPtr(1, 2), 12.0);
}

TEST_F(Matrix2x3, InsertAndRemoveNeurons) {
  // Grow the from-layer at 1: old from-neuron 1 moves to 2, new weights drawn
  // for t = 0, 1, 2 in order.
  net->GetLayer(1)->numNeurons = 3;
  quill::SeedRand(3);
  double d[3];
  for (double& v : d)
    v = 1.0 + (quill::Rand() % 32767) * (1.0 / 32767) * 1.0;
  quill::SeedRand(3);
  c->InsertFromNeuron(1, 1.0, 2.0, true);
  EXPECT_EQ(c->array_weights, (std::vector<double>{0, d[0], 10, 1, d[1], 11, 2, d[2], 12}));
  net->GetLayer(1)->numNeurons = 2;
  c->RemoveFromNeuron(1);
  EXPECT_EQ(c->array_weights, (std::vector<double>{0, 10, 1, 11, 2, 12}));
  net->GetLayer(2)->numNeurons = 2;
  c->RemoveToNeuron(0);
  EXPECT_EQ(c->array_weights, (std::vector<double>{1, 11, 2, 12}));
  // lo == hi still draws one number per new weight.
  net->GetLayer(2)->numNeurons = 3;
  quill::SeedRand(5);
  c->InsertToNeuron(2, 0.0, 0.0, true);
  EXPECT_NE(quill::RandState(), 5u);
  EXPECT_EQ(c->array_weights, (std::vector<double>{1, 11, 2, 12, 0, 0}));
}

TEST(ConnectedConnections, EachRowSumsInFromOrder) {
  // 3 -> 5 neurons: four rows are summed side by side, the fifth alone.
  auto net = MakeBasicNet({0, 3, 5});
  net->Connect(1, 2);  // replaced below by a full matrix
  net->SetConnections(1, 2, std::make_unique<TConnectedConnections>(net.get(), 1, 2));
  TBasicConnections* c = net->GetConnections(1, 2);
  net->GetLayer(1)->outputs = {1e16, 1.0, -1e16};
  for (int t = 0; t < 5; ++t) {
    for (int f = 0; f < 3; ++f)
      *c->GetWeightPtr(f, t) = (f == 1) ? t : 1.0;
  }
  double sums[5] = {0.5, 0.5, 0.5, 0.5, 0.5};
  c->AddWeightedInputs(sums);
  // (1e16 + t) - 1e16: t < 2 is lost in rounding (1e16 is a multiple of 2),
  // t = 2 and t = 4 survive exactly, t = 3 rounds to 4.
  EXPECT_EQ(std::vector<double>(sums, sums + 5), (std::vector<double>{0.5, 0.5, 2.5, 4.5, 4.5}));
}

TEST(ConnectedConnectionsDeathTest, UnsupportedOperations) {
  auto net = MakeBasicNet({0, 2, 3});
  net->SetConnections(1, 2, std::make_unique<TConnectedConnections>(net.get(), 1, 2));
  TBasicConnections* c = net->GetConnections(1, 2);
  EXPECT_DEATH(c->InsertFromNeuron(0, 0.0, 1.0, false),
               "Assertion failed: attached, file NeuralNets/TConnectedConnections");
  EXPECT_DEATH(c->Prune(0, 0), "Assertion failed: false");
  EXPECT_DEATH(c->SetUntrainable(0, 0), "Assertion failed: false");
}

}  // namespace
