// Compiled recall (TRecallPlan) of whole data sets, as one individual's
// evaluation costs, for each implementation this processor runs, beside the
// processor's arithmetic peak for the same instruction mix (a multiply and a
// separate add per weight, never fused) measured in this program.
//
// Shapes: the M and L benchmark networks (32-64-10 and 256-256-10, bias,
// sigmoid) over 2,000 patterns. Counters: patterns/s, GFLOP/s (two
// operations per multiply-add) and, for the peak, GFLOP/s of independent
// multiply-adds held in registers.
#include <benchmark/benchmark.h>
#include <immintrin.h>

#include <memory>
#include <vector>

#include "DataObject/Data.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TRecallPlan.h"
#include "common/Random.h"

namespace {

double Uniform() {
  return quill::Rand() * (1.0 / 32767);
}

struct Workload {
  std::unique_ptr<TMLPNetwork> net;
  std::unique_ptr<Data> data;
  double multiply_adds_per_pattern = 0.0;
};

Workload Make(int inputs, int hidden, int outputs, int patterns) {
  quill::SeedRand(1);
  const int sizes[] = {inputs, hidden, outputs};
  Workload w;
  w.net = std::make_unique<TMLPNetwork>(3, sizes, true);
  w.net->Randomize(-1.0, 1.0);
  w.data = std::make_unique<Data>(patterns, inputs, outputs, false);
  std::vector<double> x(static_cast<std::size_t>(inputs)), t(static_cast<std::size_t>(outputs));
  for (int r = 0; r < patterns; ++r) {
    for (double& v : x)
      v = Uniform();
    for (double& v : t)
      v = Uniform() < 0.1 ? 1.0 : 0.0;
    w.data->AddRow(x.data(), t.data(), nullptr);
  }
  w.multiply_adds_per_pattern = static_cast<double>(w.net->GetNumWeights(0));
  return w;
}

void BM_Recall(benchmark::State& state, int kernel, int inputs, int hidden, int outputs) {
  const std::vector<const quill::simd::RecallKernels*> all = quill::simd::AvailableKernels();
  if (kernel >= static_cast<int>(all.size())) {
    state.SkipWithError("not available on this processor");
    return;
  }
  const int patterns = 2000;
  Workload w = Make(inputs, hidden, outputs, patterns);
  Data* sets[] = {w.data.get()};
  auto plan = TRecallPlan::Compile(*w.net, 1, sets, *all[static_cast<std::size_t>(kernel)]);
  auto ws = plan->NewWorkspace();
  for (auto _ : state)
    benchmark::DoNotOptimize(plan->MeanRMSError(*ws));
  const double done = static_cast<double>(state.iterations()) * patterns;
  state.counters["patterns/s"] = benchmark::Counter(done, benchmark::Counter::kIsRate);
  state.counters["GFLOP/s"] =
      benchmark::Counter(2e-9 * done * w.multiply_adds_per_pattern, benchmark::Counter::kIsRate);
  state.SetLabel(all[static_cast<std::size_t>(kernel)]->name);
}

// The peak: the recall kernels' instruction mix with nothing to wait for:
// independent chains of acc = acc + w * o, where every step takes two fresh o
// and a fresh w per pair of chains (made opaque to the compiler, so that
// nothing is hoisted). AVX-512 runs 16 chains of eight doubles; AVX2, with
// half the registers, 8 chains of four.
__attribute__((target("avx2"))) double PeakAvx2(long steps) {
  __m256d a0 = _mm256_set1_pd(0.0), a1 = a0, a2 = a0, a3 = a0, b0 = a0, b1 = a0, b2 = a0, b3 = a0;
  __m256d ol = _mm256_set1_pd(1e-9), oh = _mm256_set1_pd(2e-9);
  __m256d w0 = _mm256_set1_pd(0.1), w1 = _mm256_set1_pd(0.2), w2 = _mm256_set1_pd(0.3),
          w3 = _mm256_set1_pd(0.4);
  for (long i = 0; i < steps; ++i) {
    __asm__ volatile("" : "+x"(ol), "+x"(oh), "+x"(w0), "+x"(w1), "+x"(w2), "+x"(w3));
    a0 = _mm256_add_pd(a0, _mm256_mul_pd(w0, ol));
    b0 = _mm256_add_pd(b0, _mm256_mul_pd(w0, oh));
    a1 = _mm256_add_pd(a1, _mm256_mul_pd(w1, ol));
    b1 = _mm256_add_pd(b1, _mm256_mul_pd(w1, oh));
    a2 = _mm256_add_pd(a2, _mm256_mul_pd(w2, ol));
    b2 = _mm256_add_pd(b2, _mm256_mul_pd(w2, oh));
    a3 = _mm256_add_pd(a3, _mm256_mul_pd(w3, ol));
    b3 = _mm256_add_pd(b3, _mm256_mul_pd(w3, oh));
  }
  const __m256d sum = _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(a0, a1), _mm256_add_pd(a2, a3)),
                                    _mm256_add_pd(_mm256_add_pd(b0, b1), _mm256_add_pd(b2, b3)));
  return _mm256_cvtsd_f64(sum);
}

