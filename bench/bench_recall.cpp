// Compiled recall (TRecallPlan) of whole data sets, as one individual's
// evaluation costs, for each implementation this processor runs and in both
// precisions, beside the processor's arithmetic peak for the same instruction
// mix measured in this program: in double precision a multiply and a separate
// add per weight (never fused), in single precision one fused multiply-add.
//
// Shapes: the M and L benchmark networks (32-64-10 and 256-256-10, bias,
// sigmoid) over 2,000 patterns. Counters: patterns/s, GFLOP/s (two
// operations per multiply-add), and for the dense blocks `of_peak`, their
// rate as a share of the peak of their instruction mix (BM_Peak*, measured
// once in thread time). Rates are per second of processor time, so a busy
// machine lowers them less than it lowers wall-clock times.
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <time.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "DataObject/Data.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TRecallPlan.h"
#include "common/Random.h"

namespace {

using Precision = TRecallPlan::Precision;
using quill::simd::kLanes;
using quill::simd::kRowGroup;
using quill::simd::RecallKernels;

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

// The implementation of that name, or null when the processor lacks it.
const RecallKernels* Kernels(const std::string& name) {
  for (const RecallKernels* k : quill::simd::AvailableKernels()) {
    if (name == k->name) return k;
  }
  return nullptr;
}

void BM_Recall(benchmark::State& state, const char* isa, Precision precision, int inputs,
               int hidden, int outputs) {
  const RecallKernels* kernels = Kernels(isa);
  if (kernels == nullptr) {
    state.SkipWithError("not available on this processor");
    return;
  }
  const int patterns = 2000;
  Workload w = Make(inputs, hidden, outputs, patterns);
  Data* sets[] = {w.data.get()};
  auto plan = TRecallPlan::Compile(*w.net, 1, sets, *kernels, precision);
  auto ws = plan->NewWorkspace();
  for (auto _ : state)
    benchmark::DoNotOptimize(plan->MeanRMSError(*ws));
  const double done = static_cast<double>(state.iterations()) * patterns;
  state.counters["patterns/s"] = benchmark::Counter(done, benchmark::Counter::kIsRate);
  state.counters["GFLOP/s"] =
      benchmark::Counter(2e-9 * done * w.multiply_adds_per_pattern, benchmark::Counter::kIsRate);
}

// The peaks: the kernels' instruction mix with nothing to wait for, as
// independent chains held in registers, where every step takes fresh
// operands (made opaque to the compiler, so that nothing is hoisted).
// Double: acc = acc + w * o, multiplied and added separately; AVX-512 runs 16
// chains of eight doubles, AVX2, with half the registers, 8 chains of four.
// Single: acc = fma(w, o, acc); 16 chains of 16 floats, or 12 of eight.
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

__attribute__((target("avx2,fma"))) double PeakFmaAvx2(long steps) {
  __m256 a[12];
  for (__m256& v : a)
    v = _mm256_setzero_ps();
  __m256 o0 = _mm256_set1_ps(1e-9f), o1 = _mm256_set1_ps(2e-9f);
  __m256 w0 = _mm256_set1_ps(0.1f), w1 = _mm256_set1_ps(0.2f);
  for (long i = 0; i < steps; ++i) {
    __asm__ volatile("" : "+x"(o0), "+x"(o1), "+x"(w0), "+x"(w1));
    for (int j = 0; j < 12; ++j)
      a[j] = _mm256_fmadd_ps(j % 2 ? w1 : w0, j % 4 < 2 ? o0 : o1, a[j]);
  }
  __m256 sum = a[0];
  for (int j = 1; j < 12; ++j)
    sum = _mm256_add_ps(sum, a[j]);
  return _mm256_cvtss_f32(sum);
}

__attribute__((target("avx512f"))) double PeakFmaAvx512(long steps) {
  __m512 a[16];
  for (__m512& v : a)
    v = _mm512_setzero_ps();
  __m512 o0 = _mm512_set1_ps(1e-9f), o1 = _mm512_set1_ps(2e-9f);
  __m512 w0 = _mm512_set1_ps(0.1f), w1 = _mm512_set1_ps(0.2f);
  for (long i = 0; i < steps; ++i) {
    __asm__ volatile("" : "+v"(o0), "+v"(o1), "+v"(w0), "+v"(w1));
    for (int j = 0; j < 16; ++j)
      a[j] = _mm512_fmadd_ps(j % 2 ? w1 : w0, j % 4 < 2 ? o0 : o1, a[j]);
  }
  __m512 sum = a[0];
  for (int j = 1; j < 16; ++j)
    sum = _mm512_add_ps(sum, a[j]);
  return _mm512_cvtss_f32(sum);
}

struct Peak {
  double (*run)(long);
  double flops_per_step;
  bool available;
};

Peak PeakOf(const std::string& isa, Precision precision) {
  const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  const bool avx512 = avx2 && __builtin_cpu_supports("avx512f");
  if (precision == Precision::kSingle) {
    return isa == "avx512" ? Peak{PeakFmaAvx512, 2.0 * 16 * 16, avx512}
                           : Peak{PeakFmaAvx2, 2.0 * 12 * 8, avx2};
  }
  return isa == "avx512" ? Peak{PeakAvx512, 2.0 * 16 * 8, avx512}
                         : Peak{PeakAvx2, 2.0 * 8 * 4, avx2};
}

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// GFLOP/s of a peak loop per second of this thread's processor time, the
// best of five runs of about 50 ms; measured once per program.
double PeakGflops(const std::string& isa, Precision precision) {
  static std::map<std::pair<std::string, Precision>, double> measured;
  const auto key = std::make_pair(isa, precision);
  if (auto it = measured.find(key); it != measured.end()) return it->second;
  const Peak peak = PeakOf(isa, precision);
  double best = 0.0;
  for (int run = 0; run < 5 && peak.available; ++run) {
    const long steps = 1 << 22;
    const double start = ThreadSeconds();
    benchmark::DoNotOptimize(peak.run(steps));
    const double seconds = ThreadSeconds() - start;
    best = std::max(best, 1e-9 * peak.flops_per_step * static_cast<double>(steps) / seconds);
  }
  measured[key] = best;
  return best;
}

void BM_Peak(benchmark::State& state, const char* isa, Precision precision) {
  const Peak peak = PeakOf(isa, precision);
  if (!peak.available) {
    state.SkipWithError("not available on this processor");
    return;
  }
  const long steps = 1 << 20;
  for (auto _ : state)
    benchmark::DoNotOptimize(peak.run(steps));
  state.counters["GFLOP/s"] = benchmark::Counter(
      1e-9 * static_cast<double>(state.iterations()) * steps * peak.flops_per_step,
      benchmark::Counter::kIsRate);
}

// One dense weight block over one block of patterns: the inner loop alone.
template <class T>
void Dense(benchmark::State& state, const char* isa, int nFrom, int nTo) {
  const RecallKernels* kernels = Kernels(isa);
  if (kernels == nullptr) {
    state.SkipWithError("not available on this processor");
    return;
  }
  const int lanes = std::is_same_v<T, double> ? kLanes : quill::simd::kSingleLanes;
  const std::size_t groups = static_cast<std::size_t>((nTo + kRowGroup - 1) / kRowGroup);
  std::vector<T> w(groups * static_cast<std::size_t>(nFrom) * kRowGroup, T(0.001));
  std::vector<T> o(static_cast<std::size_t>(nFrom) * lanes, T(0.5));
  std::vector<T> out(static_cast<std::size_t>(nTo) * lanes, T(0));
  for (auto _ : state) {
    if constexpr (std::is_same_v<T, double>) {
      kernels->blocks.dense(w.data(), o.data(), nFrom, nTo, out.data(), true);
    } else {
      kernels->single.dense(w.data(), o.data(), nFrom, nTo, out.data(), true);
    }
    benchmark::ClobberMemory();
  }
  state.counters["GFLOP/s"] =
      benchmark::Counter(2e-9 * static_cast<double>(state.iterations()) * nFrom * nTo * lanes,
                         benchmark::Counter::kIsRate);
  const Precision precision = std::is_same_v<T, double> ? Precision::kDouble : Precision::kSingle;
  if (std::string(isa) != "portable") {
    // GFLOP/s over the peak's GFLOP/s, both per second of processor time.
    state.counters["of_peak"] =
        benchmark::Counter(2e-9 * static_cast<double>(state.iterations()) * nFrom * nTo * lanes /
                               PeakGflops(isa, precision),
                           benchmark::Counter::kIsRate);
  }
}

void BM_Dense(benchmark::State& state, const char* isa, int nFrom, int nTo) {
  Dense<double>(state, isa, nFrom, nTo);
}
void BM_DenseSingle(benchmark::State& state, const char* isa, int nFrom, int nTo) {
  Dense<float>(state, isa, nFrom, nTo);
}

constexpr Precision kD = Precision::kDouble;
constexpr Precision kS = Precision::kSingle;

BENCHMARK_CAPTURE(BM_Peak, avx2, "avx2", kD)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Peak, avx512, "avx512", kD)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Peak, avx2_single, "avx2", kS)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Peak, avx512_single, "avx512", kS)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Dense, L_avx2, "avx2", 256, 256);
BENCHMARK_CAPTURE(BM_Dense, L_avx512, "avx512", 256, 256);
BENCHMARK_CAPTURE(BM_Dense, M_avx2, "avx2", 32, 64);
BENCHMARK_CAPTURE(BM_Dense, M_avx512, "avx512", 32, 64);
BENCHMARK_CAPTURE(BM_DenseSingle, L_avx2_single, "avx2", 256, 256);
BENCHMARK_CAPTURE(BM_DenseSingle, L_avx512_single, "avx512", 256, 256);
BENCHMARK_CAPTURE(BM_DenseSingle, M_avx2_single, "avx2", 32, 64);
BENCHMARK_CAPTURE(BM_DenseSingle, M_avx512_single, "avx512", 32, 64);
BENCHMARK_CAPTURE(BM_Recall, M_portable, "portable", kD, 32, 64, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, M_avx2, "avx2", kD, 32, 64, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, M_avx512, "avx512", kD, 32, 64, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, L_portable, "portable", kD, 256, 256, 10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, L_avx2, "avx2", kD, 256, 256, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, L_avx512, "avx512", kD, 256, 256, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, M_portable_single, "portable", kS, 32, 64, 10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, M_avx2_single, "avx2", kS, 32, 64, 10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, M_avx512_single, "avx512", kS, 32, 64, 10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, L_avx2_single, "avx2", kS, 256, 256, 10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Recall, L_avx512_single, "avx512", kS, 256, 256, 10)
    ->Unit(benchmark::kMillisecond);

}  // namespace
