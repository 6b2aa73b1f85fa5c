#include "common/Checksum.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quill {
namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ull;

std::uint64_t Word(const unsigned char* bytes) {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// Both steps are bijections of the lane for a fixed word, and of the word for
// a fixed lane.
std::uint64_t Round(std::uint64_t lane, std::uint64_t word) {
  return std::rotl((lane ^ word) * kPrime1, 31);
}

// A bijection that spreads every bit over the whole word.
std::uint64_t Avalanche(std::uint64_t h) {
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  h *= kPrime3;
  h ^= h >> 32;
  return h;
}

}  // namespace

Checksum::Checksum() : lanes_{kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1} {}

void Checksum::Block(const unsigned char* bytes) {
  lanes_[0] = Round(lanes_[0], Word(bytes));
  lanes_[1] = Round(lanes_[1], Word(bytes + 8));
  lanes_[2] = Round(lanes_[2], Word(bytes + 16));
  lanes_[3] = Round(lanes_[3], Word(bytes + 24));
}

void Checksum::Update(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t size = bytes.size();
  length_ += size;
  if (pending_size_ > 0) {
    const std::size_t take = std::min(size, kBlock - pending_size_);
    std::memcpy(pending_ + pending_size_, p, take);
    pending_size_ += take;
    p += take;
    size -= take;
    if (pending_size_ < kBlock) return;
    Block(pending_);
    pending_size_ = 0;
  }
  for (; size >= kBlock; p += kBlock, size -= kBlock)
    Block(p);
  std::memcpy(pending_, p, size);
  pending_size_ = size;
}

std::uint64_t Checksum::Value() const {
  // The length first, then each lane, then the bytes short of a block padded
  // with zeros (the length tells the padding from data).
  std::uint64_t h = Avalanche(length_ ^ kPrime3);
  for (std::uint64_t lane : lanes_)
    h = Round(h, Avalanche(lane));
  unsigned char tail[kBlock] = {};
  std::memcpy(tail, pending_, pending_size_);
  for (std::size_t at = 0; at < pending_size_; at += 8)
    h = Round(h, Word(tail + at));
  return Avalanche(h);
}

std::uint64_t Checksum::Of(std::string_view bytes) {
  Checksum sum;
  sum.Update(bytes);
  return sum.Value();
}

}  // namespace quill