__attribute__((target("avx512f"))) double PeakAvx512(long steps) {
  __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0, a4 = a0, a5 = a0, a6 = a0, a7 = a0;
  __m512d b0 = a0, b1 = a0, b2 = a0, b3 = a0, b4 = a0, b5 = a0, b6 = a0, b7 = a0;
  __m512d ol = _mm512_set1_pd(1e-9), oh = _mm512_set1_pd(2e-9);
  __m512d w0 = _mm512_set1_pd(0.1), w1 = _mm512_set1_pd(0.2), w2 = _mm512_set1_pd(0.3),
          w3 = _mm512_set1_pd(0.4), w4 = _mm512_set1_pd(0.5), w5 = _mm512_set1_pd(0.6),
          w6 = _mm512_set1_pd(0.7), w7 = _mm512_set1_pd(0.8);
  for (long i = 0; i < steps; ++i) {
    __asm__ volatile("" : "+v"(ol), "+v"(oh), "+v"(w0), "+v"(w1), "+v"(w2), "+v"(w3));
    __asm__ volatile("" : "+v"(w4), "+v"(w5), "+v"(w6), "+v"(w7));
    a0 = _mm512_add_pd(a0, _mm512_mul_pd(w0, ol));
    b0 = _mm512_add_pd(b0, _mm512_mul_pd(w0, oh));
    a1 = _mm512_add_pd(a1, _mm512_mul_pd(w1, ol));
    b1 = _mm512_add_pd(b1, _mm512_mul_pd(w1, oh));
    a2 = _mm512_add_pd(a2, _mm512_mul_pd(w2, ol));
    b2 = _mm512_add_pd(b2, _mm512_mul_pd(w2, oh));
    a3 = _mm512_add_pd(a3, _mm512_mul_pd(w3, ol));
    b3 = _mm512_add_pd(b3, _mm512_mul_pd(w3, oh));
    a4 = _mm512_add_pd(a4, _mm512_mul_pd(w4, ol));
    b4 = _mm512_add_pd(b4, _mm512_mul_pd(w4, oh));
    a5 = _mm512_add_pd(a5, _mm512_mul_pd(w5, ol));
    b5 = _mm512_add_pd(b5, _mm512_mul_pd(w5, oh));
    a6 = _mm512_add_pd(a6, _mm512_mul_pd(w6, ol));
    b6 = _mm512_add_pd(b6, _mm512_mul_pd(w6, oh));
    a7 = _mm512_add_pd(a7, _mm512_mul_pd(w7, ol));
    b7 = _mm512_add_pd(b7, _mm512_mul_pd(w7, oh));
  }
  __m512d sum = _mm512_add_pd(a0, b0);
  sum = _mm512_add_pd(sum, _mm512_add_pd(_mm512_add_pd(a1, b1), _mm512_add_pd(a2, b2)));
  sum = _mm512_add_pd(sum, _mm512_add_pd(_mm512_add_pd(a3, b3), _mm512_add_pd(a4, b4)));
  sum = _mm512_add_pd(sum, _mm512_add_pd(_mm512_add_pd(a5, b5), _mm512_add_pd(a6, b6)));
  return _mm512_cvtsd_f64(_mm512_add_pd(sum, _mm512_add_pd(a7, b7)));
}

