// The compiled recall plan against the object network: random networks of
// every shape the plan handles and random data, compared bit for bit on every
// pattern and on the trainer's mean RMS error, for every implementation this
// processor runs.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "NeuralNets/RandomNetwork.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TRecallPlan.h"

namespace {

using quill::simd::RecallKernels;

// Bitwise equality, except that any two NaNs agree: which NaN an addition
// keeps depends on operand order, and no result the program shows depends on
// it.
bool Same(double a, double b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

TEST(RecallPlan, EqualsTheObjectNetworkBitForBit) {
  int compiled = 0;
  for (std::uint64_t seed = 1; seed <= 400; ++seed) {
    RandomCase c(seed);
    std::vector<Data*> sets = c.Sets();
    for (const RecallKernels* kernels : quill::simd::AvailableKernels()) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " " + kernels->name + ": " + c.Describe());
      auto plan =
          TRecallPlan::Compile(c.Net(), static_cast<int>(sets.size()), sets.data(), *kernels);
      ASSERT_NE(plan, nullptr);
      ++compiled;
      auto ws = plan->NewWorkspace();
      for (int round = 0; round < 2; ++round) {
        // Round 0: the weights as compiled; round 1: random genes loaded
        // both ways.
        if (round == 1) {
          std::vector<double> genes = c.Genes();
          c.Net().SetWeights(genes.data(), 0);
          for (std::size_t k = 0; k < genes.size(); ++k)
            ws->Weights()[plan->Slots()[k]] = genes[k];
        }
        testing::internal::CaptureStderr();
        const std::vector<double> expected = c.ObjectOutputs();
        const double expected_error = c.ObjectError();
        const std::string warnings = testing::internal::GetCapturedStderr();
        const std::vector<double> got = plan->RecallAll(*ws);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i)
          ASSERT_TRUE(Same(got[i], expected[i])) << i << ": " << got[i] << " vs " << expected[i];
        EXPECT_TRUE(Same(plan->MeanRMSError(*ws), expected_error));
        // The plan rebuilt from its bytes, as another process gets it, with
        // the weights of this round.
        auto copy = TRecallPlan::FromBytes(plan->ToBytes(), *kernels);
        auto copy_ws = copy->NewWorkspace();
        for (std::size_t k = 0; k < plan->Slots().size(); ++k)
          copy_ws->Weights()[copy->Slots()[k]] = ws->Weights()[plan->Slots()[k]];
        EXPECT_TRUE(Same(copy->MeanRMSError(*copy_ws), expected_error));
        // Two recalls per pattern above: the outputs and the error.
        std::string once;
        for (const char* w : plan->WarningsPerPattern())
          once += std::string(w) + "\n";
        std::string all;
        for (std::int64_t p = 0; p < 2 * plan->NumPatterns(); ++p)
          all += once;
        EXPECT_EQ(warnings, all);
      }
    }
  }
  EXPECT_GT(compiled, 400);
}

// Each data set's error, as the starting line adds them up: GetError's value
// for each, bit for bit.
TEST(RecallPlan, PerDataSetErrorsAreThoseOfTheObjectNetwork) {
  for (std::uint64_t seed = 1; seed <= 100; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomCase c(seed);
    std::vector<Data*> sets = c.Sets();
    auto plan = TRecallPlan::Compile(c.Net(), static_cast<int>(sets.size()), sets.data(),
                                     quill::simd::BestKernels());
    ASSERT_NE(plan, nullptr);
    std::vector<double> errors(sets.size());
    plan->RMSErrors(*plan->NewWorkspace(), errors.data());
    testing::internal::CaptureStderr();
    TErrorRMSObj err(sets[0]->NumOutputs());
    for (std::size_t k = 0; k < sets.size(); ++k)
      EXPECT_TRUE(Same(errors[k], c.Net().GetError(sets[k], &err))) << k;
    testing::internal::GetCapturedStderr();
  }
}

