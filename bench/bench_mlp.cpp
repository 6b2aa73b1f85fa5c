// Error measurement of a 256-256-10 MLP with bias over 1,000 patterns: the
// work the trainer does for every individual of every generation.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "DataObject/Data.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "common/Random.h"

namespace {

constexpr int kInputs = 256;
constexpr int kHidden = 256;
constexpr int kOutputs = 10;
constexpr int kPatterns = 1000;

double Uniform() {
  return quill::Rand() * (1.0 / quill::kRandMax);
}

void BM_MLPGetError(benchmark::State& state) {
  quill::SeedRand(12345);
  const int sizes[] = {kInputs, kHidden, kOutputs};
  TMLPNetwork net(3, sizes, true);
  net.Randomize(-0.1, 0.1);

  Data data(kPatterns, kInputs, kOutputs, false);
  std::vector<double> in(kInputs), out(kOutputs);
  for (int r = 0; r < kPatterns; ++r) {
    for (double& v : in)
      v = Uniform();
    for (double& v : out)
      v = Uniform();
    data.AddRow(in.data(), out.data(), nullptr);
  }

  double sink = 0.0;
  for (auto _ : state) {
    TErrorRMSObj err(kOutputs);
    sink += net.GetError(&data, &err);
  }
  benchmark::DoNotOptimize(sink);

  // Connections summed per pattern: bias -> hidden, bias -> output,
  // input -> hidden, hidden -> output.
  const double macs = kHidden + kOutputs + double(kInputs) * kHidden + double(kHidden) * kOutputs;
  const double patterns = double(state.iterations()) * kPatterns;
  state.counters["patterns/s"] = benchmark::Counter(patterns, benchmark::Counter::kIsRate);
  state.counters["MACs/s"] = benchmark::Counter(patterns * macs, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MLPGetError)->Unit(benchmark::kMillisecond);

}  // namespace