void BM_Peak(benchmark::State& state, int lanes) {
  if ((lanes == 8 && !__builtin_cpu_supports("avx512f")) ||
      (lanes == 4 && !__builtin_cpu_supports("avx2"))) {
    state.SkipWithError("not available on this processor");
    return;
  }
  const long steps = 1 << 20;
  for (auto _ : state)
    benchmark::DoNotOptimize(lanes == 8 ? PeakAvx512(steps) : PeakAvx2(steps));
  state.counters["GFLOP/s"] = benchmark::Counter(
      2e-9 * static_cast<double>(state.iterations()) * steps * (lanes == 8 ? 16 : 8) * lanes,
      benchmark::Counter::kIsRate);
}

// One dense weight block over one block of patterns: the inner loop alone.
void BM_Dense(benchmark::State& state, int kernel, int nFrom, int nTo) {
  const std::vector<const quill::simd::RecallKernels*> all = quill::simd::AvailableKernels();
  if (kernel >= static_cast<int>(all.size())) {
    state.SkipWithError("not available on this processor");
    return;
  }
  using quill::simd::kLanes;
  using quill::simd::kRowGroup;
  const std::size_t groups = static_cast<std::size_t>((nTo + kRowGroup - 1) / kRowGroup);
  std::vector<double> w(groups * static_cast<std::size_t>(nFrom) * kRowGroup, 0.001);
  std::vector<double> o(static_cast<std::size_t>(nFrom) * kLanes, 0.5);
  std::vector<double> out(static_cast<std::size_t>(nTo) * kLanes, 0.0);
  const quill::simd::DenseFn dense = all[static_cast<std::size_t>(kernel)]->blocks.dense;
  for (auto _ : state) {
    dense(w.data(), o.data(), nFrom, nTo, out.data(), true);
    benchmark::ClobberMemory();
  }
  state.counters["GFLOP/s"] =
      benchmark::Counter(2e-9 * static_cast<double>(state.iterations()) * nFrom * nTo * kLanes,
                         benchmark::Counter::kIsRate);
  state.SetLabel(all[static_cast<std::size_t>(kernel)]->name);
}

BENCHMARK_CAPTURE(BM_Dense, L_avx2, 1, 256, 256);
BENCHMARK_CAPTURE(BM_Dense, L_avx512, 2, 256, 256);
BENCHMARK_CAPTURE(BM_Dense, M_avx2, 1, 32, 64);
BENCHMARK_CAPTURE(BM_Dense, X_avx512, 2, 64, 256);
BENCHMARK_CAPTURE(BM_Dense, Y_avx512, 2, 128, 256);
BENCHMARK_CAPTURE(BM_Dense, Z_avx512, 2, 256, 64);
BENCHMARK_CAPTURE(BM_Dense, M_avx512, 2, 32, 64);
BENCHMARK_CAPTURE(BM_Peak, avx2, 4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Peak, avx512, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, M_portable, 0, 32, 64, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, M_avx2, 1, 32, 64, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, M_avx512, 2, 32, 64, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, L_portable, 0, 256, 256, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, L_avx2, 1, 256, 256, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, L_avx512, 2, 256, 256, 10)->Unit(benchmark::kMillisecond);

}  // namespace
