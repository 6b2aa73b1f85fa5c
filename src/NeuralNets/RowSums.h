// The inner loop of recall, shared by the weight-matrix connections classes.
//
// For every to-neuron t: s = 0; for f = 0 ... nFrom - 1 in order,
// s += w(f -> t) * o[f] (only where the connection exists); then net[t] += s.
// Each row's additions happen in exactly that order (results depend on it);
// four rows are summed side by side only so that their additions overlap in
// the processor instead of waiting on one another.
#pragma once

#include <cstddef>

// `weights` is to-neuron major (row t starts at t * nFrom). `flags` is null for
// a full matrix, else one flag byte per weight; bit 1 marks an existing
// connection.
inline void AddRowSums(const double* weights, const unsigned char* flags, const double* o,
                       int nFrom, int nTo, double* net) {
  const std::size_t n = static_cast<std::size_t>(nFrom);
  int t = 0;
  for (; t + 4 <= nTo; t += 4) {
    const double* w0 = weights + n * static_cast<std::size_t>(t);
    const double* w1 = w0 + n;
    const double* w2 = w1 + n;
    const double* w3 = w2 + n;
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    if (flags == nullptr) {
      for (std::size_t f = 0; f < n; ++f) {
        const double x = o[f];
        s0 += w0[f] * x;
        s1 += w1[f] * x;
        s2 += w2[f] * x;
        s3 += w3[f] * x;
      }
    } else {
      const unsigned char* m0 = flags + n * static_cast<std::size_t>(t);
      const unsigned char* m1 = m0 + n;
      const unsigned char* m2 = m1 + n;
      const unsigned char* m3 = m2 + n;
      for (std::size_t f = 0; f < n; ++f) {
        const double x = o[f];
        if (m0[f] & 1) s0 += w0[f] * x;
        if (m1[f] & 1) s1 += w1[f] * x;
        if (m2[f] & 1) s2 += w2[f] * x;
        if (m3[f] & 1) s3 += w3[f] * x;
      }
    }
    net[t] += s0;
    net[t + 1] += s1;
    net[t + 2] += s2;
    net[t + 3] += s3;
  }
  for (; t < nTo; ++t) {
    const double* w = weights + n * static_cast<std::size_t>(t);
    const unsigned char* m = flags == nullptr ? nullptr : flags + n * static_cast<std::size_t>(t);
    double s = 0.0;
    for (std::size_t f = 0; f < n; ++f) {
      if (m == nullptr || (m[f] & 1)) s += w[f] * o[f];
    }
    net[t] += s;
  }
}
