#include "NeuralNets/simd/RecallKernels.h"

#include <cstddef>
#include <cstdlib>

#include "common/StrCase.h"

namespace quill::simd {
namespace {

// The reference loops: the same arithmetic as the object network's row sums,
// lane by lane.
void DensePortable(const double* w, const double* o, int nFrom, int nTo, double* out,
                   bool accumulate) {
  for (int first = 0; first < nTo; first += kRowGroup) {
    double acc[kRowGroup][kLanes] = {};
    const double* group = w + static_cast<std::size_t>(first) * static_cast<std::size_t>(nFrom);
    for (int f = 0; f < nFrom; ++f) {
      const double* of = o + static_cast<std::size_t>(f) * kLanes;
      const double* wf = group + static_cast<std::size_t>(f) * kRowGroup;
      for (int r = 0; r < kRowGroup; ++r) {
        const double wr = wf[r];
        for (int p = 0; p < kLanes; ++p)
          acc[r][p] = acc[r][p] + wr * of[p];
      }
    }
    const int rows = nTo - first < kRowGroup ? nTo - first : kRowGroup;
    for (int r = 0; r < rows; ++r) {
      double* row = out + static_cast<std::size_t>(first + r) * kLanes;
      for (int p = 0; p < kLanes; ++p)
        row[p] = accumulate ? row[p] + acc[r][p] : acc[r][p];
    }
  }
}

void SparsePortable(const std::int32_t* row_start, const std::int32_t* cols, const double* vals,
                    const double* o, int nTo, double* out, bool accumulate) {
  for (int t = 0; t < nTo; ++t) {
    double acc[kLanes] = {};
    for (std::int32_t k = row_start[t]; k < row_start[t + 1]; ++k) {
      const double wk = vals[k];
      const double* of = o + static_cast<std::size_t>(cols[k]) * kLanes;
      for (int p = 0; p < kLanes; ++p)
        acc[p] = acc[p] + wk * of[p];
    }
    double* row = out + static_cast<std::size_t>(t) * kLanes;
    for (int p = 0; p < kLanes; ++p)
      row[p] = accumulate ? row[p] + acc[p] : acc[p];
  }
}

bool HasAvx2() {
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

bool HasAvx512() {
  return HasAvx2() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512bw");
}

// The vector exp of an instruction set when it reproduces the C library on
// the probes; the library's own exp otherwise, so that another C library or
// processor can never change a result.
const ExpKernels* ExactExp(const ExpKernels* vector_exp) {
  if (vector_exp != nullptr && ExpMatchesLibrary(*vector_exp)) return vector_exp;
  return &ExpLibm();
}

// The implementation QUILL_ISA names when this processor runs it; null when
// the variable is unset or empty, or (with the reason in `problem`) names
// something else.
const RecallKernels* Forced(std::string* problem) {
  const char* isa = std::getenv("QUILL_ISA");
  if (isa == nullptr || *isa == '\0') return nullptr;
  const RecallKernels* kernels = nullptr;
  if (quill::strcasecmp(isa, "portable") == 0) return &PortableKernels();
  if (quill::strcasecmp(isa, "avx2") == 0) {
    kernels = Avx2Kernels();
  } else if (quill::strcasecmp(isa, "avx512") == 0) {
    kernels = Avx512Kernels();
  } else {
    if (problem != nullptr)
      *problem = std::string("QUILL_ISA must be portable, avx2 or avx512, not \"") + isa +
                 "\": correct it or unset it";
    return nullptr;
  }
  if (kernels == nullptr && problem != nullptr) {
    std::string runs;
    for (const RecallKernels* k : AvailableKernels())
      runs += std::string(runs.empty() ? "" : ", ") + k->name;
    *problem = std::string("QUILL_ISA=") + isa +
               " asks for instructions this processor lacks (it runs " + runs +
               "): name one of those or unset QUILL_ISA";
  }
  return kernels;
}

}  // namespace

const RecallKernels& PortableKernels() {
  static const RecallKernels kernels{
      "portable", {DensePortable, SparsePortable}, &ExpLibm(), SinglePortable()};
  return kernels;
}

const RecallKernels* Avx2Kernels() {
  if (!HasAvx2()) return nullptr;
  static const RecallKernels kernels{"avx2", detail::Avx2Blocks(), ExactExp(ExpAvx2()),
                                     detail::SingleAvx2()};
  return &kernels;
}

const RecallKernels* Avx512Kernels() {
  if (!HasAvx512()) return nullptr;
  static const RecallKernels kernels{"avx512", detail::Avx512Blocks(), ExactExp(ExpAvx512()),
                                     detail::SingleAvx512()};
  return &kernels;
}

const RecallKernels& BestKernels() {
  static const RecallKernels* best = [] {
    if (const RecallKernels* k = Forced(nullptr)) return k;
    if (const RecallKernels* k = Avx512Kernels()) return k;
    if (const RecallKernels* k = Avx2Kernels()) return k;
    return &PortableKernels();
  }();
  return *best;
}

std::vector<const RecallKernels*> AvailableKernels() {
  std::vector<const RecallKernels*> all{&PortableKernels()};
  if (const RecallKernels* k = Avx2Kernels()) all.push_back(k);
  if (const RecallKernels* k = Avx512Kernels()) all.push_back(k);
  return all;
}

std::string IsaProblem() {
  std::string problem;
  Forced(&problem);
  return problem;
}

}  // namespace quill::simd
