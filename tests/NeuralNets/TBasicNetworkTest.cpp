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

TEST(Layer, NeuronsWriteToTheirOutputCells) {
  auto net = MakeBasicNet({0, 2, 3});
  TBasicLayer* layer = net->GetLayer(2);
  layer->SetFunction(&ActLinear);
  const double v[] = {1.5, -2.0, 4.0};
  layer->Activate(v);
  EXPECT_EQ(layer->outputs, (std::vector<double>{1.5, -2.0, 4.0}));
  EXPECT_EQ(layer->GetNeuron(2)->output, &layer->outputs[2]);
  EXPECT_EQ(layer->GetNeuron(2)->layer, layer);
  EXPECT_STREQ(layer->GetLayerType(), "Simple");
  EXPECT_STREQ(net->GetLayer(1)->GetLayerType(), "Input");
  EXPECT_EQ(net->GetLayer(1)->GetFunction(), &ActLinear);
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
  TBasicNeuron* n = layer->GetNeuron(0);
  EXPECT_EQ(n->GetNumParams(), 1);
  EXPECT_STREQ(n->GetParamName(0), "Gain");
  double p = 0.0;
  n->GetParams(&p);
  EXPECT_EQ(p, 1.5);
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
  EXPECT_STREQ(copy->GetLayerType(), "Gain");
  EXPECT_EQ(copy->network, &other);
  EXPECT_EQ(copy->outputs, (std::vector<double>{0.0, 0.0, 0.0}));
  EXPECT_EQ(copy->nodes[1].gain, 2.0);
  EXPECT_EQ(copy->nodes[1].output, &copy->outputs[1]);
  EXPECT_EQ(copy->nodes[1].layer, copy);
  EXPECT_EQ(copy->GetFunction(), &ActLinearGain);
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
  double sentinel = 7.0;
  EXPECT_EQ(c->GetWeights(&sentinel, 0), 0);
  EXPECT_EQ(sentinel, 7.0);
  EXPECT_FALSE(c->IsValid(0, 0));
  EXPECT_FALSE(c->IsTrainable(0, 0));
  // No flags: always FMaskAll; FMaskAll and FMaskExists are accepted.
  EXPECT_EQ(c->GetFlags(1, 2), FMaskAll);
  c->SetFlags(0, 0, FMaskAll);
  c->SetFlags(0, 0, FMaskExists);
  auto clone = c->Clone(net.get());
  EXPECT_EQ(clone->fromLayer, 1);
  EXPECT_EQ(clone->toLayer, 2);
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
  EXPECT_EQ(sum.conn, c);
  EXPECT_EQ(sum.layerFrom, net->GetLayer(1));
  EXPECT_EQ(sum.outTo, net->GetLayer(2)->outputs.data());
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

}  // namespace
