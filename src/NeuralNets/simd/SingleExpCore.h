// Constants of the single-precision exp (see SingleKernels.h for the
// operations), shared by the plain unit and the two instruction-set units;
// include it nowhere else. Everything here has internal linkage: each unit
// gets its own copy.
#pragma once

namespace quill::simd {
namespace {

// Arguments are clamped to [kSingleExpLo, kSingleExpHi]: below, e^x rounds
// to 0 (e^-104 < 2^-150); above, to infinity (e^89 > 2^128). Then the scaling
// exponent k lies in [-150, 128].
constexpr float kSingleExpLo = -104.0f;
constexpr float kSingleExpHi = 89.0f;
constexpr float kSingleExpShift = 0x1.8p23f;
constexpr float kSingleExpLog2e = 0x1.715476p0f;
constexpr float kSingleExpLn2Hi = 0x1.62e430p-1f;
constexpr float kSingleExpLn2Lo = -0x1.05c610p-29f;
constexpr float kSingleExpC2 = 0x1.fffffcp-2f;
constexpr float kSingleExpC3 = 0x1.555492p-3f;
constexpr float kSingleExpC4 = 0x1.5558f2p-5f;
constexpr float kSingleExpC5 = 0x1.1239e2p-7f;
constexpr float kSingleExpC6 = 0x1.6a2434p-10f;

}  // namespace
}  // namespace quill::simd
