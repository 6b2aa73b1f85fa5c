// The "value set" flags of a chromosome's genes, one bit each.
//
// Positions count from 0 here. Bits past Size() are kept clear, so that whole
// words can be compared and copied.
#pragma once

#include <cstdint>
#include <vector>

class ValueFlags {
 public:
  std::int32_t Size() const { return size_; }

  bool Get(std::int32_t i) const { return (words_[Word(i)] >> Bit(i)) & 1u; }
  void Set(std::int32_t i) { words_[Word(i)] |= std::uint64_t{1} << Bit(i); }
  void Assign(std::int32_t i, bool set) {
    const std::uint64_t mask = std::uint64_t{1} << Bit(i);
    words_[Word(i)] = set ? words_[Word(i)] | mask : words_[Word(i)] & ~mask;
  }

  // Grows with clear bits or drops the bits from `size` on.
  void Resize(std::int32_t size);
  void Reserve(std::int32_t size) { words_.reserve(WordsFor(size)); }
  // Empty, with the storage released.
  void Clear() {
    words_ = {};
    size_ = 0;
  }
  void Append(bool set) {
    Resize(size_ + 1);
    if (set) Set(size_ - 1);
  }
  // Appends bits first..first + count - 1 of `from` (which may be this).
  void AppendRange(const ValueFlags& from, std::int32_t first, std::int32_t count);
  // Puts `set` at `i` (0..Size()), moving the later bits up one place.
  void Insert(std::int32_t i, bool set);
  // Removes bits first..first + count - 1, moving the later bits down.
  void Erase(std::int32_t first, std::int32_t count);
  // Every bit set (true when empty).
  bool All() const;

 private:
  static std::size_t Word(std::int32_t i) { return static_cast<std::size_t>(i) >> 6; }
  static unsigned Bit(std::int32_t i) { return static_cast<unsigned>(i) & 63u; }
  static std::size_t WordsFor(std::int32_t size) {
    return (static_cast<std::size_t>(size) + 63) >> 6;
  }

  std::vector<std::uint64_t> words_;
  std::int32_t size_ = 0;
};
