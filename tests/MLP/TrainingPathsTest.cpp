// Training on the compiled recall plan, with any number of threads, against
// training on the object network record by record: random networks and data
// must give the same progress series, the same messages and the same best
// weights.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Bramble/Codes.h"
#include "GA-Apps/GenTrain/TGenTrain.h"
#include "MLP/Quill/TQuill.h"
#include "MLP/Quill/TQuillEval.h"
#include "NeuralNets/RandomNetwork.h"
#include "common/Clock.h"

namespace {

// The Quill evaluator held to the object network.
class ObjectEval : public TQuillEval {
 public:
  using TQuillEval::TQuillEval;
  bool MeasuresInBatches() override { return false; }
};

class ObjectQuill : public TGenTrain {
 public:
  ObjectQuill() { MbrPtrEvlEvaluator = std::make_unique<ObjectEval>(MbrPtrRptReporter.get()); }
};

struct Trained {
  std::string out;
  std::string err;
  std::vector<double> best;
};

Trained Train(TGenTrain& trainer, RandomCase& c, int threads, std::uint64_t seed,
              bool single = false) {
  quill::ScopedClock clock(static_cast<std::int64_t>(seed));
  std::vector<Data*> sets = c.Sets();
  trainer.Evaluator()->SetWeightBounds(1.0, -1.0);
  trainer.Evaluator()->SetThreads(threads);
  if (single) {
    static_cast<TQuillEval*>(trainer.Evaluator())->SetPrecision(TRecallPlan::Precision::kSingle);
  }
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  trainer.SetNetwork(&c.Net());
  trainer.CreatePopulation(static_cast<std::int32_t>(3 + seed % 9));
  const int selection = seed % 2 == 0 ? SELECT_TOURNAMENT : SELECT_ROULETTE;
  trainer.Train(static_cast<std::int32_t>(sets.size()), sets.data(),
                {0.0, 5, static_cast<std::int32_t>(seed % 3), static_cast<int>(seed % 4) - 1, 0.1f,
                 selection, static_cast<int>(seed % 2)});
  Trained t;
  t.out = testing::internal::GetCapturedStdout();
  t.err = testing::internal::GetCapturedStderr();
  std::unique_ptr<TMLPNetwork> best = trainer.GetBestNetwork();
  t.best.resize(static_cast<std::size_t>(best->GetNumWeights(FMaskExists)));
  best->GetWeights(t.best.data(), FMaskExists);
  return t;
}

TEST(TrainingPaths, PlanAndThreadsTrainAsTheObjectNetwork) {
  for (std::uint64_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomCase c(seed);
    ObjectQuill object;
    const Trained expected = Train(object, c, 1, seed);
    for (int threads = 1; threads <= 4; ++threads) {
      TQuill quill;
      const Trained got = Train(quill, c, threads, seed);
      EXPECT_NE(static_cast<TQuillEval*>(quill.Evaluator())->Plan(), nullptr);
      EXPECT_EQ(got.out, expected.out) << threads << " threads";
      EXPECT_EQ(got.err, expected.err) << threads << " threads";
      ASSERT_EQ(got.best.size(), expected.best.size());
      for (std::size_t k = 0; k < got.best.size(); ++k) {
        // Weights are compared as bits; NaN weights cannot arise here.
        EXPECT_EQ(std::bit_cast<std::uint64_t>(got.best[k]),
                  std::bit_cast<std::uint64_t>(expected.best[k]))
            << k;
      }
    }
  }
}

// Single precision trains alike on any number of threads: the same series,
// messages and best weights.
TEST(TrainingPaths, SinglePrecisionIsTheSameOnAnyThreadCount) {
  int compiled = 0;
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomCase c(seed);
    TQuill one;
    const Trained expected = Train(one, c, 1, seed, true);
    const TRecallPlan* plan = static_cast<TQuillEval*>(one.Evaluator())->Plan();
    // What single precision cannot take is measured on the double-precision plan.
    ASSERT_NE(plan, nullptr);
    compiled += plan != nullptr && plan->GetPrecision() == TRecallPlan::Precision::kSingle;
    for (int threads = 2; threads <= 4; ++threads) {
      TQuill quill;
      const Trained got = Train(quill, c, threads, seed, true);
      EXPECT_EQ(got.out, expected.out) << threads << " threads";
      EXPECT_EQ(got.err, expected.err) << threads << " threads";
      EXPECT_EQ(got.best, expected.best) << threads << " threads";
    }
  }
  EXPECT_GT(compiled, 10);
}

}  // namespace
