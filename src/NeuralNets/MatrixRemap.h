// Resizing helper shared by the weight-matrix connections classes.
//
// Matrices are stored to-neuron major: element nFrom * t + f holds from-neuron
// f -> to-neuron t. Remap builds the matrix of a new shape in which element
// (f, t) is taken from old element (oldFrom(f), oldTo(t)); a negative old index
// marks a new connection, which receives `fill`.
#pragma once

#include <cstddef>
#include <vector>

template <class T, class OldFrom, class OldTo>
std::vector<T> RemapMatrix(const std::vector<T>& old, int oldNumFrom, int nFrom, int nTo,
                           OldFrom oldFrom, OldTo oldTo, T fill) {
  std::vector<T> fresh(static_cast<std::size_t>(nFrom) * static_cast<std::size_t>(nTo), fill);
  for (int t = 0; t < nTo; ++t) {
    int ot = oldTo(t);
    if (ot < 0) continue;
    for (int f = 0; f < nFrom; ++f) {
      int of = oldFrom(f);
      if (of < 0) continue;
      fresh[static_cast<std::size_t>(nFrom) * t + f] =
          old[static_cast<std::size_t>(oldNumFrom) * ot + of];
    }
  }
  return fresh;
}

// Index maps for removing / inserting position i.
inline auto SkipIndex(int i) {
  return [i](int k) { return k < i ? k : k + 1; };
}
inline auto GapIndex(int i) {
  return [i](int k) { return k < i ? k : (k == i ? -1 : k - 1); };
}
inline auto SameIndex() {
  return [](int k) { return k; };
}

// Row pointers: index[t] = address of element nFrom * t.
template <class T>
void BuildRowIndex(std::vector<T>& array, std::vector<T*>& index, int nFrom, int nTo) {
  index.resize(static_cast<std::size_t>(nTo));
  for (int t = 0; t < nTo; ++t)
    index[static_cast<std::size_t>(t)] = array.data() + static_cast<std::size_t>(nFrom) * t;
}
