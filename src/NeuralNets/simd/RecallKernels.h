// The inner loops of compiled recall, one implementation per instruction set.
//
// Recall works on blocks of kLanes patterns at once: every array of layer
// values is neuron major, one row of kLanes doubles per neuron (pattern p of
// neuron n at n * kLanes + p), so that a SIMD lane is one pattern and every
// pattern's additions happen in exactly the order the object network uses.
//
// A weight block from layer F (nFrom neurons) into layer T (nTo neurons)
// computes, for every to-neuron t and pattern p,
//   s = 0.0;  for f = 0 ... nFrom - 1 in order: s = s + w(f -> t) * o[f][p];
//   out[t][p] = accumulate ? out[t][p] + s : s
// with separate multiplications and additions (never fused, never reordered).
// `accumulate` false stands for out = 0.0 + s, which is s itself: a sum that
// starts at +0.0 can never become -0.0 under round-to-nearest, so adding it to
// +0.0 changes no bit.
//
// Dense blocks hold every connection, packed in groups of kRowGroup to-neurons:
// the weight of f -> t sits at ((t / kRowGroup) * nFrom + f) * kRowGroup +
// t % kRowGroup, so one step over f reads kRowGroup adjacent weights; rows past
// nTo in the last group are padding and never stored. Sparse blocks list the
// existing connections of each to-neuron in ascending f (compressed rows):
// row t holds entries row_start[t] ... row_start[t + 1] - 1 with from-neuron
// cols[k] and weight vals[k]; absent connections are skipped, never added as
// zero weights (0 * inf is NaN).
//
// The AVX2 and AVX-512 versions live in their own units, compiled for those
// instruction sets; they are reached only through the tables below, which are
// handed out after checking the processor.
#pragma once

#include <string>
#include <vector>

#include "NeuralNets/simd/BlockKernels.h"
#include "NeuralNets/simd/SingleKernels.h"
#include "NeuralNets/simd/VecExp.h"

namespace quill::simd {

// One complete implementation: the block loops and the exp-based activations,
// in double precision and in single precision (SingleKernels.h).
struct RecallKernels {
  const char* name;  // "portable", "avx2" or "avx512"
  BlockKernels blocks;
  const ExpKernels* exp;
  SingleKernels single;
};

// Plain C++ on any processor, with the C library's exp.
const RecallKernels& PortableKernels();
// The AVX2 (with FMA) and AVX-512 implementations, or nullptr when the
// processor lacks the instructions. Each uses the vector exp of its
// instruction set when that matches the C library on the probe inputs, and
// the C library's exp otherwise.
const RecallKernels* Avx2Kernels();
const RecallKernels* Avx512Kernels();
// The implementation runs use: the one the environment variable QUILL_ISA
// names ("portable", "avx2" or "avx512") when the processor runs it, else
// the fastest this processor runs; chosen once.
const RecallKernels& BestKernels();
// Every implementation this processor runs, portable first.
std::vector<const RecallKernels*> AvailableKernels();
// Why QUILL_ISA cannot be followed (an unknown name, or instructions this
// processor lacks), as a message for the user; empty when it is unset or
// usable. BestKernels then ignores it.
std::string IsaProblem();

}  // namespace quill::simd
