// Whole-chromosome operations on real genes: the values lie in one array and
// the rules in a table shared with the definition, so the time per gene must
// stay flat between the two lengths, and Clone costs one copy of the value
// array (no work per gene beyond the copy).
#include <benchmark/benchmark.h>

#include <memory>

#include "Bramble/Chromosome.h"
#include "Bramble/Codes.h"
#include "Bramble/MetaChrom.h"
#include "common/Random.h"

namespace {

std::unique_ptr<MetaChrom> RealDefinition(int length) {
  auto def = std::make_unique<MetaChrom>(length);
  for (int i = 1; i <= length; ++i) {
    def->SetGeneType(i, GENE_REAL);
    def->SetRealRange(i, 10.0f, -10.0f);
  }
  return def;
}

void BM_ChromosomeRandomize(benchmark::State& state) {
  const int length = static_cast<int>(state.range(0));
  auto def = RealDefinition(length);
  Chromosome chrom(length, def.get());
  quill::SeedRand(1);
  for (auto _ : state)
    benchmark::DoNotOptimize(chrom.Randomize());
  state.SetItemsProcessed(state.iterations() * length);
}

void BM_ChromosomeClone(benchmark::State& state) {
  const int length = static_cast<int>(state.range(0));
  auto def = RealDefinition(length);
  Chromosome chrom(length, def.get());
  quill::SeedRand(1);
  chrom.Randomize();
  for (auto _ : state) {
    std::unique_ptr<Chromosome> copy = chrom.Clone();
    benchmark::DoNotOptimize(copy.get());
  }
  state.SetItemsProcessed(state.iterations() * length);
}

void BM_ChromosomeMutate(benchmark::State& state) {
  const int length = static_cast<int>(state.range(0));
  auto def = RealDefinition(length);
  Chromosome chrom(length, def.get());
  quill::SeedRand(1);
  chrom.Randomize();
  for (auto _ : state)
    benchmark::DoNotOptimize(chrom.Mutate(0.05f));
  state.SetItemsProcessed(state.iterations() * length);
}

BENCHMARK(BM_ChromosomeRandomize)->Arg(10000)->Arg(20000);
BENCHMARK(BM_ChromosomeClone)->Arg(10000)->Arg(20000);
BENCHMARK(BM_ChromosomeMutate)->Arg(10000)->Arg(20000);

}  // namespace