// Single precision: every implementation gives the plain kernels' bits on
// every pattern and error, before and after loading genes, also rebuilt from
// its bytes; and the outputs stay near the double-precision ones where the
// values are tame.
TEST(RecallPlan, SinglePrecisionIsTheSameOnEveryImplementation) {
  using Precision = TRecallPlan::Precision;
  int compiled = 0, near = 0;
  for (std::uint64_t seed = 1; seed <= 400; ++seed) {
    RandomCase c(seed);
    std::vector<Data*> sets = c.Sets();
    const int count = static_cast<int>(sets.size());
    SCOPED_TRACE("seed " + std::to_string(seed) + ": " + c.Describe());
    auto reference = TRecallPlan::Compile(c.Net(), count, sets.data(),
                                          quill::simd::PortableKernels(), Precision::kSingle);
    testing::internal::CaptureStderr();
    const std::vector<double> doubles = c.ObjectOutputs();
    testing::internal::GetCapturedStderr();
    const std::vector<double> genes = c.Genes();
    for (const RecallKernels* kernels : quill::simd::AvailableKernels()) {
      SCOPED_TRACE(kernels->name);
      auto plan = TRecallPlan::Compile(c.Net(), count, sets.data(), *kernels, Precision::kSingle);
      // Only a value beyond the float range turns single precision down.
      ASSERT_EQ(plan == nullptr, reference == nullptr);
      if (plan == nullptr) continue;
      ++compiled;
      EXPECT_EQ(plan->GetPrecision(), Precision::kSingle);
      auto ws = plan->NewWorkspace();
      auto ref_ws = reference->NewWorkspace();
      for (int round = 0; round < 2; ++round) {
        if (round == 1) {
          plan->LoadWeights(*ws, [&](std::size_t k) { return genes[k]; });
          reference->LoadWeights(*ref_ws, [&](std::size_t k) { return genes[k]; });
        }
        const std::vector<double> expected = reference->RecallAll(*ref_ws);
        const std::vector<double> got = plan->RecallAll(*ws);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i)
          ASSERT_TRUE(Same(got[i], expected[i])) << i << ": " << got[i] << " vs " << expected[i];
        std::vector<double> errors(sets.size()), expected_errors(sets.size());
        plan->RMSErrors(*ws, errors.data());
        reference->RMSErrors(*ref_ws, expected_errors.data());
        for (std::size_t k = 0; k < sets.size(); ++k)
          EXPECT_TRUE(Same(errors[k], expected_errors[k]));
        const double error = plan->MeanRMSError(*ws);
        EXPECT_TRUE(Same(error, reference->MeanRMSError(*ref_ws)));
        auto copy = TRecallPlan::FromBytes(plan->ToBytes(), *kernels);
        auto copy_ws = copy->NewWorkspace();
        if (round == 1) copy->LoadWeights(*copy_ws, [&](std::size_t k) { return genes[k]; });
        EXPECT_TRUE(Same(copy->MeanRMSError(*copy_ws), error));
        // Float arithmetic stays near the double one while nothing is huge.
        if (round == 0 && kernels == &quill::simd::PortableKernels()) {
          bool tame = true;
          for (std::size_t i = 0; i < got.size() && tame; ++i)
            tame = std::isfinite(doubles[i]) && std::fabs(doubles[i]) < 1e3;
          if (tame) {
            ++near;
            for (std::size_t i = 0; i < got.size(); ++i)
              EXPECT_NEAR(got[i], doubles[i], 1e-3 * (1.0 + std::fabs(doubles[i]))) << i;
          }
        }
      }
    }
  }
  EXPECT_GT(compiled, 400);
  EXPECT_GT(near, 100);
}

TEST(RecallPlan, RefusesWhatItCannotReproduce) {
  const int sizes[] = {2, 3, 1};
  TMLPNetwork net(3, sizes, true);
  auto fits = std::make_unique<Data>(2, 2, 1, false);
  const double x[] = {1.0, 2.0}, t[] = {1.0};
  fits->AddRow(x, t, nullptr);
  Data* sets[] = {fits.get()};
  const RecallKernels& k = quill::simd::PortableKernels();
  EXPECT_NE(TRecallPlan::Compile(net, 1, sets, k), nullptr);

  // Data that does not fit the network: the object path reports it.
  Data wide(2, 3, 1, false);
  Data* wrong[] = {&wide};
  EXPECT_EQ(TRecallPlan::Compile(net, 1, wrong, k), nullptr);
  // No pattern before the first error: the error object would fail.
  Data empty(3, 2, 1, false);
  Data* none[] = {&empty, fits.get()};
  EXPECT_EQ(TRecallPlan::Compile(net, 2, none, k), nullptr);
  // A function the plan does not know.
  net.GetLayer(2)->GetNeuron(1)->SetFunction(
      +[](TBasicNeuron* neuron, double v) { *neuron->output = v * 3.0; });
  EXPECT_EQ(TRecallPlan::Compile(net, 1, sets, k), nullptr);
}

}  // namespace
