// One whole generation of the network trainer: evaluate every individual
// (load its weights, recall every pattern, RMS error), then normalise, breed,
// mutate and carry the elites over, for a 32-64-10 MLP with bias (2,762
// weights), 2,000 patterns and 100 individuals. Reports generations per
// second and the share of the time spent evaluating.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "Bramble/Codes.h"
#include "Bramble/DeathCap.h"
#include "DataObject/Data.h"
#include "GA-Apps/GenTrain/TGenTrainReport.h"
#include "MLP/Quill/TQuillEval.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Random.h"

namespace {

double Uniform() {
  return quill::Rand() * (1.0 / 32767);
}

void BM_Generation(benchmark::State& state) {
  const int sizes[] = {32, 64, 10};
  const int patterns = 2000;
  const int population = 100;
  const int elite = 2;
  quill::SeedRand(1);
  TMLPNetwork net(3, sizes, true);
  net.Randomize(-1.0, 1.0);
  Data data(patterns, 32, 10, false);
  std::vector<double> x(32), t(10);
  for (int r = 0; r < patterns; ++r) {
    for (double& v : x)
      v = Uniform();
    for (double& v : t)
      v = Uniform() < 0.1 ? 1.0 : 0.0;
    data.AddRow(x.data(), t.data(), nullptr);
  }
  Data* sets[] = {&data};

  TGenTrainReport report;
  TQuillEval eval(&report);
  eval.SetWeightBounds(1.0, -1.0);
  eval.SetNetwork(net);
  eval.DefineGenes();
  eval.SetData(1, sets);
  DeathCap engine(&eval, &report);
  engine.CreatePopulation(eval.GeneSpecs(), population);
  engine.Randomize();
  std::unique_ptr<Population> working = engine.Current()->Clone();

  using Clock = std::chrono::steady_clock;
  double evaluating = 0.0, total = 0.0;
  for (auto _ : state) {
    const auto start = Clock::now();
    PopulationImage image = DeathCap::MakeImage(working.get());
    const std::vector<float> fitness =
        eval.Evaluate(image.gene_count, image.individual_count, image.records);
    for (int i = 1; i <= working->Size(); ++i)
      working->SetFitness(i, fitness[static_cast<std::size_t>(i - 1)]);
    const auto evaluated = Clock::now();
    working->ComputeStatistics();
    working->Normalise(NORMALISE_LINEAR);
    std::unique_ptr<Population> next = working->Breed(population - elite, 2, SELECT_TOURNAMENT);
    next->Mutate(0.05f);
    next->AddElites(elite, working.get());
    working = std::move(next);
    const auto end = Clock::now();
    evaluating += std::chrono::duration<double>(evaluated - start).count();
    total += std::chrono::duration<double>(end - start).count();
  }
  state.counters["generations/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["eval_share"] = total > 0.0 ? evaluating / total : 0.0;
}

BENCHMARK(BM_Generation)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace
