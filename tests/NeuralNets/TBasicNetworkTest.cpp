#include <gtest/gtest.h>

#include <cmath>

#include "NeuralNets/NetTestUtil.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TBasicNeuron.h"
#include "NeuralNets/TEmptyConnections.h"
#include "NeuralNets/TIterateObj.h"
#include "NeuralNets/TPrunedConnections.h"
#include "NeuralNets/TSimpleLayer.h"
#include "common/Random.h"

namespace {

// Layers and neurons

TEST(Layer, SharedFunctionCache) {
  auto net = MakeBasicNet({0, 2, 3});
  TBasicLayer* layer = net->GetLayer(2);
  for (int i = 0; i < 3; ++i)
    layer->GetNeuron(i)->SetFunction(&ActTanh);
  EXPECT_EQ(layer->sharedFunction, nullptr);
  EXPECT_EQ(layer->GetFunction(), &ActTanh);
  EXPECT_EQ(layer->sharedFunction, &ActTanh);
  layer->GetNeuron(1)->SetFunction(&ActLinear);
  EXPECT_EQ(layer->sharedFunction, nullptr);
  EXPECT_EQ(layer->GetFunction(), nullptr);
  // An empty layer reports "null".
  TSimpleLayer empty(net.get(), 0, 0);
  EXPECT_EQ(empty.GetFunction(), &ActNull);
}

TEST(Layer, RemoveNeuronMovesTheOthersDown) {
  auto net = MakeBasicNet({0, 1, 3});
  TSimpleLayer* layer = static_cast<TSimpleLayer*>(net->GetLayer(2));
  layer->GetNeuron(0)->SetFunction(&ActBias);
  layer->GetNeuron(1)->SetFunction(&ActLinear);
  layer->GetNeuron(2)->SetFunction(&ActTanh);
  layer->RemoveNeuron(0);
  layer->numNeurons -= 1;  // the network's part
  ASSERT_EQ(layer->nodes.size(), 2u);
  EXPECT_EQ(layer->GetNeuron(0)->nodeNum, 1);
  EXPECT_EQ(layer->GetNeuron(1)->nodeNum, 2);
  EXPECT_EQ(layer->GetNeuron(0)->GetFunction(), &ActLinear);
  const double v[] = {0.25, 0.5};
  layer->Activate(v);
  EXPECT_EQ(layer->outputs[0], 0.25);
  EXPECT_EQ(layer->outputs[1], std::tanh(0.5));
}

TEST(Layer, InsertNeuronTakesSharedFunctionOrError) {
  auto net = MakeBasicNet({0, 1, 2});
  TBasicLayer* layer = net->GetLayer(2);  // all "sigmoid"
  layer->InsertNeuron(1);
  layer->numNeurons += 1;
  EXPECT_EQ(layer->outputs.size(), 3u);
  EXPECT_EQ(layer->GetNeuron(1)->GetFunction(), &ActSigmoid);
  EXPECT_EQ(layer->GetNeuron(1)->output, &layer->outputs[1]);
  EXPECT_EQ(layer->GetNeuron(2)->nodeNum, 1);
  layer->GetNeuron(0)->SetFunction(&ActTanh);
  layer->InsertNeuron(0);
  layer->numNeurons += 1;
  EXPECT_EQ(layer->GetNeuron(0)->GetFunction(), &ActError);
  EXPECT_EQ(layer->GetNeuron(1)->GetFunction(), &ActTanh);
}

TEST(Layer, GainLayerParamsInsertAndClone) {
  TBasicNetwork net(3);
  auto owned = std::make_unique<TGainLayer>(&net, 2, 2, 1.5);
  TGainLayer* layer = owned.get();
  net.SetLayer(2, std::move(owned));
  double p = 0.0;
  layer->GetNeuron(0)->GetParams(&p);
  EXPECT_EQ(p, 1.5);
  EXPECT_STREQ(layer->GetNeuron(0)->GetParamName(0), "Gain");
  const double two = 2.0;
  layer->GetNeuron(1)->SetParams(&two);
  layer->SetFunction(&ActLinearGain);
  const int dims[] = {2, 1};
  layer->SetDimensions(2, dims);
  // A new gain neuron copies the gain of neuron 0.
  layer->InsertNeuron(2);
  layer->numNeurons += 1;
  EXPECT_EQ(layer->nodes[2].gain, 1.5);
  layer->outputs[0] = 9.0;

  TBasicNetwork other(3);
  auto clone = layer->Clone(&other);
  auto* copy = static_cast<TGainLayer*>(clone.get());
  EXPECT_EQ(copy->outputs, (std::vector<double>{0.0, 0.0, 0.0}));
  EXPECT_EQ(copy->nodes[1].layer, copy);
  int got[2] = {0, 0};
  copy->GetDimensions(got);
  EXPECT_EQ(got[0], 2);
  EXPECT_EQ(got[1], 1);
  const double v[] = {1.0, 1.0, 1.0};
  copy->Activate(v);
  EXPECT_EQ(copy->outputs, (std::vector<double>{1.5, 2.0, 1.5}));
}

TEST(LayerDeathTest, GainChecks) {
  TGainNeuron g;
  EXPECT_DEATH(g.GetParamName(1), "Assertion failed: i==0, file NeuralNets/TBasicNetwork");
  TBasicNeuron plain;
  EXPECT_DEATH(plain.GetParamName(0), "Assertion failed: false, file NeuralNets/TBasicNetwork");
  auto net = MakeBasicNet({0, 1, 2});
  EXPECT_DEATH(net->GetLayer(2)->SetFunction(&ActSigmoidGain),
               "Assertion failed: !FunctionNeedsGain");
}

// Empty connections and the base-class defaults

TEST(EmptyConnections, HaveNothing) {
  auto net = MakeBasicNet({1, 2, 3});
  TBasicConnections* c = net->GetConnections(1, 2);
  EXPECT_FALSE(c->IsConnected());
  EXPECT_STREQ(c->GetConnectionsNType(), "Empty");
  EXPECT_EQ(c->GetNumWeights(FMaskExists), 0);
  EXPECT_FALSE(c->IsValid(0, 0));
  EXPECT_FALSE(c->IsTrainable(0, 0));
  // No flags: always FMaskAll; FMaskAll and FMaskExists are accepted.
  EXPECT_EQ(c->GetFlags(1, 2), FMaskAll);
  c->SetFlags(0, 0, FMaskAll);
  c->SetFlags(0, 0, FMaskExists);
}

TEST(EmptyConnectionsDeathTest, UnsupportedOperations) {
  auto net = MakeBasicNet({1, 2, 3});
  TBasicConnections* c = net->GetConnections(1, 2);
  EXPECT_DEATH(c->SetFlags(0, 0, 2),
               "Assertion failed: \\(val==FMaskAll\\) \\|\\| \\(val==FMaskExists\\), file "
               "NeuralNets/TBasicNetwork");
  EXPECT_DEATH(c->GetWeightPtr(0, 0), "Assertion failed: false");
  EXPECT_DEATH(c->Prune(0, 0), "Assertion failed: false");
}

// Visitors

TEST(Visitors, SetupAndAggregate) {
  auto net = MakeBasicNet({0, 2, 2});
  net->Connect(1, 2);
  TBasicConnections* c = net->GetConnections(1, 2);
  const double w[] = {1.0, 2.0, 3.0, 4.0};  // to 0: from 0, 1; to 1: from 0, 1
  c->SetWeights(w, FMaskAll);
  net->GetLayer(1)->outputs = {10.0, 100.0};
  TIterateObjAggregate sum;
  c->IterateTo(sum, 1, FMaskExists);
  EXPECT_EQ(sum.sum, 3.0 * 10.0 + 4.0 * 100.0);
  // No existing connection into neuron 0: the sum stays 0.
  c->Prune(0, 0);
  c->Prune(1, 0);
  TIterateObjAggregate none;
  c->IterateTo(none, 0, FMaskExists);
  EXPECT_EQ(none.sum, 0.0);
}

TEST(Visitors, RandomizeWithEqualBoundsDrawsNothing) {
  auto net = MakeBasicNet({0, 2, 3});
  net->Connect(1, 2);
  quill::SeedRand(42);
  TIterateObjRandomize fixed(0.75, 0.75);
  net->GetConnections(1, 2)->Iterate(fixed, 0);
  EXPECT_EQ(quill::RandState(), 42u);
  RecordingVisitor seen;
  net->GetConnections(1, 2)->Iterate(seen, FMaskExists);
  EXPECT_EQ(seen.Weights(), std::vector<double>(6, 0.75));
}

TEST(Visitors, FlagsRoundTripAndAllUntrainable) {
  auto net = MakeBasicNet({0, 2, 2});
  net->Connect(1, 2);
  TBasicConnections* c = net->GetConnections(1, 2);
  c->Prune(1, 0);
  const unsigned char flags[] = {FMaskExists, FMaskAll, FMaskExists};
  c->SetAllFlags(flags);
  EXPECT_EQ(c->GetAllFlags(), (std::vector<unsigned char>{1, 3, 1}));
  EXPECT_EQ(c->GetNumWeights(0), 1);
  c->SetAllUntrainable();
  EXPECT_EQ(c->GetNumWeights(0), 0);
  EXPECT_EQ(c->GetNumWeights(FMaskExists), 3);
}

TEST(Visitors, TwoNetworksWalkCorrespondingWeights) {
  auto a = MakeBasicNet({0, 2, 2});
  a->Connect(1, 2);
  TBasicNetwork b(*a);
  const double wa[] = {1, 2, 3, 4};
  const double wb[] = {10, 20, 30, 40};
  a->SetWeights(wa, 0);
  b.SetWeights(wb, 0);
  struct Sum : TIterateObj2 {
    void Visit() override { total += *weight1 * *weight2; }
    double total = 0.0;
  } sum;
  a->GetConnections(1, 2)->Iterate2(sum, &b, FMaskExists);
  EXPECT_EQ(sum.total, 10.0 + 40.0 + 90.0 + 160.0);
  EXPECT_EQ(sum.conn2, b.GetConnections(1, 2));
}

TEST(VisitorsDeathTest, TwoNetworksNeedTheSameConnectionType) {
  auto a = MakeBasicNet({0, 2, 2});
  auto b = MakeBasicNet({0, 2, 2});
  a->Connect(1, 2);
  EXPECT_DEATH(TIterateObj2(a.get(), b.get(), 1, 2, 0, 0),
               "Assertion failed: conn1 -> GetConnectionsNType\\(\\) == conn2 -> "
               "GetConnectionsNType\\(\\), file NeuralNets/TBasicNetwork");
}

// The network

// Weights 1, 2, 3, ... in flat-vector order.
std::vector<double> Ramp(int n) {
  std::vector<double> w;
  for (int i = 1; i <= n; ++i)
    w.push_back(i);
  return w;
}

TEST(BasicNetwork, FreshNetworkHasNoWeights) {
  auto net = MakeBasicNet({0, 2, 3});
  EXPECT_STREQ(net->GetNetworkType(), "Basic");
  EXPECT_EQ(net->GetNumWeights(0), 0);
  EXPECT_EQ(net->GetNumWeights(FMaskExists), 0);
  const double in[2] = {5.0, -3.0};
  double out[3] = {};
  net->Recall(in, out);
  // Zero net input into every sigmoid neuron.
  EXPECT_EQ(std::vector<double>(out, out + 3), std::vector<double>(3, 0.5));
}

TEST(BasicNetwork, FlatVectorAndRandomizeOrder) {
  // Layer 0 (1 neuron) feeds 2 and 3, layer 1 feeds 2, layer 2 feeds 3.
  auto net = MakeBasicNet({1, 2, 2, 1});
  net->Connect(2, 3);
  net->Connect(1, 2);
  net->Connect(0, 3);
  net->Connect(0, 2);
  ASSERT_EQ(net->GetNumWeights(0), 2 + 1 + 4 + 2);
  std::vector<double> w = Ramp(9);
  EXPECT_EQ(net->SetWeights(w.data(), 0), 9);
  EXPECT_EQ(*net->GetConnections(1, 2)->GetWeightPtr(1, 0), 5.0);  // to-major inside the block

  quill::SeedRand(21);
  std::vector<double> drawn;
  for (int k = 0; k < 9; ++k)
    drawn.push_back(-2.0 + (quill::Rand() % 32767) * (1.0 / 32767) * 4.0);
  quill::SeedRand(21);
  net->Randomize(-2.0, 2.0);
  std::vector<double> got(9);
  net->GetWeights(got.data(), 0);
  EXPECT_EQ(got, drawn);
}

TEST(BasicNetwork, RoundTripByMask) {
  auto net = MakeBasicNet({0, 2, 2, 2});
  net->Connect(1, 2);
  net->Connect(2, 3);
  TBasicConnections* c = net->GetConnections(1, 2);
  c->Prune(0, 1);
  c->SetUntrainable(1, 0);
  EXPECT_EQ(net->GetNumWeights(FMaskExists), 7);
  EXPECT_EQ(net->GetNumWeights(0), 6);
  EXPECT_EQ(net->GetNumWeights(FMaskAll), 6);
  std::vector<double> seven = Ramp(7);
  EXPECT_EQ(net->SetWeights(seven.data(), FMaskExists), 7);
  for (int mask : {0, 1, 3}) {
    std::vector<double> w(8, -1.0);
    int n = net->GetWeights(w.data(), mask);
    EXPECT_EQ(n, net->GetNumWeights(mask));
    EXPECT_EQ(w[static_cast<std::size_t>(n)], -1.0);
    EXPECT_EQ(net->SetWeights(w.data(), mask), n);
    std::vector<double> again(8, -1.0);
    net->GetWeights(again.data(), mask);
    EXPECT_EQ(again, w);
  }
  // Mask 0 skips the untrainable weight (position 2 of the existing ones).
  std::vector<double> trainable(6);
  net->GetWeights(trainable.data(), 0);
  EXPECT_EQ(trainable, (std::vector<double>{1, 3, 4, 5, 6, 7}));
}

TEST(BasicNetwork, RecallSumsLowerLayers) {
  auto net = MakeBasicNet({1, 2, 1});
  net->GetLayer(0)->SetFunction(&ActBias);
  net->GetLayer(2)->SetFunction(&ActLinear);
  net->Connect(0, 2);
  net->Connect(1, 2);
  const double w[] = {0.5, 2.0, -1.0};  // bias, in0, in1
  net->SetWeights(w, 0);
  const double in[2] = {3.0, 4.0};
  double out = 0.0;
  net->Recall(in, &out);
  EXPECT_EQ(out, 0.5 + (2.0 * 3.0 + -1.0 * 4.0));
  // A connection from a higher layer is never consulted.
  net->Connect(2, 1);
  *net->GetConnections(2, 1)->GetWeightPtr(0, 0) = 100.0;
  net->Recall(in, &out);
  EXPECT_EQ(out, 2.5);
}

TEST(BasicNetwork, ConnectTwiceAndDisconnect) {
  auto net = MakeBasicNet({0, 2, 1});
  net->Connect(1, 2);
  TBasicConnections* first = net->GetConnections(1, 2);
  *first->GetWeightPtr(1, 0) = 3.0;
  net->Connect(1, 2);
  EXPECT_EQ(net->GetConnections(1, 2), first);
  EXPECT_EQ(*first->GetWeightPtr(1, 0), 3.0);
  net->Disconnect(1, 2);
  EXPECT_STREQ(net->GetConnections(1, 2)->GetConnectionsNType(), "Empty");
  EXPECT_EQ(net->GetConnections(1, 2)->fromLayer, 1);
  EXPECT_EQ(net->GetNumWeights(FMaskExists), 0);
  const double in[2] = {1.0, 1.0};
  double out = 0.0;
  net->Recall(in, &out);
  EXPECT_EQ(out, 0.5);
}

TEST(BasicNetwork, CopiesRecallTheSameAndAreIndependent) {
  auto net = MakeBasicNet({1, 3, 2, 2});
  net->GetLayer(0)->SetFunction(&ActBias);
  net->Connect(0, 2);
  net->Connect(1, 2);
  net->Connect(2, 3);
  net->Connect(1, 3);
  net->GetConnections(1, 3)->Prune(2, 1);
  net->GetConnections(2, 3)->SetUntrainable(0, 0);
  quill::SeedRand(5);
  net->Randomize(-1.0, 1.0);
  net->GetLayer(2)->GetNeuron(1)->SetFunction(&ActTanh);

  TBasicNetwork copy(*net);
  EXPECT_NE(copy.GetRegistry(), net->GetRegistry());
  EXPECT_EQ(copy.GetConnections(1, 3)->GetAllFlags(), net->GetConnections(1, 3)->GetAllFlags());
  EXPECT_EQ(copy.GetConnections(2, 3)->GetFlags(0, 0), FMaskExists);
  EXPECT_EQ(copy.GetLayer(2)->GetNeuron(1)->layer, copy.GetLayer(2));
  for (double x : {-1.0, 0.0, 0.3, 2.0}) {
    const double in[3] = {x, 1.0 - x, x * x};
    double a[2], b[2];
    net->Recall(in, a);
    copy.Recall(in, b);
    EXPECT_EQ(a[0], b[0]);
    EXPECT_EQ(a[1], b[1]);
  }
  *copy.GetConnections(1, 2)->GetWeightPtr(0, 0) = 42.0;
  EXPECT_NE(*net->GetConnections(1, 2)->GetWeightPtr(0, 0), 42.0);

  auto other = MakeBasicNet({0, 1, 1});
  *other = copy;
  EXPECT_EQ(other->numLayers, 4);
  EXPECT_EQ(*other->GetConnections(1, 2)->GetWeightPtr(0, 0), 42.0);
  EXPECT_EQ(other->GetConnections(1, 2)->network, other.get());
  TBasicNetwork& self = *other;
  *other = self;
  EXPECT_EQ(*other->GetConnections(1, 2)->GetWeightPtr(0, 0), 42.0);
}

TEST(BasicNetwork, InsertAndRemoveHiddenNeuron) {
  auto net = MakeBasicNet({0, 1, 2, 1});
  net->Connect(1, 2);
  net->Connect(2, 3);
  const double w[] = {1, 2, 3, 4};  // 1->2: to 0, to 1; 2->3: from 0, from 1
  net->SetWeights(w, 0);
  net->InsertNeuron(2, 1, 0.5, 0.5, true);
  EXPECT_EQ(net->GetLayer(2)->numNeurons, 3);
  std::vector<double> got(6);
  EXPECT_EQ(net->GetWeights(got.data(), 0), 6);
  EXPECT_EQ(got, (std::vector<double>{1, 0.5, 2, 3, 0.5, 4}));
  net->RemoveNeuron(2, 0);
  std::vector<double> left(4);
  EXPECT_EQ(net->GetWeights(left.data(), 0), 4);
  EXPECT_EQ(left, (std::vector<double>{0.5, 2, 0.5, 4}));
  // Not attached: pruned connections, no weights added.
  net->InsertNeuron(2, 0, -1.0, 1.0, false);
  EXPECT_EQ(net->GetNumWeights(0), 4);
  EXPECT_EQ(net->GetNumWeights(FMaskExists), 4);
}

TEST(BasicNetwork, LayerConnectedToItselfResizesBothSides) {
  auto net = MakeBasicNet({0, 1, 2, 1});
  net->Connect(2, 2);
  TPrunedConnections* self = static_cast<TPrunedConnections*>(net->GetConnections(2, 2));
  const double w[] = {1, 2, 3, 4};
  net->SetWeights(w, 0);
  net->InsertNeuron(2, 1, 9.0, 9.0, true);
  EXPECT_EQ(self->array_weights, (std::vector<double>{1, 9, 2, 9, 9, 9, 3, 9, 4}));
  EXPECT_EQ(self->index_weights[2], self->array_weights.data() + 6);
  net->RemoveNeuron(2, 1);
  EXPECT_EQ(self->array_weights, (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(self->array_masks.size(), 4u);
}

TEST(BasicNetwork, PruneNodesRemovesNeuronsWithoutOutputs) {
  auto net = MakeBasicNet({0, 2, 3, 1});
  net->Connect(1, 2);
  net->Connect(2, 3);
  EXPECT_EQ(net->PruneNodes(), 0);
  EXPECT_EQ(net->GetNumNeurons(), 6);
  net->GetConnections(2, 3)->Prune(0, 0);
  net->GetConnections(2, 3)->Prune(2, 0);
  *net->GetConnections(2, 3)->GetWeightPtr(1, 0) = 8.0;
  EXPECT_EQ(net->PruneNodes(), 2);
  EXPECT_EQ(net->GetLayer(2)->numNeurons, 1);
  EXPECT_EQ(net->GetLayer(2)->GetNeuron(0)->nodeNum, 1);
  EXPECT_EQ(*net->GetConnections(2, 3)->GetWeightPtr(0, 0), 8.0);
}

TEST(BasicNetwork, InsertAndRemoveLayer) {
  auto net = MakeBasicNet({1, 2, 1});
  net->Connect(1, 2);
  *net->GetConnections(1, 2)->GetWeightPtr(1, 0) = 6.0;
  net->InsertLayer(1, std::make_unique<TSimpleLayer>(net.get(), 1, 4));
  EXPECT_EQ(net->numLayers, 4);
  EXPECT_EQ(net->inLayer, 2);
  EXPECT_EQ(net->outLayer, 3);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(net->GetLayer(i)->layerNum, i);
  EXPECT_EQ(net->GetLayer(1)->numNeurons, 4);
  TBasicConnections* moved = net->GetConnections(2, 3);
  EXPECT_EQ(*moved->GetWeightPtr(1, 0), 6.0);
  for (int to = 0; to < 4; ++to) {
    for (int from = 0; from < 4; ++from) {
      EXPECT_EQ(net->GetConnections(from, to)->fromLayer, from);
      EXPECT_EQ(net->GetConnections(from, to)->toLayer, to);
    }
  }
  EXPECT_FALSE(net->GetConnections(1, 3)->IsConnected());
  net->Connect(1, 3);
  net->RemoveLayer(1);
  EXPECT_EQ(net->numLayers, 3);
  EXPECT_EQ(net->inLayer, 1);
  EXPECT_EQ(net->GetConnections(1, 2), moved);
  EXPECT_EQ(moved->fromLayer, 1);
  EXPECT_EQ(net->GetNumWeights(0), 2);
}

TEST(BasicNetwork, InputLayerWarnings) {
  // A simple layer at the input position warns, copies and still sums.
  auto net = MakeBasicNet({1, 2, 1});
  net->SetLayer(1, std::make_unique<TSimpleLayer>(net.get(), 1, 2));
  net->GetLayer(1)->SetFunction(&ActLinear);
  net->GetLayer(0)->SetFunction(&ActBias);
  net->Connect(0, 1);
  const double w[] = {10.0, 20.0};
  net->SetWeights(w, 0);
  const double in[2] = {1.0, 2.0};
  double out = 0.0;
  testing::internal::CaptureStderr();
  net->Recall(in, &out);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "!Warning: changed input layer (TSimpleLayer)\n");
  EXPECT_EQ(net->GetLayer(1)->outputs, (std::vector<double>{11.0, 22.0}));

  // An input layer elsewhere warns and outputs zeros.
  auto odd = MakeBasicNet({1, 2, 2});
  odd->SetLayer(2, std::make_unique<TSimpleInputLayer>(odd.get(), 2, 2));
  double two[2] = {9.0, 9.0};
  testing::internal::CaptureStderr();
  odd->Recall(in, two);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "!Warning: changed input layer (TSimpleInputLayer)\n");
  EXPECT_EQ(two[0], 0.0);
  EXPECT_EQ(two[1], 0.0);
}

TEST(BasicNetworkDeathTest, Preconditions) {
  auto net = MakeBasicNet({0, 2, 2, 1});
  EXPECT_DEATH(net->InsertNeuron(1, 0, 0.0, 1.0, true),
               "Assertion failed: LayerNum!=inLayer, file NeuralNets/TBasicNetwork");
  EXPECT_DEATH(net->InsertNeuron(3, 0, 0.0, 1.0, true), "Assertion failed: LayerNum!=outLayer");
  EXPECT_DEATH(net->RemoveNeuron(4, 0), "Assertion failed: LayerNum<numLayers");
  // Within the network's count but past the layer's end.
  EXPECT_DEATH(net->InsertNeuron(2, 3, 0.0, 1.0, true), "Assertion failed: node<=layer.numNeurons");
  EXPECT_EQ(net->GetNeuron(3), net->GetLayer(2)->GetNeuron(1));
  EXPECT_DEATH(net->GetNeuron(5), "Assertion failed: index<GetNumNeurons\\(\\)");
  EXPECT_DEATH(net->RemoveLayer(1), "Assertion failed: LayerNum!=inLayer");
  EXPECT_DEATH(net->NewInAllArcsIterator(), "Assertion failed: false");
}

}  // namespace
