// The value-set bits against a plain vector<bool>, through random sequences
// of every operation, with lengths across many 64-bit words so that copies
// take both the whole-word and the bit-by-bit routes.
#include <gtest/gtest.h>

#include <vector>

#include "Bramble/ValueFlags.h"
#include "common/Random.h"

namespace {

std::vector<bool> Bits(const ValueFlags& flags) {
  std::vector<bool> bits;
  for (std::int32_t i = 0; i < flags.Size(); ++i)
    bits.push_back(flags.Get(i));
  return bits;
}

bool AllSet(const std::vector<bool>& bits) {
  for (bool b : bits) {
    if (!b) return false;
  }
  return true;
}

TEST(ValueFlags, EveryOperationMatchesAPlainBitVector) {
  quill::SeedRand(77);
  ValueFlags flags[2];
  std::vector<bool> plain[2];
  for (int step = 0; step < 20000; ++step) {
    const int k = quill::Rand() % 2;
    ValueFlags& f = flags[k];
    std::vector<bool>& v = plain[k];
    const int size = static_cast<int>(v.size());
    const int i = quill::Rand() % (size + 1);
    switch (quill::Rand() % 9) {
      case 0:
      case 1: {  // copy a run from either (possibly the same) vector
        const int from = quill::Rand() % 2;
        const std::vector<bool> source = plain[from];
        const int n = static_cast<int>(source.size());
        int first = quill::Rand() % (n + 1);
        // Half the runs start at the same place in a word as they land.
        const int aligned = first - first % 64 + size % 64;
        if (quill::Rand() % 2 == 0 && aligned <= n) first = aligned;
        const int count = quill::Rand() % (n - first + 1);
        f.AppendRange(flags[from], first, count);
        v.insert(v.end(), source.begin() + first, source.begin() + first + count);
        break;
      }
      case 2: {
        const bool set = quill::Rand() % 4 != 0;
        f.Append(set);
        v.push_back(set);
        break;
      }
      case 3:
        if (size < 700) {
          const bool set = quill::Rand() % 2 == 0;
          f.Insert(i, set);
          v.insert(v.begin() + i, set);
        }
        break;
      case 4: {
        const int count = quill::Rand() % (size - i + 1);
        f.Erase(i, count);
        v.erase(v.begin() + i, v.begin() + i + count);
        break;
      }
      case 5:
        if (i < size) {
          f.Set(i);
          v[i] = true;
        }
        break;
      case 6:
        if (i < size) {
          const bool set = quill::Rand() % 2 == 0;
          f.Assign(i, set);
          v[i] = set;
        }
        break;
      case 7: {
        const int to = quill::Rand() % 300;
        f.Resize(to);
        v.resize(static_cast<std::size_t>(to), false);
        break;
      }
      default:
        if (quill::Rand() % 20 == 0) {
          f.Clear();
          v.clear();
        }
        break;
    }
    if (v.size() > 2000) {
      f.Resize(100);
      v.resize(100);
    }
    ASSERT_EQ(Bits(f), v) << "step " << step;
    ASSERT_EQ(f.All(), AllSet(v)) << "step " << step;
  }
}

}  // namespace
