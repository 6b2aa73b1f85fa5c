// exp_check: compares every exp kernel the processor can run with the C
// library, bit for bit, on a large number of inputs.
//
//   exp_check [COUNT [SEED]]
//
// COUNT inputs (default 1e9; a plain integer or a form such as 1e9) are drawn
// in batches over the whole range the activations reach: uniform over
// (-745.2, 709.8), uniform over the usual sigmoid inputs (-40, 40), and
// log-uniform magnitudes of both signs from the subnormals up to 2^10 (so the
// overflow, underflow and subnormal results are met), plus a fixed list of
// special values (zeros, the sigmoid cut-off, overflow and underflow
// thresholds, infinities, NaNs) in the first batch. Every kernel (libm, avx2,
// avx512, as available) computes exp, sigmoid and sigmoid_gain for gains 1,
// 0.5, 2 and -1; each result is compared with the scalar formula. Batch
// lengths vary so that every tail length is met, and every other batch runs
// in place. Each batch draws from its own generator seeded from SEED and the
// batch number, so a run is repeatable whatever the number of threads.
//
// Prints, per kernel and function, the inputs tried and the mismatches (with
// the first few mismatching inputs); exits 1 if any mismatch was found.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "NeuralNets/simd/VecExp.h"

namespace {

using quill::simd::ExpKernels;

constexpr std::size_t kBatch = 4096;
constexpr std::array<double, 4> kGains = {1.0, 0.5, 2.0, -1.0};
constexpr std::size_t kFunctions = 2 + kGains.size();  // exp, sigmoid, gains
constexpr int kShownMismatches = 5;

std::uint64_t Bits(double d) {
  return std::bit_cast<std::uint64_t>(d);
}

double FromBits(std::uint64_t u) {
  return std::bit_cast<double>(u);
}

std::uint64_t Mix(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

class SplitMix {
 public:
  explicit SplitMix(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() { return Mix(state_ += 0x9e3779b97f4a7c15ull); }
  double Uniform(double lo, double hi) {
    return lo + static_cast<double>(Next() >> 11) * 0x1p-53 * (hi - lo);
  }

 private:
  std::uint64_t state_;
};

double RefSigmoid(double x) {
  return x < -500.0 ? 1e-300 : 1.0 / (1.0 + std::exp(-x));
}
double RefSigmoidGain(double x, double g) {
  return 1.0 / (1.0 + std::exp(-(g * x)));
}

std::vector<double> SpecialValues() {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> v = {0.0,
                           0x1p-54,
                           std::nextafter(0x1p-54, 0.0),
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::min(),
                           500.0,
                           std::nextafter(500.0, 0.0),
                           std::nextafter(500.0, inf),
                           500.5,
                           512.0,
                           std::nextafter(512.0, 0.0),
                           709.782712893384,
                           std::nextafter(709.782712893384, inf),
                           709.79,
                           710.0,
                           708.0,
                           708.39,
                           708.4,
                           720.0,
                           744.4,
                           745.1,
                           745.13321910194122,
                           745.2,
                           746.0,
                           1e300,
                           std::numeric_limits<double>::max(),
                           inf};
  const std::size_t count = v.size();
  for (std::size_t i = 0; i < count; ++i)
    v.push_back(-v[i]);
  for (std::uint64_t nan : {0x7ff8000000000000ull, 0xfff8000000000000ull, 0x7ff80000deadbeefull,
                            0xfff0000000000123ull, 0x7ff0000000000001ull}) {
    v.push_back(FromBits(nan));
  }
  return v;
}

void FillBatch(std::uint64_t seed, std::uint64_t batch, double* x, std::size_t n) {
  SplitMix rng(Mix(seed ^ Mix(batch + 1)));
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t pick = rng.Next() % 20;
    if (pick < 9) {
      x[i] = rng.Uniform(-745.2, 709.8);
    } else if (pick < 13) {
      x[i] = rng.Uniform(-40.0, 40.0);
    } else {
      const double m = std::exp2(rng.Uniform(-1074.0, 10.0));
      x[i] = (rng.Next() & 1) ? -m : m;
    }
  }
}

// Batch b holds kBatch - b % 8 inputs, so that every tail length of both
// vector widths is met; BatchOffset(b) is the number of inputs before it.
std::uint64_t BatchLength(std::uint64_t b) {
  return kBatch - b % 8;
}
std::uint64_t BatchOffset(std::uint64_t b) {
  const std::uint64_t r = b % 8;
  return b * kBatch - (b / 8) * 28 - r * (r - 1) / 2;
}

struct Tally {
  std::uint64_t tried = 0;
  std::uint64_t mismatches = 0;
};

struct Kernel {
  const ExpKernels* k;
  std::array<Tally, kFunctions> tally{};
  std::mutex shown_mutex;
  std::vector<std::string> shown;
};

std::string FunctionName(std::size_t f) {
  if (f == 0) return "exp";
  if (f == 1) return "sigmoid";
  char buf[64];
  std::snprintf(buf, sizeof buf, "sigmoid_gain(g=%g)", kGains[f - 2]);
  return buf;
}

// Runs kernel function f over x (in place when `in_place`) into out.
void RunFunction(const ExpKernels& k, std::size_t f, const double* x, double* out, std::size_t n,
                 bool in_place) {
  if (in_place) {
    std::copy(x, x + n, out);
    x = out;
  }
  if (f == 0) {
    k.exp(x, out, n);
  } else if (f == 1) {
    k.sigmoid(x, out, n);
  } else {
    k.sigmoid_gain(x, kGains[f - 2], out, n);
  }
}

void Worker(std::vector<Kernel>& kernels, std::uint64_t seed, std::uint64_t total,
            std::atomic<std::uint64_t>& next_batch, std::atomic<std::uint64_t>& done) {
  const std::vector<double> specials = SpecialValues();
  std::vector<double> x(kBatch);
  std::vector<double> out(kBatch);
  std::array<std::vector<double>, kFunctions> ref;
  for (auto& r : ref)
    r.resize(kBatch);
  std::vector<std::array<Tally, kFunctions>> local(kernels.size());

  for (;;) {
    const std::uint64_t b = next_batch.fetch_add(1);
    const std::uint64_t offset = BatchOffset(b);
    if (offset >= total) break;
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(BatchLength(b), total - offset));
    FillBatch(seed, b, x.data(), n);
    if (b == 0)
      std::copy(specials.begin(), specials.begin() + std::min(n, specials.size()), x.begin());
    for (std::size_t i = 0; i < n; ++i) {
      ref[0][i] = std::exp(x[i]);
      ref[1][i] = RefSigmoid(x[i]);
      for (std::size_t g = 0; g < kGains.size(); ++g)
        ref[2 + g][i] = RefSigmoidGain(x[i], kGains[g]);
    }
    const bool in_place = (b % 2) == 1;
    for (std::size_t ki = 0; ki < kernels.size(); ++ki) {
      for (std::size_t f = 0; f < kFunctions; ++f) {
        RunFunction(*kernels[ki].k, f, x.data(), out.data(), n, in_place);
        Tally& t = local[ki][f];
        t.tried += n;
        for (std::size_t i = 0; i < n; ++i) {
          if (Bits(out[i]) == Bits(ref[f][i])) continue;
          ++t.mismatches;
          std::lock_guard<std::mutex> lock(kernels[ki].shown_mutex);
          if (kernels[ki].shown.size() < kShownMismatches) {
            char buf[160];
            std::snprintf(buf, sizeof buf, "%s(%a) = %a, library %a", FunctionName(f).c_str(), x[i],
                          out[i], ref[f][i]);
            kernels[ki].shown.emplace_back(buf);
          }
        }
      }
    }
    done.fetch_add(n);
  }
  static std::mutex merge_mutex;
  std::lock_guard<std::mutex> lock(merge_mutex);
  for (std::size_t ki = 0; ki < kernels.size(); ++ki) {
    for (std::size_t f = 0; f < kFunctions; ++f) {
      kernels[ki].tally[f].tried += local[ki][f].tried;
      kernels[ki].tally[f].mismatches += local[ki][f].mismatches;
    }
  }
}

bool ParseCount(const char* s, std::uint64_t* out) {
  char* end = nullptr;
  const double v = std::strtod(s, &end);
  if (end == s || *end != '\0' || !(v >= 1.0) || v > 1e15 || v != std::floor(v)) return false;
  *out = static_cast<std::uint64_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t total = 1000000000ull;
  std::uint64_t seed = 1;
  if (argc > 3 || (argc >= 2 && !ParseCount(argv[1], &total)) ||
      (argc == 3 && !ParseCount(argv[2], &seed))) {
    std::fprintf(stderr,
                 "usage: %s [COUNT [SEED]]   (integers >= 1; COUNT defaults to 1e9, SEED to 1)\n",
                 argv[0]);
    return 2;
  }

  std::vector<const ExpKernels*> available = {&quill::simd::ExpLibm()};
  for (const ExpKernels* k : {quill::simd::ExpAvx2(), quill::simd::ExpAvx512()}) {
    if (k != nullptr) available.push_back(k);
  }
  std::vector<Kernel> kernels(available.size());  // built in place: Kernel holds a mutex
  for (std::size_t i = 0; i < available.size(); ++i)
    kernels[i].k = available[i];
  std::printf("exp_check: %" PRIu64 " inputs, seed %" PRIu64 ", kernels:", total, seed);
  for (const Kernel& k : kernels)
    std::printf(" %s", k.k->name);
  std::printf(" (best: %s)\n", quill::simd::BestExpKernels().name);
  std::fflush(stdout);

  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  std::atomic<std::uint64_t> next_batch{0};
  std::atomic<std::uint64_t> done{0};
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) {
    pool.emplace_back(Worker, std::ref(kernels), seed, total, std::ref(next_batch), std::ref(done));
  }
  std::uint64_t reported = 0;
  while (done.load() < total) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::uint64_t d = done.load();
    if (d * 10 / total > reported) {
      reported = d * 10 / total;
      const double s =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::fprintf(stderr, "  %3" PRIu64 "%%  %.0f s\n", reported * 10, s);
    }
  }
  for (std::thread& t : pool)
    t.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::uint64_t all_mismatches = 0;
  for (const Kernel& k : kernels) {
    for (std::size_t f = 0; f < kFunctions; ++f) {
      const Tally& t = k.tally[f];
      all_mismatches += t.mismatches;
      std::printf("%-7s %-22s tried %14" PRIu64 "  mismatches %" PRIu64 "\n", k.k->name,
                  FunctionName(f).c_str(), t.tried, t.mismatches);
    }
    for (const std::string& s : k.shown)
      std::printf("  mismatch: %s\n", s.c_str());
  }
  std::printf("%.1f s on %u threads; %s\n", seconds, threads,
              all_mismatches == 0 ? "all results identical" : "MISMATCHES FOUND");
  return all_mismatches == 0 ? 0 : 1;
}
