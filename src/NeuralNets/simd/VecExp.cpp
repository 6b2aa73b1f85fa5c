// Kernel selection for exp and the exp-based activations: the portable
// kernels, the processor checks in front of the vector units, and the probe
// set that every vector kernel must reproduce bit for bit before it is used.
#include "NeuralNets/simd/VecExp.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace quill::simd {
namespace {

// The scalar formulas, exactly as the activation functions write them.
double ScalarSigmoid(double x) {
  return x < -500.0 ? 1e-300 : 1.0 / (1.0 + std::exp(-x));
}
double ScalarSigmoidGain(double x, double g) {
  return 1.0 / (1.0 + std::exp(-(g * x)));
}

void LibmExp(const double* x, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = std::exp(x[i]);
}
void LibmSigmoid(const double* x, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = ScalarSigmoid(x[i]);
}
void LibmSigmoidGain(const double* x, double g, double* y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    y[i] = ScalarSigmoidGain(x[i], g);
}

constexpr ExpKernels kLibmKernels = {"libm", LibmExp, LibmSigmoid, LibmSigmoidGain};

bool HasAvx2Fma() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

bool HasAvx512() {
  return HasAvx2Fma() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
}

double FromBits(std::uint64_t u) {
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}

std::uint64_t ToBits(double d) {
  std::uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}

// A local generator (splitmix64), so that the probes neither use nor disturb
// the program's own random sequence.
class ProbeRandom {
 public:
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  // Uniform in [lo, hi).
  double Uniform(double lo, double hi) {
    return lo + static_cast<double>(Next() >> 11) * 0x1p-53 * (hi - lo);
  }

