// Writing and reading a checkpoint at the M and L benchmark sizes (100
// individuals of 2,762 and of 68,362 real genes): the text alone, and the
// whole atomic write to disk (temporary file, sync, rename); reading from a
// file as a resumed run does, with the fast path for the genes and with the
// plain tag reader it is checked against.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "MLP/Quill/Checkpoint.h"
#include "common/AtomicFile.h"

namespace {

RunCheckpoint Make(int genes) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> weight(-1.0f, 1.0f);
  RunCheckpoint c;
  c.generation = 10;
  c.data_fingerprints = {1, 2, 3};
  c.settings.PopulationSize = 100;
  c.gene_count = genes;
  for (int i = 0; i < 100; ++i) {
    IndividualRecord r;
    r.identifier = i + 1;
    r.fitness = 1.0f + weight(rng);
    for (int k = 0; k < genes; ++k)
      r.values.push_back(GeneCell::FromReal(weight(rng)));
    c.individuals.push_back(std::move(r));
  }
  c.best = c.individuals[0];
  return c;
}

void BM_WriteText(benchmark::State& state) {
  const RunCheckpoint c = Make(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::ostringstream out;
    WriteCheckpoint(out, c);
    bytes = out.str().size();
  }
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_WriteFile(benchmark::State& state) {
  const RunCheckpoint c = Make(static_cast<int>(state.range(0)));
  const std::string path = "/tmp/quill_bench_checkpoint.ckpt";
  for (auto _ : state)
    benchmark::DoNotOptimize(
        quill::WriteFileAtomically(path, [&](std::ostream& out) { WriteCheckpoint(out, c); }));
  std::remove(path.c_str());
}

void Read(benchmark::State& state, bool plain) {
  const std::string path = "/tmp/quill_bench_checkpoint_read.ckpt";
  {
    std::ofstream out(path, std::ios::binary);
    WriteCheckpoint(out, Make(static_cast<int>(state.range(0))));
  }
  CheckpointReading how;
  how.plain = plain;
  for (auto _ : state) {
    std::ifstream in(path, std::ios::binary);
    benchmark::DoNotOptimize(ReadCheckpoint(in, how).individuals.size());
  }
  std::remove(path.c_str());
}

void BM_Read(benchmark::State& state) {
  Read(state, false);
}

void BM_ReadPlain(benchmark::State& state) {
  Read(state, true);
}

BENCHMARK(BM_WriteText)->Arg(2762)->Arg(68362)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFile)->Arg(2762)->Arg(68362)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->Arg(2762)->Arg(68362)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPlain)->Arg(2762)->Arg(68362)->Unit(benchmark::kMillisecond);

}  // namespace
