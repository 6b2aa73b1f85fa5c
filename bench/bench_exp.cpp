// exp, sigmoid and sigmoid-gain over arrays of typical net inputs (uniform in
// -10..10), for every kernel the processor can run: the library's scalar loop
// ("libm") against the AVX2 and AVX-512 kernels. Arrays of 256 and 4096
// doubles (a layer's outputs; a batch of them). The per_element counter (time per
// element) is the figure to compare. The BM_single_* benchmarks time the
// single-precision functions of each implementation (plain, AVX2, AVX-512)
// over floats in the same way.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "NeuralNets/simd/RecallKernels.h"
#include "NeuralNets/simd/VecExp.h"

namespace {

using quill::simd::ExpKernels;

enum class Fn { kExp, kSigmoid, kSigmoidGain };

std::vector<double> TypicalInputs(std::size_t n) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> dist(-10.0, 10.0);
  std::vector<double> x(n);
  for (double& v : x)
    v = dist(rng);
  return x;
}

void Run(benchmark::State& state, const ExpKernels* k, Fn fn) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<double> x = TypicalInputs(n);
  std::vector<double> y(n);
  for (auto _ : state) {
    switch (fn) {
      case Fn::kExp:
        k->exp(x.data(), y.data(), n);
        break;
      case Fn::kSigmoid:
        k->sigmoid(x.data(), y.data(), n);
        break;
      case Fn::kSigmoidGain:
        k->sigmoid_gain(x.data(), 0.75, y.data(), n);
        break;
    }
    benchmark::DoNotOptimize(y.data());
    benchmark::ClobberMemory();
  }
  const double elements = static_cast<double>(n) * static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<std::int64_t>(elements));
  // Seconds per element, printed with its prefix (e.g. "1.26ns").
  state.counters["per_element"] =
      benchmark::Counter(elements, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void RunSingle(benchmark::State& state, const quill::simd::SingleKernels* k, Fn fn) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<double> wide = TypicalInputs(n);
  const std::vector<float> x(wide.begin(), wide.end());
  std::vector<float> y(n);
  for (auto _ : state) {
    switch (fn) {
      case Fn::kExp:
        k->exp(x.data(), y.data(), n);
        break;
      case Fn::kSigmoid:
        k->sigmoid(x.data(), y.data(), n);
        break;
      case Fn::kSigmoidGain:
        k->sigmoid_gain(x.data(), 0.75f, y.data(), n);
        break;
    }
    benchmark::DoNotOptimize(y.data());
    benchmark::ClobberMemory();
  }
  const double elements = static_cast<double>(n) * static_cast<double>(state.iterations());
  state.SetItemsProcessed(static_cast<std::int64_t>(elements));
  state.counters["per_element"] =
      benchmark::Counter(elements, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

bool RegisterAll() {
  std::vector<const ExpKernels*> kernels = {&quill::simd::ExpLibm()};
  if (const ExpKernels* k = quill::simd::ExpAvx2()) kernels.push_back(k);
  if (const ExpKernels* k = quill::simd::ExpAvx512()) kernels.push_back(k);
  const std::pair<Fn, const char*> fns[] = {
      {Fn::kExp, "exp"}, {Fn::kSigmoid, "sigmoid"}, {Fn::kSigmoidGain, "sigmoid_gain"}};
  for (const auto& [fn, fn_name] : fns) {
    for (const ExpKernels* k : kernels) {
      const std::string name = std::string("BM_") + fn_name + "/" + k->name;
      benchmark::RegisterBenchmark(name.c_str(), Run, k, fn)->Arg(256)->Arg(4096);
    }
    for (const quill::simd::RecallKernels* k : quill::simd::AvailableKernels()) {
      const std::string name = std::string("BM_single_") + fn_name + "/" + k->name;
      benchmark::RegisterBenchmark(name.c_str(), RunSingle, &k->single, fn)->Arg(256)->Arg(4096);
    }
  }
  return true;
}

const bool registered = RegisterAll();

}  // namespace
