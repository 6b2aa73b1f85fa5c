#include "Bramble/ValueFlags.h"

void ValueFlags::Resize(std::int32_t size) {
  if (size < size_) {
    words_.resize(WordsFor(size));
    if (Bit(size) != 0) words_.back() &= (std::uint64_t{1} << Bit(size)) - 1;
  } else {
    words_.resize(WordsFor(size), 0);
  }
  size_ = size;
}

void ValueFlags::AppendRange(const ValueFlags& from, std::int32_t first, std::int32_t count) {
  if (count <= 0) return;
  if (&from == this) {
    const ValueFlags copy = *this;
    AppendRange(copy, first, count);
    return;
  }
  std::int32_t i = first;
  std::int32_t j = size_;
  const std::int32_t end = first + count;
  Resize(size_ + count);  // the new bits start clear
  if (Bit(i) == Bit(j)) {
    // Same place in the word: copy the whole words in between.
    for (; i < end && Bit(i) != 0; ++i, ++j) {
      if (from.Get(i)) Set(j);
    }
    for (; end - i >= 64; i += 64, j += 64)
      words_[Word(j)] = from.words_[Word(i)];
  }
  for (; i < end; ++i, ++j) {
    if (from.Get(i)) Set(j);
  }
}

void ValueFlags::Insert(std::int32_t i, bool set) {
  Resize(size_ + 1);
  for (std::int32_t k = size_ - 1; k > i; --k)
    Assign(k, Get(k - 1));
  Assign(i, set);
}

void ValueFlags::Erase(std::int32_t first, std::int32_t count) {
  if (count <= 0) return;
  for (std::int32_t k = first + count; k < size_; ++k)
    Assign(k - count, Get(k));
  Resize(size_ - count);
}

bool ValueFlags::All() const {
  const std::size_t full = static_cast<std::size_t>(size_) >> 6;
  for (std::size_t w = 0; w < full; ++w) {
    if (words_[w] != ~std::uint64_t{0}) return false;
  }
  if (Bit(size_) == 0) return true;
  return words_[full] == (std::uint64_t{1} << Bit(size_)) - 1;
}