 private:
  std::uint64_t state_ = 0x5157494c4c455850ull;
};

// Arguments where the library's exp (its FMA build) and the same code without
// fused multiply-adds round differently; a kernel that does not fuse exactly
// as the library does, or a library that was switched to another build, fails
// on them. Both signs are probed, so sigmoid meets them too.
constexpr std::array<std::uint64_t, 12> kFmaSensitive = {
    0xc0115b533bedc7c0ull, 0xc02da6459aa6b900ull, 0xc01b63cb6dc29440ull, 0xc01c320157931400ull,
    0xc01b864cef3f8480ull, 0x3ff2bd3ddf0f6600ull, 0xbfff68e1c9bee800ull, 0xc022ad1661ee9780ull,
    0xc0130927a7be2d00ull, 0xc003871d8f4d9d00ull, 0x40156b4abc174b00ull, 0x40112f6c0668c500ull,
};

std::vector<double> ProbeInputs() {
  const double inf = std::numeric_limits<double>::infinity();
  const double dmax = std::numeric_limits<double>::max();
  const double dmin = std::numeric_limits<double>::denorm_min();
  std::vector<double> v = {0.0,
                           1.0,
                           0.5,
                           1e-300,
                           dmin,
                           0x1p-54,
                           std::nextafter(0x1p-54, 0.0),
                           0x1p-1022,
                           -500.0,
                           std::nextafter(-500.0, 0.0),
                           std::nextafter(-500.0, -inf),
                           -500.5,
                           -499.9,
                           511.999,
                           512.0,
                           std::nextafter(512.0, 0.0),
                           709.78,
                           709.79,
                           710.0,
                           708.4,
                           708.5,
                           720.0,
                           745.1,
                           745.2,
                           746.0,
                           1e300,
                           dmax,
                           inf,
                           40.0,
                           36.7,
                           20.0};
  const std::size_t signed_count = v.size();
  for (std::size_t i = 0; i < signed_count; ++i)
    v.push_back(-v[i]);
  for (std::uint64_t bits : kFmaSensitive) {
    v.push_back(FromBits(bits));
    v.push_back(-FromBits(bits));
  }
  // NaNs: quiet of both signs, one with a payload, one signalling.
  v.push_back(FromBits(0x7ff8000000000000ull));
  v.push_back(FromBits(0xfff8000000000000ull));
  v.push_back(FromBits(0x7ff80000deadbeefull));
  v.push_back(FromBits(0x7ff0000000000001ull));
  ProbeRandom rng;
  for (int i = 0; i < 1024; ++i)
    v.push_back(rng.Uniform(-40.0, 40.0));
  for (int i = 0; i < 512; ++i)
    v.push_back(rng.Uniform(-745.2, 709.8));
  for (int i = 0; i < 512; ++i) {
    // Log-uniform magnitudes from the subnormals up to 2^10, both signs.
    const double m = std::exp2(rng.Uniform(-1074.0, 10.0));
    v.push_back((rng.Next() & 1) ? -m : m);
  }
  return v;
}

constexpr std::array<double, 5> kProbeGains = {1.0, 0.5, 2.0, -1.0, 0.0};

// Runs one kernel function over the probes in several ways (whole array out
// of place and in place, then short runs at an odd offset so that every tail
// length is met) and compares with the scalar reference bit for bit. The
// runs must also leave the elements past their end alone.
template <class Run, class Ref>
bool ProbeFunction(const std::vector<double>& in, Run run, Ref ref) {
  const std::size_t n = in.size();
  std::vector<double> expect(n);
  for (std::size_t i = 0; i < n; ++i)
    expect[i] = ref(in[i]);
  auto same = [](double a, double b) { return ToBits(a) == ToBits(b); };

  std::vector<double> out(n + 1, 7.0);
  run(in.data(), out.data(), n);
  for (std::size_t i = 0; i < n; ++i) {
    if (!same(out[i], expect[i])) return false;
  }
  if (!same(out[n], 7.0)) return false;

  std::vector<double> io = in;
  run(io.data(), io.data(), n);
  for (std::size_t i = 0; i < n; ++i) {
    if (!same(io[i], expect[i])) return false;
  }

  constexpr std::size_t kMaxShort = 19;
  for (std::size_t len = 0; len <= kMaxShort && len + 1 < n; ++len) {
    std::vector<double> part(len + 2, 7.0);
    run(in.data() + 1, part.data() + 1, len);
    if (!same(part[0], 7.0) || !same(part[len + 1], 7.0)) return false;
    for (std::size_t i = 0; i < len; ++i) {
      if (!same(part[i + 1], expect[i + 1])) return false;
    }
  }
  return true;
}

}  // namespace

const ExpKernels& ExpLibm() {
  return kLibmKernels;
}

const ExpKernels* ExpAvx2() {
  return HasAvx2Fma() ? &detail::ExpAvx2Table() : nullptr;
}

const ExpKernels* ExpAvx512() {
  return HasAvx512() ? &detail::ExpAvx512Table() : nullptr;
}

bool ExpMatchesLibrary(const ExpKernels& k) {
  if (k.exp == nullptr || k.sigmoid == nullptr || k.sigmoid_gain == nullptr) return false;
  const std::vector<double> in = ProbeInputs();
  if (!ProbeFunction(in, k.exp, [](double x) { return std::exp(x); })) return false;
  if (!ProbeFunction(in, k.sigmoid, ScalarSigmoid)) return false;
  for (double g : kProbeGains) {
    auto run = [&k, g](const double* x, double* y, std::size_t n) { k.sigmoid_gain(x, g, y, n); };
    auto ref = [g](double x) { return ScalarSigmoidGain(x, g); };
    if (!ProbeFunction(in, run, ref)) return false;
  }
  return true;
}

const ExpKernels& BestExpKernels() {
  static const ExpKernels& best = []() -> const ExpKernels& {
    for (const ExpKernels* k : {ExpAvx512(), ExpAvx2()}) {
      if (k != nullptr && ExpMatchesLibrary(*k)) return *k;
    }
    return ExpLibm();
  }();
  return best;
}

}  // namespace quill::simd
