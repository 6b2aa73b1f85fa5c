#include <gtest/gtest.h>

#include "NeuralNets/TArcsIterator.h"
#include "NeuralNets/TConnectedNetwork.h"
#include "NeuralNets/TSimpleLayer.h"

namespace {

std::unique_ptr<TConnectedNetwork> MakeNet() {
  const int sizes[] = {1, 2, 3};
  return std::make_unique<TConnectedNetwork>(3, sizes);
}

TEST(ConnectedNetwork, BuildsLayersAndFullMatrices) {
  auto net = MakeNet();
  EXPECT_STREQ(net->GetNetworkType(), "Connected");
  EXPECT_STREQ(net->GetLayer(1)->GetLayerType(), "Input");
  EXPECT_EQ(net->GetLayer(1)->GetFunction(), &ActLinear);
  EXPECT_STREQ(net->GetLayer(2)->GetLayerType(), "Simple");
  EXPECT_EQ(net->GetLayer(2)->GetNeuron(0)->GetFunction(), &ActError);
  net->Connect(1, 2);
  TBasicConnections* c = net->GetConnections(1, 2);
  EXPECT_STREQ(c->GetConnectionsNType(), "FullyConnected");
  *c->GetWeightPtr(1, 2) = 4.0;
  net->Connect(1, 2);
  EXPECT_EQ(net->GetConnections(1, 2), c);
  EXPECT_EQ(*c->GetWeightPtr(1, 2), 4.0);
  TConnectedNetwork copy(*net);
  EXPECT_STREQ(copy.GetNetworkType(), "Connected");
  EXPECT_EQ(*copy.GetConnections(1, 2)->GetWeightPtr(1, 2), 4.0);
}

TEST(ArcsIterator, AllArcsOfOneNeuron) {
  auto net = MakeNet();
  net->Connect(1, 2);
  net->Connect(0, 2);
  *net->GetConnections(1, 2)->GetWeightPtr(1, 0) = 7.0;
  auto it = net->NewInAllArcsIterator();
  it->Start(2, 0);
  EXPECT_FALSE(it->HasArc());
  EXPECT_EQ(it->GetToNeuron(), net->GetLayer(2)->GetNeuron(0));
  ASSERT_TRUE(it->Next());
  EXPECT_EQ(it->GetFromLayer(), 0);
  EXPECT_EQ(it->GetFromNode(), 0);
  ASSERT_TRUE(it->Next());
  EXPECT_EQ(it->GetFromLayer(), 1);
  EXPECT_EQ(it->GetFromNode(), 0);
  ASSERT_TRUE(it->Next());
  EXPECT_EQ(it->GetFromNode(), 1);
  EXPECT_EQ(*it->GetWeightPtr(), 7.0);
  EXPECT_EQ(it->GetFromNeuron(), net->GetLayer(1)->GetNeuron(1));
  EXPECT_TRUE(static_cast<bool>(*it));
  EXPECT_FALSE(it->Next());
  EXPECT_FALSE(it->HasArc());
  EXPECT_FALSE(it->Next());
  // Back from the end onto the last arc, then down to the first.
  ASSERT_TRUE(it->Prev());
  EXPECT_EQ(it->GetFromLayer(), 1);
  EXPECT_EQ(it->GetFromNode(), 1);
  ASSERT_TRUE(it->Prev());
  ASSERT_TRUE(it->Prev());
  EXPECT_EQ(it->GetFromLayer(), 0);
  EXPECT_FALSE(it->Prev());
  EXPECT_FALSE(it->HasArc());
}

TEST(ArcsIterator, InLayerIterator) {
  auto net = MakeNet();
  net->Connect(1, 2);
  *net->GetConnections(1, 2)->GetWeightPtr(0, 1) = 3.0;
  TConnInLayerArcsIterator it(net.get());
  it.Start(2, 1, 1);
  EXPECT_TRUE(it.HasArc());
  EXPECT_FALSE(it.Prev());
  ASSERT_TRUE(it.Next());
  EXPECT_EQ(*it.GetWeightPtr(), 3.0);
  ASSERT_TRUE(it.Next());
  EXPECT_EQ(it.GetFromNode(), 1);
  EXPECT_FALSE(it.Next());
  ASSERT_TRUE(it.Prev());
  EXPECT_EQ(it.GetFromNode(), 0);
  // A pair that is not connected has no arc to stand on.
  it.Start(2, 0, 0);
  EXPECT_FALSE(it.HasArc());
  EXPECT_FALSE(it.Next());
  EXPECT_FALSE(it.Prev());
}

}  // namespace
