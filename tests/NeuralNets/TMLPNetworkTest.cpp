#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <new>

#include "CountingAllocator.h"
#include "DataObject/Data.h"
#include "NeuralNets/NetTestUtil.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "errors/TException.h"

namespace {

// One input, one sigmoid output, no bias: the output is s(w * x).
std::unique_ptr<TMLPNetwork> OneToOne(double w) {
  const int sizes[] = {1, 1};
  auto net = std::make_unique<TMLPNetwork>(2, sizes, false);
  net->SetWeights(&w, 0);
  return net;
}

// Rows of one input and one target.
std::unique_ptr<Data> Rows(const std::vector<std::pair<double, double>>& rows) {
  auto d = std::make_unique<Data>(static_cast<int>(rows.size()), 1, 1, false);
  for (const auto& [x, t] : rows)
    d->AddRow(&x, &t, nullptr);
  return d;
}

TEST(MLPNetwork, BiasNetworkShapeAndWeightOrder) {
  const int sizes[] = {2, 3, 1};
  TMLPNetwork net(3, sizes, true);
  EXPECT_STREQ(net.GetNetworkType(), "MLP");
  EXPECT_EQ(net.numLayers, 4);
  EXPECT_EQ(net.inLayer, 1);
  EXPECT_EQ(net.outLayer, 3);
  EXPECT_EQ(net.GetLayer(0)->numNeurons, 1);
  EXPECT_EQ(net.GetLayer(0)->GetFunction(), &ActBias);
  EXPECT_STREQ(net.GetLayer(1)->GetLayerType(), "Input");
  EXPECT_STREQ(net.GetLayer(2)->GetLayerType(), "Gain");
  EXPECT_EQ(net.GetLayer(3)->GetFunction(), &ActSigmoid);
  EXPECT_STREQ(net.GetConnections(1, 2)->GetConnectionsNType(), "Pruneable");
  EXPECT_FALSE(net.GetConnections(0, 1)->IsConnected());
  // bias -> 2 (3), bias -> 3 (1), input -> 2 (6), 2 -> 3 (3)
  ASSERT_EQ(net.GetNumWeights(0), 13);
  std::vector<double> w(13, 9.0);
  net.GetWeights(w.data(), 0);
  EXPECT_EQ(w, std::vector<double>(13, 0.0));
  for (int i = 0; i < 13; ++i)
    w[static_cast<std::size_t>(i)] = i;
  net.SetWeights(w.data(), 0);
  EXPECT_EQ(*net.GetConnections(0, 2)->GetWeightPtr(0, 2), 2.0);
  EXPECT_EQ(*net.GetConnections(0, 3)->GetWeightPtr(0, 0), 3.0);
  EXPECT_EQ(*net.GetConnections(1, 2)->GetWeightPtr(1, 0), 5.0);
  EXPECT_EQ(*net.GetConnections(1, 2)->GetWeightPtr(0, 1), 6.0);
  EXPECT_EQ(*net.GetConnections(2, 3)->GetWeightPtr(2, 0), 12.0);

  TMLPNetwork copy(net);
  EXPECT_TRUE(copy.hasBias);
  const double in[2] = {0.25, -0.5};
  double a = 0.0, b = 0.0;
  net.Recall(in, &a);
  copy.Recall(in, &b);
  EXPECT_EQ(a, b);
  const double s0 = 1.0 / (1.0 + std::exp(-(0.0 + (4.0 * 0.25 + 5.0 * -0.5))));
  const double s1 = 1.0 / (1.0 + std::exp(-(1.0 + (6.0 * 0.25 + 7.0 * -0.5))));
  const double s2 = 1.0 / (1.0 + std::exp(-(2.0 + (8.0 * 0.25 + 9.0 * -0.5))));
  EXPECT_EQ(a, 1.0 / (1.0 + std::exp(-(3.0 + (10.0 * s0 + 11.0 * s1 + 12.0 * s2)))));
}

TEST(MLPNetwork, UnfilledConstructor) {
  TMLPNetwork shell(2, true);
  EXPECT_EQ(shell.numLayers, 3);
  EXPECT_EQ(shell.outLayer, 2);
  EXPECT_FALSE(shell.IsComplete());
}

TEST(MLPNetwork, ErrorAccumulatesOverDataSets) {
  auto net = OneToOne(0.0);  // every output 0.5
  auto first = Rows({{1.0, 1.0}, {2.0, 0.0}});
  auto second = Rows({{3.0, 0.5}});
  TErrorRMSObj err(1);
  EXPECT_EQ(net->GetError(first.get(), &err), std::sqrt(0.5 / 1 / 2));
  // Not the RMS of the second set alone (0): of all three patterns.
  EXPECT_EQ(net->GetError(second.get(), &err), std::sqrt(0.5 / 1 / 3));
  EXPECT_EQ(err.numPatterns, 3);
  // Only stored rows count, however large the capacity.
  Data roomy(5, 1, 1, false);
  const double x = 1.0, t = 1.0;
  roomy.AddRow(&x, &t, nullptr);
  TErrorRMSObj one(1);
  EXPECT_EQ(net->GetError(&roomy, &one), 0.5);
  EXPECT_EQ(one.numPatterns, 1);
  // A perfect network.
  auto half = Rows({{1.0, 0.5}, {-4.0, 0.5}});
  TErrorRMSObj perfect(1);
  EXPECT_EQ(net->GetError(half.get(), &perfect), 0.0);
}

TEST(MLPNetwork, GetErrorAllocatesNothingOnceWarm) {
  const int sizes[] = {3, 4, 2};
  TMLPNetwork net(3, sizes, true);
  net.Randomize(-1.0, 1.0);
  Data data(50, 3, 2, false);
  const double x[3] = {0.1, 0.2, 0.3}, t[2] = {1.0, 0.0};
  for (int r = 0; r < 50; ++r)
    data.AddRow(x, t, nullptr);
  TErrorRMSObj warm(2);
  const long cold = AllocationCount();
  net.GetError(&data, &warm);  // sizes the work buffers
  EXPECT_GT(AllocationCount(), cold);
  const long before = AllocationCount();
  TErrorRMSObj err(2);
  const double e = net.GetError(&data, &err);
  EXPECT_EQ(AllocationCount(), before);
  EXPECT_EQ(e, warm.GetError());
}

TEST(MLPNetwork, DataThatDoesNotFitIsRejected) {
  auto net = OneToOne(1.0);
  Data wide(1, 3, 1, false);
  const double row[3] = {0.0, 0.0, 2.0}, target = 0.0;
  wide.AddRow(row, &target, nullptr);
  TErrorRMSObj err(1);
  try {
    net->GetError(&wide, &err);
    FAIL() << "no exception";
  } catch (const TException& e) {
    EXPECT_EQ(e.message, "Data set does not fit the network");
    EXPECT_EQ(e.category, "Bad Parameter");
  }
  EXPECT_EQ(err.numPatterns, 0);
  // A selection of one input column fits.
  const int column = 2;
  wide.SetInputFeatures(1, &column);
  EXPECT_EQ(net->GetError(&wide, &err), 1.0 / (1.0 + std::exp(-2.0)));
  TErrorRMSObj twoOutputs(2);
  auto data = Rows({{1.0, 1.0}});
  EXPECT_THROW(net->GetError(data.get(), &twoOutputs), TException);
  // An empty data set leaves the RMS undefined.
  Data empty(0, 1, 1, false);
  TErrorRMSObj fresh(1);
  EXPECT_THROW(net->GetError(&empty, &fresh), TException);
}

TEST(MLPNetwork, RecallDataKeepsInputs) {
  auto net = OneToOne(2.0);
  Data data(3, 1, 1, false);  // capacity 3, 2 stored rows
  const double x0 = 0.0, x1 = 1.0, t = 9.0;
  data.AddRow(&x0, &t, nullptr);
  data.AddRow(&x1, &t, nullptr);
  auto result = net->RecallData(&data);
  EXPECT_EQ(result->NumRows(), 3);
  EXPECT_EQ(result->NumDataRows(), 2);
  EXPECT_EQ(result->NumInputs(), 1);
  EXPECT_EQ(result->NumOutputs(), 1);
  double x = 0.0, y = 0.0;
  result->GetInputDatum(1, 0, &x);
  result->GetOutputDatum(1, 0, &y);
  EXPECT_EQ(x, 1.0);
  EXPECT_EQ(y, 1.0 / (1.0 + std::exp(-2.0)));
}

TEST(MLPNetwork, RecallOutputOnly) {
  auto net = OneToOne(1.0);
  Data data(4, 1, 1, false);  // capacity 4, 2 stored rows
  const double x0 = 0.0, x1 = 3.0, t = 0.0;
  data.AddRow(&x0, &t, nullptr);
  data.AddRow(&x1, &t, nullptr);
  std::unique_ptr<Data> out;
  net->RecallOutputOnly(&data, out);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->NumRows(), 2);
  EXPECT_EQ(out->NumInputs(), 0);
  double y = 0.0;
  out->GetOutputDatum(0, 0, &y);
  EXPECT_EQ(y, 0.5);
  out->GetOutputDatum(1, 0, &y);
  EXPECT_EQ(y, 1.0 / (1.0 + std::exp(-3.0)));

  Data* previous = out.get();
  try {
    net->RecallOutputOnly(nullptr, out);
    FAIL() << "no exception";
  } catch (const TException& e) {
    EXPECT_EQ(e.message, "Null data pointer");
    EXPECT_EQ(e.category, "Null Pointer Parameter");
    EXPECT_EQ(e.location, "TVexa::RecallOutputOnly");
    EXPECT_EQ(e.detail, nullptr);
  }
  EXPECT_EQ(out.get(), previous);
}

TEST(MLPNetworkDeathTest, NullArgumentsOfGetError) {
  auto net = OneToOne(1.0);
  TErrorRMSObj err(1);
  auto data = Rows({{1.0, 1.0}});
  EXPECT_DEATH(net->GetError(nullptr, &err),
               "Assertion failed: in != nil, file NeuralNets/TMLPNetwork");
  EXPECT_DEATH(net->GetError(data.get(), nullptr), "Assertion failed: err != nil");
}

}  // namespace
