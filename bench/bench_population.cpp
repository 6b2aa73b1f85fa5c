// One bred generation (Breed + Mutate + AddElites) and one MakeImage for
// populations of real genes. Both must grow linearly with the number of
// genes and with the number of individuals: compare the time per gene across
// the three shapes. BM_Bookkeeping times everything a generation does to the
// genes apart from evaluation (Breed + Mutate + AddElites + MakeImage) at the
// size of the large training workload: 100 individuals of 68,362 genes.
#include <benchmark/benchmark.h>

#include <memory>

#include "Bramble/DeathCap.h"
#include "Bramble/Population.h"
#include "common/Random.h"

namespace {

std::unique_ptr<Population> RandomPopulation(int size, int genes) {
  auto def = std::make_unique<MetaChrom>(genes);
  for (int i = 1; i <= genes; ++i) {
    def->SetGeneType(i, GENE_REAL);
    def->SetRealRange(i, 10.0f, -10.0f);
  }
  auto pop = std::make_unique<Population>(1, size, genes, def.get());
  quill::SeedRand(1);
  pop->Randomize();
  for (int i = 1; i <= size; ++i)
    pop->SetFitness(i, static_cast<float>(i));
  pop->ComputeStatistics();
  return pop;
}

// One generation's breeding with one elite: selection and crossover, mutation
// at `rate`, the elite added.
std::unique_ptr<Population> BreedNext(Population& working, int size, float rate) {
  const int elite = 1;
  std::unique_ptr<Population> next = working.Breed(size - elite, 1, SELECT_ROULETTE);
  benchmark::DoNotOptimize(next->Mutate(rate));
  benchmark::DoNotOptimize(next->AddElites(elite, &working));
  return next;
}

void BM_BreedGeneration(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const int genes = static_cast<int>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<Population> working = RandomPopulation(size, genes);
    state.ResumeTiming();
    std::unique_ptr<Population> next = BreedNext(*working, size, 0.05f);
    state.PauseTiming();
    next.reset();
    working.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * size * genes);
}

void BM_MakeImage(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const int genes = static_cast<int>(state.range(1));
  std::unique_ptr<Population> pop = RandomPopulation(size, genes);
  for (auto _ : state) {
    PopulationImage image = DeathCap::MakeImage(pop.get());
    benchmark::DoNotOptimize(image.records.data());
  }
  state.SetItemsProcessed(state.iterations() * size * genes);
}

void BM_Bookkeeping(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const int genes = static_cast<int>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<Population> working = RandomPopulation(size, genes);
    state.ResumeTiming();
    std::unique_ptr<Population> next = BreedNext(*working, size, 0.02f);
    PopulationImage image = DeathCap::MakeImage(next.get());
    benchmark::DoNotOptimize(image.records.data());
    state.PauseTiming();
    image = {};
    next.reset();
    working.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * size * genes);
}

BENCHMARK(BM_BreedGeneration)
    ->Args({100, 10000})
    ->Args({100, 20000})
    ->Args({200, 10000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MakeImage)
    ->Args({100, 10000})
    ->Args({100, 20000})
    ->Args({200, 10000})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(BM_Bookkeeping)->Args({100, 68362})->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
